#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "cmd/packet_writer.h"
#include "support/harness.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

TEST(RunControl7, RequestBytes) {
    struct Case {
        const char* name;
        std::function<void(Executor7&)> call;
        Bytes request;
    };
    const Case cases[] = {
        {"setReset", [](Executor7& e) { e.setReset(); }, {0xAA, 0x10, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"setReady", [](Executor7& e) { e.setReady(); }, {0xAA, 0x10, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"setRun", [](Executor7& e) { e.setRun(); }, {0xAA, 0x10, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"setPauseMark", [](Executor7& e) { e.setPauseMark(); }, {0xAA, 0x2C, 5, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"setResumeMark", [](Executor7& e) { e.setResumeMark(); }, {0xAA, 0x2C, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"setDevOffline", [](Executor7& e) { e.setDevOffline(); }, {0xAA, 0xA6, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"setDevOnline", [](Executor7& e) { e.setDevOnline(); }, {0xAA, 0xA6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"setClearCache", [](Executor7& e) { e.setClearCache(); }, {0xAA, 0x18, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"setSoftTiggerMark", [](Executor7& e) { e.setSoftTiggerMark(); }, {0xAA, 0x30, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"setResetCount", [](Executor7& e) { e.setResetCount(); }, {0xAA, 0x34, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"setLedStatus", [](Executor7& e) { e.setLedStatus(3); }, {0xAA, 0xC5, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0}},
        {"setBootMode", [](Executor7& e) { e.setBootMode(); }, {0xFF, 0xF2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"setAppMode", [](Executor7& e) { e.setAppMode(); }, {0xFF, 0xF3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        Harness h;
        c.call(h.e7());
        ASSERT_EQ(h.transfer.requests().size(), 1u) << c.name;
        EXPECT_THAT(h.transfer.requests()[0], ElementsAreArray(c.request)) << c.name;
    }
}

TEST(RunControl7, StatusByteDecidesAndRefusalsKeepTheStopFlag) {
    Harness h;
    ASSERT_TRUE(h.executor->setRun());
    EXPECT_FALSE(h.executor->isStopRun());
    ASSERT_TRUE(h.executor->setReset());
    EXPECT_TRUE(h.executor->isStopRun());
    ASSERT_TRUE(h.executor->setReady());
    EXPECT_FALSE(h.executor->isStopRun());

    h.transfer.answer(op7::kRunState, replyWith(4, {{2, 0x01}}));
    EXPECT_FALSE(h.executor->setReset());
    EXPECT_FALSE(h.executor->isStopRun());
    h.transfer.answer(op7::kRunState, replyWith(4, {}));
    h.executor->setReset();
    h.transfer.failOpcode(op7::kRunState);
    EXPECT_FALSE(h.executor->setRun());
    EXPECT_FALSE(h.executor->setReady());
    EXPECT_TRUE(h.executor->isStopRun());
}

TEST(RunControl7, RefusedCommandsReportFalseAndThreeBytesAreEnough) {
    Harness h;
    h.transfer.defaultReply = Bytes{0, 0, 1};
    EXPECT_FALSE(h.executor->setPauseMark());
    EXPECT_FALSE(h.e7().setLedStatus(1));
    EXPECT_FALSE(h.executor->setSoftTiggerMark());
    h.transfer.defaultReply = Bytes{0, 0, 0};
    EXPECT_TRUE(h.executor->setPauseMark());
    EXPECT_TRUE(h.executor->setDevOnline());
}

TEST(RunControl7, ClearCacheTrustsTheTransportAndSkipsOfflineMode) {
    Harness h;
    h.transfer.defaultReply = Bytes{0, 0, 1};
    EXPECT_TRUE(h.executor->setClearCache());
    h.executor->setOfflineMode(true);
    h.transfer.exchanges.clear();
    EXPECT_TRUE(h.executor->setClearCache());
    EXPECT_TRUE(h.transfer.exchanges.empty());
    h.executor->setOfflineMode(false);
    h.transfer.failExchange(1);
    EXPECT_FALSE(h.executor->setClearCache());
}

TEST(RunControl7, ResetCountClearsTheCachedCounterEvenWithoutAnAnswer) {
    Running7 h;
    h.transfer.answer(op7::kDevState, replyWith(32, {{28, 0x01}, {29, 0x00}}));
    uint32_t count = 0;
    ASSERT_TRUE(h.executor->getMarkCount(true, count));
    ASSERT_EQ(count, 256u);
    h.transfer.failOpcode(0xAA34);
    h.executor->setResetCount();
    EXPECT_TRUE(h.executor->getMarkCount(false, count));
    EXPECT_EQ(count, 0u);
}

TEST(RunControl7, CountOnceIsAHeaderOnlyListPacket) {
    Running7 h;
    h.executor->sendCountOnce();
    EXPECT_TRUE(h.transfer.frames().empty());
    ASSERT_TRUE(h.executor->exeCurCmd(false));
    ASSERT_EQ(h.transfer.frames().size(), 1u);
    EXPECT_THAT(h.transfer.frames()[0], ElementsAre(0x02, 0x05, 0x04, 0x00, 0, 0, 0, 0, 0, 0, 0, 0));
}

TEST(RunControl7, StartMarkDropsCommandsQueuedWhileStoppedOnly) {
    Harness h;
    h.healthyBoard7();
    ASSERT_EQ(h.connect(), SDK_OK);  // leaves the board reset
    h.executor->sendCountOnce();     // stale: queued while stopped
    ASSERT_TRUE(h.executor->setStartMark());
    EXPECT_TRUE(h.executor->exeCurCmd(false));
    EXPECT_TRUE(h.transfer.frames().empty());

    h.executor->sendCountOnce();  // running now: kept
    ASSERT_TRUE(h.executor->setStartMark());
    EXPECT_TRUE(h.executor->exeCurCmd(false));
    EXPECT_EQ(h.transfer.frames().size(), 1u);
}

TEST(RunControl7, StopMarkDropsTheQueueAndResets) {
    Running7 h;
    h.executor->setBufferSize(1000);
    h.executor->sendCountOnce();
    ASSERT_TRUE(h.executor->setStopMark());
    EXPECT_TRUE(h.executor->isStopRun());
    EXPECT_THAT(h.transfer.requests().back(), ElementsAre(0xAA, 0x10, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0));
    h.executor->setRun();
    EXPECT_TRUE(h.executor->exeCurCmd(false));
    EXPECT_TRUE(h.transfer.frames().empty());
}

TEST(RunControl7, StartAndStopRefuseABoardBoundByAnotherHost) {
    Running7 h;
    h.executor->setBufferSize(1000);
    h.executor->sendCountOnce();
    h.transfer.directLink = false;  // needs binding now; this host never bound it
    h.transfer.exchanges.clear();
    EXPECT_FALSE(h.executor->setStartMark());
    EXPECT_FALSE(h.executor->setStopMark());
    EXPECT_TRUE(h.log.contains("Executor::setStartMark fail not BindByMe"));
    EXPECT_TRUE(h.log.contains("Executor::setStopMark fail not BindByMe"));
    EXPECT_TRUE(h.transfer.exchanges.empty());
    h.transfer.directLink = true;
    EXPECT_TRUE(h.executor->exeCurCmd(false));
    EXPECT_EQ(h.transfer.frames().size(), 1u);  // the queue was not touched
}
