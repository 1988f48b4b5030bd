#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "proto5/opcodes5.h"
#include "support/harness.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

namespace {

// Status reply: byte 2 flags, byte 6 free memory in 4 KiB units, bytes 9-10 the mark counter.
Bytes state5(uint8_t flags, uint8_t room = 0xFF, uint16_t counter = 0) {
    return replyWith(
        16, {{2, flags}, {6, room}, {9, static_cast<uint8_t>(counter >> 8)}, {10, static_cast<uint8_t>(counter)}});
}

constexpr uint8_t kFinished = 0x20;

// A protocol 5 board that runs its application, has room and is idle.
struct Board5 : Harness {
    explicit Board5(Bytes fpga = {0x05, 0x05, 0x28, 0x0C}) : Harness(BOARD_PROTOCOL_5) {
        transfer.answer(op5::kBoardMode, replyWith(12, {{10, 0xAA}, {11, 0x55}}));
        transfer.answer(op5::kDevState, state5(kFinished));
        Bytes type(12, 0);
        std::copy(fpga.begin(), fpga.end(), type.begin() + 2);
        transfer.answer(op5::kDevType, type);
    }
    void start() {
        ASSERT_EQ(connect(), SDK_OK);
        ASSERT_TRUE(executor->setRun());
        transfer.exchanges.clear();
        sleeps.pauses.clear();
    }
    DevInfo info() {
        DevInfo i;
        executor->getDevInfo(i);
        return i;
    }
};

std::vector<Bytes> request12(std::initializer_list<uint8_t> head) {
    Bytes b(12, 0);
    std::copy(head.begin(), head.end(), b.begin());
    return {b};
}

}  // namespace

TEST(Control5, BoardModeFromTheModeWordOrBit) {
    struct Case {
        uint8_t w1, w2, byte2;
        BoardMode mode;
    };
    for (const Case& c : {Case{0x55, 0xAA, 0x01, BOARD_MODE_FACTORY}, Case{0xAA, 0x55, 0x00, BOARD_MODE_APPLICATION},
                          Case{0x00, 0x00, 0x01, BOARD_MODE_APPLICATION}, Case{0x12, 0x34, 0x00, BOARD_MODE_FACTORY}}) {
        Harness h(BOARD_PROTOCOL_5);
        h.transfer.answer(op5::kBoardMode, replyWith(12, {{2, c.byte2}, {10, c.w1}, {11, c.w2}}));
        EXPECT_EQ(h.executor->getBoardMode(), c.mode);
        EXPECT_THAT(h.transfer.requests(), ElementsAreArray(request12({0x01, 0x40, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1})));
    }
    Harness lost(BOARD_PROTOCOL_5);
    lost.transfer.failOpcode(op5::kBoardMode);
    EXPECT_EQ(lost.executor->getBoardMode(), BOARD_MODE_NO_ANSWER);
}

TEST(Control5, BoardVariantAndCapabilitiesFromTheFpgaVersion) {
    struct Case {
        Bytes fpga;
        BOARD_TYPE_SUB sub;
        bool reMark, offline, wide;
    };
    const Case cases[] = {
        {{5, 5, 71, 12}, 3, false, false, false}, {{5, 5, 40, 12}, 4, false, true, false},
        {{5, 5, 80, 12}, 3, false, true, false},  {{5, 5, 95, 1}, 13, true, false, false},
        {{5, 5, 119, 13}, 5, false, false, true}, {{5, 5, 118, 13}, 4, false, true, true},
        {{5, 7, 0, 0}, -1, false, false, false},  {{5, 16, 0, 0}, 12, true, false, true},
        {{5, 0, 19, 0}, 0, false, false, false},  {{5, 0, 20, 0}, 1, false, false, false},
        {{7, 5, 9, 0}, 11, false, false, false},  {{7, 6, 9, 0}, -1, false, false, false},
        {{8, 1, 2, 3}, 18, false, false, false},  {{9, 9, 9, 9}, -1, false, false, false},
    };
    for (const Case& c : cases) {
        Board5 h(c.fpga);
        ASSERT_EQ(h.connect(), SDK_OK);
        const DevInfo i = h.info();
        const std::string v = std::to_string(c.fpga[0]) + "." + std::to_string(c.fpga[1]) + "." +
                              std::to_string(c.fpga[2]) + "." + std::to_string(c.fpga[3]);
        EXPECT_EQ(i.boardType, BOARD_TYPE_PROTOCOL5) << v;
        EXPECT_EQ(i.boardTypeSub, c.sub) << v;
        EXPECT_EQ(i.sysInfo.reMarkSupport, c.reMark) << v;
        EXPECT_EQ(i.sysInfo.offlineSupport, c.offline) << v;
        EXPECT_EQ(i.sysInfo.wideOfflineCmd, c.wide) << v;
        EXPECT_EQ(i.sysInfo.fpgaVersion[2], c.fpga[2]) << v;
    }
}

TEST(Control5, StatusDecoding) {
    struct Case {
        uint8_t flags;
        uint32_t workState;
        bool offline, flash, finished;
    };
    for (const Case& c : {Case{0xE2, 0, true, true, true}, Case{0x28, 1, false, false, true},
                          Case{0x08, 3, false, false, false}, Case{0x10, 3, false, false, false}}) {
        Board5 h;
        h.start();
        h.transfer.answer(op5::kDevState, replyWith(16, {{2, c.flags}, {5, 0x5A}, {6, 3}, {7, 0x77}, {8, 0x0F}}));
        DevBaseState s;
        ASSERT_TRUE(h.executor->getDevState(s, true));
        EXPECT_EQ(s.workState, c.workState);
        EXPECT_EQ(s.offline, c.offline);
        EXPECT_EQ(s.flashState, c.flash);
        EXPECT_EQ(s.finished, c.finished);
        EXPECT_EQ(s.statusBit2, (c.flags & 0x02) != 0);
        EXPECT_EQ(s.inputs, 0x5Au);
        EXPECT_EQ(s.freeCacheKb, 12u);
        EXPECT_EQ(s.status24, 0x77);
        DevExtState ext;
        h.executor->getDevExtState(ext, false);
        EXPECT_THAT(ext.axisState, ElementsAre(3, 3, 0, 0));  // from byte 8 = 0x0F
    }
}

TEST(Control5, MarkCounterFollowsTheBoardAcrossWrapsAndResets) {
    Board5 h;
    h.start();
    DevBaseState s;
    uint32_t count = 0;
    h.transfer.answer(op5::kDevState, state5(kFinished, 0xFF, 65530));
    h.executor->getDevState(s, true);
    h.transfer.answer(op5::kDevState, state5(kFinished, 0xFF, 4));
    h.executor->getDevState(s, true);
    h.executor->getMarkCount(false, count);
    EXPECT_EQ(count, 65530u + 10u);  // 65530 -> 4 is ten marks

    // A reset the board refuses: the count restarts from 0 at the board's raw value.
    h.executor->setResetCount();
    h.transfer.answer(op5::kResetCount, replyWith(4, {{2, 0xFF}, {3, 0xFF}}));
    h.transfer.answer(op5::kDevState, state5(kFinished, 0xFF, 37));
    h.executor->getDevState(s, true);  // 37 since the reset
    h.executor->setResetCount();       // refused: base becomes 37
    h.transfer.answer(op5::kDevState, state5(kFinished, 0xFF, 40));
    h.executor->getDevState(s, true);
    h.executor->getMarkCount(false, count);
    EXPECT_EQ(count, 3u);
}

TEST(Control5, HeartbeatIsTheStatusValidity) {
    Board5 h;
    h.start();
    uint16_t counter = 9;
    bool alive = false;
    EXPECT_TRUE(h.executor->getDevHeartState(counter, alive));
    EXPECT_TRUE(alive);
    EXPECT_EQ(counter, 9);
    h.transfer.failOpcode(op5::kDevState);
    EXPECT_FALSE(h.executor->getDevHeartState(counter, alive));
    EXPECT_FALSE(alive);
}

TEST(Control5, RunControlRequestsAreJudgedByTheTransport) {
    struct Case {
        std::function<bool(Executor&)> call;
        Bytes head;
    };
    const Case cases[] = {
        {[](Executor& e) { return e.setReset(); }, {0x01, 0x05}},
        {[](Executor& e) { return e.setReady(); }, {0x01, 0x07}},
        {[](Executor& e) { return e.setRun(); }, {0x01, 0x04}},
        {[](Executor& e) { return e.setPauseMark(); }, {0x01, 0x25, 0x55}},
        {[](Executor& e) { return e.setResumeMark(); }, {0x01, 0x25}},
        {[](Executor& e) { return e.setDevOffline(); }, {0x01, 0x18, 0x01}},
        {[](Executor& e) { return e.setDevOnline(); }, {0x01, 0x18}},
        {[](Executor& e) { return e.setClearCache(); }, {0x01, 0x06}},
        {[](Executor& e) { return e.setBootMode(); }, {0x01, 0x41, 0x55, 0xD5}},
        {[](Executor& e) { return e.setAppMode(); }, {0x01, 0x41, 0x55, 0xD5}},
    };
    for (const Case& c : cases) {
        Harness h(BOARD_PROTOCOL_5);
        h.transfer.defaultReply = {0, 0, 1};  // byte 2 is no status here
        EXPECT_TRUE(c.call(*h.executor));
        Bytes expected(12, 0);
        std::copy(c.head.begin(), c.head.end(), expected.begin());
        EXPECT_THAT(h.transfer.requests(), ElementsAre(expected));
    }
    Harness h(BOARD_PROTOCOL_5);
    h.transfer.defaultReply = {0, 0, 1};
    EXPECT_FALSE(h.executor->setSoftTiggerMark());  // the one command whose byte 2 is judged
    EXPECT_TRUE(h.executor->setReady());
    EXPECT_FALSE(h.executor->isStopRun());
}

TEST(Control5, OutputsOnePortAtATime) {
    Harness h(BOARD_PROTOCOL_5);
    EXPECT_TRUE(h.executor->setOutPortStateAll(0x105, 0x100));  // ports 0 and 2 low; port 8 is beyond reach
    EXPECT_THAT(h.transfer.requests(), ElementsAre(ElementsAre(0x01, 0x11, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0),
                                                   ElementsAre(0x01, 0x11, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0)));
    h.transfer.exchanges.clear();
    EXPECT_TRUE(h.executor->setOutPortState(3, true, 0));
    EXPECT_FALSE(h.executor->setOutPortState(3, true, 5));  // timed: list commands only
    EXPECT_THAT(h.transfer.requests(), ElementsAre(ElementsAre(0x01, 0x11, 3, 0, 0, 1, 0, 0, 0, 0, 0, 0)));

    uint32_t outputs = 7;
    h.transfer.answer(op5::kOutPortRead, replyWith(4, {{2, 0x00}, {3, 0xA5}}));
    EXPECT_TRUE(h.executor->getOutPortState(outputs, true));
    EXPECT_EQ(outputs, 0xA5u);
    h.transfer.answer(op5::kOutPortRead, replyWith(4, {{2, 0xFF}, {3, 0xFF}}));
    EXPECT_FALSE(h.executor->getOutPortState(outputs, true));
    EXPECT_TRUE(h.executor->getOutPortState(outputs, false));
    EXPECT_EQ(outputs, 0xA5u);
}

TEST(Control5, ListCommandsForPortsInputsAndCounting) {
    Board5 h;
    h.start();
    h.executor->sendOutPortState(3, true, 5);  // 5 x 2000 = 10000, then the pulse packet
    h.executor->sendOutPortStateAll(0x02, 0x00);
    h.executor->sendMarkInport(0x12345, 3, 300, true);
    h.executor->sendHardwareBlock(7, true);
    h.executor->sendCountOnce();
    EXPECT_THAT(h.flushPackets(12), ElementsAre(ElementsAre(0x2F, 0x82, 3, 1, 1, 0, 0, 0x27, 0x10, 0, 0, 0),
                                                ElementsAre(0x2F, 0x83, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0),
                                                ElementsAre(0x2F, 0x82, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0),
                                                ElementsAre(0x2F, 0x90, 0x23, 0x45, 0, 3, 0x01, 0x2C, 1, 0, 0, 0),
                                                ElementsAre(0x02, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0),
                                                ElementsAre(0x02, 0x05, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0)));
}

TEST(Control5, ReMarkOnlyOnBoardsThatSupportIt) {
    Board5 plain;
    plain.start();
    EXPECT_TRUE(plain.executor->sendReMarkStart());
    EXPECT_THAT(plain.flushPackets(12), IsEmpty());

    Board5 h({5, 16, 0, 0});
    h.start();
    EXPECT_TRUE(h.executor->sendReMarkStart());
    EXPECT_THAT(h.transfer.frames().at(0), ElementsAre(0x2F, 0x90, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0));
    h.transfer.exchanges.clear();
    EXPECT_TRUE(h.executor->setClearCache());  // a re-mark is open: nothing to clear
    EXPECT_TRUE(h.executor->waitForFinish());
    EXPECT_TRUE(h.transfer.exchanges.empty());
    EXPECT_TRUE(h.executor->sendReMarkEnd());
    EXPECT_THAT(h.transfer.frames().at(0), ElementsAre(0x2F, 0x92, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0));
}

TEST(Control5, AxisStatesFromThePairQueries) {
    Harness h(BOARD_PROTOCOL_5);
    h.transfer.answer(op5::kAxisStatesA, replyWith(12, {{3, 0x42}, {8, 0x40}, {11, 0x64}}));
    AxisSetting axis1;
    axis1.axisNo = 1;
    std::vector<AxisState> states;
    ASSERT_TRUE(h.executor->getAxisStates({axis1}, states, true));
    ASSERT_EQ(states.size(), 1u);
    EXPECT_EQ(states[0].axisNo, 1);
    EXPECT_EQ(std::vector<int>({states[0].flag0, states[0].flag1, states[0].flag2, states[0].flag3}),
              std::vector<int>({0, 1, 0, 1}));  // bits 1 and 6 set
    EXPECT_EQ(states[0].rawPosition, 0x40000064u);
    EXPECT_EQ(states[0].position, -100);

    axis1.dirInvert = 1;  // limits exchange and the distance changes sign
    ASSERT_TRUE(h.executor->getAxisStates({axis1}, states, true));
    EXPECT_EQ(states[0].flag2, 1);
    EXPECT_EQ(states[0].flag3, 0);
    EXPECT_EQ(states[0].position, 100);

    // Half the counter away from the origin: the distance wraps instead of overflowing on negation.
    h.transfer.answer(op5::kAxisStatesA, replyWith(12, {{8, 0xC0}}));
    ASSERT_TRUE(h.executor->getAxisStates({axis1}, states, true));
    EXPECT_EQ(states[0].position, INT32_MIN);

    AxisSetting axis2;
    axis2.axisNo = 2;  // the board has two axes: nothing to ask
    h.transfer.exchanges.clear();
    EXPECT_FALSE(h.executor->getAxisStates({axis2}, states, true));
    EXPECT_TRUE(states.empty());
    EXPECT_TRUE(h.transfer.exchanges.empty());
}

TEST(Offline5, DocumentParametersAndJumpBackUseTwelveByteUnits) {
    for (bool wide : {false, true}) {
        Board5 h(wide ? Bytes{5, 6, 0, 14} : Bytes{5, 5, 40, 12});
        h.start();
        h.executor->setOfflineMode(true);
        h.executor->sendOfflineParam({{0x01020304, 0x1000}});
        h.executor->sendOfflineBlock(0x0102, 0x33, true);
        h.executor->sendSramBack();  // four document packets of 12 (16) bytes: 48 (64) / 2
        SdkError err = SDK_OK;
        ASSERT_TRUE(h.executor->OfflineDownload(err));
        const Bytes page = h.transfer.requestsFor(op5::kOfflineWritePage).at(0);
        EXPECT_THAT(Bytes(page.begin(), page.begin() + 6), ElementsAre(0x01, 0x13, 0x02, 0, 0, 0));
        const Bytes image(page.begin() + 12, page.end());
        // The address fields come from the (empty) document table at download time.
        EXPECT_THAT(Bytes(image.begin(), image.begin() + 12), ElementsAre(0x02, 0x60, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0));
        EXPECT_THAT(Bytes(image.begin() + 48, image.begin() + 60),
                    ElementsAre(0x2F, 0x91, 0x01, 0x02, 0x33, 1, 0, 0, 0, 0, 0, 0));
        EXPECT_EQ(image[60 + 5], wide ? 32 : 24);
        EXPECT_EQ(image[72], 0xFF);  // no erased tail is added, but the page is filled
    }
}

TEST(Offline5, PagesAndSectorsOfALargerImage) {
    Board5 h;
    h.start();
    h.executor->setOfflineMode(true);
    for (int i = 0; i < 342; ++i) h.executor->sendCountOnce();  // 342 x 12 = 4104 bytes
    SdkError err = SDK_OK;
    ASSERT_TRUE(h.executor->OfflineDownload(err));
    std::vector<uint32_t> erased;
    for (const Bytes& r : h.transfer.requestsFor(op5::kOfflineClearFile)) {
        EXPECT_EQ(r[2], 0x20);
        erased.push_back(static_cast<uint32_t>(r[3] << 16 | r[4] << 8 | r[5]));
    }
    EXPECT_THAT(erased, ElementsAre(0u, 4096u));
    const auto pages = h.transfer.requestsFor(op5::kOfflineWritePage);
    ASSERT_EQ(pages.size(), 17u);
    EXPECT_THAT(Bytes(pages[16].begin() + 3, pages[16].begin() + 6), ElementsAre(0x00, 0x10, 0x00));
    EXPECT_EQ(pages[16][12 + 7], 0x00);  // 4104 - 4096 = 8 bytes of data
    EXPECT_EQ(pages[16][12 + 8], 0xFF);
    uint32_t ram = 0;
    EXPECT_TRUE(h.executor->getOfflineRamSize(ram));
    EXPECT_EQ(ram, 0x100000u);
}
