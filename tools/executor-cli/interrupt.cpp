#include "interrupt.h"

#include <signal.h>

namespace cli {

namespace {

std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set from a signal handler");

struct sigaction g_previous[2];
constexpr int kSignals[2] = {SIGINT, SIGTERM};

void onSignal(int signal) {
    if (g_interrupted.exchange(true)) {
        // Asked twice: leave now, the way the signal would have without us.
        ::signal(signal, SIG_DFL);
        ::raise(signal);
    }
}

}  // namespace

InterruptGuard::InterruptGuard() {
    g_interrupted = false;
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < 2; ++i) sigaction(kSignals[i], &action, &g_previous[i]);
}

InterruptGuard::~InterruptGuard() {
    for (int i = 0; i < 2; ++i) sigaction(kSignals[i], &g_previous[i], nullptr);
}

const std::atomic<bool>& InterruptGuard::flag() { return g_interrupted; }

}  // namespace cli
