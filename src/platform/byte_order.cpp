#include "executor/platform/byte_order.h"

#include <cstring>

namespace utils {

bool isBigEndian() {
    const uint16_t probe = 0x0102;
    uint8_t first = 0;
    std::memcpy(&first, &probe, 1);
    return first == 0x01;
}

uint16_t ut_htons(uint16_t value) {
    if (isBigEndian()) return value;
    return static_cast<uint16_t>((value >> 8) | (value << 8));
}

uint32_t ut_htonl(uint32_t value) {
    if (isBigEndian()) return value;
    return (value >> 24) | ((value >> 8) & 0x0000FF00u) | ((value << 8) & 0x00FF0000u) | (value << 24);
}

}  // namespace utils
