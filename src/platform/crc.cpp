#include "executor/platform/crc.h"

#include <array>

namespace utils {
namespace algorithm {
namespace crc {
namespace {

std::array<uint32_t, 256> makeTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        table[i] = c;
    }
    return table;
}

uint32_t crc32Standard(const uint8_t* data, size_t length) {
    static const std::array<uint32_t, 256> table = makeTable();
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < length; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

}  // namespace

std::string crcHexString(CRC32Algorithms algorithm, const uint8_t* data, size_t length) {
    static const char kDigits[] = "0123456789ABCDEF";
    if (algorithm != CRC32_STANDARD) return std::string();
    uint32_t crc = crc32Standard(data, data ? length : 0);
    std::string out(8, '0');
    for (int i = 7; i >= 0; --i) {
        out[static_cast<size_t>(i)] = kDigits[crc & 0x0F];
        crc >>= 4;
    }
    return out;
}

}  // namespace crc
}  // namespace algorithm
}  // namespace utils
