#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <tuple>

#include "proto7/rows7.h"

using ::testing::ElementsAre;

namespace {

// A status reply in which every decoded field has a distinct value.
const Bytes kRichState = {0,    0, 0, 0, 0x03, 0x55, 0x66, 0xEE, 0x12, 0x34, 0,    0,    0x03, 0x00, 0x10, 0x00,
                          0x80, 0, 0, 1, 1,    2,    3,    4,    0xAB, 0xCD, 0x0F, 0xF0, 0x12, 0x34, 0x56, 0x78};

}  // namespace

TEST(Status7, BaseStateDecodesEveryFieldAndCachesIt) {
    Running7 h;
    h.transfer.answer(op7::kDevState, kRichState);
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

    // Cached reads need no board; a refused or lost refresh keeps the cache but clears valid.
    h.transfer.exchanges.clear();
    uint32_t out = 0, in = 0, count = 0;
    EXPECT_TRUE(h.executor->getOutPortState(out, false) && h.executor->getInPortState(in, false) &&
                h.executor->getMarkCount(false, count) && h.executor->getDevOfflineState(false));
    EXPECT_EQ(std::make_tuple(out, in, count), std::make_tuple(0x01020304u, 0x80000001u, 0x1234u));
    EXPECT_FALSE(h.executor->getDevFlashState(false));
    EXPECT_TRUE(h.transfer.exchanges.empty());
    h.transfer.answer(op7::kDevState, replyWith(32, {{2, 0x01}, {13, 0x05}}));
    EXPECT_FALSE(h.executor->getDevState(s, true));
    EXPECT_EQ(std::make_tuple(s.freeCacheKb, s.valid), std::make_tuple(4096u, false));
    h.transfer.failOpcode(op7::kDevState);
    EXPECT_FALSE(h.executor->getMarkCount(true, count) || h.executor->getInPortState(in, true) ||
                 h.executor->getOutPortState(out, true) || h.executor->getDevState(s, true));
    EXPECT_EQ(std::make_tuple(count, in, out, s.workState, s.valid), std::make_tuple(0u, 65535u, 0u, 3u, false));
    EXPECT_FALSE(h.executor->getDevOfflineState(true) || h.executor->getDevFlashState(true));
    h.executor->setEnable(false);  // disabled: the cache, without asking
    EXPECT_TRUE(h.executor->getDevState(s, true));
}

TEST(Status7, ExtendedStateDecodesAxesAndLaser) {
    Running7 h;
    const Bytes reply = {0xAA, 0x07, 0, 0,    1, 0, 0, 2,    0,    0,    0,    3,    0x40, 0, 0, 0x10,
                         0x40, 0,    0, 0x20, 0, 0, 0, 0x30, 0,    0,    0,    0,    0,    0, 0, 4,
                         0,    0,    0, 0,    0, 0, 0, 6,    0x5A, 0xC3, 0xBF, 0x2E, 0,    0, 0, 0};
    h.transfer.answer(op7::kDevExtState, reply);
    DevExtState s;
    ASSERT_TRUE(h.executor->getDevExtState(s, true));
    EXPECT_EQ(std::make_tuple(s.ext0, s.ext1, s.laserState, s.laserState2, s.ext46),
              std::make_tuple(0x01000002u, 0x03u, 0x3F, 0x02, 0x2E));
    EXPECT_THAT(s.groupA, ElementsAre(0u, 0x40000010u, 0x40000020u, 0x30u));
    EXPECT_THAT(s.groupB, ElementsAre(0u, 0x04u, 0u, 0x06u));
    EXPECT_THAT(s.axisState, ElementsAre(0x0A, 0x05, 0x03, 0x00));
    uint8_t laser = 0;
    EXPECT_TRUE(h.executor->getLaserState(laser));
    EXPECT_EQ(laser, 0x3F);

    // A refused refresh keeps the cache; the laser state is then not handed out.
    h.transfer.answer(op7::kDevExtState, replyWith(48, {{2, 1}}));
    laser = 0xEE;
    EXPECT_FALSE(h.executor->getDevExtState(s, true) || h.executor->getLaserState(laser));
    EXPECT_EQ(std::make_pair(s.laserState, laser), std::make_pair(uint8_t(0x3F), uint8_t(0xEE)));
    h.transfer.exchanges.clear();
    EXPECT_TRUE(h.executor->getDevExtState(s, false));
    EXPECT_TRUE(h.transfer.exchanges.empty());
}

TEST(Status7, VirtualBoardsAreNeverAskedForStateOrModeButForExtendedState) {
    Running7 h;
    h.transfer.virtualLink = true;
    DevBaseState s;
    DevExtState ext;
    EXPECT_TRUE(h.executor->getDevState(s, true) && s.valid);
    EXPECT_EQ(h.executor->getBoardMode(), BOARD_MODE_APPLICATION);
    h.executor->getDevExtState(ext, true);
    EXPECT_EQ(h.transfer.requests(), std::vector<Bytes>{pkt(0xAA07)});
}

// The counter goes out least significant byte first at byte 4 and comes back so.
TEST(Status7, HeartbeatIsAliveOnlyWhenTheBoardCountsOneUp) {
    // Counter sent, reply, result, alive, counter after.
    const std::tuple<uint16_t, Bytes, bool, bool, uint16_t> cases[] = {
        {7, replyWith(8, {{4, 0x08}}), true, true, 8},
        {0x01FF, replyWith(8, {{5, 0x02}}), true, true, 0x0200},
        {65535, replyWith(8, {}), true, false, 0},                   // no 16-bit wrap
        {7, replyWith(8, {{2, 0x01}, {4, 0x08}}), false, false, 7},  // refused: both outputs left alone
    };
    for (const auto& [sent, reply, ok, alive, after] : cases) {
        Harness h;
        h.transfer.answer(op7::kHeartbeat, reply);
        uint16_t counter = sent;
        bool isAlive = !alive;
        EXPECT_EQ(h.executor->getDevHeartState(counter, isAlive), ok);
        EXPECT_EQ(std::make_pair(isAlive, counter), std::make_pair(ok ? alive : !alive, after)) << sent;
        EXPECT_EQ(h.transfer.requests(), std::vector<Bytes>{pkt(0xAA01, {0, 0, uint8_t(sent), uint8_t(sent >> 8)})});
        EXPECT_EQ(h.transfer.exchanges[0].replyCapacity, 256u);  // every request offers a 256-byte reply area
    }
}

// Byte 2 of the mode reply carries the mode bit, not a status.
TEST(Status7, BoardMode) {
    for (const auto& [byte2, mode] : {std::pair{0x05, BOARD_MODE_APPLICATION}, {0x01, BOARD_MODE_FACTORY}}) {
        Harness h;
        h.transfer.answer(op7::kBoardMode, replyWith(4, {{2, uint8_t(byte2)}}));
        EXPECT_EQ(h.executor->getBoardMode(), mode) << byte2;
        h.transfer.failOpcode(op7::kBoardMode);
        EXPECT_EQ(h.executor->getBoardMode(), BOARD_MODE_NO_ANSWER);
    }
}

// Versions from byte 38; firmware 0x1700 sends the outputs least significant byte first.
TEST(Status7, DeviceTypeFillsVersionsAndType) {
    for (uint16_t version : {0x1700, 0x1701, 0}) {
        Harness h;
        Bytes reply = replyWith(64, {{2, version == 0}, {4, version >> 8}, {5, version & 0xFF}});
        const Bytes versions = {1, 2, 3, 4, 5, 6, 7, 8, 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC};
        std::copy(versions.begin(), versions.end(), reply.begin() + 38);
        h.healthyBoard7();
        h.transfer.answer(op7::kDevType, reply);
        ASSERT_EQ(h.connect(), SDK_OK);
        DevInfo info;
        h.executor->getDevInfo(info);
        EXPECT_EQ(info.boardType, version == 0 ? BOARD_TYPE_UNKNOWN : BOARD_TYPE_PROTOCOL7);  // 0: refused
        EXPECT_EQ(info.sysInfo.firmwareVersion(), version);
        if (version == 0) continue;
        EXPECT_THAT(info.sysInfo.versionA, ElementsAre(1, 2, 3, 4));
        EXPECT_THAT(info.sysInfo.fpgaVersion, ElementsAre(5, 6, 7, 8));
        EXPECT_EQ(std::make_tuple(info.sysInfo.info88, info.sysInfo.info90, info.sysInfo.info92, info.sysInfo.info94),
                  std::make_tuple(0x1234, 0x5678, 0x9A, 0xBC));
        h.transfer.answer(op7::kDevState, kRichState);
        uint32_t outputs = 0;
        ASSERT_TRUE(h.executor->getOutPortState(outputs, true));
        EXPECT_EQ(outputs, version == 0x1700 ? 0x04030201u : 0x01020304u);
    }
}
