#pragma once

#include <cstdint>

#include "executor/export.h"

namespace utils {

// True on a big-endian host.
EXECUTOR_API bool isBigEndian();
// Host order to network order (big-endian).
EXECUTOR_API uint16_t ut_htons(uint16_t value);
EXECUTOR_API uint32_t ut_htonl(uint32_t value);

}  // namespace utils
