#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "cmd/packet_writer.h"
#include "support/harness.h"

using ::testing::Each;
using ::testing::ElementsAre;

namespace {

// A 12-byte list packet whose payload carries a sequence number, so frames can be read back.
KestCmd* numbered(uint16_t n) {
    auto cmd = makeListPacket(0x0A00, 12);
    PacketWriter(*cmd).be16(4, n);
    return cmd.release();
}

// Sequence numbers of the packets inside a frame of numbered packets.
std::vector<uint16_t> numbersIn(const Bytes& frame) {
    std::vector<uint16_t> out;
    for (size_t off = 0; off + 12 <= frame.size() && frame[off + 2] == 12; off += 12)
        out.push_back(static_cast<uint16_t>(frame[off + 4] << 8 | frame[off + 5]));
    return out;
}

size_t statusPolls(const FakeTransfer& t) { return t.requestsFor(op7::kDevState).size(); }

}  // namespace

TEST(AddCmd, RefusesWithoutPacketTransportOrEnable) {
    Running7 h;
    EXPECT_FALSE(h.executor->addCmd(nullptr));
    h.executor->setEnable(false);
    EXPECT_FALSE(h.executor->addCmd(numbered(1)));
    h.executor->setEnable(true);
    h.executor->setTransfer(nullptr);
    EXPECT_FALSE(h.executor->addCmd(numbered(2)));
    h.executor->setTransfer(&h.transfer);
    EXPECT_TRUE(h.executor->exeCurCmd(false));
    EXPECT_TRUE(h.transfer.frames().empty());
}

TEST(AddCmd, PacketThatBringsTheListToOnePacketShortOfTheBufferIsSentAtOnce) {
    Running7 h;
    h.executor->setBufferSize(36);
    EXPECT_TRUE(h.executor->addCmd(numbered(1)));
    EXPECT_TRUE(h.transfer.frames().empty());
    EXPECT_TRUE(h.executor->addCmd(numbered(2)));  // 12 + 24 queued = 36
    ASSERT_EQ(h.transfer.frames().size(), 1u);
    EXPECT_THAT(numbersIn(h.transfer.frames()[0]), ElementsAre(1, 2));
}

TEST(AddCmd, PacketThatWouldOverflowTheBufferFlushesFirst) {
    Running7 h;
    h.executor->setBufferSize(30);
    h.executor->addCmd(numbered(1));
    h.executor->addCmd(numbered(2));  // 24 queued; 12 + 24 != 30
    EXPECT_TRUE(h.transfer.frames().empty());
    h.executor->addCmd(numbered(3));  // 36 > 30: the first two go out, then 3 is queued
    ASSERT_EQ(h.transfer.frames().size(), 1u);
    EXPECT_THAT(numbersIn(h.transfer.frames()[0]), ElementsAre(1, 2));
    EXPECT_TRUE(h.executor->exeCurCmd(false));
    EXPECT_THAT(numbersIn(h.transfer.frames()[1]), ElementsAre(3));
}

TEST(AddCmd, FailedFlushRefusesThePacket) {
    Running7 h;
    h.executor->setBufferSize(24);
    h.transfer.failFrames(true);
    h.executor->addCmd(numbered(1));
    EXPECT_FALSE(h.executor->addCmd(numbered(2)));  // 12 + 12 == 24: sent at once, and the send fails
    EXPECT_FALSE(h.executor->addCmd(numbered(3)));  // nothing queued after the failed frame, 3 + flush fails again
}

TEST(AddCmd, PacketLongerThanAFrameIsRefused) {
    Harness h;
    h.running7();  // 500-byte frames on a direct link
    EXPECT_FALSE(h.executor->addCmd(makeListPacket(0x0100, 501).release()));
    EXPECT_TRUE(h.log.contains("Executor::addCmd packet longer than frame"));
    EXPECT_TRUE(h.executor->addCmd(makeListPacket(0x0100, 500).release()));
}

TEST(AddCmd, OfflineModeQueuesUpToTheSramLimitAndSendsNothing) {
    Running7 h;
    h.executor->setOfflineMode(true);
    h.executor->setSRamMaxSize(24);
    EXPECT_TRUE(h.executor->addCmd(numbered(1)));
    EXPECT_TRUE(h.executor->addCmd(numbered(2)));
    EXPECT_FALSE(h.executor->addCmd(numbered(3)));
    EXPECT_TRUE(h.executor->exeCurCmd(true));
    EXPECT_TRUE(h.transfer.exchanges.empty());
}

TEST(ExeCurCmd, EmptyListNeitherWaitsNorSendsButStillWaitsForTheJob) {
    Running7 h;
    EXPECT_TRUE(h.executor->exeCurCmd(false));
    EXPECT_TRUE(h.transfer.exchanges.empty());

    h.transfer.answerSequence(op7::kDevState, {stateReply7(4095, false, 3), stateReply7(4095, true, 3)});
    EXPECT_TRUE(h.executor->exeCurCmd(true));
    EXPECT_TRUE(h.transfer.frames().empty());
    EXPECT_EQ(statusPolls(h.transfer), 2u);
}

TEST(ExeCurCmd, FrameWaitsForTwiceItsLengthPlusMargin) {
    Harness h;
    h.transfer.netLink = true;  // 1464-byte frames; direct link, so no binding
    h.running7();
    h.executor->setBufferSize(100000);
    for (uint16_t i = 0; i < 122; ++i) h.executor->addCmd(numbered(i));  // exactly 1464 bytes
    // 2 x 1464 + 10000 = 12928 bytes: 12 KiB is short, 13 KiB is enough.
    h.transfer.answerSequence(op7::kDevState,
                              {stateReply7(12, false, 3), stateReply7(12, false, 3), stateReply7(13, false, 3)});
    EXPECT_TRUE(h.executor->exeCurCmd(false));
    EXPECT_EQ(statusPolls(h.transfer), 3u);
    EXPECT_THAT(h.sleeps.pauses, ElementsAre(10, 10));
    ASSERT_EQ(h.transfer.frames().size(), 1u);
    EXPECT_EQ(h.transfer.frames()[0].size(), 1464u);
    const auto& sent = h.transfer.exchanges.back();
    EXPECT_TRUE(sent.frame);
    EXPECT_EQ(sent.replyCapacity, 256u);
    EXPECT_FALSE(sent.flag);
}

TEST(ExeCurCmd, OneCallDeliversAtMostThreeFramesAndLosesTheFourth) {
    Running7 h;
    h.executor->setBufferSize(100000);
    // 41 packets fill a 500-byte frame (492 bytes); five frames' worth.
    for (uint16_t i = 0; i < 205; ++i) h.executor->addCmd(numbered(i));
    EXPECT_FALSE(h.executor->exeCurCmd(false));
    EXPECT_TRUE(h.log.contains("Executor::exeCurCmd waitForEnoughCache fail"));
    ASSERT_EQ(h.transfer.frames().size(), 3u);
    EXPECT_EQ(numbersIn(h.transfer.frames()[2]).front(), 82);

    EXPECT_TRUE(h.executor->exeCurCmd(false));  // only the fifth frame is left
    ASSERT_EQ(h.transfer.frames().size(), 4u);
    EXPECT_EQ(numbersIn(h.transfer.frames()[3]).front(), 164);
    EXPECT_EQ(numbersIn(h.transfer.frames()[3]).size(), 41u);
}

TEST(ExeCurCmd, StatusFailuresUseUpTheBudgetAndLoseTheFrame) {
    Running7 h;
    h.executor->addCmd(numbered(1));
    h.transfer.failOpcode(op7::kDevState);
    EXPECT_FALSE(h.executor->exeCurCmd(false));
    EXPECT_EQ(statusPolls(h.transfer), 3u);
    EXPECT_TRUE(h.transfer.frames().empty());
    const auto lines = h.log.lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), std::string("Executor::waitForEnoughCache getDevState fail")), 3);
    EXPECT_EQ(lines.back(), "Executor::exeCurCmd waitForEnoughCache fail");

    h.transfer = FakeTransfer();
    h.healthyBoard7();
    EXPECT_TRUE(h.executor->exeCurCmd(false));
    EXPECT_TRUE(h.transfer.frames().empty());  // the packet went with the lost frame
}

TEST(ExeCurCmd, FailedSendLosesTheFrameAndKeepsLaterPackets) {
    Running7 h;
    h.executor->setBufferSize(100000);
    for (uint16_t i = 0; i < 50; ++i) h.executor->addCmd(numbered(i));  // 41 + 9
    h.transfer.failFrames(true);
    EXPECT_FALSE(h.executor->exeCurCmd(false));
    EXPECT_TRUE(h.log.contains("Executor::exeCurCmd ReadAndWriteData fail"));
    EXPECT_EQ(h.transfer.frames().size(), 1u);

    h.transfer.failFrames(false);
    EXPECT_TRUE(h.executor->exeCurCmd(false));
    ASSERT_EQ(h.transfer.frames().size(), 2u);
    EXPECT_THAT(numbersIn(h.transfer.frames()[1]), ElementsAre(41, 42, 43, 44, 45, 46, 47, 48, 49));
}

TEST(ExeCurCmd, StoppedRunSendsNothingAndTheListGrowsPastTheBuffer) {
    Harness h;
    h.healthyBoard7();
    ASSERT_EQ(h.connect(), SDK_OK);  // init leaves the board reset
    ASSERT_TRUE(h.executor->isStopRun());
    h.executor->setBufferSize(24);
    for (uint16_t i = 0; i < 5; ++i) EXPECT_TRUE(h.executor->addCmd(numbered(i)));
    EXPECT_TRUE(h.transfer.frames().empty());

    ASSERT_TRUE(h.executor->setRun());
    h.executor->setBufferSize(1000);
    EXPECT_TRUE(h.executor->exeCurCmd(false));
    ASSERT_EQ(h.transfer.frames().size(), 1u);
    EXPECT_THAT(numbersIn(h.transfer.frames()[0]), ElementsAre(0, 1, 2, 3, 4));
}

TEST(ExeCurCmd, StopDuringTheWaitDropsTheFrameUnsent) {
    Running7 h;
    h.executor->addCmd(numbered(1));
    h.transfer.answer(op7::kDevState, stateReply7(0, false, 3));
    h.sleeps.onSleep = [&](uint32_t) { h.executor->setReset(); };  // another thread stops the run
    EXPECT_TRUE(h.executor->exeCurCmd(false));
    EXPECT_TRUE(h.transfer.frames().empty());
    EXPECT_EQ(h.sleeps.pauses.size(), 1u);
}

TEST(ExeCurCmd, DisablingDuringTheWaitEndsItWithoutAFailure) {
    Running7 h;
    h.executor->addCmd(numbered(1));
    h.transfer.answer(op7::kDevState, stateReply7(0, false, 3));
    h.sleeps.onSleep = [&](uint32_t) { h.executor->setEnable(false); };  // another thread disables
    EXPECT_TRUE(h.executor->exeCurCmd(false));
    EXPECT_FALSE(h.log.contains("Executor::exeCurCmd waitForEnoughCache fail"));
    EXPECT_EQ(statusPolls(h.transfer), 1u);
}

TEST(ExeCurCmd, RefusesWhenNotBoundAndKeepsTheList) {
    Running7 h;
    h.executor->addCmd(numbered(7));
    h.transfer.directLink = false;  // now the board needs binding, which this executor never did
    EXPECT_FALSE(h.executor->exeCurCmd(false));
    EXPECT_TRUE(h.log.contains("Executor::exeCurCmd not bind"));
    h.transfer.directLink = true;
    EXPECT_TRUE(h.executor->exeCurCmd(false));
    EXPECT_THAT(numbersIn(h.transfer.frames().at(0)), ElementsAre(7));
}

TEST(ExeCurCmd, ClearedListSendsNothing) {
    Running7 h;
    h.executor->addCmd(numbered(1));
    h.executor->clearCmdList();
    EXPECT_TRUE(h.executor->exeCurCmd(false));
    EXPECT_TRUE(h.transfer.frames().empty());
}

TEST(ExeCurCmd, VirtualBoardIsNeverPolledForRoom) {
    Running7 h;
    h.transfer.virtualLink = true;
    h.executor->addCmd(numbered(1));
    EXPECT_TRUE(h.executor->exeCurCmd(false));
    EXPECT_EQ(statusPolls(h.transfer), 0u);
    EXPECT_EQ(h.transfer.frames().size(), 1u);
}

TEST(WaitForFinish, PollsUntilFinishedOrIdleEvery5ms) {
    Running7 h;
    // Work state 2 still counts as working; below 2 the board is idle.
    h.transfer.answerSequence(op7::kDevState,
                              {stateReply7(4095, false, 3), stateReply7(4095, false, 2), stateReply7(4095, false, 1)});
    EXPECT_TRUE(h.executor->waitForFinish());
    EXPECT_EQ(statusPolls(h.transfer), 3u);
    EXPECT_THAT(h.sleeps.pauses, ElementsAre(5, 5));
}

TEST(WaitForFinish, EndsOnAFailedRefresh) {
    Running7 h;
    h.transfer.failOpcode(op7::kDevState);
    EXPECT_TRUE(h.executor->waitForFinish());
    EXPECT_EQ(statusPolls(h.transfer), 1u);
}

TEST(WaitForFinish, EndsWhenTheRunIsStoppedMeanwhile) {
    Running7 h;
    h.transfer.answer(op7::kDevState, stateReply7(4095, false, 3));
    int polls = 0;
    h.sleeps.onSleep = [&](uint32_t) {
        if (++polls == 4) h.executor->setReset();
    };
    EXPECT_TRUE(h.executor->waitForFinish());
    EXPECT_EQ(statusPolls(h.transfer), 4u);
}

TEST(WaitForFinish, ReturnsAtOnceWhenStoppedOfflineOrVirtual) {
    Harness h;
    h.healthyBoard7();
    ASSERT_EQ(h.connect(), SDK_OK);
    h.transfer.exchanges.clear();
    h.sleeps.pauses.clear();
    EXPECT_TRUE(h.executor->waitForFinish());  // stopped: answers isEnable()
    h.executor->setEnable(false);
    EXPECT_FALSE(h.executor->waitForFinish());
    h.executor->setEnable(true);
    h.executor->setRun();
    h.transfer.exchanges.clear();
    h.executor->setOfflineMode(true);
    EXPECT_TRUE(h.executor->waitForFinish());
    h.executor->setOfflineMode(false);
    h.transfer.virtualLink = true;
    EXPECT_TRUE(h.executor->waitForFinish());
    EXPECT_THAT(h.sleeps.pauses, ElementsAre(5));
    EXPECT_EQ(statusPolls(h.transfer), 0u);
}

TEST(WaitForMoveFinish, PollsTheAxisBitEvery20msAndKeepsPollingThroughFailures) {
    Running7 h;
    // Axis 1 is the high nibble of reply byte 40.
    h.transfer.answerSequence(op7::kDevExtState, {replyWith(48, {{40, 0x10}}), replyWith(48, {{40, 0x01}})});
    h.transfer.failExchange(2);
    EXPECT_TRUE(h.executor->waitForMoveFinish(1));
    EXPECT_EQ(h.transfer.requestsFor(op7::kDevExtState).size(), 3u);
    EXPECT_THAT(h.sleeps.pauses, ElementsAre(20, 20));
}

TEST(WaitForMoveFinish, AxisBeyondTheFourSlotsHasNothingToWaitFor) {
    Running7 h;
    EXPECT_TRUE(h.executor->waitForMoveFinish(4));
    EXPECT_TRUE(h.transfer.exchanges.empty());
}
