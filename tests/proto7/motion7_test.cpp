#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "proto7/rows7.h"

using ::testing::ElementsAre;

namespace {

// 500 pulses per unit.
AxisSetting setting(int32_t axisNo, uint8_t invert = 0) { return {axisNo, invert, 1000, 2}; }

MATCHER_P4(IsState, axisNo, flags, raw, position, "") {
    const std::vector<int> f = {arg.flag0, arg.flag1, arg.flag2, arg.flag3, arg.flag4, arg.flag5};
    return arg.axisNo == axisNo && f == flags && arg.rawPosition == static_cast<uint32_t>(raw) &&
           arg.position == position;
}

const AxisEnableParam kEnable = {{true, false, false, false, false, false, false, true}, {false, false, false, true}};

}  // namespace

TEST(Motion7, ListPackets) {
    const Bytes joined = lp(0x0301, 20, {0x84, 0, 0, 100, 0, 0, 1, 0, 0, 2, 0, 0, 4, 0, 0, 3});  // d before c
    expectList({
        // 500 pulses per unit: 1000, 500 and 250.
        {[](E7& e) {
             e.sendMotionAxisSetPar({1, 0, 1000, 2, 1, 2, 0.5f, 1});
         },
         lp(0x0300, 20, {0x08, 1, 0, 0, 0, 0, 0x00, 0x03, 0xE8, 0x00, 0x01, 0xF4, 0x00, 0x00, 0xFA})},
        // Inverted: a forward count goes the negative way.
        {[](E7& e) { e.sendMotionAxisJoinMove(setting(0, 1), 100, 1, 2, 3, 4, false); }, {joined}},
        {[](E7& e) { e.sendMotionAxisJoinMove(setting(0, 1), 100, 0, 0, 0, 0, true); },
         lp(0x0301, 20, {0x04, 0, 0, 100})},
        // Axis 5's bit and the direction bit are the same bit.
        {[](E7& e) { e.sendMotionAxisAloneMove(setting(5), 7, 0x1234567, 0, 0, 0, true); },
         lp(0x0302, 20, {0x80, 0, 0, 7, 0x23, 0x45, 0x67})},
        {[](E7& e) { e.sendMotionAxisRcvFlag(true); }, lp(0x0310, 6, {1})},
        {[](E7& e) { e.sendMotionAxisJoinEnergy(1, 0x1000002, 3, 0xEE, 5); },
         lp(0x0313, 18, {0, 0, 1, 0, 0, 2, 0, 0, 3, 0xEE, 0, 0, 5})},
        {[](E7& e) { e.sendMotionAxisRunFlag(true, true, 0xFF); }, lp(0x0340, 6, {0x7F})},
        {[](E7& e) { e.sendMotionAxisRunFlag(false, true, 2); }, lp(0x0340, 6, {0x0A})},
        {[](E7& e) {
             e.sendAxisLinkageXYZR({-1, true}, {2, false}, {3, true}, {4, false});
         },
         lp(0x0401, 22, {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0x05})},
        {[](E7& e) {
             e.sendAxisLinkageABCDToZero({1, false, 1}, {2, true, 0}, {3, false, 1}, {4, false, 1});
         },
         lp(0x040B, 22, {0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0x02, 0x0D})},
        // Times in periods of 20.8333 ns: 10000; 48000.08 -> 48000.
        {[](E7& e) {
             e.sendAxisLinkageParam({208333.0f, true, false, true, 0x0102, 0x0304});
         },
         lp(0x0403, 14, {0, 0, 0x27, 0x10, 0x05, 0, 0x01, 0x02, 0x03, 0x04})},
        {[](E7& e) { e.sendAxisLinkageToZeroTime(1000000); }, lp(0x040C, 8, {0, 0, 0xBB, 0x80})},
        {[](E7& e) { e.sendEnableAxis(kEnable); }, lp(0x0404, 8, {0x81, 0, 0x08})},
    });
}

TEST(Motion7, Requests) {
    const AxisStopParam stop = {{0x0100, 0x0101, 0x0102, 0x0103, 0x0104, 0x0105, 0x0106, 0x0107}};
    const AxisConfigParam config = {{{true}, {false, true}, {false, false, true}, {false, false, false, true}}};
    expectRequests({
        {[](E7& e) {
             return e.setClearAxisPulse({{false, true}});
         },
         pkt(0xAA46, {0, 0, 0x02}), true},
        {[&](E7& e) { return e.setAxisLinkageStopParam(stop); },
         pkt(0xAA47, {0, 0, 0, 0, 1, 0, 1, 1, 1, 2, 1, 3, 1, 4, 1, 5, 1, 6, 1, 7}, 22), true},
        {[](E7& e) { return e.setAxisLinkageStop(); }, pkt(0xAA48), true},
        {[&](E7& e) { return e.setAxisConfig(config); }, pkt(0xAA49, {0, 0, 1, 2, 4, 8}), true},
        {[](E7& e) { return e.setEnableAxis(kEnable); }, pkt(0xAA4A, {0, 0, 0x81, 0, 0x08}), true},
        {[](E7& e) { return e.setHandwheelParam(true, 0x01020304); }, pkt(0xAA50, {0, 0, 1, 1, 2, 3, 4}), true},
    });
}

// Status bits 0 to 4 read inverted, bit 7 as is; position origin 0x40000000, negated unless inverted.
TEST(Motion7, StatesFromTheAxisQuery) {
    Running7 h;
    // Axis 1: status at byte 9, raw position at 10-13; axis 0: status at 4, raw at 5-8.
    h.transfer.answer(op7::kAxisStatesEx,
                      replyWith(48, {{4, 0x00}, {5, 0x40}, {8, 0x10}, {9, 0x83}, {10, 0x40}, {13, 0x10}}));
    std::vector<AxisState> states;
    ASSERT_TRUE(h.e7().getAxisStatesEx({setting(1), setting(9), setting(-1), setting(0, 1)}, states, true));
    EXPECT_THAT(states, ElementsAre(IsState(1, std::vector<int>{0, 0, 1, 1, 1, 1}, 0x40000010, -16),
                                    IsState(0, std::vector<int>{1, 1, 1, 1, 1, 0}, 0x40000010, 16)));
    ASSERT_TRUE(h.e7().getAxisStatesEx({setting(1)}, states, false));
    EXPECT_THAT(states, ElementsAre(IsState(1, std::vector<int>{0, 0, 1, 1, 1, 1}, 0x40000000, 0)));
    h.transfer.answer(op7::kAxisStatesEx, replyWith(48, {{2, 1}}));
    EXPECT_FALSE(h.e7().getAxisStatesEx({setting(1)}, states, true));
    EXPECT_EQ(states.size(), 1u);  // untouched
    h.transfer.exchanges.clear();
    h.executor->setEnable(false);
    EXPECT_FALSE(h.e7().getAxisStatesEx({setting(1)}, states, true));
    EXPECT_TRUE(h.transfer.exchanges.empty());
}

TEST(Motion7, StatesFromTheExtendedStatusStopAtTheAxisLimit) {
    Running7 h;
    h.transfer.answer(
        op7::kDevExtState,
        replyWith(48, {{12, 0x40}, {15, 0x10}, {16, 0x3F}, {17, 0xFF}, {18, 0xFF}, {19, 0xF0}, {40, 0x21}}));
    std::vector<AxisState> states;
    ASSERT_TRUE(h.executor->getAxisStates({setting(0), setting(1, 1), setting(2), setting(-1)}, states, true));
    EXPECT_THAT(states, ElementsAre(IsState(0, std::vector<int>{0, 1, 1, 1, 1, 0}, 0x40000010, -16),
                                    IsState(1, std::vector<int>{1, 0, 1, 1, 1, 0}, 0x3FFFFFF0, -16)));
    h.transfer.failOpcode(op7::kDevExtState);
    EXPECT_FALSE(h.executor->getAxisStates({setting(0)}, states, true));
}
