#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/axes.h"
#include "support/harness5.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

// The opcode, then the parameter bytes given; the rest are 0.
Bytes pkt(uint16_t opcode, std::vector<uint8_t> params = {}) {
    Bytes p(12, 0);
    p[0] = static_cast<uint8_t>(opcode >> 8);
    p[1] = static_cast<uint8_t>(opcode);
    std::copy(params.begin(), params.end(), p.begin() + 2);
    return p;
}

std::vector<uint16_t> opcodes(const std::vector<Bytes>& packets) {
    std::vector<uint16_t> out;
    for (const Bytes& p : packets) out.push_back(static_cast<uint16_t>(p[0] << 8 | p[1]));
    return out;
}

}  // namespace

TEST(Axis5, PulseMovesFillTheSlotOfTheirPair) {
    Harness5 h;
    EXPECT_TRUE(h.e5().sendAxisMovePulse(axis(3), 5, true));
    EXPECT_THAT(h.packets(), ElementsAre(pkt(0x0236, {1}), pkt(0x0234, {0, 0, 0, 0, 0, 0, 0, 5, 0x02}),
                                         pkt(0x0232, {0, 0, 0x01, 0x77}),
                                         pkt(0x0235, {0, 0, 0, 0, 0, 0x07, 0xD0, 0x27, 0x10, 62}), pkt(0x0233)));

    // First pair first whatever the order; count 0 is one pulse; axis 2 inverts its direction.
    h.transfer.exchanges.clear();
    ExtAxisPar inverted = axis(2);
    inverted.dirInvert = 1;
    EXPECT_TRUE(h.e5().sendAxisMovePulse(arrayOf({inverted, axis(0)}), {7, 0}, {false, true}));
    const Bytes speeds{0x07, 0xD0, 0x27, 0x10, 62};
    EXPECT_THAT(h.packets(),
                ElementsAre(pkt(0x0230, {0, 0, 0, 1, 0, 0, 0, 0, 0x01}), pkt(0x0232, {0x01, 0x77}), pkt(0x0231, speeds),
                            pkt(0x0233), pkt(0x0236, {1}), pkt(0x0234, {0, 0, 0, 7, 0, 0, 0, 0, 0x01}),
                            pkt(0x0232, {0x01, 0x77}), pkt(0x0235, speeds), pkt(0x0233)));
}

TEST(Axis5, RampLengthTakesTheStoredSpeedsAndWraps) {
    struct Case {
        float start, run, max;
        Bytes speeds;     // start, run field, ramp byte of slot 0
        uint16_t length;  // 1000 * (start + run) * (run - start) / 128 * 0.5, low 16 bits
    };
    const Case cases[] = {
        {10, 2, 100, {0x27, 0x10, 0x27, 0x10, 0}, 0xFE89},     // run raised for speeds only; -375
        {2, 200, 20, {0x07, 0xD0, 0x4E, 0x20, 140}, 0x624A},   // capped at 20 units/s; 156234
        {1, 100, 100, {0x03, 0xE8, 0xFF, 0xFF, 255}, 0x9892},  // 100000 pulses/s capped; 39058
    };
    for (const Case& c : cases) {
        Harness5 h;
        ExtAxisPar a = axis(0);
        a.startSpeed = c.start;
        a.runSpeed = c.run;
        a.maxSpeed = c.max;
        h.e5().sendAxisMovePulse(a, 1, false);
        const auto packets = h.packets();
        ASSERT_EQ(packets.size(), 4u);
        EXPECT_EQ(be16(packets[1], 2), c.length) << c.start << " " << c.run;
        EXPECT_EQ(Bytes(packets[2].begin() + 2, packets[2].begin() + 7), c.speeds) << c.start << " " << c.run;
    }
}

TEST(Axis5, HomingSendsHomeSpeedsAndNoRampLengths) {
    Harness5 h;
    ASSERT_TRUE(h.e5().sendAxisMovePulse(homingAxis(1), 99, false));
    EXPECT_THAT(h.packets(), ElementsAre(pkt(0x0230, {0, 0, 0, 0, 0, 0, 0x2E, 0xE0, 0x02, 0x0A}), pkt(0x0232),
                                         pkt(0x0231, {0, 0, 0, 0, 0, 0x03, 0xE8, 0x0F, 0xA0, 250}), pkt(0x0233)));

    // Single precision: 3 * (5 / 3.0f) rounds up to 5 pulses (4.99999988 in double).
    ExtAxisPar a = homingAxis(0);
    a.pulsesPerTurn = 5;
    a.travelPerTurn = 3;
    a.homeTravelFactor = 1;
    a.homeSpeed = 3;
    h.transfer.exchanges.clear();
    ASSERT_TRUE(h.e5().sendAxisMovePulse(a, 1, false));
    EXPECT_EQ(be32(h.packets().at(0), 2), 5u);
}

TEST(Axis5, TwoStageHomingBacksOffInvertsTheLevelAndApproachesSlowly) {
    Harness5 h;
    ASSERT_TRUE(h.e5().sendAxisMovePulse(homingAxis(1, 1), 1, false));
    const auto packets = h.packets();
    ASSERT_THAT(opcodes(packets), ElementsAre(0x0230, 0x0232, 0x0231, 0x0233, 0x0230, 0x0232, 0x0231, 0x0233, 0x0230,
                                              0x0232, 0x0231, 0x0233, 0x0230, 0x0231, 0x0233));
    struct Stage {
        size_t counts, speeds;  // packet indexes
        uint32_t count;         // 3 * home speed * 1000
        uint8_t dir, flags;     // byte 10; byte 11 = homing 0x02 | level 0x08
        uint16_t run;           // home speed * 1000
    };
    const Stage stages[] = {{0, 2, 12000, 0x02, 0x0A, 4000},
                            {4, 6, 6000, 0, 0x0A, 2000},
                            {8, 10, 6000, 0, 0x02, 2000},
                            {12, 13, 3000, 0x02, 0x0A, 1000}};
    for (const Stage& s : stages) {
        EXPECT_EQ(be32(packets[s.counts], 6), s.count) << s.counts;
        EXPECT_EQ(packets[s.counts][10], s.dir) << s.counts;
        EXPECT_EQ(packets[s.counts][11], s.flags) << s.counts;
        EXPECT_EQ(be16(packets[s.speeds], 9), s.run) << s.counts;
    }

    // The second pair selects once, before its first group.
    h.transfer.exchanges.clear();
    ASSERT_TRUE(h.e5().sendAxisMovePulse(arrayOf({homingAxis(2, 1)}), {1}, {false}));
    EXPECT_THAT(opcodes(h.packets()), ElementsAre(0x0236, 0x0234, 0x0232, 0x0235, 0x0233, 0x0234, 0x0232, 0x0235,
                                                  0x0233, 0x0234, 0x0232, 0x0235, 0x0233, 0x0234, 0x0235, 0x0233));
}

TEST(Axis5, RefusalsLogAndQueueNothing) {
    Harness5 h;
    h.log.entries.clear();
    ExtAxisPar noSwitch = homingAxis(2);
    noSwitch.homeEnable = 0;
    EXPECT_FALSE(h.e5().sendAxisMovePulse(noSwitch, 1, true));
    EXPECT_FALSE(h.e5().sendAxisMovePulse(arrayOf({axis(0), noSwitch}), {1, 1}, {true, true}));
    EXPECT_FALSE(h.e5().sendAxisMovePulse(axis(7), 1, true));
    EXPECT_FALSE(h.e5().sendAxisMovePulse(axis(-1), 1, true));
    EXPECT_FALSE(h.e5().sendAxisMovePulse(arrayOf({axis(0), axis(1), axis(2), axis(3), axis(0)}), {1, 1, 1, 1, 1},
                                          {true, true, true, true, true}));
    EXPECT_FALSE(h.e5().sendAxisMovePulse(arrayOf({axis(0)}), {1, 2}, {true}));
    EXPECT_THAT(h.log.lines(), ElementsAre("零点没有使能，无法回零", "零点没有使能，无法回零",
                                           "轴ID必须小于4, 因为协议层不支持", "轴ID必须小于4, 因为协议层不支持"));
    EXPECT_THAT(h.packets(), IsEmpty());

    // The array form skips a bad axis and moves the others.
    EXPECT_TRUE(h.e5().sendAxisMovePulse(arrayOf({axis(7), axis(1)}), {1, 3}, {true, true}));
    EXPECT_EQ(h.log.lines().size(), 5u);
    const auto packets = h.packets();
    EXPECT_THAT(opcodes(packets), ElementsAre(0x0230, 0x0232, 0x0231, 0x0233));
    EXPECT_EQ(be32(packets.at(0), 6), 3u);
}

TEST(Axis5, DirectPulseMoveLayouts) {
    Harness5 h;
    h.e5().sendMovePulse(AXIS_ID_0, true, true, 1000, true, 100.7f, 2000.2f, 300);
    h.e5().sendMovePulse(AXIS_ID_1, false, true, 70000, true, 10, 20, 100);  // the level needs homing
    h.e5().sendMovePulse(2, true, true, 5, true, 1, 2, 3);
    EXPECT_THAT(h.packets(), ElementsAre(pkt(0x0230, {0, 0, 0x03, 0xE8, 0, 0, 0, 0, 0x01, 0x05}),
                                         pkt(0x0231, {0, 100, 0x07, 0xD0, 255}),
                                         pkt(0x0232, {0x01, 0x3B}),  // (100.7 + 2000.2) * 0.3 * 0.5 = 315.1
                                         pkt(0x0233), pkt(0x0230, {0, 0, 0, 0, 0, 0x01, 0x11, 0x70, 0x02, 0}),
                                         pkt(0x0231, {0, 0, 0, 0, 0, 0, 10, 0, 20, 100}),
                                         pkt(0x0232, {0, 0, 0, 1}),  // (10 + 20) * 0.1 * 0.5 = 1.5
                                         pkt(0x0233), pkt(0x0230), pkt(0x0231), pkt(0x0232), pkt(0x0233)));
}
