#include <gtest/gtest.h>

#include "proto7/rows7.h"

TEST(RunControl7, Requests) {
    expectRequests({
        {[](E7& e) { return e.setReset(); }, pkt(0xAA10, {0, 1}), true},
        {[](E7& e) { return e.setReady(); }, pkt(0xAA10, {0, 2}), true},
        {[](E7& e) { return e.setRun(); }, pkt(0xAA10, {0, 3}), true},
        {[](E7& e) { return e.setPauseMark(); }, pkt(0xAA2C, {5}), true},
        {[](E7& e) { return e.setResumeMark(); }, pkt(0xAA2C), true},
        {[](E7& e) { return e.setDevOffline(); }, pkt(0xAAA6, {1}), true},
        {[](E7& e) { return e.setDevOnline(); }, pkt(0xAAA6), true},
        {[](E7& e) { return e.setClearCache(); }, pkt(0xAA18), false},
        {[](E7& e) { return e.setSoftTiggerMark(); }, pkt(0xAA30), true},
        {[](E7& e) { return e.setLedStatus(3); }, pkt(0xAAC5, {0, 0, 3}), true},
        {[](E7& e) { return e.setBootMode(); }, pkt(0xFFF2), true},
        {[](E7& e) { return e.setAppMode(); }, pkt(0xFFF3), true},
    });
}

// Reset stops the run, ready and run clear the flag, each only when the board accepts it.
TEST(RunControl7, RunStateSetsTheStopFlagOnlyWhenAccepted) {
    Harness h;
    for (bool reset : {false, true, false}) {
        ASSERT_TRUE(reset ? h.executor->setReset() : h.executor->setReady());
        EXPECT_EQ(h.executor->isStopRun(), reset);
    }
    h.transfer.answer(op7::kRunState, replyWith(4, {{2, 0x01}}));
    EXPECT_FALSE(h.executor->setReset());
    EXPECT_FALSE(h.executor->isStopRun());
    h.transfer.answer(op7::kRunState, replyWith(4, {}));
    h.executor->setReset();
    h.transfer.failOpcode(op7::kRunState);
    EXPECT_FALSE(h.executor->setRun() || h.executor->setReady());
    EXPECT_TRUE(h.executor->isStopRun());
}

// Nothing to clear in offline mode; the count reset clears the cached counter even unanswered.
TEST(RunControl7, ClearCacheSkipsOfflineModeAndResetCountClearsTheCachedCounter) {
    Running7 h;
    h.executor->setOfflineMode(true);
    EXPECT_TRUE(h.executor->setClearCache());
    EXPECT_TRUE(h.transfer.exchanges.empty());
    h.transfer.answer(op7::kDevState, replyWith(32, {{28, 0x01}}));
    uint32_t count = 0;
    ASSERT_TRUE(h.executor->getMarkCount(true, count) && count == 256u);
    h.transfer.failOpcode(op7::kResetCount);
    h.executor->setResetCount();
    EXPECT_EQ(h.transfer.requestsFor(op7::kResetCount), std::vector<Bytes>{pkt(0xAA34)});
    EXPECT_TRUE(h.executor->getMarkCount(false, count));
    EXPECT_EQ(count, 0u);
}

// A header-only list packet: dropped when queued while stopped (init leaves the board reset),
// kept when queued while running. Stop drops the queue and resets, unless another host bound
// the board (a network link needs binding; this host never bound it).
TEST(RunControl7, StartAndStopMark) {
    Harness h;
    h.healthyBoard7();
    ASSERT_EQ(h.connect(), SDK_OK);
    for (int round = 0; round < 2; ++round) {
        h.executor->sendCountOnce();
        ASSERT_TRUE(h.executor->setStartMark() && h.executor->exeCurCmd(false));
    }
    EXPECT_EQ(h.transfer.frames(), std::vector<Bytes>{pkt(0x0205, {4})});
    for (bool boundElsewhere : {false, true}) {
        Running7 r;
        r.executor->sendCountOnce();
        r.transfer.directLink = !boundElsewhere;
        EXPECT_EQ(r.executor->setStopMark() && r.executor->isStopRun(), !boundElsewhere);
        EXPECT_EQ(r.executor->setStartMark(), !boundElsewhere);
        EXPECT_EQ(r.log.contains("Executor::setStopMark fail not BindByMe"), boundElsewhere);
        EXPECT_EQ(r.log.contains("Executor::setStartMark fail not BindByMe"), boundElsewhere);
        const std::vector<Bytes> resetRun{pkt(0xAA10, {0, 1}), pkt(0xAA10, {0, 3})};
        EXPECT_EQ(r.transfer.requests(), boundElsewhere ? std::vector<Bytes>{} : resetRun);
        r.transfer.directLink = true;
        EXPECT_TRUE(r.executor->exeCurCmd(false));
        EXPECT_EQ(r.transfer.frames().size(), boundElsewhere ? 1u : 0u);  // the queue was dropped or left alone
    }
}
