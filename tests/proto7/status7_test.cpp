#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <tuple>

#include "proto7/rows7.h"

using ::testing::ElementsAre;

namespace {

// A status reply in which every decoded field has a distinct value.
Bytes richStateReply() {
    return replyWith(
        32, {{4, 0x03},  {5, 0x55},  {6, 0x66},  {7, 0xEE},  {8, 0x12},  {9, 0x34},  {12, 0x03}, {13, 0x00}, {14, 0x10},
             {15, 0x00}, {16, 0x80}, {17, 0x00}, {18, 0x00}, {19, 0x01}, {20, 0x01}, {21, 0x02}, {22, 0x03}, {23, 0x04},
             {24, 0xAB}, {25, 0xCD}, {26, 0x0F}, {27, 0xF0}, {28, 0x12}, {29, 0x34}, {30, 0x56}, {31, 0x78}});
}

// Connected to a board of this firmware version, the device type reply carrying these bytes too.
void connectVersion(Harness& h, uint16_t version, std::initializer_list<std::pair<size_t, uint8_t>> more = {}) {
    Bytes reply = replyWith(64, more);
    reply[4] = static_cast<uint8_t>(version >> 8);
    reply[5] = static_cast<uint8_t>(version);
    h.healthyBoard7();
    h.transfer.answer(op7::kDevType, reply);
    ASSERT_EQ(h.connect(), SDK_OK);
}

}  // namespace

TEST(Status7, BaseStateDecodesEveryField) {
    Running7 h;
    h.transfer.answer(op7::kDevState, richStateReply());
    DevBaseState s;
    ASSERT_TRUE(h.executor->getDevState(s, true));
    EXPECT_EQ(s.workState, 3u);
    // 0x55 = bits 0, 2, 4, 6
    EXPECT_THAT((std::vector<bool>{s.offline, s.flashState, s.statusBit2, s.statusBit3, s.statusBit4, s.statusBit5,
                                   s.statusBit6, s.finished, s.status12Bit1, s.valid}),
                ElementsAre(true, false, true, false, true, false, true, true, true, true));
    // Free cache 00 10 00; the mark count has 16 bits only.
    EXPECT_EQ(std::make_tuple(s.status6, s.status8, s.freeCacheKb, s.inputs, s.outputs, s.status24, s.status26,
                              s.markCount, s.status30),
              std::make_tuple(0x66, 0x1234, 4096u, 0x80000001u, 0x01020304u, 0xABCD, 0x0FF0, 0x1234u, 0x5678));

    // Cached reads: no board needed, and none asked while the executor is disabled.
    h.transfer.exchanges.clear();
    uint32_t value = 0;
    EXPECT_TRUE(h.executor->getOutPortState(value, false));
    EXPECT_EQ(value, 0x01020304u);
    EXPECT_TRUE(h.executor->getInPortState(value, false));
    EXPECT_EQ(value, 0x80000001u);
    EXPECT_TRUE(h.executor->getMarkCount(false, value));
    EXPECT_EQ(value, 0x1234u);
    EXPECT_TRUE(h.executor->getDevOfflineState(false));
    EXPECT_FALSE(h.executor->getDevFlashState(false));
    h.executor->setEnable(false);
    EXPECT_TRUE(h.executor->getDevState(s, true));
    EXPECT_TRUE(h.transfer.exchanges.empty());

    // A short reply reads zeros for the missing bytes.
    h.executor->setEnable(true);
    h.transfer.answer(op7::kDevState, Bytes{0xAA, 0x05, 0x00});
    ASSERT_TRUE(h.executor->getDevState(s, true));
    EXPECT_EQ(s.workState, 0u);
    EXPECT_EQ(s.freeCacheKb, 0u);
    EXPECT_FALSE(s.finished);
}

TEST(Status7, Firmware1700SendsTheOutputsLeastSignificantByteFirst) {
    for (uint16_t version : {0x1700, 0x1701}) {
        Harness h;
        connectVersion(h, version);
        h.transfer.answer(op7::kDevState, richStateReply());
        uint32_t outputs = 0;
        ASSERT_TRUE(h.executor->getOutPortState(outputs, true));
        EXPECT_EQ(outputs, version == 0x1700 ? 0x04030201u : 0x01020304u);
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

TEST(Status7, ExtendedStateDecodesAxesAndLaser) {
    Running7 h;
    const Bytes reply = {0xAA, 0x07, 0, 0,    1, 0, 0, 2,    0,    0,    0,    3,    0x40, 0, 0, 0x10,
                         0x40, 0,    0, 0x20, 0, 0, 0, 0x30, 0,    0,    0,    0,    0,    0, 0, 4,
                         0,    0,    0, 0,    0, 0, 0, 6,    0x5A, 0xC3, 0xBF, 0x2E, 0,    0, 0, 0};
    h.transfer.answer(op7::kDevExtState, reply);
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

    // A refused refresh keeps the cache; the laser state is then not handed out.
    h.transfer.answer(op7::kDevExtState, replyWith(48, {{2, 1}}));
    EXPECT_FALSE(h.executor->getDevExtState(s, true));
    EXPECT_EQ(s.laserState, 0x3F);
    laser = 0xEE;
    EXPECT_FALSE(h.executor->getLaserState(laser));
    EXPECT_EQ(laser, 0xEE);
    h.transfer.exchanges.clear();
    EXPECT_TRUE(h.executor->getDevExtState(s, false));
    EXPECT_TRUE(h.transfer.exchanges.empty());
}

TEST(Status7, VirtualBoardsAreNeverAskedForStateOrModeButForExtendedState) {
    Running7 h;
    h.transfer.virtualLink = true;
    DevBaseState s;
    EXPECT_TRUE(h.executor->getDevState(s, true));
    EXPECT_TRUE(s.valid);
    EXPECT_EQ(h.executor->getBoardMode(), BOARD_MODE_APPLICATION);
    EXPECT_TRUE(h.transfer.exchanges.empty());
    DevExtState ext;
    h.executor->getDevExtState(ext, true);
    EXPECT_EQ(h.transfer.requestsFor(op7::kDevExtState).size(), 1u);
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
        EXPECT_EQ(h.transfer.requests(),
                  std::vector<Bytes>{pkt(0xAA01, {0, 0, uint8_t(c.sent), uint8_t(c.sent >> 8)})});
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
}

TEST(Status7, DeviceTypeFillsVersionsAndType) {
    Harness h;
    // Versions from byte 38.
    connectVersion(h, 0x1579,
                   {{38, 1},
                    {39, 2},
                    {40, 3},
                    {41, 4},
                    {42, 5},
                    {43, 6},
                    {44, 7},
                    {45, 8},
                    {46, 0x12},
                    {47, 0x34},
                    {48, 0x56},
                    {49, 0x78},
                    {50, 0x9A},
                    {51, 0xBC}});
    DevInfo info;
    h.executor->getDevInfo(info);
    EXPECT_EQ(info.boardType, BOARD_TYPE_PROTOCOL7);
    EXPECT_EQ(info.sysInfo.verHigh, 0x15);
    EXPECT_EQ(info.sysInfo.verLow, 0x79);
    EXPECT_THAT(info.sysInfo.versionA, ElementsAre(1, 2, 3, 4));
    EXPECT_THAT(info.sysInfo.fpgaVersion, ElementsAre(5, 6, 7, 8));
    EXPECT_EQ(info.sysInfo.info88, 0x1234);
    EXPECT_EQ(info.sysInfo.info90, 0x5678);
    EXPECT_EQ(info.sysInfo.info92, 0x9A);
    EXPECT_EQ(info.sysInfo.info94, 0xBC);

    Harness refused;
    connectVersion(refused, 0x1579, {{2, 0x01}});
    refused.executor->getDevInfo(info);
    EXPECT_EQ(info.boardType, BOARD_TYPE_UNKNOWN);
    EXPECT_EQ(info.sysInfo.verHigh, 0);
}

TEST(Status7, EveryExchangeOffersA256ByteReplyArea) {
    Running7 h;
    DevBaseState s;
    h.executor->getDevState(s, true);
    uint16_t counter = 1;
    bool alive = false;
    h.executor->getDevHeartState(counter, alive);
    ASSERT_EQ(h.transfer.exchanges.size(), 2u);
    for (const auto& e : h.transfer.exchanges) {
        EXPECT_EQ(e.replyCapacity, 256u);
        EXPECT_TRUE(e.flag);
    }
}
