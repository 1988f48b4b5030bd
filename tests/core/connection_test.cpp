#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "cmd/packet_writer.h"
#include "proto5/executor5.h"
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

// A protocol 5 executor whose board always runs its application, so init completes.
struct RunningExecutor5 : Executor5 {
    BoardMode getBoardMode() override { return BOARD_MODE_APPLICATION; }
};

TEST(Init, Protocol5FrameSizeFollowsTheLinkInTableOrder) {
    struct Case {
        bool net;
        bool fast;
        int32_t linkType;
        uint16_t frame;
    };
    for (const Case& c : {Case{true, true, 1, 1464}, Case{false, true, 0, 23040}, Case{false, false, 1, 23040},
                          Case{false, false, 0, 2880}}) {
        Harness h(std::make_unique<RunningExecutor5>());
        h.transfer.netLink = c.net;
        h.transfer.fastLink = c.fast;
        h.transfer.linkType = c.linkType;
        ASSERT_EQ(h.connect(), SDK_OK);
        EXPECT_FALSE(acceptsPacketOf(*h.executor, static_cast<uint16_t>(c.frame + 1))) << c.frame;
        EXPECT_TRUE(acceptsPacketOf(*h.executor, c.frame)) << c.frame;
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

// A board that reports it can run offline, as only protocol 5 boards do today.
struct OfflineCapable7 : Executor7 {
    bool getDevType(BOARD_TYPE& type, BOARD_TYPE_SUB& subType, DevSysInfo& info) override {
        const bool ok = Executor7::getDevType(type, subType, info);
        info.offlineSupport = true;
        return ok;
    }
};

TEST(Init, OfflineBoardIsSwitchedOnlineAndAFailedSwitchIsLogged) {
    for (bool staysOffline : {false, true}) {
        Harness h(std::make_unique<OfflineCapable7>());
        h.healthyBoard7();
        const Bytes offline = replyWith(32, {{5, 0x01}, {12, 0x01}});
        const Bytes online = replyWith(32, {{12, 0x01}});
        h.transfer.answerSequence(op7::kDevState, {offline, staysOffline ? offline : online});
        ASSERT_EQ(h.connect(true, false), SDK_OK);
        EXPECT_THAT(opcodes(h.transfer), ElementsAre(0xFFF1, 0xF0F0, 0xAA10, 0xAA34, 0xAA05, 0xAAA6, 0xAA10, 0xAA05));
        EXPECT_THAT(h.transfer.requestsFor(0xAAA6).at(0), ElementsAre(0xAA, 0xA6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0));
        EXPECT_THAT(h.sleeps.pauses, ElementsAre(2, 100));
        EXPECT_EQ(h.log.contains("板卡异常,切换在线模式失败"), staysOffline);
    }
}

TEST(Init, OnlineBoardOrNoRequestLeavesTheModeAlone) {
    Harness h(std::make_unique<OfflineCapable7>());
    h.healthyBoard7();
    ASSERT_EQ(h.connect(true, false), SDK_OK);  // status says online
    h.transfer.answer(op7::kDevState, replyWith(32, {{5, 0x01}, {12, 0x01}}));
    ASSERT_EQ(h.connect(false, false), SDK_OK);  // offline, but not asked to switch
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
    ASSERT_EQ(h.transfer.frames().size(), 1u);
    EXPECT_THAT(h.transfer.frames()[0],
                ElementsAre(0x02, 0x41, 18, 0, 0x27, 0x10, 0x01, 0xF4, 0x00, 0x80, 0x00, 0x00, 0x80, 0x00, 0, 0, 0, 0));
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
