#include <gtest/gtest.h>

#include "proto7/rows7.h"

TEST(RunControl7, Requests) {
    expectRequests({
        {"reset", [](Executor7& e) { return e.setReset(); }, {pkt(0xAA10, {0, 1})}, true},
        {"ready", [](Executor7& e) { return e.setReady(); }, {pkt(0xAA10, {0, 2})}, true},
        {"run", [](Executor7& e) { return e.setRun(); }, {pkt(0xAA10, {0, 3})}, true},
        {"pause", [](Executor7& e) { return e.setPauseMark(); }, {pkt(0xAA2C, {5})}, true},
        {"resume", [](Executor7& e) { return e.setResumeMark(); }, {pkt(0xAA2C)}, true},
        {"offline", [](Executor7& e) { return e.setDevOffline(); }, {pkt(0xAAA6, {1})}, true},
        {"online", [](Executor7& e) { return e.setDevOnline(); }, {pkt(0xAAA6)}, true},
        {"clear cache", [](Executor7& e) { return e.setClearCache(); }, {pkt(0xAA18)}, false},
        {"soft trigger", [](Executor7& e) { return e.setSoftTiggerMark(); }, {pkt(0xAA30)}, true},
        {"led", [](Executor7& e) { return e.setLedStatus(3); }, {pkt(0xAAC5, {0, 0, 3})}, true},
        {"boot mode", [](Executor7& e) { return e.setBootMode(); }, {pkt(0xFFF2)}, true},
        {"application mode", [](Executor7& e) { return e.setAppMode(); }, {pkt(0xFFF3)}, true},
    });
}

TEST(RunControl7, RunStateSetsTheStopFlagOnlyWhenAccepted) {
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

TEST(RunControl7, ClearCacheSkipsOfflineModeAndResetCountClearsTheCachedCounter) {
    Running7 h;
    h.executor->setOfflineMode(true);
    EXPECT_TRUE(h.executor->setClearCache());
    EXPECT_TRUE(h.transfer.exchanges.empty());
    h.executor->setOfflineMode(false);

    h.transfer.answer(op7::kDevState, replyWith(32, {{28, 0x01}, {29, 0x00}}));
    uint32_t count = 0;
    ASSERT_TRUE(h.executor->getMarkCount(true, count));
    ASSERT_EQ(count, 256u);
    h.transfer.failOpcode(op7::kResetCount);  // even without an answer
    h.executor->setResetCount();
    EXPECT_EQ(h.transfer.requestsFor(op7::kResetCount), std::vector<Bytes>{pkt(0xAA34)});
    EXPECT_TRUE(h.executor->getMarkCount(false, count));
    EXPECT_EQ(count, 0u);
}

TEST(RunControl7, CountOnceIsAHeaderOnlyListPacketQueuedUntilTheListRuns) {
    Running7 h;
    h.executor->sendCountOnce();
    EXPECT_TRUE(h.transfer.frames().empty());
    ASSERT_TRUE(h.executor->exeCurCmd(false));
    EXPECT_EQ(h.transfer.frames(), std::vector<Bytes>{pkt(0x0205, {4})});
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
    EXPECT_EQ(h.transfer.requests().back(), pkt(0xAA10, {0, 1}));
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
