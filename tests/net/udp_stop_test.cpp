#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <random>
#include <thread>

#include "executor/executor.h"
#include "executor/net/udp_board_server.h"
#include "executor/net/udp_transfer.h"
#include "support/sim_job.h"

// A job streams over UDP on one thread while a second watches the board and stops the job after
// a random few frames. Every stop must get its own reply, end the streaming thread and leave the
// board idle. Run under ThreadSanitizer by scripts/test.

namespace {

constexpr int kRounds = 30;
constexpr int kMarks = 3000;

}  // namespace

class UdpConcurrency : public ::testing::TestWithParam<BOARD_PROTOCOL> {};

TEST_P(UdpConcurrency, StopFromASecondThreadEndsEveryJob) {
    sim::SimConfig config = sim_job::paced(GetParam());
    config.recordTrace = false;
    sim::SimBoard board(config);
    net::UdpBoardServer server(board);
    std::atomic<int> frames{0};
    server.setObserver([&](bool frame, const uint8_t*, uint32_t) { frames += frame; });
    ASSERT_TRUE(server.start()) << server.lastError();
    net::UdpTransfer link(server.address(), server.port());
    std::unique_ptr<Executor> e(Executor::create(BOARD_TYPE_PROTOCOL7, GetParam()));
    e->setTransfer(&link);
    utils::Thread::setSleepHook([](uint32_t) { std::this_thread::yield(); });
    ASSERT_EQ(e->init(sim_job::devPar(), false, false), SDK_OK);

    const TarnParam lens = sim_job::lens();
    std::mt19937 random(GetParam());
    for (int round = 0; round < kRounds; ++round) {
        const int stopAfter = 1 + static_cast<int>(random() % 6);
        frames = 0;
        ASSERT_TRUE(e->setStartMark());
        std::packaged_task<void()> job([&] {
            for (int i = 0; i < kMarks; ++i)
                e->linetoPositionAbs(lens, {i % 40 - 20.0, i % 37 - 18.0}, 50, 0, sim_job::linear());
            e->exeCurCmd(true);
        });
        std::future<void> done = job.get_future();
        std::thread streamer(std::move(job));
        DevBaseState state;  // watched meanwhile, as a host shows progress
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (frames < stopAfter && done.wait_for(std::chrono::seconds(0)) != std::future_status::ready &&
               std::chrono::steady_clock::now() < giveUp)
            e->getDevState(state, true);
        const bool stopped = e->setStopMark();
        const bool ended = done.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
        // A stop whose reply was lost leaves the streaming thread waiting for room; a second one
        // that gets through ends its waits, so it can be joined.
        for (int again = 0; !ended && again < 10 && !e->setReset(); ++again) std::this_thread::yield();
        if (!ended) link.closeDev();  // a closed link fails every call at once: the join cannot hang
        streamer.join();
        ASSERT_TRUE(ended) << "round " << round;
        ASSERT_TRUE(stopped) << "round " << round << ": " << link.lastError();
        ASSERT_TRUE(e->getDevState(state, true));
        EXPECT_LT(state.workState, 2u) << "round " << round;
    }
    utils::Thread::setSleepHook({});
    e->unInit();
}

INSTANTIATE_TEST_SUITE_P(Protocols, UdpConcurrency, ::testing::Values(BOARD_PROTOCOL_5, BOARD_PROTOCOL_7),
                         [](const ::testing::TestParamInfo<BOARD_PROTOCOL>& info) {
                             return info.param == BOARD_PROTOCOL_5 ? "Protocol5" : "Protocol7";
                         });
