#include "wirebytes.h"

#include <cstring>

void WireBytes::raw(std::uint64_t value) {
    while (value >= 0x80) {
        m_bytes.push_back(static_cast<char>((value & 0x7f) | 0x80));
        value >>= 7;
    }
    m_bytes.push_back(static_cast<char>(value));
}

WireBytes &WireBytes::varint(int field, std::uint64_t value) {
    raw(static_cast<std::uint64_t>(field) << 3);
    raw(value);
    return *this;
}

template <class Bits, class Value>
void WireBytes::fixed(int field, int wireType, Value value) {
    raw((static_cast<std::uint64_t>(field) << 3) | static_cast<std::uint64_t>(wireType));
    Bits bits;
    std::memcpy(&bits, &value, sizeof(bits));
    for (size_t i = 0; i < sizeof(bits); ++i) {
        m_bytes.push_back(static_cast<char>(bits >> (8 * i)));
    }
}

WireBytes &WireBytes::fixed64(int field, double value) {
    fixed<std::uint64_t>(field, 1, value);
    return *this;
}

WireBytes &WireBytes::fixed32(int field, float value) {
    fixed<std::uint32_t>(field, 5, value);
    return *this;
}

WireBytes &WireBytes::nested(int field, const WireBytes &inner) {
    raw((static_cast<std::uint64_t>(field) << 3) | 2);
    raw(inner.m_bytes.size());
    m_bytes += inner.m_bytes;
    return *this;
}
