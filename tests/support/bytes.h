#pragma once

// Byte helpers the suites share: building expected packets and cutting replies apart.

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

using Bytes = std::vector<uint8_t>;

// A packet of length bytes: the opcode big-endian, then params from byte 2 on, the rest 0.
inline Bytes pkt(uint16_t opcode, std::initializer_list<uint8_t> params = {}, std::size_t length = 12) {
    Bytes b(length, 0);
    b[0] = static_cast<uint8_t>(opcode >> 8);
    b[1] = static_cast<uint8_t>(opcode);
    std::size_t at = 2;
    for (uint8_t p : params) b[at++] = p;
    return b;
}

// len bytes of b from from on.
inline Bytes slice(const Bytes& b, std::size_t from, std::size_t len) {
    return Bytes(b.begin() + static_cast<std::ptrdiff_t>(from), b.begin() + static_cast<std::ptrdiff_t>(from + len));
}

// The packets of a list frame, split by their length bytes or in units of unit bytes (protocol
// 5) when given; the zero padding behind the last packet ends the frame.
inline std::vector<Bytes> packetsOf(const Bytes& frame, std::size_t unit = 0) {
    std::vector<Bytes> out;
    for (std::size_t at = 0; at + 4 <= frame.size();) {
        const std::size_t len = unit != 0 ? unit : frame[at + 2];
        if (len < 4 || at + len > frame.size() || (frame[at] == 0 && frame[at + 1] == 0)) break;
        out.push_back(slice(frame, at, len));
        at += len;
    }
    return out;
}
