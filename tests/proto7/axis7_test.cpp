#include <gtest/gtest.h>

#include <tuple>

#include "proto7/rows7.h"
#include "support/axes.h"

namespace {

ExtAxisPar scaledInverted(int32_t n) {
    ExtAxisPar a = axis(n);
    a.dirInvert = a.scaleEnable = 1;
    a.scaleFactor = 2.5f;
    return a;
}

}  // namespace

// Byte 4 direction and homing bits, 5 home levels, 6 and 10 counts, 14 and 19 start and run
// pulses per second and ramp byte, 24 and 26 ramp lengths.
TEST(Axis7, Packets) {
    expectList({
        // Ramp length (2 + 10) * 0.0625 * 0.5 * 1000 = 375.
        {[](E7& e) { e.sendAxisMovePulse(axis(0), 5, true); },
         lp(0x03A0, 28, {0x01, 0, 0, 0, 0, 5, 0, 0, 0, 0, 0x07, 0xD0, 0x27, 0x10, 62, 0, 0, 0, 0, 0, 0x01, 0x77})},
        // Count 3 * 4 units * 1000; direction from the home direction; ramp (4 - 1) / 12 s = 250 ms.
        {[](E7& e) { e.sendAxisMovePulse(homingAxis(1), 99, false); },
         lp(0x03A0, 28,
            {0x0A, 0x02, 0, 0, 0, 0, 0, 0, 0x2E, 0xE0, 0, 0, 0, 0, 0, 0x03, 0xE8, 0x0F, 0xA0, 250, 0, 0, 2, 0x71})},
        // Slot 1 inverted and scaled by 2.5; slot 0 takes at least one pulse.
        {[](E7& e) {
             e.sendAxisMovePulse(arrayOf({scaledInverted(1), axis(0)}), {4, 0}, {true, false});
         },
         lp(0x03A0, 28,
            {0, 0, 0, 0, 0, 1, 0, 0, 0, 10, 0x07, 0xD0, 0x27, 0x10, 62, 0x07, 0xD0, 0x27, 0x10, 62, 1, 0x77, 1, 0x77})},
        // Ramp length (100.7 + 2000.2) * 0.3 * 0.5 = 315.1 -> 315; (10 + 20) * 0.1 * 0.5 = 1.5 -> 1.
        {[](E7& e) { e.sendMovePulse(AXIS_ID_0, true, true, 1000, true, 100.7f, 2000.2f, 300); },
         lp(0x03A0, 28,
            {0x05, 0x01, 0, 0, 0x03, 0xE8, 0, 0, 0, 0, 0, 100, 0x07, 0xD0, 255, 0, 0, 0, 0, 0, 0x01, 0x3B})},
        {[](E7& e) { e.sendMovePulse(AXIS_ID_1, false, false, 70000, true, 10, 20, 100); },
         lp(0x03A0, 28, {0x02, 0x00, 0, 0, 0, 0, 0, 0x01, 0x11, 0x70, 0, 0, 0, 0, 0, 0, 10, 0, 20, 100, 0, 0, 0, 1})},
        {[](E7& e) { e.sendMovePulse(2, true, true, 5, true, 1, 2, 3); }, lp(0x03A0, 28)},
        {[](E7& e) {
             e.sendAxis_03B1(1, 0x01020304, true, false, true, {0x111111, 0x1222222}, 0xABCDEF);
         },
         lp(0x03B1, 18, {0xAB, 0xCD, 0xEF, 0, 0, 0x22, 0x22, 0x22, 0x85, 0x11, 0x01, 0x02, 0x03, 0x04})},
        {[](E7& e) {
             e.sendAxis_03B1(0, 0, false, true, false, {-1, 0}, 0);
         },
         lp(0x03B1, 18, {0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x04})},
    });
}

TEST(Axis7, TwoStageHomingBacksOffInvertsTheLevelAndApproachesSlowly) {
    // Count 3 * home speed * 1000, direction, level.
    const std::tuple<uint32_t, uint8_t, uint8_t> stages[] = {{12000, 1, 1}, {6000, 0, 1}, {6000, 0, 0}, {3000, 1, 1}};
    for (const auto& [slot, array] : {std::pair{0, false}, {1, false}, {0, true}}) {
        Running7 h;
        const ExtAxisPar a = homingAxis(slot, 1);
        ASSERT_TRUE(array ? h.e7().sendAxisMovePulse(arrayOf({a}), {1}, {false})
                          : h.e7().sendAxisMovePulse(a, 1, false));
        auto packets = h.flushPackets();
        ASSERT_EQ(packets.size(), 4u);
        for (size_t i = 0; i < 4; ++i) {
            const auto& [count, dir, level] = stages[i];
            EXPECT_EQ(be32(packets[i], 6 + 4 * slot), count) << i;
            EXPECT_EQ(packets[i][4], (dir | 0x04) << slot) << i;
            EXPECT_EQ(packets[i][5] >> slot & 0x01, level) << i;
        }
    }
}

// Refusals log and queue nothing; unknown axes of an array are skipped.
TEST(Axis7, Refusals) {
    Running7 h;
    E7& e = h.e7();
    ExtAxisPar noSwitch = homingAxis(0);
    noSwitch.homeEnable = 0;
    EXPECT_FALSE(e.sendAxisMovePulse(noSwitch, 1, true));
    EXPECT_FALSE(e.sendAxisMovePulse(arrayOf({axis(1), noSwitch}), {1, 1}, {true, true}));
    EXPECT_FALSE(e.sendAxisMovePulse(axis(2), 1, true));
    EXPECT_FALSE(e.sendAxisMovePulse(arrayOf({axis(0), axis(1), axis(0)}), {1, 1, 1}, {true, true, true}));
    EXPECT_FALSE(e.sendAxisMovePulse(arrayOf({axis(0)}), {1, 2}, {true}));
    EXPECT_FALSE(e.sendAxisMovePulse(arrayOf({axis(0)}), {1}, {true, false}));
    EXPECT_TRUE(e.sendAxisMovePulse(arrayOf({axis(7)}), {1}, {true}));
    EXPECT_EQ(h.log.lines(), (std::vector<std::string>{"0轴零点没有使能，无法回零", "零点没有使能，无法回零",
                                                       "不支持的轴ID", "不支持的轴ID"}));
    EXPECT_TRUE(h.flushPackets().empty());
    EXPECT_TRUE(e.sendAxisMovePulse(arrayOf({axis(0), axis(5)}), {5, 6}, {true, true}));
    EXPECT_EQ(slice(h.flushPackets().at(0), 6, 8), (Bytes{0, 0, 0, 5, 0, 0, 0, 0}));
}

// A null relative vector follows the move so the list has something to finish on.
TEST(Axis7, MoveAxisWithWaitRunsTheListAndWaitsForTheAxis) {
    Running7 h;
    h.transfer.answerSequence(op7::kDevExtState, {replyWith(48, {{40, 0x10}}), replyWith(48, {})});
    h.executor->moveAxis(axis(1), 3, true, true);
    EXPECT_EQ(h.transfer.frames().at(0).size(), 28u + 18u);
    EXPECT_EQ(h.flushPackets().at(1), lp(0x0242, 18, {0, 0, 0, 1}));
    EXPECT_EQ(h.transfer.requestsFor(op7::kDevExtState).size(), 2u);  // axis 1 moving, then stopped
    h.transfer.exchanges.clear();
    h.executor->moveAxis(arrayOf({axis(0), axis(1)}), {1, 1}, {true, true}, false);
    EXPECT_TRUE(h.transfer.requestsFor(op7::kDevExtState).empty());
    EXPECT_TRUE(h.transfer.frames().empty());
}
