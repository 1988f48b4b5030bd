#pragma once
// Ctrl-C and termination during a job: the first SIGINT or SIGTERM only raises a flag, so the
// job can stop the board (queue dropped, laser off) and say how far it got; a second one ends
// the program at once.

#include <atomic>

namespace cli {

class InterruptGuard {
public:
    InterruptGuard();
    ~InterruptGuard();
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

    // Set by the first signal; hand it to the job as its cancel flag.
    static const std::atomic<bool>& flag();
};

}  // namespace cli
