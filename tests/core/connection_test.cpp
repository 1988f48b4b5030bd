#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cmd/packet_writer.h"
#include "support/harness.h"

using ::testing::ElementsAre;

namespace {

std::vector<uint16_t> opcodes(const FakeTransfer& t) {
    std::vector<uint16_t> out;
    for (const Bytes& r : t.requests()) out.push_back(FakeTransfer::opcodeOf(r));
    return out;
}

// The frame size shows in what addCmd accepts: a packet of the frame size fits, one byte more does not.
bool acceptsPacketOf(Executor& e, uint16_t length) { return e.addCmd(makeListPacket(0x0100, length).release()); }

}  // namespace

TEST(Init, Protocol7FrameSizeFollowsTheLink) {
    for (bool net : {false, true}) {
        Harness h;
        h.transfer.netLink = net;
        h.healthyBoard7();
        ASSERT_EQ(h.connect(), SDK_OK);
        const uint16_t frame = net ? 1464 : 500;
        EXPECT_FALSE(acceptsPacketOf(*h.executor, static_cast<uint16_t>(frame + 1)));
        EXPECT_TRUE(acceptsPacketOf(*h.executor, frame));
    }
}

TEST(Init, ConnectsResetsAndReadsTheBoardInOrder) {
    Harness h;
    h.healthyBoard7();
    ASSERT_EQ(h.connect(), SDK_OK);
    EXPECT_THAT(opcodes(h.transfer), ElementsAre(0xFFF1, 0xF0F0, 0xAA10, 0xAA34, 0xAA05));
    EXPECT_THAT(h.sleeps.pauses, ElementsAre(2));
    EXPECT_TRUE(h.executor->isEnable());
    EXPECT_TRUE(h.executor->isStopRun());
}

TEST(Init, BoardReachingItsApplicationOnTheThirdReadIsAccepted) {
    Harness h;
    h.healthyBoard7();
    h.transfer.answerSequence(op7::kBoardMode,
                              {replyWith(4, {{2, 0x01}}), replyWith(4, {{2, 0x01}}), replyWith(4, {{2, 0x04}})});
    EXPECT_EQ(h.connect(), SDK_OK);
    EXPECT_THAT(h.sleeps.pauses, ElementsAre(1000, 1000, 2));
}

TEST(Init, BoardStuckInFactoryModeLeavesTheExecutorUnusable) {
    Harness h;
    h.healthyBoard7();
    h.transfer.answer(op7::kBoardMode, replyWith(4, {{2, 0x01}}));
    EXPECT_EQ(h.connect(), SDK_NOT_ENABLED);
    EXPECT_THAT(h.sleeps.pauses, ElementsAre(1000, 1000, 1000));
    EXPECT_TRUE(h.log.contains("板卡异常,初始化时仍然处于工厂模式 uMode=1"));
    EXPECT_FALSE(h.executor->isEnable());
    // The type is still read; the board is neither reset nor asked for status.
    EXPECT_THAT(opcodes(h.transfer), ElementsAre(0xFFF1, 0xFFF1, 0xFFF1, 0xF0F0));
    EXPECT_FALSE(h.executor->addCmd(makeListPacket(0x0100, 8).release()));
}

TEST(Init, UnansweredModeReadsReportModeZero) {
    Harness h;
    h.transfer.failOpcode(op7::kBoardMode);
    EXPECT_EQ(h.connect(), SDK_NOT_ENABLED);
    EXPECT_TRUE(h.log.contains("板卡异常,初始化时仍然处于工厂模式 uMode=0"));
}

TEST(Init, MissingOrUnopenableTransport) {
    std::unique_ptr<Executor> e(Executor::create(BOARD_TYPE_PROTOCOL7, BOARD_PROTOCOL_7));
    LogRecorder log;
    EXPECT_EQ(e->init(DevPar(), false, false), SDK_TRANSFER_NULL);
    EXPECT_TRUE(log.contains("Executor::init m_transfer null"));

    Harness h;
    h.transfer.open = false;
    h.transfer.openResult = false;
    EXPECT_EQ(h.connect(), SDK_OPEN_FAIL);
    EXPECT_TRUE(h.log.contains("Executor::init openDev fail"));
    EXPECT_FALSE(h.executor->isEnable());
    EXPECT_TRUE(h.transfer.exchanges.empty());
}

TEST(Init, OpensAClosedTransport) {
    Harness h;
    h.healthyBoard7();
    h.transfer.open = false;
    EXPECT_EQ(h.connect(), SDK_OK);
    EXPECT_EQ(h.transfer.count("openDev"), 1u);
}

TEST(Init, Protocol7BoardsAreNeverSwitchedOnline) {
    Harness h;
    h.healthyBoard7();
    h.transfer.answer(op7::kDevState, replyWith(32, {{5, 0x01}, {12, 0x01}, {15, 0xFF}}));  // offline
    ASSERT_EQ(h.connect(true, false), SDK_OK);
    EXPECT_TRUE(h.transfer.requestsFor(0xAAA6).empty());
}

TEST(Init, MoveToCenterStartsMarksAndResetsAgain) {
    Harness h;
    h.healthyBoard7();
    ASSERT_EQ(h.connect(false, true), SDK_OK);
    std::vector<uint8_t> runStates;
    for (const Bytes& r : h.transfer.requestsFor(op7::kRunState)) runStates.push_back(r[3]);
    EXPECT_THAT(runStates, ElementsAre(1, 3, 1));  // reset, run for the jump, reset
    EXPECT_TRUE(h.executor->isStopRun());
}

TEST(UnInit, ReleasesTheLinkAndTheExecutor) {
    Harness h;
    h.healthyBoard7();
    ASSERT_EQ(h.connect(), SDK_OK);
    EXPECT_TRUE(h.executor->unInit());
    EXPECT_EQ(h.transfer.count("closeDev"), 1u);
    EXPECT_FALSE(h.executor->isEnable());

    h.transfer.calls.clear();
    EXPECT_TRUE(h.executor->unInit());  // already closed: nothing to close
    EXPECT_EQ(h.transfer.count("closeDev"), 0u);

    std::unique_ptr<Executor> bare(Executor::create(BOARD_TYPE_PROTOCOL7, BOARD_PROTOCOL_7));
    EXPECT_TRUE(bare->unInit());
}
