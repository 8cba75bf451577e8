#ifndef WIREBYTES_H
#define WIREBYTES_H

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include <google/protobuf/message_lite.h>
#include <gtest/gtest.h>

#include "protoencodedecode.h"

// Hand encoder for expected bodies, independent of the generated code.
class WireBytes {
public:
    WireBytes &varint(int field, std::uint64_t value) { return tag(field, 0).raw(value); }
    WireBytes &fixed64(int field, double value) {
        return tag(field, 1).fixed<std::uint64_t>(value);
    }
    WireBytes &fixed32(int field, float value) { return tag(field, 5).fixed<std::uint32_t>(value); }
    WireBytes &nested(int field, const WireBytes &inner) {
        tag(field, 2).raw(inner.m_bytes.size()).m_bytes += inner.m_bytes;
        return *this;
    }
    const std::string &str() const { return m_bytes; }

private:
    WireBytes &tag(int field, std::uint64_t wireType) {
        return raw(static_cast<std::uint64_t>(field) << 3 | wireType);
    }
    WireBytes &raw(std::uint64_t value) {
        for (; value >= 0x80; value >>= 7) {
            m_bytes.push_back(static_cast<char>((value & 0x7f) | 0x80));
        }
        m_bytes.push_back(static_cast<char>(value));
        return *this;
    }
    template <class Bits, class Value>
    WireBytes &fixed(Value value) {
        Bits bits;
        std::memcpy(&bits, &value, sizeof(bits));
        for (size_t i = 0; i < sizeof(bits); ++i) {
            m_bytes.push_back(static_cast<char>(bits >> (8 * i)));
        }
        return *this;
    }
    std::string m_bytes;
};

// A builder's output, owned as the request record would own it.
struct Body {
    std::unique_ptr<char[]> data;
    int size = -1;
    bool ok = false;
    std::string str() const { return std::string(data.get(), data ? size : 0); }
    bool refused() const { return !ok && data == nullptr && size == 0; }
};

// Calls builder(&ptr, &size, args...) and takes ownership of the array it hands out.
template <class Builder, class... Args>
Body built(Builder builder, Args &&...args) {
    static char untouched;
    char *ptr = &untouched;  // a builder sets it on every path
    Body body;
    body.ok = builder(&ptr, &body.size, args...);
    if (ptr == &untouched) {
        ADD_FAILURE() << "builder left its output pointer unset";
        ptr = nullptr;
    }
    body.data.reset(ptr);
    return body;
}

template <class Record>
bool sameBytes(const Record &a, const Record &b) {
    return std::memcmp(&a, &b, sizeof(Record)) == 0;
}

inline std::string bytesOf(const google::protobuf::MessageLite &message) {
    return message.SerializePartialAsString();
}

// Hands a reply's bytes to a resolver, as the engine does with a received body.
template <class Resolve, class... Out>
bool resolveFrom(const google::protobuf::MessageLite &reply, Resolve resolve, Out &&...out) {
    const std::string body = bytesOf(reply);
    return resolve(body.data(), static_cast<int>(body.size()), out...);
}

// Sample records with their members set, so a member lost on the way shows.
inline kezu_robot_namespace::wayPoint_S sampleWayPoint(double base) {
    using namespace kezu_robot_namespace;
    wayPoint_S w{};
    w.cartPos.position = {base + 0.1, base - 0.2, base + 0.3};
    w.orientation = {0.5, -0.5, 0.5, -0.5};
    for (int i = 0; i < ARM_DOF; ++i) {
        w.jointpos[i] = base + i;
    }
    return w;
}

inline RobotMoveProfile sampleProfile() {
    using namespace kezu_robot_namespace;
    RobotMoveProfile p{};
    p.moveMode = MODEL;
    p.subMoveMode = CARTESIAN_UBSPLINEINTP;
    p.teachMode = MOV_Y;
    p.enableIterIk = p.toolTrack = p.relativeMove.ena = true;
    p.toolInEndPosition.position = {0.01, 0.02, 0.03};
    p.toolInEndOrientation = {0, 1, 0, 0};
    p.relativeMove.relativePosition[2] = 0.3f;
    p.relativeMove.relativeOrientation.orientation = {0.5, 0.5, 0.5, 0.5};
    for (int i = 0; i < ARM_DOF; ++i) {
        p.maxVelc.jointPara[i] = 0.5 + i;
        p.maxAcc.jointPara[i] = 1.5 + i;
    }
    p.arrivalAhead = {arrival_ahead_distance, 0.004};
    p.blendRadius = 0.05f;
    p.circularLoopTimes = -2;
    return p;
}

#endif
