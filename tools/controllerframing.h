#ifndef CONTROLLERFRAMING_H
#define CONTROLLERFRAMING_H

#include <cstdint>
#include <string>

namespace kezu_sim {

// One package as the controller side sees it on the link.
struct ReceivedPackage {
    int connection = 0;       // which accepted connection it came in on, from 1
    int32_t commandType = 0;  // the signed 32-bit type field
    std::string body;         // the bytes between the type field and the check field
    std::string raw;          // every byte of the package, markers included
};

// Framing of the controller link: start marker, length, type, body, check field, end marker.
class PackageFraming {
public:
    // Length field of an empty body: type, check field and end marker follow it.
    static constexpr int MIN_LENGTH_FIELD = 12;
    static constexpr int TRAILER_BYTES = 8;  // check field, end marker
    static constexpr int32_t MAX_LENGTH = 16 * 1024 * 1024;

    // A well-formed package.
    static std::string encode(int32_t commandType, const std::string &body);
    // The same bytes with any length field, for tests of the reader's refusal.
    static std::string encodeWithLength(int32_t lengthField, int32_t commandType,
                                        const std::string &body);

    enum ReadResult { Package, Closed, Error };
    // Blocks until a whole package has arrived on fd. Bytes before a start marker are
    // skipped; a length field out of range is skipped like garbage.
    static ReadResult read(int fd, ReceivedPackage &out);
};

// Writes every byte, retrying after signals; false when the link fails first.
bool sendAll(int fd, const std::string &bytes);

}  // namespace kezu_sim

#endif
