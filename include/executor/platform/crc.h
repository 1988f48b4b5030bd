#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "executor/export.h"

namespace utils {
namespace algorithm {
namespace crc {

enum CRC32Algorithms {
    // Reflected CRC-32, polynomial 0xEDB88320, initial value and final xor 0xFFFFFFFF.
    CRC32_STANDARD = 0,
};

// Checksum of a byte block as eight upper-case hex digits.
EXECUTOR_API std::string crcHexString(CRC32Algorithms algorithm, const uint8_t* data, size_t length);

}  // namespace crc
}  // namespace algorithm
}  // namespace utils
