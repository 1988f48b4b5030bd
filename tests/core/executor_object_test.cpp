#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "executor/core/executor.h"
#include "executor/proto7/executor7.h"
#include "support/fake_transfer.h"
#include "support/harness.h"

using ::testing::ElementsAre;
using ::testing::Pair;

TEST(ExecutorFactory, ProtocolSelectsTheKindAndOtherValuesGiveNothing) {
    std::unique_ptr<Executor> e7(Executor::create(BOARD_TYPE_PROTOCOL7, BOARD_PROTOCOL_7));
    std::unique_ptr<Executor> e5(Executor::create(BOARD_TYPE_PROTOCOL5, BOARD_PROTOCOL_5));
    ASSERT_NE(e7, nullptr);
    ASSERT_NE(e5, nullptr);
    EXPECT_EQ(e7->getProtVer(), 7);
    EXPECT_EQ(e5->getProtVer(), 5);
    EXPECT_NE(dynamic_cast<Executor7*>(e7.get()), nullptr);
    EXPECT_EQ(dynamic_cast<Executor7*>(e5.get()), nullptr);
    EXPECT_EQ(Executor::create(BOARD_TYPE_PROTOCOL7, 2), nullptr);
    EXPECT_EQ(Executor::create(BOARD_TYPE_PROTOCOL7, -1), nullptr);
}

TEST(ExecutorFactory, FreshExecutorIsStoppedAndDisabledUntilItHasATransport) {
    std::unique_ptr<Executor> e(Executor::create(BOARD_TYPE_PROTOCOL7, BOARD_PROTOCOL_7));
    EXPECT_TRUE(e->isStopRun());
    EXPECT_FALSE(e->isEnable());
    EXPECT_FALSE(e->isVirtual());
    EXPECT_FALSE(e->isOfflineMode());

    FakeTransfer t;
    e->setTransfer(&t);
    EXPECT_TRUE(e->isEnable());
    e->setEnable(false);
    EXPECT_FALSE(e->isEnable());
    e->setEnable(true);
    // Valid and enabled but without a transport the executor is not usable.
    e->setTransfer(nullptr);
    EXPECT_FALSE(e->isEnable());
}

TEST(GetProtocol, EchoOfTheProbeMeansProtocol5AndAnythingElseProtocol7) {
    struct Case {
        Bytes reply;
        BOARD_PROTOCOL expected;
    };
    const Case cases[] = {
        {{0x01, 0x23, 0x00}, BOARD_PROTOCOL_5},
        {{0x01, 0x24, 0x00}, BOARD_PROTOCOL_7},
        {{0x23, 0x01}, BOARD_PROTOCOL_7},
        {{}, BOARD_PROTOCOL_7},
    };
    for (const Case& c : cases) {
        FakeTransfer t;
        t.answer(0x0123, c.reply);
        BOARD_PROTOCOL found = -1;
        ASSERT_TRUE(Executor::getProtocol(&t, found));
        EXPECT_EQ(found, c.expected);
        ASSERT_EQ(t.requests().size(), 1u);
        EXPECT_THAT(t.requests()[0], ElementsAre(0x01, 0x23, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0));
        EXPECT_FALSE(t.exchanges[0].flag);
        EXPECT_EQ(t.exchanges[0].replyCapacity, 256u);
    }
}

TEST(GetProtocol, LinkModeIsResetBeforeAndSetAfterTheProbe) {
    FakeTransfer t5;
    t5.answer(0x0123, Bytes{0x01, 0x23});
    BOARD_PROTOCOL p = -1;
    ASSERT_TRUE(Executor::getProtocol(&t5, p));
    EXPECT_THAT(t5.linkModes, ElementsAre(Pair(false, false), Pair(false, false)));

    t5.linkModes.clear();
    t5.netLink = true;
    ASSERT_TRUE(Executor::getProtocol(&t5, p));
    EXPECT_THAT(t5.linkModes, ElementsAre(Pair(false, false), Pair(true, false)));

    FakeTransfer t7;
    ASSERT_TRUE(Executor::getProtocol(&t7, p));
    EXPECT_THAT(t7.linkModes, ElementsAre(Pair(false, false), Pair(true, true)));
}

TEST(GetProtocol, OpensOnlyAClosedTransportAndFailsWithoutOne) {
    BOARD_PROTOCOL p = 42;
    EXPECT_FALSE(Executor::getProtocol(nullptr, p));

    FakeTransfer open;
    ASSERT_TRUE(Executor::getProtocol(&open, p));
    EXPECT_EQ(open.count("openDev"), 0u);

    FakeTransfer closed;
    closed.open = false;
    ASSERT_TRUE(Executor::getProtocol(&closed, p));
    EXPECT_EQ(closed.count("openDev"), 1u);
    EXPECT_TRUE(closed.open);

    FakeTransfer broken;
    broken.open = false;
    broken.openResult = false;
    p = 42;
    EXPECT_FALSE(Executor::getProtocol(&broken, p));
    EXPECT_TRUE(broken.exchanges.empty());
    EXPECT_EQ(p, 42);
}

TEST(GetProtocol, FailedProbeLeavesTheProtocolUnwritten) {
    FakeTransfer t;
    t.failOpcode(0x0123);
    BOARD_PROTOCOL p = 42;
    EXPECT_FALSE(Executor::getProtocol(&t, p));
    EXPECT_EQ(p, 42);
}

TEST(ExecutorInfo, DevInfoCopiesConnectionIdentityAndType) {
    Harness h;
    h.healthyBoard7();
    h.devPar.m_index = 7;
    h.devPar.m_text2 = "carried";
    ASSERT_EQ(h.connect(), SDK_OK);
    DevInfo info;
    EXPECT_TRUE(h.executor->getDevInfo(info));
    EXPECT_EQ(info.devPar.m_index, 7u);
    EXPECT_EQ(info.devPar.m_text2, "carried");
    EXPECT_EQ(info.boardType, BOARD_TYPE_PROTOCOL7);
    EXPECT_EQ(info.boardTypeSub, BOARD_TYPE_SUB_UNKNOWN);
    EXPECT_EQ(h.executor->getDevID(), "");
}

TEST(ExecutorUserPort, PassesBytesThroughTheTransport) {
    Harness h;
    uint8_t out[3] = {1, 2, 3};
    int32_t len = 3;
    EXPECT_TRUE(h.executor->writeUPort(out, len));
    EXPECT_THAT(h.transfer.written, ElementsAre(1, 2, 3));

    h.transfer.toRead = {9, 8, 7, 6};
    uint8_t in[8] = {};
    len = 8;
    EXPECT_TRUE(h.executor->readUPort(in, len));
    EXPECT_EQ(len, 4);
    EXPECT_EQ(in[3], 6);

    h.executor->setTransfer(nullptr);
    EXPECT_FALSE(h.executor->readUPort(in, len));
    EXPECT_FALSE(h.executor->writeUPort(out, len));
}
