#include "executor/platform/thread.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class ThreadTest : public ::testing::Test {
protected:
    void TearDown() override { utils::Thread::setSleepHook(nullptr); }
};

TEST_F(ThreadTest, HookReceivesEveryPauseInsteadOfSleeping) {
    std::vector<uint32_t> pauses;
    utils::Thread::setSleepHook([&pauses](uint32_t ms) { pauses.push_back(ms); });
    // An hour of real sleeping would stall the run visibly.
    utils::Thread::sleep(3600000);
    utils::Thread::sleep(0);
    utils::Thread::sleep(1000);
    EXPECT_EQ(pauses, (std::vector<uint32_t>{3600000, 0, 1000}));
}

TEST_F(ThreadTest, EmptyHookRestoresRealSleep) {
    int calls = 0;
    utils::Thread::setSleepHook([&calls](uint32_t) { ++calls; });
    utils::Thread::sleep(1);
    utils::Thread::setSleepHook(nullptr);
    utils::Thread::sleep(1);
    EXPECT_EQ(calls, 1);
}

}  // namespace
