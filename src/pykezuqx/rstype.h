#ifndef RSTYPE_H
#define RSTYPE_H

#include <cstdint>

// The same typedefs as KezuRobotMetaType.h (repeating an identical typedef is allowed), so this
// header stays usable on its own.
typedef std::uint8_t uint8;
typedef std::uint16_t uint16;
typedef std::uint32_t uint32;

// Context handle. Handles are never handed out twice while their context lives.
typedef uint16 RSHD;

#endif
