#ifndef WIREBYTES_H
#define WIREBYTES_H

#include <cstdint>
#include <memory>
#include <string>

#include <google/protobuf/message_lite.h>
#include <gtest/gtest.h>

// Hand encoder for expected bodies, independent of the generated code.
class WireBytes {
public:
    WireBytes &varint(int field, std::uint64_t value);
    WireBytes &fixed64(int field, double value);
    WireBytes &fixed32(int field, float value);
    WireBytes &nested(int field, const WireBytes &inner);
    const std::string &str() const { return m_bytes; }

private:
    void raw(std::uint64_t value);
    template <class Bits, class Value>
    void fixed(int field, int wireType, Value value);
    std::string m_bytes;
};

// A builder's output, owned as the request record would own it.
struct Body {
    std::unique_ptr<char[]> data;
    int size = -1;
    std::string str() const { return std::string(data.get(), data ? size : 0); }
};

// Calls builder(&ptr, &size) and takes ownership of the array it hands out.
template <class Build>
bool build(Body &body, Build builder) {
    static char untouched;
    char *ptr = &untouched;  // a builder sets it on every path
    body.size = -1;
    const bool ok = builder(&ptr, &body.size);
    if (ptr == &untouched) {
        ADD_FAILURE() << "builder left its output pointer unset";
        ptr = nullptr;
    }
    body.data.reset(ptr);
    return ok;
}

// A received body, as the engine hands it to a resolver.
struct Received {
    explicit Received(const google::protobuf::MessageLite &message)
        : bytes(message.SerializePartialAsString()) {}
    const char *data() const { return bytes.data(); }
    int size() const { return static_cast<int>(bytes.size()); }
    std::string bytes;
};

inline std::string bytesOf(const google::protobuf::MessageLite &message) {
    return message.SerializePartialAsString();
}

#endif
