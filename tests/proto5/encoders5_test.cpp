#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "support/axes.h"
#include "support/bytes.h"
#include "support/harness5.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// What the protocol 5 encoders put on the wire: every list packet of one or more calls on a
// running board, in order.

namespace {

struct Row {
    const char* name;
    std::function<void(Streaming5&)> call;
    std::vector<Bytes> packets;
};

// The jump that goes nowhere: one step, then the delay.
Bytes wait5(uint16_t delay) { return pkt(0x0242, {0, 1, 0, 0, 0, 0, 0, 0, uint8_t(delay >> 8), uint8_t(delay)}); }

// A lens with distinct words; only the laser type, its off-time flag, the red light, the mark
// type and the axis exchange vary.
std::function<void(Streaming5&)> lens(LaserType type, uint8_t offTime, bool redOn, MarkType mark, bool exchange) {
    return [=](Streaming5& e) {
        TarnParam t;
        t.laser.laserType = type;
        t.laser.offTimeMode1 = t.laser.offTimeMode4 = offTime;
        t.laser.lensWord1 = 0x0111;
        t.laser.lensWord2 = 0x0222;
        t.laser.lensWord3 = 0x0333;
        t.laser.lensWord4 = 0x0444;
        t.galvo.exchangeXY = exchange;
        t.galvo.resolution = 0x12345;
        e.sendLenPara(t, redOn, mark);
    };
}
const Bytes kLensRange = pkt(0x0212, {0, 0, 0, 0, 0x23, 0x45, 0x23, 0x45});

LaserParam co2() {
    LaserParam l;
    l.laserType = LASER_TYPE_0;
    l.preionEnable = 1;
    l.dutySwitch = 1;
    l.preionFreq = 5;   // 9600 counts
    l.preionWidth = 2;  // 96 counts
    l.dutyA = 25;       // of P = 2400: 600
    l.dutyB = 12.5f;    // 300
    return l;
}

LaserParam fps(uint8_t option) {
    LaserParam q;
    q.laserType = LASER_TYPE_4;
    q.fpsEnable4 = 1;
    q.fpsValue4 = 0x1234;
    q.fpsOption4 = option;
    return q;
}

ExtAxisPar inverted(int n) {
    ExtAxisPar a = axis(n);
    a.dirInvert = 1;
    return a;
}

const Row kRows[] = {
    {"vectors carry the low 16 bits and the delay last",
     [](Streaming5& e) {
         e.sendMoveToAbs(Point2dConcept<int>(0x12345, 0x8000), 0, 7);
         e.sendLineToAbs(Point2dConcept<int>(1, 2), 3, 4);
         e.sendMoveToRel(Point2dConcept<int>(0, 0), 0, 1);
         e.sendLineToRel(Point2dConcept<int>(-1, 0), 0, 0);
     },
     {pkt(0x0241, {0, 1, 0x23, 0x45, 0x80, 0x00, 0, 0, 0, 7}), pkt(0x0243, {0, 3, 0, 1, 0, 2, 0, 0, 0, 4}),
      pkt(0x0242, {0, 0, 0, 0, 0, 0, 0, 0, 0, 1}), pkt(0x0244, {0, 1, 0xFF, 0xFF})}},
    {"delays split into waits of 65535 ticks",
     [](Streaming5& e) {
         for (uint32_t ticks : {0u, 1u, 65535u, 65536u, 131070u}) e.sendDelayTime(ticks);
     },
     {wait5(0), wait5(65534), wait5(65534), wait5(0), wait5(65534), wait5(65534)}},
    {"lens, type 0", lens(0, 0, false, 2, false), {pkt(0x0211, {0x22, 0x00, 0x41}), kLensRange}},
    {"lens, type 1", lens(1, 1, false, 100, false), {pkt(0x0211, {0x33, 0x11, 0x43, 0, 0x01, 0x11}), kLensRange}},
    {"lens, type 2", lens(2, 0, true, 100, true), {pkt(0x0211, {0x00, 0x22, 0x49, 0, 0x02, 0x22}), kLensRange}},
    {"lens, type 4", lens(4, 1, false, 101, false), {pkt(0x0211, {0x44, 0x00, 0x43, 0, 0x04, 0x44}), kLensRange}},
    {"lens, type 6", lens(6, 0, false, 2, false), {pkt(0x0211, {0x22, 0x00, 0x41}), kLensRange}},
    {"lens, type 7 (no code)", lens(7, 0, false, 2, false), {pkt(0x0211, {0x00, 0x00, 0x41}), kLensRange}},
    {"fibre power: a 50 MHz clock for type 6 only",
     [](Streaming5& e) {
         e.sendFiberPower(LASER_TYPE_6, 20, 10, 100, 0xBEEF);  // width 10*50+0.01 -> 500, period 2500-1
         e.sendFiberPower(LASER_TYPE_2, 20, 10, 50, 0x0102);   // width 480, period 2400, 50*255/100 = 127
         e.sendFiberPower(LASER_TYPE_1, 0, 0, 0, 0);           // zero frequency: period 0
     },
     {pkt(0x0210, {0, 0, 0, 0x09, 0xC3, 0x01, 0xF4, 0xFF, 0xBE, 0xEF}),
      pkt(0x0210, {0, 0, 0, 0x09, 0x60, 0x01, 0xE0, 0x7F, 0x01, 0x02}), pkt(0x0210)}},
    {"laser levels; a pulse selection is sent when it changes",
     [](Streaming5& e) {
         e.sendDASignal(100, true, true);    // 4095
         e.sendSpiPower(50, 1, 7, 8, true);  // 50*40.95 = 2047.5 -> 2048; 40.95 -> 41
         e.sendMOPALaser(LASER_TYPE_3, 0);   // as after connecting: nothing
         e.sendMOPALaser(LASER_TYPE_3, 7);
         e.sendMOPALaser(LASER_TYPE_3, 7);
         e.sendMOPALaser(LASER_TYPE_2, 9);
         e.sendMOSignal(true, 99);
         e.sendMOSignal(false, 99);
         IOParam io;
         io.portSetting = 0x5A;
         e.sendPortPara(io);
     },
     {pkt(0x0207, {0x0F, 0xFF}), pkt(0x02A0, {0x08, 0x00, 0x00, 0x29, 7, 8, 0, 1}), pkt(0x0206, {0xA5, 0x01, 0, 7}),
      pkt(0x0281), pkt(0x0280), pkt(0x0213, {0, 0, 0, 0, 0, 0x5A})}},
    {"preionisation and FPS",
     [](Streaming5& e) {
         e.sendCO2PreionFPS(co2(), 20);
         LaserParam fiber;
         fiber.laserType = LASER_TYPE_2;
         e.sendCO2PreionFPS(fiber, 20);  // queued without parameters
         e.sendPreionFPS(fps(0));
         e.sendPreionFPS(fps(1));
         e.sendPreionFPS(co2());  // type 0 has no FPS: nothing
     },
     {pkt(0x0217, {0x03, 0, 0x25, 0x80, 0x00, 0x60, 0x02, 0x58, 0x01, 0x2C}), pkt(0x0217),
      pkt(0x0218, {7, 0x12, 0x34}), pkt(0x0218, {3, 0x12, 0x34})}},
    {"red light and the signals of protocol 7 only send nothing",
     [](Streaming5& e) {
         e.sendRedSignal(true);
         e.setRedSignal(true);
         e.sendAPSignal(true);
         e.sendPRRSignal(LASER_TYPE_2, 20, 1);
         e.sendPWMSignal(LaserParam(), 20, 10, false, false);
         e.sendLaserEffectTime(5);
         e.setSPIMode(2);  // not a sub-type 11 board
     },
     {}},
    {"ports, inputs and counting",
     [](Streaming5& e) {
         e.sendOutPortState(3, true, 5);  // 5 x 2000 = 10000, then the pulse packet
         e.sendOutPortStateAll(0x02, 0x00);
         e.sendMarkInport(0x12345, 3, 300, true);
         e.sendHardwareBlock(7, true);
         e.sendCountOnce();
     },
     {pkt(0x2F82, {3, 1, 1, 0, 0, 0x27, 0x10}), pkt(0x2F83), pkt(0x2F82, {1}),
      pkt(0x2F90, {0x23, 0x45, 0, 3, 0x01, 0x2C, 1}), pkt(0x0202), pkt(0x0205)}},
    {"a pulse move fills the slot of its pair",
     [](Streaming5& e) { e.sendAxisMovePulse(axis(3), 5, true); },
     {pkt(0x0236, {1}), pkt(0x0234, {0, 0, 0, 0, 0, 0, 0, 5, 0x02}), pkt(0x0232, {0, 0, 0x01, 0x77}),
      pkt(0x0235, {0, 0, 0, 0, 0, 0x07, 0xD0, 0x27, 0x10, 62}), pkt(0x0233)}},
    {"first pair first; count 0 is one pulse; an inverted axis turns round",
     [](Streaming5& e) { e.sendAxisMovePulse(arrayOf({inverted(2), axis(0)}), {7, 0}, {false, true}); },
     {pkt(0x0230, {0, 0, 0, 1, 0, 0, 0, 0, 0x01}), pkt(0x0232, {0x01, 0x77}), pkt(0x0231, {0x07, 0xD0, 0x27, 0x10, 62}), pkt(0x0233),
      pkt(0x0236, {1}), pkt(0x0234, {0, 0, 0, 7, 0, 0, 0, 0, 0x01}), pkt(0x0232, {0x01, 0x77}), pkt(0x0235, {0x07, 0xD0, 0x27, 0x10, 62}),
      pkt(0x0233)}},
    {"homing sends the home speeds and no ramp lengths",
     [](Streaming5& e) { e.sendAxisMovePulse(homingAxis(1), 99, false); },
     {pkt(0x0230, {0, 0, 0, 0, 0, 0, 0x2E, 0xE0, 0x02, 0x0A}), pkt(0x0232),
      pkt(0x0231, {0, 0, 0, 0, 0, 0x03, 0xE8, 0x0F, 0xA0, 250}), pkt(0x0233)}},
    {"direct pulse moves",
     [](Streaming5& e) {
         e.sendMovePulse(AXIS_ID_0, true, true, 1000, true, 100.7f, 2000.2f, 300);
         e.sendMovePulse(AXIS_ID_1, false, true, 70000, true, 10, 20, 100);  // the level needs homing
         e.sendMovePulse(2, true, true, 5, true, 1, 2, 3);
     },
     {pkt(0x0230, {0, 0, 0x03, 0xE8, 0, 0, 0, 0, 0x01, 0x05}), pkt(0x0231, {0, 100, 0x07, 0xD0, 255}),
      pkt(0x0232, {0x01, 0x3B}),  // (100.7 + 2000.2) * 0.3 * 0.5 = 315.1
      pkt(0x0233), pkt(0x0230, {0, 0, 0, 0, 0, 0x01, 0x11, 0x70, 0x02, 0}),
      pkt(0x0231, {0, 0, 0, 0, 0, 0, 10, 0, 20, 100}),
      pkt(0x0232, {0, 0, 0, 1}),  // (10 + 20) * 0.1 * 0.5 = 1.5
      pkt(0x0233), pkt(0x0230), pkt(0x0231), pkt(0x0232), pkt(0x0233)}},
};

std::vector<uint16_t> opcodes(const std::vector<Bytes>& packets) {
    std::vector<uint16_t> out;
    for (const Bytes& p : packets) out.push_back(be16(p, 0));
    return out;
}

}  // namespace

TEST(Encoders5, Packets) {
    for (const Row& r : kRows) {
        Harness5 h;
        r.call(h.e5());
        EXPECT_THAT(h.transfer.requests(), IsEmpty()) << r.name;
        EXPECT_EQ(h.packets(), r.packets) << r.name;
    }
}

TEST(Encoders5, RampLengthTakesTheStoredSpeedsAndWraps) {
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
        EXPECT_EQ(slice(packets[2], 2, 5), c.speeds) << c.start << " " << c.run;
    }

    // Single precision: 3 * (5 / 3.0f) rounds up to 5 pulses (4.99999988 in double).
    Harness5 h;
    ExtAxisPar a = homingAxis(0);
    a.pulsesPerTurn = 5;
    a.travelPerTurn = 3;
    a.homeTravelFactor = 1;
    a.homeSpeed = 3;
    ASSERT_TRUE(h.e5().sendAxisMovePulse(a, 1, false));
    EXPECT_EQ(be32(h.packets().at(0), 2), 5u);
}

TEST(Encoders5, TwoStageHomingBacksOffInvertsTheLevelAndApproachesSlowly) {
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

TEST(Encoders5, AxisRefusalsLogAndQueueNothing) {
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

TEST(Encoders5, SpiModeTextGoesOnlyToSubType11Boards) {
    Harness5 h;
    h.e5().setSubType(11);
    EXPECT_TRUE(h.e5().setSPIMode(2));
    EXPECT_EQ(h.transfer.requests(), (std::vector<Bytes>{pkt(0x01A2, {0x80, 0x80}),
                                                         pkt(0x01A0, {0x06, 0x00, 0x53, 0x4D, 0x20, 0x32, 0x0D, 0x0A}),
                                                         pkt(0x01A1), pkt(0x01A2)}));
    EXPECT_THAT(h.sleeps.pauses, ElementsAre(200, 200));
    h.transfer.exchanges.clear();
    h.transfer.failExchange(2);
    EXPECT_FALSE(h.e5().setSPIMode(1));
    EXPECT_EQ(h.transfer.exchanges.size(), 4u);  // all four are sent even after a failure
}
