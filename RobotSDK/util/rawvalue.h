#ifndef RAWVALUE_H
#define RAWVALUE_H

#include <cstring>
#include <type_traits>

// Records reach the SDK from C callers as memory, so an enum field may hold any integer;
// reading its bytes avoids loading a value the enum cannot represent.
template <class Enum>
int rawValue(const Enum &field) {
    static_assert(sizeof(Enum) <= sizeof(int), "enum fields fit an int");
    std::underlying_type_t<Enum> raw;
    std::memcpy(&raw, &field, sizeof(raw));
    return static_cast<int>(raw);
}

#endif
