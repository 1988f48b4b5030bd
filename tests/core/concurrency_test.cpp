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
#include "executor/platform/logger.h"
#include "executor/sim/sim_board.h"
#include "executor/sim/sim_transfer.h"
#include "proto5/executor5.h"
#include "support/counting_transfer.h"

// One host thread queues packets while a second streams them and a third stops the run. Run
// under ThreadSanitizer by scripts/test; here the list's bookkeeping is checked afterwards.

namespace {

using Bytes = std::vector<uint8_t>;

constexpr uint32_t kPackets = 3000;
constexpr size_t kFramesBeforeStop = 4;
constexpr uint32_t kProto5PacketLen = 12;

// Records every packet handed to the list, and shows what the list still holds.
template <class Base>
struct Watched : Base {
    bool addCmd(KestCmd* cmd) override {
        if (cmd != nullptr) {
            std::lock_guard<std::mutex> lock(m_mutex);
            queued.emplace_back(cmd->m_data, cmd->m_data + cmd->m_len);
        }
        const bool ok = Base::addCmd(cmd);
        if (!ok) refused.fetch_add(1);
        return ok;
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

    std::mutex m_mutex;
    std::vector<Bytes> queued;
    std::atomic<int> refused{0};
};

// Counts, from any thread, the calls that gave up a frame because their room waits ran out.
struct DropCounter {
    DropCounter() {
        Logger::setSink([this](int, const std::string&, const std::string& line) {
            if (line == "Executor::exeCurCmd waitForEnoughCache fail") ++budgetFailures;
        });
    }
    ~DropCounter() { Logger::setSink({}); }
    std::atomic<size_t> budgetFailures{0};
};

// Splits delivered frames back into packets: by their length byte (protocol 7) or in fixed
// units (protocol 5); the zero padding behind the last packet ends a frame.
std::vector<Bytes> packetsOf(const std::vector<Bytes>& frames, bool proto7) {
    std::vector<Bytes> out;
    for (const Bytes& f : frames) {
        for (size_t at = 0; at + 4 <= f.size();) {
            const size_t len = proto7 ? f[at + 2] : kProto5PacketLen;
            if (len < 4 || at + len > f.size() || (f[at] == 0 && f[at + 1] == 0)) break;
            out.emplace_back(f.begin() + static_cast<std::ptrdiff_t>(at),
                             f.begin() + static_cast<std::ptrdiff_t>(at + len));
            at += len;
        }
    }
    return out;
}

// Waits poll a board that drains slowly, so the streaming thread really waits for room.
sim::SimConfig slowBoard(BOARD_PROTOCOL protocol) {
    sim::SimConfig c;
    c.protocol = protocol;
    c.pacing = sim::Pacing::kSimulated;
    c.commandMemory = 16 * 1024;
    c.ticksPerPoll = 200;
    return c;
}

struct Case {
    BOARD_PROTOCOL protocol;
    bool stopClearsList;  // setStopMark drops what is queued; setReset keeps it
    uint32_t frameLen;    // of the direct link
};

// Printed by its fields: gtest would otherwise print the raw bytes, padding included.
void PrintTo(const Case& c, std::ostream* os) {
    *os << (c.protocol == BOARD_PROTOCOL_7 ? "protocol 7" : "protocol 5") << (c.stopClearsList ? ", stop" : ", reset")
        << ", frame " << c.frameLen;
}

template <class Base>
void run(const Case& c) {
    sim::SimBoard board(slowBoard(c.protocol));
    sim::SimTransfer link(board);
    CountingTransfer counting(link);
    Watched<Base> e;
    e.setTransfer(&counting);
    DropCounter drops;
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
        while (queueing && counting.frames().size() < kFramesBeforeStop) std::this_thread::yield();
        if (c.stopClearsList)
            e.setStopMark();
        else
            e.setReset();
    });
    producer.join();
    streamer.join();
    stopper.join();
    utils::Thread::setSleepHook({});

    EXPECT_EQ(e.refused, 0);
    const std::vector<Bytes> sent = packetsOf(counting.frames(), c.protocol == BOARD_PROTOCOL_7);
    const std::vector<Bytes> left = e.left();
    const std::vector<Bytes>& queued = e.queued;
    ASSERT_EQ(queued.size(), kPackets);
    ASSERT_LE(sent.size() + left.size(), queued.size());
    // What stays is the back of what was queued; what went out came before it, in order, with
    // no packet twice. The gaps between are whole frames dropped the documented ways.
    EXPECT_TRUE(std::equal(left.begin(), left.end(), queued.end() - static_cast<std::ptrdiff_t>(left.size())));
    std::vector<uint32_t> gaps;  // bytes of each run of packets that neither went out nor stayed
    size_t next = 0;
    for (const Bytes& packet : sent) {
        uint32_t gap = 0;
        while (next < queued.size() && queued[next] != packet) gap += static_cast<uint32_t>(queued[next++].size());
        ASSERT_LT(next, queued.size()) << "a packet went out that was not queued, or out of order";
        if (gap != 0) gaps.push_back(gap);
        ++next;
    }
    ASSERT_LE(next, queued.size() - left.size());
    uint32_t tail = 0;
    for (size_t i = next; i < queued.size() - left.size(); ++i) tail += static_cast<uint32_t>(queued[i].size());
    if (tail != 0) gaps.push_back(tail);
    if (!c.stopClearsList) {
        // One frame in hand when the stop came, plus one for every call that ran out of waits.
        EXPECT_LE(gaps.size(), drops.budgetFailures + 1);
        for (uint32_t gap : gaps) EXPECT_LE(gap, c.frameLen);
    }
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
                                           Case{BOARD_PROTOCOL_5, false, 2880}, Case{BOARD_PROTOCOL_5, true, 2880}),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             return std::string(info.param.protocol == BOARD_PROTOCOL_7 ? "Protocol7" : "Protocol5") +
                                    (info.param.stopClearsList ? "StopMark" : "Reset");
                         });
