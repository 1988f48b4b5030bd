#include "executor/platform/thread.h"

#include <chrono>
#include <mutex>
#include <thread>
#include <utility>

namespace utils {
namespace {

std::mutex g_hookMutex;
Thread::SleepHook g_hook;

}  // namespace

void Thread::sleep(uint32_t ms) {
    SleepHook hook;
    {
        std::lock_guard<std::mutex> lock(g_hookMutex);
        hook = g_hook;
    }
    // Called outside the lock: the hook may itself sleep or reinstall hooks.
    if (hook) {
        hook(ms);
    } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
}

void Thread::setSleepHook(SleepHook hook) {
    std::lock_guard<std::mutex> lock(g_hookMutex);
    g_hook = std::move(hook);
}

}  // namespace utils
