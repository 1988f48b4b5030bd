#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/harness.h"

using ::testing::ElementsAre;

namespace {

AxisSetting setting(int32_t axisNo, uint8_t invert = 0) {
    AxisSetting s;
    s.axisNo = axisNo;
    s.dirInvert = invert;
    s.pulsesPerTurn = 1000;
    s.travelPerTurn = 2;  // 500 pulses per unit
    return s;
}

MATCHER_P4(IsState, axisNo, flags, raw, position, "") {
    const std::vector<int> f = {arg.flag0, arg.flag1, arg.flag2, arg.flag3, arg.flag4, arg.flag5};
    return arg.axisNo == axisNo && f == flags && arg.rawPosition == static_cast<uint32_t>(raw) &&
           arg.position == position;
}

}  // namespace

TEST(Motion7, AxisParameterAndMoveLayouts) {
    Running7 h;
    AxisSetting s = setting(1);
    s.motionValue1 = 1;
    s.motionValue2 = 2;
    s.motionValue3 = 0.5f;
    s.modeFlag = 1;
    h.e7().sendMotionAxisSetPar(s);
    h.e7().sendMotionAxisJoinMove(setting(0, 1), 100, 1, 2, 3, 4, false);  // inverted: negative direction
    h.e7().sendMotionAxisAloneMove(setting(5), 7, 0x1234567, 0, 0, 0, true);
    h.e7().sendMotionAxisAloneMove(setting(2), 0, 0, 0, 0, 0, true);
    EXPECT_THAT(h.flushPackets(),
                ElementsAre(ElementsAre(0x03, 0x00, 20, 0, 0x08, 1, 0, 0, 0, 0, 0x00, 0x03, 0xE8, 0x00, 0x01, 0xF4,
                                        0x00, 0x00, 0xFA, 0),
                            ElementsAre(0x03, 0x01, 20, 0, 0x84, 0, 0, 100, 0, 0, 1, 0, 0, 2, 0, 0, 4, 0, 0, 3),
                            // axis 5's bit and the direction bit are the same bit
                            ElementsAre(0x03, 0x02, 20, 0, 0x80, 0, 0, 7, 0x23, 0x45, 0x67, 0, 0, 0, 0, 0, 0, 0, 0, 0),
                            ElementsAre(0x03, 0x02, 20, 0, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0)));
}

TEST(Motion7, FlagsEnergyLinkageAndEnableLayouts) {
    Running7 h;
    h.e7().sendMotionAxisRcvFlag(true);
    h.e7().sendMotionAxisJoinEnergy(1, 0x1000002, 3, 0xEE, 5);
    h.e7().sendMotionAxisRunFlag(true, true, 0xFF);
    h.e7().sendAxisLinkageXYZR({-1, true}, {2, false}, {3, true}, {4, false});
    h.e7().sendAxisLinkageABCDToZero({1, false, 1}, {2, true, 0}, {3, false, 1}, {4, false, 1});
    AxisLinkageParam lp;
    lp.time = 208333.0f;  // / 20.8333 ns -> 10000 clock periods
    lp.option2 = true;
    lp.value1 = 0x0102;
    lp.value2 = 0x0304;
    h.e7().sendAxisLinkageParam(lp);
    h.e7().sendAxisLinkageToZeroTime(1000000);  // 48000.08 -> 48000
    AxisEnableParam en;
    en.first[0] = en.first[7] = true;
    en.second[3] = true;
    h.e7().sendEnableAxis(en);
    EXPECT_THAT(
        h.flushPackets(),
        ElementsAre(ElementsAre(0x03, 0x10, 6, 0, 1, 0),
                    ElementsAre(0x03, 0x13, 18, 0, 0, 0, 1, 0, 0, 2, 0, 0, 3, 0xEE, 0, 0, 5, 0),
                    ElementsAre(0x03, 0x40, 6, 0, 0x7F, 0),
                    ElementsAre(0x04, 0x01, 22, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0x05, 0),
                    ElementsAre(0x04, 0x0B, 22, 0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0x02, 0x0D),
                    ElementsAre(0x04, 0x03, 14, 0, 0, 0, 0x27, 0x10, 0x02, 0, 0x01, 0x02, 0x03, 0x04),
                    ElementsAre(0x04, 0x0C, 8, 0, 0, 0, 0xBB, 0x80), ElementsAre(0x04, 0x04, 8, 0, 0x81, 0, 0x08, 0)));
}

TEST(Motion7, ImmediateAxisCommands) {
    Harness h;
    AxisClearParam clear;
    clear.clear[1] = true;
    EXPECT_TRUE(h.e7().setClearAxisPulse(clear));
    AxisStopParam stop;
    for (int i = 0; i < 8; ++i) stop.values[i] = static_cast<uint16_t>(0x0100 + i);
    EXPECT_TRUE(h.e7().setAxisLinkageStopParam(stop));
    EXPECT_TRUE(h.e7().setAxisLinkageStop());
    AxisConfigParam config;
    for (int k = 0; k < 4; ++k) config.config[k][k] = true;
    EXPECT_TRUE(h.e7().setAxisConfig(config));
    AxisEnableParam en;
    en.second[0] = true;
    EXPECT_TRUE(h.e7().setEnableAxis(en));
    EXPECT_TRUE(h.e7().setHandwheelParam(true, 0x01020304));
    EXPECT_THAT(h.transfer.requests(),
                ElementsAre(ElementsAre(0xAA, 0x46, 0, 0, 0x02, 0, 0, 0, 0, 0, 0, 0),
                            ElementsAre(0xAA, 0x47, 0, 0, 0, 0, 1, 0, 1, 1, 1, 2, 1, 3, 1, 4, 1, 5, 1, 6, 1, 7),
                            ElementsAre(0xAA, 0x48, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0),
                            ElementsAre(0xAA, 0x49, 0, 0, 1, 2, 4, 8, 0, 0, 0, 0),
                            ElementsAre(0xAA, 0x4A, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0),
                            ElementsAre(0xAA, 0x50, 0, 0, 1, 1, 2, 3, 4, 0, 0, 0)));
    h.transfer.defaultReply = {0, 0, 1};
    EXPECT_FALSE(h.e7().setAxisLinkageStop());
}

TEST(Motion7, StatesFromTheAxisQuery) {
    Running7 h;
    // Axis 1: status at byte 9, raw position at 10-13; axis 0: status at 4, raw at 5-8.
    h.transfer.answer(op7::kAxisStatesEx,
                      replyWith(48, {{4, 0x00}, {5, 0x40}, {8, 0x10}, {9, 0x83}, {10, 0x40}, {13, 0x10}}));
    std::vector<AxisState> states;
    ASSERT_TRUE(h.e7().getAxisStatesEx({setting(1), setting(9), setting(0, 1)}, states, true));
    EXPECT_THAT(states, ElementsAre(IsState(1, std::vector<int>{0, 0, 1, 1, 1, 1}, 0x40000010, -16),
                                    IsState(0, std::vector<int>{1, 1, 1, 1, 1, 0}, 0x40000010, 16)));
    ASSERT_TRUE(h.e7().getAxisStatesEx({setting(1)}, states, false));
    EXPECT_THAT(states, ElementsAre(IsState(1, std::vector<int>{0, 0, 1, 1, 1, 1}, 0x40000000, 0)));

    h.transfer.failOpcode(op7::kAxisStatesEx);
    EXPECT_FALSE(h.e7().getAxisStatesEx({setting(1)}, states, true));
    EXPECT_EQ(states.size(), 1u);  // untouched
    h.executor->setEnable(false);
    EXPECT_FALSE(h.e7().getAxisStatesEx({setting(1)}, states, true));
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
