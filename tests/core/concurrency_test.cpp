#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "executor/executor.h"
#include "executor/sim/sim_board.h"
#include "executor/sim/sim_transfer.h"
#include "executor/transfer/forwarding_transfer.h"
#include "proto5/executor5.h"
#include "support/bytes.h"
#include "support/sim_job.h"

// One host thread queues packets while a second streams them and a third stops the run. Run
// under ThreadSanitizer by scripts/test; here the list's bookkeeping is checked afterwards.

namespace {

constexpr uint32_t kPackets = 3000;
constexpr size_t kFramesBeforeStop = 4;

// Passes everything on and keeps the frames delivered, for any thread to read.
struct FrameTap : ForwardingTransfer {
    using ForwardingTransfer::ForwardingTransfer;
    bool ReadAndWriteData(const uint8_t* frame, uint32_t len, uint8_t* reply, uint32_t* replyLen, bool flag) override {
        if (!inner().ReadAndWriteData(frame, len, reply, replyLen, flag)) return false;
        std::lock_guard<std::mutex> lock(mutex);
        frames.emplace_back(frame, frame + len);
        return true;
    }
    std::mutex mutex;
    std::vector<Bytes> frames;
};

// Records every packet handed to the list, and shows what the list still holds.
template <class Base>
struct Watched : Base {
    bool addCmd(KestCmd* cmd) override {
        queued.emplace_back(cmd->m_data, cmd->m_data + cmd->m_len);  // one queueing thread
        return Base::addCmd(cmd) || (ADD_FAILURE() << "refused", false);
    }
    std::vector<Bytes> left() {
        std::vector<Bytes> out;
        uint32_t bytes = 0;
        for (int32_t i = 0; i < this->m_cmdList.size(); ++i) {
            const KestCmd* cmd = this->m_cmdList.at(i);
            out.emplace_back(cmd->m_data, cmd->m_data + cmd->m_len);
            bytes += cmd->m_len;
        }
        EXPECT_EQ(bytes, this->m_cmdList.totalBytes());
        return out;
    }
    std::vector<Bytes> queued;
};

struct Case {
    BOARD_PROTOCOL protocol;
    bool stopClearsList;  // setStopMark drops what is queued; setReset keeps it
    uint32_t frameLen;    // of the direct link
};

// Printed by its fields: gtest would otherwise print the raw bytes, padding included.
void PrintTo(const Case& c, std::ostream* os) {
    *os << (c.protocol == BOARD_PROTOCOL_7 ? "protocol 7" : "protocol 5") << (c.stopClearsList ? ", stop" : ", reset");
}

template <class Base>
void run(const Case& c) {
    sim::SimConfig config = sim_job::paced(c.protocol);  // the streaming thread really waits for room
    config.ticksPerPoll = 200;
    sim::SimBoard board(config);
    sim::SimTransfer link(board);
    FrameTap tap(link);
    Watched<Base> e;
    e.setTransfer(&tap);
    utils::Thread::setSleepHook([](uint32_t) { std::this_thread::yield(); });
    ASSERT_EQ(e.init(DevPar(), false, false), SDK_OK);
    ASSERT_TRUE(e.setStartMark());

    std::atomic<bool> queueing{true};
    std::thread producer([&] {
        for (uint32_t i = 1; i <= kPackets; ++i) e.sendDelayTime(i);  // every packet differs
        queueing = false;
    });
    std::thread streamer([&] {
        while (queueing) e.exeCurCmd(false);
    });
    std::thread stopper([&] {
        for (size_t n = 0; queueing && n < kFramesBeforeStop;) {
            std::this_thread::yield();
            std::lock_guard<std::mutex> lock(tap.mutex);
            n = tap.frames.size();
        }
        c.stopClearsList ? e.setStopMark() : e.setReset();
    });
    producer.join();
    streamer.join();
    stopper.join();
    utils::Thread::setSleepHook({});

    std::vector<Bytes> sent;
    for (const Bytes& f : tap.frames)
        for (const Bytes& p : packetsOf(f, c.protocol == BOARD_PROTOCOL_7 ? 0 : 12)) sent.push_back(p);
    const std::vector<Bytes> left = e.left();
    const std::vector<Bytes>& queued = e.queued;
    ASSERT_EQ(queued.size(), kPackets);
    ASSERT_LE(sent.size() + left.size(), queued.size());
    // What stays is the back of what was queued; what went out came before it, in order, with no
    // packet twice. After a reset, what neither went out nor stayed is at most a frame at a time.
    EXPECT_TRUE(std::equal(left.begin(), left.end(), queued.end() - static_cast<std::ptrdiff_t>(left.size())));
    size_t next = 0;
    uint32_t gap = 0;
    const auto gapEnds = [&] {
        EXPECT_TRUE(c.stopClearsList || gap <= c.frameLen) << gap;
        gap = 0;
    };
    for (const Bytes& packet : sent) {
        while (next < queued.size() && queued[next] != packet) gap += static_cast<uint32_t>(queued[next++].size());
        ASSERT_LT(next++, queued.size()) << "a packet went out that was not queued, or out of order";
        gapEnds();
    }
    ASSERT_LE(next, queued.size() - left.size());
    while (next < queued.size() - left.size()) gap += static_cast<uint32_t>(queued[next++].size());
    gapEnds();
    EXPECT_EQ(board.errors().total(), 0u);
}

}  // namespace

class Concurrency : public ::testing::TestWithParam<Case> {};

TEST_P(Concurrency, QueueingStreamingAndStoppingFromThreeThreads) {
    if (GetParam().protocol == BOARD_PROTOCOL_7)
        run<Executor7>(GetParam());
    else
        run<Executor5>(GetParam());
}

INSTANTIATE_TEST_SUITE_P(RunControl, Concurrency,
                         ::testing::Values(Case{BOARD_PROTOCOL_7, false, 500}, Case{BOARD_PROTOCOL_7, true, 500},
                                           Case{BOARD_PROTOCOL_5, false, 2880}, Case{BOARD_PROTOCOL_5, true, 2880}));
