#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cmd/packet_writer.h"
#include "support/axes.h"
#include "support/harness.h"

using ::testing::ElementsAre;

// Lost frames, failed room checks and stalls on a real board are walked end to end; here the
// buffer, the wait budget and the waits' exits.

namespace {

// A connected, marking protocol 7 board (500-byte frames) and 12-byte list packets whose payload
// carries a sequence number, so frames can be read back.
struct List : ::testing::Test, Running7 {
    static KestCmd* numbered(uint16_t n) {
        auto cmd = makeListPacket(0x0A00, 12);
        PacketWriter(*cmd).be16(4, n);
        return cmd.release();
    }
    void queue(uint16_t from, uint16_t count, size_t buffer = 100000) {
        executor->setBufferSize(static_cast<uint32_t>(buffer));
        for (uint16_t i = from; i < from + count; ++i) executor->addCmd(numbered(i));
    }
    // Sequence numbers in each frame sent so far.
    std::vector<std::vector<uint16_t>> sent() {
        std::vector<std::vector<uint16_t>> out;
        for (const Bytes& f : transfer.frames()) {
            out.emplace_back();
            for (const Bytes& p : packetsOf(f)) out.back().push_back(be16(p, 4));
        }
        return out;
    }
    size_t polls() { return transfer.requestsFor(op7::kDevState).size(); }
    void busyBoard() { transfer.answer(op7::kDevState, stateReply7(0, false, 3)); }
};

using Frames = std::vector<std::vector<uint16_t>>;

}  // namespace

// A packet that fills the buffer exactly is sent at once; one that would overflow it sends the
// rest first. Offline, packets queue up to the SRAM limit and nothing is sent.
TEST_F(List, AddCmdFlushesAtTheBufferSize) {
    EXPECT_FALSE(executor->addCmd(nullptr));
    executor->setEnable(false);
    EXPECT_FALSE(executor->addCmd(numbered(1)));
    executor->setEnable(true);
    queue(1, 2, 36);  // 12 + 24 == 36
    EXPECT_EQ(sent(), (Frames{{1, 2}}));
    queue(3, 3, 30);  // 24 queued and 12 + 24 != 30; the third overflows
    EXPECT_EQ(sent(), (Frames{{1, 2}, {3, 4}}));
    EXPECT_TRUE(executor->exeCurCmd(false));
    EXPECT_EQ(sent(), (Frames{{1, 2}, {3, 4}, {5}}));
    transfer.failFrames(true);
    executor->setBufferSize(24);
    executor->addCmd(numbered(6));
    EXPECT_FALSE(executor->addCmd(numbered(7)));  // sent at once, and the send fails
    EXPECT_FALSE(executor->addCmd(numbered(8)));

    transfer.exchanges.clear();
    executor->setOfflineMode(true);
    executor->setSRamMaxSize(24);
    EXPECT_TRUE(executor->addCmd(numbered(1)));
    EXPECT_TRUE(executor->addCmd(numbered(2)));
    EXPECT_FALSE(executor->addCmd(numbered(3)));
    EXPECT_TRUE(executor->exeCurCmd(true));
    EXPECT_TRUE(transfer.exchanges.empty());
}

// 2 x 120 + 10000 = 10240 bytes: 9 KiB is short, 10 KiB is just enough. An empty list waits
// for no room but still for the job.
TEST_F(List, FrameWaitsForTwiceItsLengthPlusMargin) {
    transfer.answerSequence(op7::kDevState, {stateReply7(4095, false, 3), stateReply7(4095, true, 3)});
    EXPECT_TRUE(executor->exeCurCmd(true));
    EXPECT_TRUE(transfer.frames().empty());
    EXPECT_EQ(polls(), 2u);
    transfer.exchanges.clear();
    sleeps.pauses.clear();
    queue(0, 10);
    transfer.answerSequence(op7::kDevState, {stateReply7(9, false, 3), stateReply7(10, false, 3), stateReply7(11, 0)});
    EXPECT_TRUE(executor->exeCurCmd(false));
    EXPECT_EQ(polls(), 2u);
    EXPECT_THAT(sleeps.pauses, ElementsAre(10));
    ASSERT_EQ(transfer.frames().size(), 1u);
    EXPECT_EQ(transfer.exchanges.back().replyCapacity, 256u);
    EXPECT_FALSE(transfer.exchanges.back().flag);
}

TEST_F(List, OneCallWaitsForAtMostThreeFrames) {
    queue(0, 205);  // 41 packets fill a 500-byte frame; five frames' worth
    EXPECT_FALSE(executor->exeCurCmd(false));
    EXPECT_TRUE(log.contains("Executor::exeCurCmd waitForEnoughCache fail"));
    ASSERT_EQ(sent().size(), 3u);
    EXPECT_TRUE(executor->exeCurCmd(false));  // the fourth frame was lost; only the fifth is left
    ASSERT_EQ(sent().size(), 4u);
    EXPECT_EQ(sent()[3].front(), 164);
    EXPECT_EQ(sent()[3].size(), 41u);

    transfer.exchanges.clear();
    transfer.failOpcode(op7::kDevState);  // failed room checks use up the same budget
    queue(1, 1);
    EXPECT_FALSE(executor->exeCurCmd(false));
    EXPECT_EQ(polls(), 3u);
}

// Another thread stops or disables while a frame waits for room: it is dropped, without a failure.
TEST_F(List, StopOrDisableDuringTheWait) {
    queue(1, 1);
    busyBoard();
    sleeps.onSleep = [&](uint32_t) { executor->setReset(); };
    EXPECT_TRUE(executor->exeCurCmd(false));
    EXPECT_TRUE(transfer.frames().empty());
    EXPECT_EQ(sleeps.pauses.size(), 1u);
    executor->setRun();
    queue(2, 1);
    sleeps.onSleep = [&](uint32_t) { executor->setEnable(false); };
    EXPECT_TRUE(executor->exeCurCmd(false));
    EXPECT_EQ(polls(), 2u);
}

// An unbound board is refused and keeps the list; a virtual one is never polled for room.
TEST_F(List, UnboundAndVirtualBoards) {
    queue(7, 1);
    transfer.directLink = false;  // now the board needs binding, which this executor never did
    EXPECT_FALSE(executor->exeCurCmd(false));
    transfer.directLink = true;
    transfer.virtualLink = true;
    EXPECT_TRUE(executor->exeCurCmd(false));
    EXPECT_EQ(sent(), (Frames{{7}}));
    EXPECT_EQ(polls(), 0u);
}

// Work state 2 still counts as working; below 2 the board is idle; a failed refresh or a stop
// meanwhile ends the wait.
TEST_F(List, WaitForFinishPollsUntilFinishedOrIdleEvery5ms) {
    transfer.answerSequence(op7::kDevState,
                            {stateReply7(4095, false, 3), stateReply7(4095, false, 2), stateReply7(4095, false, 1)});
    EXPECT_TRUE(executor->waitForFinish());
    EXPECT_EQ(polls(), 3u);
    EXPECT_THAT(sleeps.pauses, ElementsAre(5, 5));
    transfer.failOpcode(op7::kDevState);
    EXPECT_TRUE(executor->waitForFinish());
    EXPECT_EQ(polls(), 4u);
    transfer = FakeTransfer();
    busyBoard();
    sleeps.onSleep = [&](uint32_t) {
        if (sleeps.pauses.size() == 6) executor->setReset();
    };
    EXPECT_TRUE(executor->waitForFinish());
    EXPECT_EQ(polls(), 4u);
    // Stopped it answers isEnable() at once; offline or virtual it does not poll either.
    EXPECT_TRUE(executor->waitForFinish());
    executor->setEnable(false);
    EXPECT_FALSE(executor->waitForFinish());
    executor->setEnable(true);
    executor->setRun();
    sleeps.onSleep = [&](uint32_t) { executor->setReset(); };  // a poll would end here
    sleeps.pauses.clear();
    transfer.exchanges.clear();
    executor->setOfflineMode(true);
    EXPECT_TRUE(executor->waitForFinish());
    executor->setOfflineMode(false);
    transfer.virtualLink = true;
    EXPECT_TRUE(executor->waitForFinish());
    EXPECT_THAT(sleeps.pauses, ElementsAre(5));
    EXPECT_EQ(polls(), 0u);
}

// Axis 1 is the high nibble of reply byte 40; failed polls do not end the wait.
TEST_F(List, WaitForMoveFinishPollsTheAxisBitEvery20ms) {
    transfer.answerSequence(op7::kDevExtState, {replyWith(48, {{40, 0x10}}), replyWith(48, {{40, 0x01}})});
    transfer.failExchange(2);
    EXPECT_TRUE(executor->waitForMoveFinish(1));
    EXPECT_EQ(transfer.requestsFor(op7::kDevExtState).size(), 3u);
    EXPECT_THAT(sleeps.pauses, ElementsAre(20, 20));
    EXPECT_TRUE(executor->waitForMoveFinish(4));  // beyond the four slots: nothing to wait for
    EXPECT_EQ(transfer.requestsFor(op7::kDevExtState).size(), 3u);
}
