#pragma once

#include <cstdint>
#include <functional>

#include "executor/export.h"

namespace utils {

// Every pause of the library goes through Thread::sleep, so a host or a test can replace it
// (for example to run a 3 x 1000 ms wait in no time while still counting the pauses).
class EXECUTOR_API Thread {
public:
    using SleepHook = std::function<void(uint32_t ms)>;

    static void sleep(uint32_t ms);
    // Installs a replacement for sleep; an empty function restores real sleeping.
    static void setSleepHook(SleepHook hook);
};

}  // namespace utils
