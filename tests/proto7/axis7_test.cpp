#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/axes.h"
#include "support/harness.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(Axis7, PulseMoveLayoutWithAnUnusedSecondSlot) {
    Running7 h;
    EXPECT_TRUE(h.e7().sendAxisMovePulse(axis(0), 5, true));
    EXPECT_THAT(h.flushPackets(),
                ElementsAre(ElementsAre(0x03, 0xA0, 28, 0, 0x01, 0x00, 0, 0, 0, 5, 0, 0, 0, 0, 0x07, 0xD0, 0x27, 0x10,
                                        62, 0, 0, 0, 0, 0, 0x01, 0x77, 0, 0)));  // length (2+10)*0.0625*0.5*1000
}

TEST(Axis7, CountsAndDirections) {
    struct Case {
        int32_t slot;
        int count;
        bool direction;
        uint8_t invert;
        uint8_t scale;
        uint32_t sent;
        uint8_t dirBits;
    };
    const Case cases[] = {
        {0, 0, true, 0, 0, 1, 0x01},    // at least one pulse
        {0, -7, false, 0, 0, 1, 0x00},  // the sign never sets the direction
        {1, 4, true, 0, 1, 10, 0x02},   // scaled by 2.5
        {1, 4, true, 1, 0, 4, 0x00},    // inverted
        {0, 3, false, 1, 0, 3, 0x01},
    };
    for (const Case& c : cases) {
        Running7 h;
        ExtAxisPar a = axis(c.slot);
        a.dirInvert = c.invert;
        a.scaleEnable = c.scale;
        a.scaleFactor = 2.5f;
        ASSERT_TRUE(h.e7().sendAxisMovePulse(a, c.count, c.direction));
        const Bytes p = h.flushPackets().at(0);
        EXPECT_EQ(be32(p, 6 + 4 * static_cast<size_t>(c.slot)), c.sent) << c.count;
        EXPECT_EQ(p[4], c.dirBits) << c.count;
    }
}

TEST(Axis7, SpeedProfileLimits) {
    struct Case {
        const char* name;
        float start, run, max;
        uint16_t loField, hiField;
        uint8_t ramp;
    };
    const Case cases[] = {
        {"run below start is raised", 10, 2, 100, 10000, 10000, 0},
        {"run above max is lowered below start", 50, 200, 20, 50000, 20000, 0},
        {"ramp of 0.3 s caps at 255", 0, 38.4f, 100, 0, 38400, 255},
        {"pulses per second cap at 65535", 1, 100, 100, 1000, 65535, 255},
    };
    for (const Case& c : cases) {
        Running7 h;
        ExtAxisPar a = axis(0);
        a.startSpeed = c.start;
        a.runSpeed = c.run;
        a.maxSpeed = c.max;
        h.e7().sendAxisMovePulse(a, 1, false);
        const Bytes p = h.flushPackets().at(0);
        EXPECT_EQ(be16(p, 14), c.loField) << c.name;
        EXPECT_EQ(be16(p, 16), c.hiField) << c.name;
        if (c.start <= c.max) {
            EXPECT_EQ(p[18], c.ramp) << c.name;
        }
    }
}

TEST(Axis7, HomingUsesTheHomeProfileAndRefusesWithoutASwitch) {
    Running7 h;
    ASSERT_TRUE(h.e7().sendAxisMovePulse(homingAxis(1), 99, false));
    // Count 3 * 4 units * 1000; direction from the home direction; ramp (4-1)/12 s = 250 ms.
    EXPECT_THAT(h.flushPackets().at(0), ElementsAre(0x03, 0xA0, 28, 0, 0x0A, 0x02, 0, 0, 0, 0, 0, 0, 0x2E, 0xE0, 0, 0,
                                                    0, 0, 0, 0x03, 0xE8, 0x0F, 0xA0, 250, 0, 0, 0x02, 0x71));

    ExtAxisPar noSwitch = homingAxis(0);
    noSwitch.homeEnable = 0;
    EXPECT_FALSE(h.e7().sendAxisMovePulse(noSwitch, 1, true));
    EXPECT_TRUE(h.log.contains("0轴零点没有使能，无法回零"));
    EXPECT_FALSE(h.e7().sendAxisMovePulse(arrayOf({noSwitch}), {1}, {true}));
    EXPECT_TRUE(h.log.contains("零点没有使能，无法回零"));
    EXPECT_EQ(h.flushPackets().size(), 1u);  // nothing more was queued
}

TEST(Axis7, TwoStageHomingBacksOffInvertsTheLevelAndApproachesSlowly) {
    Running7 h;
    ExtAxisPar a = homingAxis(0);
    a.twoStageHoming = 1;
    ASSERT_TRUE(h.e7().sendAxisMovePulse(a, 1, false));
    auto packets = h.flushPackets();
    ASSERT_EQ(packets.size(), 4u);
    struct Stage {
        uint32_t count;  // 3 * home speed * 1000
        uint8_t dir;
        uint8_t level;
    };
    const Stage stages[] = {{12000, 1, 1}, {6000, 0, 1}, {6000, 0, 0}, {3000, 1, 1}};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(be32(packets[i], 6), stages[i].count) << i;
        EXPECT_EQ(packets[i][4] & 0x01, stages[i].dir) << i;
        EXPECT_EQ(packets[i][5] & 0x01, stages[i].level) << i;
        EXPECT_EQ(packets[i][4] & 0x04, 0x04) << i;
    }
}

TEST(Axis7, ArrayFormSkipsUnknownAxesAndChecksSizes) {
    Running7 h;
    EXPECT_TRUE(h.e7().sendAxisMovePulse(arrayOf({axis(0), axis(5)}), {5, 6}, {true, true}));
    EXPECT_EQ(h.log.lines(), std::vector<std::string>{"不支持的轴ID"});
    auto packets = h.flushPackets();
    ASSERT_EQ(packets.size(), 1u);
    EXPECT_EQ(be32(packets[0], 6), 5u);
    EXPECT_EQ(be32(packets[0], 10), 0u);

    EXPECT_TRUE(h.e7().sendAxisMovePulse(arrayOf({axis(7)}), {1}, {true}));
    EXPECT_FALSE(h.e7().sendAxisMovePulse(arrayOf({axis(0), axis(1), axis(0)}), {1, 1, 1}, {true, true, true}));
    EXPECT_FALSE(h.e7().sendAxisMovePulse(arrayOf({axis(0)}), {1, 2}, {true}));
    EXPECT_EQ(h.log.lines().size(), 2u);
    EXPECT_EQ(h.flushPackets().size(), 1u);
}

TEST(Axis7, ArrayFormFillsBothSlots) {
    Running7 h;
    EXPECT_TRUE(h.e7().sendAxisMovePulse(arrayOf({axis(1), axis(0)}), {7, 0}, {true, false}));
    const Bytes p = h.flushPackets().at(0);
    EXPECT_EQ(be32(p, 6), 1u);
    EXPECT_EQ(be32(p, 10), 7u);
    EXPECT_EQ(p[4], 0x02);
}

TEST(Axis7, DirectPulseMoveLayouts) {
    Running7 h;
    h.e7().sendMovePulse(AXIS_ID_0, true, true, 1000, true, 100.7f, 2000.2f, 300);
    h.e7().sendMovePulse(AXIS_ID_1, false, false, 70000, true, 10, 20, 100);
    h.e7().sendMovePulse(2, true, true, 5, true, 1, 2, 3);
    auto packets = h.flushPackets();
    ASSERT_EQ(packets.size(), 3u);
    // Ramp length (100.7 + 2000.2) * 0.3 * 0.5 = 315.1 -> 315.
    EXPECT_THAT(packets[0], ElementsAre(0x03, 0xA0, 28, 0, 0x05, 0x01, 0, 0, 0x03, 0xE8, 0, 0, 0, 0, 0, 100, 0x07, 0xD0,
                                        255, 0, 0, 0, 0, 0, 0x01, 0x3B, 0, 0));
    // (10 + 20) * 0.1 * 0.5 = 1.5 -> 1.
    EXPECT_THAT(packets[1], ElementsAre(0x03, 0xA0, 28, 0, 0x02, 0x00, 0, 0, 0, 0, 0, 0x01, 0x11, 0x70, 0, 0, 0, 0, 0,
                                        0, 10, 0, 20, 100, 0, 0, 0, 1));
    EXPECT_EQ(packets[2],
              Bytes({0x03, 0xA0, 28, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(Axis7, AxisToGalvoCoordinateLayout) {
    Running7 h;
    h.e7().sendAxis_03B1(1, 0x01020304, true, false, true, Point2dConcept<int>(0x111111, 0x1222222), 0x00ABCDEF);
    h.e7().sendAxis_03B1(0, 0, false, true, false, Point2dConcept<int>(-1, 0), 0);
    EXPECT_THAT(h.flushPackets(),
                ElementsAre(ElementsAre(0x03, 0xB1, 18, 0, 0xAB, 0xCD, 0xEF, 0, 0, 0x22, 0x22, 0x22, 0x85, 0x11, 0x01,
                                        0x02, 0x03, 0x04),
                            ElementsAre(0x03, 0xB1, 18, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x04, 0x00, 0, 0, 0, 0)));
}

TEST(Axis7, MoveAxisWithWaitRunsTheListAndWaitsForTheAxis) {
    Running7 h;
    h.transfer.answerSequence(op7::kDevExtState, {replyWith(48, {{40, 0x10}}), replyWith(48, {})});
    h.executor->moveAxis(axis(1), 3, true, true);
    const auto frames = h.transfer.frames();
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].size(), 28u + 18u);
    EXPECT_THAT(Bytes(frames[0].begin() + 28, frames[0].begin() + 36), ElementsAre(0x02, 0x42, 18, 0, 0, 0, 0, 1));
    EXPECT_EQ(h.transfer.requestsFor(op7::kDevExtState).size(), 2u);  // axis 1 moving, then stopped

    h.transfer.exchanges.clear();
    h.executor->moveAxis(arrayOf({axis(0), axis(1)}), {1, 1}, {true, true}, false);
    EXPECT_TRUE(h.transfer.requestsFor(op7::kDevExtState).empty());
    EXPECT_THAT(h.transfer.frames(), IsEmpty());
}
