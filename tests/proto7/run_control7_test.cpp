#include <gtest/gtest.h>

#include "proto7/rows7.h"

TEST(RunControl7, Requests) {
    expectRequests({
        {"reset", [](E7& e) { return e.setReset(); }, pkt(0xAA10, {0, 1}), true},
        {"ready", [](E7& e) { return e.setReady(); }, pkt(0xAA10, {0, 2}), true},
        {"run", [](E7& e) { return e.setRun(); }, pkt(0xAA10, {0, 3}), true},
        {"pause", [](E7& e) { return e.setPauseMark(); }, pkt(0xAA2C, {5}), true},
        {"resume", [](E7& e) { return e.setResumeMark(); }, pkt(0xAA2C), true},
        {"offline", [](E7& e) { return e.setDevOffline(); }, pkt(0xAAA6, {1}), true},
        {"online", [](E7& e) { return e.setDevOnline(); }, pkt(0xAAA6), true},
        {"clear cache", [](E7& e) { return e.setClearCache(); }, pkt(0xAA18), false},
        {"soft trigger", [](E7& e) { return e.setSoftTiggerMark(); }, pkt(0xAA30), true},
        {"led", [](E7& e) { return e.setLedStatus(3); }, pkt(0xAAC5, {0, 0, 3}), true},
        {"boot mode", [](E7& e) { return e.setBootMode(); }, pkt(0xFFF2), true},
        {"application mode", [](E7& e) { return e.setAppMode(); }, pkt(0xFFF3), true},
    });
}

TEST(RunControl7, RunStateSetsTheStopFlagOnlyWhenAccepted) {
    Harness h;
    for (bool reset : {false, true, false}) {
        ASSERT_TRUE(reset ? h.executor->setReset() : h.executor->setReady());
        EXPECT_EQ(h.executor->isStopRun(), reset);
    }
    ASSERT_TRUE(h.executor->setRun());
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
    h.transfer.answer(op7::kDevState, replyWith(32, {{28, 0x01}}));
    uint32_t count = 0;
    ASSERT_TRUE(h.executor->getMarkCount(true, count));
    ASSERT_EQ(count, 256u);
    h.transfer.failOpcode(op7::kResetCount);  // even without an answer
    h.executor->setResetCount();
    EXPECT_EQ(h.transfer.requestsFor(op7::kResetCount), std::vector<Bytes>{pkt(0xAA34)});
    EXPECT_TRUE(h.executor->getMarkCount(false, count));
    EXPECT_EQ(count, 0u);
}

// A header-only list packet: dropped when queued while stopped, kept when queued while running.
TEST(RunControl7, StartMarkDropsCommandsQueuedWhileStoppedOnly) {
    Harness h;
    h.healthyBoard7();
    ASSERT_EQ(h.connect(), SDK_OK);  // leaves the board reset
    for (int round = 0; round < 2; ++round) {
        h.executor->sendCountOnce();
        EXPECT_TRUE(h.transfer.frames().empty());
        ASSERT_TRUE(h.executor->setStartMark());
        EXPECT_TRUE(h.executor->exeCurCmd(false));
    }
    EXPECT_EQ(h.transfer.frames(), std::vector<Bytes>{pkt(0x0205, {4})});
}

TEST(RunControl7, StopMarkDropsTheQueueAndResetsUnlessAnotherHostBoundTheBoard) {
    for (bool boundElsewhere : {false, true}) {
        Running7 h;
        h.executor->setBufferSize(1000);
        h.executor->sendCountOnce();
        h.transfer.directLink = !boundElsewhere;  // a network link needs binding; this host never bound it
        EXPECT_EQ(h.executor->setStopMark(), !boundElsewhere);
        EXPECT_EQ(h.executor->isStopRun(), !boundElsewhere);
        EXPECT_EQ(h.executor->setStartMark(), !boundElsewhere);
        EXPECT_EQ(h.log.contains("Executor::setStopMark fail not BindByMe"), boundElsewhere);
        EXPECT_EQ(h.log.contains("Executor::setStartMark fail not BindByMe"), boundElsewhere);
        const std::vector<Bytes> resetRun{pkt(0xAA10, {0, 1}), pkt(0xAA10, {0, 3})};
        EXPECT_EQ(h.transfer.requests(), boundElsewhere ? std::vector<Bytes>{} : resetRun);
        h.transfer.directLink = true;
        EXPECT_TRUE(h.executor->exeCurCmd(false));
        EXPECT_EQ(h.transfer.frames().size(), boundElsewhere ? 1u : 0u);  // the queue was dropped or left alone
    }
}
