#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "support/harness.h"

using ::testing::ElementsAre;

namespace {

// A status reply in which every decoded field has a distinct value.
Bytes richStateReply() {
    return replyWith(
        32, {{4, 0x03},  {5, 0x55},  {6, 0x66},  {7, 0xEE},  {8, 0x12},  {9, 0x34},  {12, 0x03}, {13, 0x00}, {14, 0x10},
             {15, 0x00}, {16, 0x80}, {17, 0x00}, {18, 0x00}, {19, 0x01}, {20, 0x01}, {21, 0x02}, {22, 0x03}, {23, 0x04},
             {24, 0xAB}, {25, 0xCD}, {26, 0x0F}, {27, 0xF0}, {28, 0x12}, {29, 0x34}, {30, 0x56}, {31, 0x78}});
}

}  // namespace

TEST(Status7, BaseStateDecodesEveryField) {
    Running7 h;
    h.transfer.answer(op7::kDevState, richStateReply());
    DevBaseState s;
    ASSERT_TRUE(h.executor->getDevState(s, true));
    EXPECT_EQ(s.workState, 3u);
    // 0x55 = bits 0, 2, 4, 6
    EXPECT_TRUE(s.offline);
    EXPECT_FALSE(s.flashState);
    EXPECT_TRUE(s.statusBit2);
    EXPECT_FALSE(s.statusBit3);
    EXPECT_TRUE(s.statusBit4);
    EXPECT_FALSE(s.statusBit5);
    EXPECT_TRUE(s.statusBit6);
    EXPECT_EQ(s.status6, 0x66);
    EXPECT_EQ(s.status8, 0x1234);
    EXPECT_TRUE(s.finished);
    EXPECT_TRUE(s.status12Bit1);
    EXPECT_EQ(s.freeCacheKb, 4096u);  // 00 10 00
    EXPECT_EQ(s.inputs, 0x80000001u);
    EXPECT_EQ(s.outputs, 0x01020304u);
    EXPECT_EQ(s.status24, 0xABCD);
    EXPECT_EQ(s.status26, 0x0FF0);
    EXPECT_EQ(s.markCount, 0x1234u);  // 16 bits only
    EXPECT_EQ(s.status30, 0x5678);
    EXPECT_TRUE(s.valid);

    uint32_t value = 0;
    EXPECT_TRUE(h.executor->getOutPortState(value, false));
    EXPECT_EQ(value, 0x01020304u);
    EXPECT_TRUE(h.executor->getInPortState(value, false));
    EXPECT_EQ(value, 0x80000001u);
    EXPECT_TRUE(h.executor->getMarkCount(false, value));
    EXPECT_EQ(value, 0x1234u);
    EXPECT_TRUE(h.executor->getDevOfflineState(false));
    EXPECT_FALSE(h.executor->getDevFlashState(false));
}

TEST(Status7, Firmware1700SendsTheOutputsLeastSignificantByteFirst) {
    for (uint8_t low : {0x00, 0x01}) {
        Harness h;
        h.healthyBoard7();
        h.transfer.answer(op7::kDevType, replyWith(64, {{4, 0x17}, {5, low}}));
        ASSERT_EQ(h.connect(), SDK_OK);
        h.transfer.answer(op7::kDevState, richStateReply());
        uint32_t outputs = 0;
        ASSERT_TRUE(h.executor->getOutPortState(outputs, true));
        EXPECT_EQ(outputs, low == 0 ? 0x04030201u : 0x01020304u);
    }
}

TEST(Status7, RefusedOrLostRefreshKeepsTheCacheButClearsValid) {
    Running7 h;
    h.transfer.answer(op7::kDevState, stateReply7(77, false, 3));
    DevBaseState s;
    ASSERT_TRUE(h.executor->getDevState(s, true));

    h.transfer.answer(op7::kDevState, replyWith(32, {{2, 0x01}, {13, 0x05}}));
    EXPECT_FALSE(h.executor->getDevState(s, true));
    EXPECT_EQ(s.freeCacheKb, 77u);
    EXPECT_FALSE(s.valid);

    h.transfer.failOpcode(op7::kDevState);
    EXPECT_FALSE(h.executor->getDevState(s, true));
    EXPECT_EQ(s.workState, 3u);
    EXPECT_FALSE(s.valid);

    uint32_t value = 1;
    EXPECT_FALSE(h.executor->getMarkCount(true, value));
    EXPECT_EQ(value, 0u);
    EXPECT_FALSE(h.executor->getInPortState(value, true));
    EXPECT_EQ(value, 65535u);
    EXPECT_FALSE(h.executor->getOutPortState(value, true));
    EXPECT_EQ(value, 0u);
    EXPECT_FALSE(h.executor->getDevOfflineState(true));
    EXPECT_FALSE(h.executor->getDevFlashState(true));
}

TEST(Status7, ShortReplyReadsZerosForMissingBytes) {
    Running7 h;
    h.transfer.answer(op7::kDevState, Bytes{0xAA, 0x05, 0x00});
    DevBaseState s;
    ASSERT_TRUE(h.executor->getDevState(s, true));
    EXPECT_EQ(s.workState, 0u);
    EXPECT_EQ(s.freeCacheKb, 0u);
    EXPECT_FALSE(s.finished);
}

TEST(Status7, CachedReadsNeedNoBoardAndVirtualBoardsAreNeverAsked) {
    Running7 h;
    DevBaseState s;
    EXPECT_TRUE(h.executor->getDevState(s, false));
    h.executor->setEnable(false);
    EXPECT_TRUE(h.executor->getDevState(s, true));
    EXPECT_TRUE(h.transfer.exchanges.empty());

    h.executor->setEnable(true);
    h.transfer.virtualLink = true;
    s.valid = false;
    EXPECT_TRUE(h.executor->getDevState(s, true));
    EXPECT_TRUE(s.valid);
    EXPECT_TRUE(h.transfer.exchanges.empty());
}

TEST(Status7, ExtendedStateDecodesAxesAndLaser) {
    Running7 h;
    h.transfer.answer(op7::kDevExtState, replyWith(48, {{4, 0x01},
                                                        {7, 0x02},
                                                        {11, 0x03},
                                                        {12, 0x40},
                                                        {15, 0x10},
                                                        {16, 0x40},
                                                        {19, 0x20},
                                                        {23, 0x30},
                                                        {31, 0x04},
                                                        {39, 0x06},
                                                        {40, 0x5A},
                                                        {41, 0xC3},
                                                        {42, 0xBF},
                                                        {43, 0x2E}}));
    DevExtState s;
    ASSERT_TRUE(h.executor->getDevExtState(s, true));
    EXPECT_EQ(s.ext0, 0x01000002u);
    EXPECT_EQ(s.ext1, 0x03u);
    EXPECT_THAT(s.groupA, ElementsAre(0u, 0x40000010u, 0x40000020u, 0x30u));
    EXPECT_THAT(s.groupB, ElementsAre(0u, 0x04u, 0u, 0x06u));
    EXPECT_THAT(s.axisState, ElementsAre(0x0A, 0x05, 0x03, 0x00));
    EXPECT_EQ(s.laserState, 0x3F);
    EXPECT_EQ(s.laserState2, 0x02);
    EXPECT_EQ(s.ext46, 0x2E);

    uint8_t laser = 0;
    EXPECT_TRUE(h.executor->getLaserState(laser));
    EXPECT_EQ(laser, 0x3F);
}

TEST(Status7, ExtendedStateFailureKeepsTheCacheAndVirtualBoardsAreAsked) {
    Running7 h;
    h.transfer.answer(op7::kDevExtState, replyWith(48, {{42, 0x07}}));
    DevExtState s;
    ASSERT_TRUE(h.executor->getDevExtState(s, true));
    h.transfer.failOpcode(op7::kDevExtState);
    EXPECT_FALSE(h.executor->getDevExtState(s, true));
    EXPECT_EQ(s.laserState, 0x07);
    uint8_t laser = 0xEE;
    EXPECT_FALSE(h.executor->getLaserState(laser));
    EXPECT_EQ(laser, 0xEE);

    Running7 v;
    v.transfer.virtualLink = true;
    v.executor->getDevExtState(s, true);
    EXPECT_EQ(v.transfer.requestsFor(op7::kDevExtState).size(), 1u);
}

TEST(Status7, HeartbeatIsAliveOnlyWhenTheBoardCountsOneUp) {
    struct Case {
        uint16_t sent;
        Bytes reply;
        bool alive;
        uint16_t counter;
        bool ok = true;
    };
    const Case cases[] = {
        {7, replyWith(8, {{4, 0x08}}), true, 8},
        {7, replyWith(8, {{4, 0x09}}), false, 9},
        {0x01FF, replyWith(8, {{5, 0x02}}), true, 0x0200},
        {65535, replyWith(8, {}), false, 0},                         // no 16-bit wrap
        {7, replyWith(8, {{2, 0x01}, {4, 0x08}}), false, 7, false},  // refused: both outputs left alone
    };
    for (const Case& c : cases) {
        Harness h;
        h.transfer.answer(op7::kHeartbeat, c.reply);
        uint16_t counter = c.sent;
        bool alive = !c.alive;
        EXPECT_EQ(h.executor->getDevHeartState(counter, alive), c.ok);
        EXPECT_EQ(alive, c.ok ? c.alive : !c.alive) << c.sent;
        EXPECT_EQ(counter, c.counter);
        const Bytes request = h.transfer.requests().at(0);
        EXPECT_EQ(request[4], static_cast<uint8_t>(c.sent));
        EXPECT_EQ(request[5], static_cast<uint8_t>(c.sent >> 8));
    }
}

TEST(Status7, BoardModeReadsTheModeBitNotAStatus) {
    struct Case {
        uint8_t byte2;
        BoardMode mode;
    };
    for (const Case& c : {Case{0x04, BOARD_MODE_APPLICATION}, Case{0x05, BOARD_MODE_APPLICATION},
                          Case{0x01, BOARD_MODE_FACTORY}, Case{0x00, BOARD_MODE_FACTORY}}) {
        Harness h;
        h.transfer.answer(op7::kBoardMode, replyWith(4, {{2, c.byte2}}));
        EXPECT_EQ(h.executor->getBoardMode(), c.mode) << int(c.byte2);
    }
    Harness lost;
    lost.transfer.failOpcode(op7::kBoardMode);
    EXPECT_EQ(lost.executor->getBoardMode(), BOARD_MODE_NO_ANSWER);

    Harness virt;
    virt.transfer.virtualLink = true;
    EXPECT_EQ(virt.executor->getBoardMode(), BOARD_MODE_APPLICATION);
    EXPECT_TRUE(virt.transfer.exchanges.empty());
}

TEST(Status7, DeviceTypeFillsVersionsAndType) {
    Harness h;
    h.healthyBoard7();
    Bytes reply = replyWith(64, {{4, 0x15}, {5, 0x79}});
    const uint8_t versions[] = {1, 2, 3, 4, 5, 6, 7, 8, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC};  // from byte 38
    std::copy(std::begin(versions), std::end(versions), reply.begin() + 38);
    h.transfer.answer(op7::kDevType, reply);
    ASSERT_EQ(h.connect(), SDK_OK);
    DevInfo info;
    h.executor->getDevInfo(info);
    EXPECT_EQ(info.boardType, BOARD_TYPE_PROTOCOL7);
    EXPECT_EQ(info.boardTypeSub, BOARD_TYPE_SUB_UNKNOWN);
    EXPECT_EQ(info.sysInfo.verHigh, 0x15);
    EXPECT_EQ(info.sysInfo.verLow, 0x79);
    EXPECT_THAT(info.sysInfo.versionA, ElementsAre(1, 2, 3, 4));
    EXPECT_THAT(info.sysInfo.fpgaVersion, ElementsAre(5, 6, 7, 8));
    EXPECT_EQ(info.sysInfo.info88, 0x1234);
    EXPECT_EQ(info.sysInfo.info90, 0x5678);
    EXPECT_EQ(info.sysInfo.info92, 0x9A);
    EXPECT_EQ(info.sysInfo.info94, 0xBC);
    EXPECT_EQ(info.sysInfo.axisCount, 2);
    EXPECT_FALSE(info.sysInfo.offlineSupport);
}

TEST(Status7, RefusedDeviceTypeLeavesTheTypeUnknown) {
    Harness h;
    h.healthyBoard7();
    h.transfer.answer(op7::kDevType, replyWith(64, {{2, 0x01}, {4, 0x15}}));
    ASSERT_EQ(h.connect(), SDK_OK);
    DevInfo info;
    h.executor->getDevInfo(info);
    EXPECT_EQ(info.boardType, BOARD_TYPE_UNKNOWN);
    EXPECT_EQ(info.sysInfo.verHigh, 0);
}

TEST(Status7, EveryExchangeOffersA256ByteReplyArea) {
    Running7 h;
    DevBaseState s;
    h.executor->getDevState(s, true);
    h.executor->getDevState(s, true);
    uint16_t counter = 1;
    bool alive = false;
    h.executor->getDevHeartState(counter, alive);
    ASSERT_EQ(h.transfer.exchanges.size(), 3u);
    for (const auto& e : h.transfer.exchanges) {
        EXPECT_EQ(e.replyCapacity, 256u);
        EXPECT_TRUE(e.flag);
        EXPECT_EQ(e.bytes.size(), 12u);
    }
}
