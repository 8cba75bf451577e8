#include "controllerframing.h"

#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kezu_sim {

namespace {

const unsigned char START_MARKER[4] = {0xEE, 0xCC, 0xFF, 0xFF};
const unsigned char CHECK_FIELD[4] = {0x00, 0x00, 0x00, 0x00};
const unsigned char END_MARKER[4] = {0xFF, 0xFF, 0xFF, 0xFF};
const size_t BODY_CHUNK = 64 * 1024;

// Reads exactly len bytes; false on close or error.
bool readExactly(int fd, char *out, size_t len, bool &closed) {
    size_t total = 0;
    while (total < len) {
        const ssize_t n = recv(fd, out + total, len - total, 0);
        if (n == -1 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            closed = n == 0;
            return false;
        }
        total += static_cast<size_t>(n);
    }
    return true;
}

void appendInt(std::string &out, int32_t value) {
    out.append(reinterpret_cast<const char *>(&value), sizeof(value));
}

}  // namespace

std::string PackageFraming::encode(int32_t commandType, const std::string &body) {
    return encodeWithLength(static_cast<int32_t>(body.size()) + MIN_LENGTH_FIELD, commandType,
                            body);
}

std::string PackageFraming::encodeWithLength(int32_t lengthField, int32_t commandType,
                                             const std::string &body) {
    std::string out(reinterpret_cast<const char *>(START_MARKER), sizeof(START_MARKER));
    appendInt(out, lengthField);
    appendInt(out, commandType);
    out += body;
    out.append(reinterpret_cast<const char *>(CHECK_FIELD), sizeof(CHECK_FIELD));
    out.append(reinterpret_cast<const char *>(END_MARKER), sizeof(END_MARKER));
    return out;
}

bool sendAll(int fd, const std::string &bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n == -1 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        sent += static_cast<size_t>(n);
    }
    return true;
}

PackageFraming::ReadResult PackageFraming::read(int fd, ReceivedPackage &out) {
    bool closed = false;
    char window[4] = {0, 0, 0, 0};
    size_t have = 0;
    for (;;) {
        // Slide a four-byte window over the stream until it holds the start marker.
        while (have < sizeof(window) || memcmp(window, START_MARKER, sizeof(window)) != 0) {
            if (have == sizeof(window)) {
                memmove(window, window + 1, sizeof(window) - 1);
                --have;
            }
            if (!readExactly(fd, window + have, 1, closed)) {
                return closed ? Closed : Error;
            }
            ++have;
        }
        int32_t length = 0;
        if (!readExactly(fd, reinterpret_cast<char *>(&length), sizeof(length), closed)) {
            return closed ? Closed : Error;
        }
        if (length < MIN_LENGTH_FIELD || length > MAX_LENGTH) {
            have = 0;
            continue;
        }
        // Grown as the bytes come: a length field alone must not cost its whole size.
        std::string rest;
        while (rest.size() < static_cast<size_t>(length)) {
            const size_t have = rest.size();
            rest.resize(have + std::min(static_cast<size_t>(length) - have, BODY_CHUNK));
            if (!readExactly(fd, &rest[have], rest.size() - have, closed)) {
                return closed ? Closed : Error;
            }
        }
        memcpy(&out.commandType, rest.data(), sizeof(out.commandType));
        out.body = rest.substr(4, rest.size() - 4 - TRAILER_BYTES);
        out.raw.assign(reinterpret_cast<const char *>(START_MARKER), sizeof(START_MARKER));
        appendInt(out.raw, length);
        out.raw += rest;
        return Package;
    }
}

}  // namespace kezu_sim
