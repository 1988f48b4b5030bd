#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include "proto5/opcodes5.h"
#include "support/axes.h"
#include "support/bytes.h"
#include "support/harness5.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// What the protocol 5 executor puts on the wire: the requests it exchanges at once and the list
// packets it queues, on a running board whose replies all carry a non-zero status byte 2.

namespace {

using S = Streaming5;

struct Row {
    const char* name;
    std::function<void(S&)> call;
    std::vector<Bytes> requests, packets;
};

// The jump that goes nowhere: one step, then the delay.
Bytes wait5(uint16_t delay) { return pkt(0x0242, {0, 1, 0, 0, 0, 0, 0, 0, uint8_t(delay >> 8), uint8_t(delay)}); }

// A lens with distinct words; only the laser type, its off-time flag, the red light, the mark
// type and the axis exchange vary.
std::function<void(S&)> lens(LaserType type, uint8_t offTime, bool redOn, MarkType mark, bool exchange) {
    return [=](S& e) {
        TarnParam t;
        t.laser.laserType = type;
        t.laser.offTimeMode1 = t.laser.offTimeMode4 = offTime;
        t.laser.lensWord1 = 0x0111, t.laser.lensWord2 = 0x0222, t.laser.lensWord3 = 0x0333, t.laser.lensWord4 = 0x0444;
        t.galvo.exchangeXY = exchange, t.galvo.resolution = 0x12345;
        e.sendLenPara(t, redOn, mark);
    };
}
const Bytes kLensRange = pkt(0x0212, {0, 0, 0, 0, 0x23, 0x45, 0x23, 0x45});

LaserParam co2() {
    LaserParam l;  // 9600 and 96 counts; duties of P = 2400: 600 and 300
    l.laserType = LASER_TYPE_0, l.preionEnable = l.dutySwitch = 1, l.preionFreq = 5, l.preionWidth = 2;
    l.dutyA = 25, l.dutyB = 12.5f;
    return l;
}

LaserParam fps(uint8_t option) {
    LaserParam q;
    q.laserType = LASER_TYPE_4, q.fpsEnable4 = 1, q.fpsValue4 = 0x1234, q.fpsOption4 = option;
    return q;
}

ExtAxisPar inverted(int n) {
    ExtAxisPar a = axis(n);
    a.dirInvert = 1;
    return a;
}

const Row kRows[] = {
    {"reset stops, ready and run start",
     [](S& e) {
         EXPECT_TRUE(e.setReset() && e.isStopRun() && e.setReady() && !e.isStopRun() && e.setReset());
         EXPECT_TRUE(e.Executor5::setRun() && !e.isStopRun());
     },
     {pkt(0x0105), pkt(0x0107), pkt(0x0105), pkt(0x0104)},
     {}},
    {"pause", [](S& e) { EXPECT_TRUE(e.setPauseMark()); }, {pkt(0x0125, {0x55})}, {}},
    {"resume", [](S& e) { EXPECT_TRUE(e.setResumeMark()); }, {pkt(0x0125)}, {}},
    {"offline", [](S& e) { EXPECT_TRUE(e.setDevOffline()); }, {pkt(0x0118, {1})}, {}},
    {"online", [](S& e) { EXPECT_TRUE(e.setDevOnline()); }, {pkt(0x0118)}, {}},
    {"clear", [](S& e) { EXPECT_TRUE(e.setClearCache()); }, {pkt(0x0106)}, {}},
    {"boot mode", [](S& e) { EXPECT_TRUE(e.setBootMode()); }, {pkt(0x0141, {0x55, 0xD5})}, {}},
    {"app mode", [](S& e) { EXPECT_TRUE(e.setAppMode()); }, {pkt(0x0141, {0x55, 0xD5})}, {}},
    {"soft trigger, the one judged by byte 2", [](S& e) { EXPECT_FALSE(e.setSoftTiggerMark()); }, {pkt(0x0120)}, {}},
    {"outputs one port at a time, eight at most",
     [](S& e) { EXPECT_TRUE(e.setOutPortStateAll(0x105, 0x100)); },
     {pkt(0x0111), pkt(0x0111, {2})},
     {}},
    {"timed outputs are list commands only",
     [](S& e) { EXPECT_TRUE(e.setOutPortState(3, true, 0) && !e.setOutPortState(3, true, 5)); },
     {pkt(0x0111, {3, 0, 0, 1})},
     {}},
    {"vectors carry the low 16 bits and the delay last",
     [](S& e) {
         e.sendMoveToAbs(Point2dConcept<int>(0x12345, 0x8000), 0, 7);
         e.sendLineToAbs(Point2dConcept<int>(1, 2), 3, 4);
         e.sendMoveToRel(Point2dConcept<int>(0, 0), 0, 1);
         e.sendLineToRel(Point2dConcept<int>(-1, 0), 0, 0);
     },
     {},
     {pkt(0x0241, {0, 1, 0x23, 0x45, 0x80, 0x00, 0, 0, 0, 7}), pkt(0x0243, {0, 3, 0, 1, 0, 2, 0, 0, 0, 4}),
      pkt(0x0242, {0, 0, 0, 0, 0, 0, 0, 0, 0, 1}), pkt(0x0244, {0, 1, 0xFF, 0xFF})}},
    {"delays split into waits of 65535 ticks",
     [](S& e) {
         for (uint32_t ticks : {0u, 1u, 65535u, 65536u, 131070u}) e.sendDelayTime(ticks);
     },
     {},
     {wait5(0), wait5(65534), wait5(65534), wait5(0), wait5(65534), wait5(65534)}},
    {"lens, type 0", lens(0, 0, false, 2, false), {}, {pkt(0x0211, {0x22, 0x00, 0x41}), kLensRange}},
    {"lens, type 1", lens(1, 1, false, 100, false), {}, {pkt(0x0211, {0x33, 0x11, 0x43, 0, 0x01, 0x11}), kLensRange}},
    {"lens, type 2", lens(2, 0, true, 100, true), {}, {pkt(0x0211, {0x00, 0x22, 0x49, 0, 0x02, 0x22}), kLensRange}},
    {"lens, type 4", lens(4, 1, false, 101, false), {}, {pkt(0x0211, {0x44, 0x00, 0x43, 0, 0x04, 0x44}), kLensRange}},
    {"lens, type 6", lens(6, 0, false, 2, false), {}, {pkt(0x0211, {0x22, 0x00, 0x41}), kLensRange}},
    {"lens, type 7 (no code)", lens(7, 0, false, 2, false), {}, {pkt(0x0211, {0x00, 0x00, 0x41}), kLensRange}},
    {"fibre power: a 50 MHz clock for type 6 only",
     [](S& e) {
         e.sendFiberPower(LASER_TYPE_6, 20, 10, 100, 0xBEEF);  // width 10*50+0.01 -> 500, period 2500-1
         e.sendFiberPower(LASER_TYPE_2, 20, 10, 50, 0x0102);   // width 480, period 2400, 50*255/100 = 127
         e.sendFiberPower(LASER_TYPE_1, 0, 0, 0, 0);           // zero frequency: period 0
     },
     {},
     {pkt(0x0210, {0, 0, 0, 0x09, 0xC3, 0x01, 0xF4, 0xFF, 0xBE, 0xEF}),
      pkt(0x0210, {0, 0, 0, 0x09, 0x60, 0x01, 0xE0, 0x7F, 0x01, 0x02}), pkt(0x0210)}},
    {"laser levels; a pulse selection is sent when it changes",
     [](S& e) {
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
     {},
     {pkt(0x0207, {0x0F, 0xFF}), pkt(0x02A0, {0x08, 0x00, 0x00, 0x29, 7, 8, 0, 1}), pkt(0x0206, {0xA5, 0x01, 0, 7}),
      pkt(0x0281), pkt(0x0280), pkt(0x0213, {0, 0, 0, 0, 0, 0x5A})}},
    {"preionisation and FPS; type 0 has no FPS, other types no preionisation",
     [](S& e) {
         e.sendCO2PreionFPS(co2(), 20);
         e.sendCO2PreionFPS(fps(0), 20);
         e.sendPreionFPS(fps(0));
         e.sendPreionFPS(fps(1));
         e.sendPreionFPS(co2());
     },
     {},
     {pkt(0x0217, {0x03, 0, 0x25, 0x80, 0x00, 0x60, 0x02, 0x58, 0x01, 0x2C}), pkt(0x0217),
      pkt(0x0218, {7, 0x12, 0x34}), pkt(0x0218, {3, 0x12, 0x34})}},
    {"red light and the signals of protocol 7 only send nothing",
     [](S& e) {
         e.sendRedSignal(true);
         EXPECT_TRUE(e.setRedSignal(true) && e.setSPIMode(2));  // not a sub-type 11 board
         e.sendAPSignal(true);
         e.sendPRRSignal(LASER_TYPE_2, 20, 1);
         e.sendPWMSignal(LaserParam(), 20, 10, false, false);
         e.sendLaserEffectTime(5);
     },
     {},
     {}},
    {"ports, inputs and counting",
     [](S& e) {
         e.sendOutPortState(3, true, 5);  // 5 x 2000 = 10000, then the pulse packet
         e.sendOutPortStateAll(0x02, 0x00);
         e.sendMarkInport(0x12345, 3, 300, true);
         e.sendHardwareBlock(7, true);
         e.sendCountOnce();
     },
     {},
     {pkt(0x2F82, {3, 1, 1, 0, 0, 0x27, 0x10}), pkt(0x2F83), pkt(0x2F82, {1}),
      pkt(0x2F90, {0x23, 0x45, 0, 3, 0x01, 0x2C, 1}), pkt(0x0202), pkt(0x0205)}},
    {"a pulse move fills the slot of its pair",
     [](S& e) { e.sendAxisMovePulse(axis(3), 5, true); },
     {},
     {pkt(0x0236, {1}), pkt(0x0234, {0, 0, 0, 0, 0, 0, 0, 5, 0x02}), pkt(0x0232, {0, 0, 0x01, 0x77}),
      pkt(0x0235, {0, 0, 0, 0, 0, 0x07, 0xD0, 0x27, 0x10, 62}), pkt(0x0233)}},
    {"first pair first; count 0 is one pulse; an inverted axis turns round",
     [](S& e) { e.sendAxisMovePulse(arrayOf({inverted(2), axis(0)}), {7, 0}, {false, true}); },
     {},
     {pkt(0x0230, {0, 0, 0, 1, 0, 0, 0, 0, 0x01}), pkt(0x0232, {0x01, 0x77}), pkt(0x0231, {0x07, 0xD0, 0x27, 0x10, 62}),
      pkt(0x0233), pkt(0x0236, {1}), pkt(0x0234, {0, 0, 0, 7, 0, 0, 0, 0, 0x01}), pkt(0x0232, {0x01, 0x77}),
      pkt(0x0235, {0x07, 0xD0, 0x27, 0x10, 62}), pkt(0x0233)}},
    {"homing sends the home speeds and no ramp lengths",
     [](S& e) { e.sendAxisMovePulse(homingAxis(1), 99, false); },
     {},
     {pkt(0x0230, {0, 0, 0, 0, 0, 0, 0x2E, 0xE0, 0x02, 0x0A}), pkt(0x0232),
      pkt(0x0231, {0, 0, 0, 0, 0, 0x03, 0xE8, 0x0F, 0xA0, 250}), pkt(0x0233)}},
    {"direct pulse moves",
     [](S& e) {
         e.sendMovePulse(AXIS_ID_0, true, true, 1000, true, 100.7f, 2000.2f, 300);
         e.sendMovePulse(AXIS_ID_1, false, true, 70000, true, 10, 20, 100);  // the level needs homing
         e.sendMovePulse(2, true, true, 5, true, 1, 2, 3);
     },
     {},
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

// A protocol 5 board on the fake transport, not connected; by default idle, with room, running
// its application, FPGA version 5.5.40.12.
struct Board5 : Harness {
    explicit Board5(Bytes fpga = {5, 5, 40, 12}) : Harness(BOARD_PROTOCOL_5) {
        transfer.answer(op5::kBoardMode, replyWith(12, {{10, 0xAA}, {11, 0x55}}));
        transfer.answer(op5::kDevState, state(0x20));
        fpga.insert(fpga.begin(), 2, 0);
        transfer.answer(op5::kDevType, fpga);
    }
    void start() {
        ASSERT_EQ(connect(), SDK_OK);
        ASSERT_TRUE(executor->setRun());
        transfer.exchanges.clear();
    }
    // Status reply: byte 2 flags, byte 6 free memory in 4 KiB units, bytes 9-10 the mark counter.
    static Bytes state(uint8_t flags, uint16_t counter = 0) {
        return replyWith(16, {{2, flags}, {6, 0xFF}, {9, uint8_t(counter >> 8)}, {10, uint8_t(counter)}});
    }
    DevBaseState refresh() {
        DevBaseState s;
        executor->getDevState(s, true);
        return s;
    }
};

}  // namespace

TEST(Encoders5, Packets) {
    for (const Row& r : kRows) {
        Harness5 h;
        h.transfer.defaultReply = {0, 0, 1};
        r.call(h.e5());
        EXPECT_EQ(h.transfer.requests(), r.requests) << r.name;
        EXPECT_EQ(h.packets(), r.packets) << r.name;
    }
}

TEST(Encoders5, RampLengthTakesTheStoredSpeedsAndWraps) {
    // Start, run, max speed; start, run field, ramp byte of slot 0; the length 1000 * (start + run) *
    // (run - start) / 128 * 0.5, low 16 bits.
    const std::tuple<float, float, float, Bytes, uint16_t> cases[] = {
        {10, 2, 100, {0x27, 0x10, 0x27, 0x10, 0}, 0xFE89},     // run raised for speeds only; -375
        {2, 200, 20, {0x07, 0xD0, 0x4E, 0x20, 140}, 0x624A},   // capped at 20 units/s; 156234
        {1, 100, 100, {0x03, 0xE8, 0xFF, 0xFF, 255}, 0x9892},  // 100000 pulses/s capped; 39058
    };
    for (const auto& [start, run, max, speeds, length] : cases) {
        Harness5 h;
        ExtAxisPar a = axis(0);
        a.startSpeed = start, a.runSpeed = run, a.maxSpeed = max;
        h.e5().sendAxisMovePulse(a, 1, false);
        const auto packets = h.packets();
        ASSERT_EQ(packets.size(), 4u);
        EXPECT_EQ(std::make_pair(be16(packets[1], 2), slice(packets[2], 2, 5)), std::make_pair(length, speeds)) << run;
    }
    // Single precision: 3 * (5 / 3.0f) rounds up to 5 pulses (4.99999988 in double).
    Harness5 h;
    ExtAxisPar a = homingAxis(0);
    a.pulsesPerTurn = 5, a.travelPerTurn = a.homeSpeed = 3, a.homeTravelFactor = 1;
    ASSERT_TRUE(h.e5().sendAxisMovePulse(a, 1, false));
    EXPECT_EQ(be32(h.packets().at(0), 2), 5u);
}

TEST(Encoders5, TwoStageHomingBacksOffInvertsTheLevelAndApproachesSlowly) {
    Harness5 h;
    ASSERT_TRUE(h.e5().sendAxisMovePulse(homingAxis(1, 1), 1, false));
    const auto packets = h.packets();
    ASSERT_THAT(opcodes(packets), ElementsAre(0x0230, 0x0232, 0x0231, 0x0233, 0x0230, 0x0232, 0x0231, 0x0233, 0x0230,
                                              0x0232, 0x0231, 0x0233, 0x0230, 0x0231, 0x0233));
    // Packet indexes of counts and speeds, count (3 * home speed * 1000), byte 10 direction,
    // byte 11 homing 0x02 | level 0x08, run speed (home speed * 1000).
    const std::tuple<size_t, size_t, uint32_t, uint8_t, uint8_t, uint16_t> stages[] = {
        {0, 2, 12000, 0x02, 0x0A, 4000},
        {4, 6, 6000, 0, 0x0A, 2000},
        {8, 10, 6000, 0, 0x02, 2000},
        {12, 13, 3000, 0x02, 0x0A, 1000}};
    for (const auto& [counts, speeds, count, dir, flags, run] : stages) {
        EXPECT_EQ(std::make_tuple(be32(packets[counts], 6), packets[counts][10], packets[counts][11]),
                  std::make_tuple(count, dir, flags))
            << counts;
        EXPECT_EQ(be16(packets[speeds], 9), run) << counts;
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

TEST(Control5, BoardModeFromTheModeWordOrBit) {
    const std::tuple<uint8_t, uint8_t, uint8_t, BoardMode> cases[] = {{0x55, 0xAA, 1, BOARD_MODE_FACTORY},
                                                                      {0xAA, 0x55, 0, BOARD_MODE_APPLICATION},
                                                                      {0x00, 0x00, 1, BOARD_MODE_APPLICATION},
                                                                      {0x12, 0x34, 0, BOARD_MODE_FACTORY}};
    for (const auto& [w1, w2, bit, mode] : cases) {
        Harness h(BOARD_PROTOCOL_5);
        h.transfer.answer(op5::kBoardMode, replyWith(12, {{2, bit}, {10, w1}, {11, w2}}));
        EXPECT_EQ(h.executor->getBoardMode(), mode);
        EXPECT_EQ(h.transfer.requests(), std::vector<Bytes>{pkt(op5::kBoardMode, {0, 0, 0, 0, 0, 0, 0, 0, 0, 1})});
    }
    Harness lost(BOARD_PROTOCOL_5);
    lost.transfer.failOpcode(op5::kBoardMode);
    EXPECT_EQ(lost.executor->getBoardMode(), BOARD_MODE_NO_ANSWER);
}

TEST(Control5, BoardVariantAndCapabilitiesFromTheFpgaVersion) {
    // FPGA version, sub type, re-mark, offline, wide offline commands.
    const std::tuple<Bytes, BOARD_TYPE_SUB, bool, bool, bool> cases[] = {
        {{5, 5, 71, 12}, 3, 0, 0, 0}, {{5, 5, 40, 12}, 4, 0, 1, 0},  {{5, 5, 80, 12}, 3, 0, 1, 0},
        {{5, 5, 95, 1}, 13, 1, 0, 0}, {{5, 5, 119, 13}, 5, 0, 0, 1}, {{5, 5, 118, 13}, 4, 0, 1, 1},
        {{5, 5, 0, 0}, 2, 0, 0, 0},   {{5, 7, 0, 0}, -1, 0, 0, 0},   {{5, 16, 0, 0}, 12, 1, 0, 1},
        {{5, 0, 19, 0}, 0, 0, 0, 0},  {{5, 0, 20, 0}, 1, 0, 0, 0},   {{7, 5, 9, 0}, 11, 0, 0, 0},
        {{7, 6, 9, 0}, -1, 0, 0, 0},  {{8, 1, 2, 3}, 18, 0, 0, 0},   {{5, 10, 0, 1}, 17, 0, 0, 0},
        {{9, 9, 9, 9}, -1, 0, 0, 0},
    };
    for (const auto& [fpga, sub, reMark, offline, wide] : cases) {
        Board5 h(fpga);
        ASSERT_EQ(h.connect(), SDK_OK);
        DevInfo i;
        h.executor->getDevInfo(i);
        const DevSysInfo& s = i.sysInfo;
        EXPECT_EQ(std::make_tuple(i.boardType, i.boardTypeSub, s.reMarkSupport, s.offlineSupport, s.wideOfflineCmd),
                  std::make_tuple(BOARD_TYPE_PROTOCOL5, sub, reMark, offline, wide))
            << int(fpga[1]) << "." << int(fpga[2]) << "." << int(fpga[3]);
        EXPECT_EQ(s.fpgaVersion[2], fpga[2]);
    }
}

TEST(Control5, StatusDecodingAndHeartbeat) {
    // Flags byte, then work state, offline, flash, finished.
    const std::tuple<uint8_t, uint32_t, bool, bool, bool> cases[] = {
        {0xE2, 0, 1, 1, 1}, {0x28, 1, 0, 0, 1}, {0x08, 3, 0, 0, 0}, {0x10, 3, 0, 0, 0}};
    for (const auto& [flags, work, offline, flash, finished] : cases) {
        Board5 h;
        h.start();
        h.transfer.answer(op5::kDevState, replyWith(16, {{2, flags}, {5, 0x5A}, {6, 3}, {7, 0x77}, {8, 0x0F}}));
        const DevBaseState s = h.refresh();
        EXPECT_EQ(std::make_tuple(s.workState, s.offline, s.flashState, s.finished, s.statusBit2),
                  std::make_tuple(work, offline, flash, finished, (flags & 0x02) != 0));
        EXPECT_EQ(std::make_tuple(s.inputs, s.freeCacheKb, s.status24), std::make_tuple(0x5Au, 12u, 0x77));
        DevExtState ext;
        h.executor->getDevExtState(ext, false);
        EXPECT_THAT(ext.axisState, ElementsAre(3, 3, 0, 0));  // from byte 8 = 0x0F
    }
}

// 65530 -> 4 is ten marks; a reset the board refuses restarts the count from 0 at its raw value.
TEST(Control5, MarkCounterAcrossWrapsAndResetsAndTheHeartbeat) {
    Board5 h;
    h.start();
    uint32_t count = 0;
    for (uint16_t raw : {65530, 4}) h.transfer.answer(op5::kDevState, Board5::state(0x20, raw)), h.refresh();
    h.executor->getMarkCount(false, count);
    EXPECT_EQ(count, 65530u + 10u);
    h.executor->setResetCount();
    h.transfer.answer(op5::kResetCount, replyWith(4, {{2, 0xFF}, {3, 0xFF}}));
    h.transfer.answer(op5::kDevState, Board5::state(0x20, 37));
    h.refresh();                  // 37 since the reset
    h.executor->setResetCount();  // refused: base becomes 37
    h.transfer.answer(op5::kDevState, Board5::state(0x20, 40));
    h.refresh();
    h.executor->getMarkCount(false, count);
    EXPECT_EQ(count, 3u);
    uint16_t counter = 9;
    bool alive = false;
    EXPECT_TRUE(h.executor->getDevHeartState(counter, alive) && alive);
    h.transfer.failOpcode(op5::kDevState);
    EXPECT_FALSE(h.executor->getDevHeartState(counter, alive) || alive);
}

TEST(Control5, OutputsReadBackUnlessRefused) {
    Harness h(BOARD_PROTOCOL_5);
    uint32_t outputs = 7;
    h.transfer.answer(op5::kOutPortRead, replyWith(4, {{2, 0x00}, {3, 0xA5}}));
    EXPECT_TRUE(h.executor->getOutPortState(outputs, true) && outputs == 0xA5u);
    h.transfer.answer(op5::kOutPortRead, replyWith(4, {{2, 0xFF}, {3, 0xFF}}));
    EXPECT_FALSE(h.executor->getOutPortState(outputs, true));
    EXPECT_TRUE(h.executor->getOutPortState(outputs, false) && outputs == 0xA5u);
}

TEST(Control5, ReMarkOnlyOnBoardsThatSupportIt) {
    Board5 plain;
    plain.start();
    EXPECT_TRUE(plain.executor->sendReMarkStart());
    EXPECT_THAT(plain.flushPackets(12), IsEmpty());

    Board5 h({5, 16, 0, 0});
    h.start();
    EXPECT_TRUE(h.executor->sendReMarkStart());
    EXPECT_EQ(h.transfer.frames().at(0), pkt(0x2F90));
    h.transfer.exchanges.clear();
    EXPECT_TRUE(h.executor->setClearCache() && h.executor->waitForFinish());  // a re-mark is open: nothing to clear
    EXPECT_TRUE(h.transfer.exchanges.empty());
    EXPECT_TRUE(h.executor->sendReMarkEnd());
    EXPECT_EQ(h.transfer.frames().at(0), pkt(0x2F92));
}

TEST(Control5, AxisStatesFromThePairQueries) {
    Harness h(BOARD_PROTOCOL_5);
    h.transfer.answer(op5::kAxisStatesA, replyWith(12, {{3, 0x42}, {8, 0x40}, {11, 0x64}}));
    AxisSetting axis1;
    axis1.axisNo = 1;
    std::vector<AxisState> states;
    // Bits 1 and 6 set: flags 0, 1, 0, 1; inverted, the limits exchange and the distance changes sign.
    for (int inverted : {0, 1}) {
        axis1.dirInvert = inverted;
        ASSERT_TRUE(h.executor->getAxisStates({axis1}, states, true));
        ASSERT_EQ(states.size(), 1u);
        const AxisState& s = states[0];
        EXPECT_EQ(std::make_tuple(s.axisNo, s.flag0, s.flag1, s.flag2, s.flag3, s.rawPosition, s.position),
                  std::make_tuple(1, 0, 1, inverted, 1 - inverted, 0x40000064u, inverted ? 100 : -100));
    }

    // Half the counter away from the origin: the distance wraps instead of overflowing on negation.
    h.transfer.answer(op5::kAxisStatesA, replyWith(12, {{8, 0xC0}}));
    ASSERT_TRUE(h.executor->getAxisStates({axis1}, states, true));
    EXPECT_EQ(states[0].position, INT32_MIN);

    AxisSetting axis2;
    axis2.axisNo = 2;  // the board has two axes: nothing to ask
    h.transfer.exchanges.clear();
    EXPECT_FALSE(h.executor->getAxisStates({axis2}, states, true));
    EXPECT_TRUE(states.empty() && h.transfer.exchanges.empty());
}

TEST(Offline5, DocumentParametersAndJumpBackUseTwelveByteUnits) {
    for (bool wide : {false, true}) {
        Board5 h(wide ? Bytes{5, 6, 0, 14} : Bytes{5, 5, 40, 12});
        h.start();
        h.executor->setOfflineMode(true);
        h.executor->sendOfflineParam({{0x01020304, 0x1000}, {0x55, 0x2000}});
        h.executor->setOfflineDocIndex(8);  // entry 0: after the four document packets
        h.executor->sendOfflineBlock(0x0102, 0x33, true);
        h.executor->setOfflineDocIndex(9);  // entry 1: one packet later
        h.executor->sendSramBack();         // four document packets of 12 (16) bytes: 48 (64) / 2
        SdkError err = SDK_OK;
        ASSERT_TRUE(h.executor->OfflineDownload(err));
        const Bytes page = h.transfer.requestsFor(op5::kOfflineWritePage).at(0);
        EXPECT_EQ(slice(page, 0, 6), (Bytes{0x01, 0x13, 0x02, 0, 0, 0}));
        // The address fields come from the document table at download time, in 16-bit words.
        const uint8_t entry0 = wide ? 32 : 24;
        EXPECT_EQ(slice(page, 12, 12), pkt(0x0260, {4, 0, 0, entry0, 0x55, 0, 0, uint8_t(entry0 + (wide ? 8 : 6))}));
        EXPECT_EQ(slice(page, 60, 12), pkt(0x2F91, {0x01, 0x02, 0x33, 1}));
        EXPECT_EQ(page[72 + 5], wide ? 32 : 24);
        EXPECT_EQ(page[84], 0xFF);  // no erased tail is added, but the page is filled
    }
}

TEST(Offline5, PagesAndSectorsOfALargerImage) {
    Board5 h;
    h.start();
    h.executor->setOfflineMode(true);
    for (int i = 0; i < 342; ++i) h.executor->sendCountOnce();  // 342 x 12 = 4104 bytes
    SdkError err = SDK_OK;
    ASSERT_TRUE(h.executor->OfflineDownload(err));
    std::vector<Bytes> erased;
    for (const Bytes& r : h.transfer.requestsFor(op5::kOfflineClearFile)) erased.push_back(slice(r, 2, 4));
    EXPECT_THAT(erased, ElementsAre(Bytes{0x20, 0, 0, 0}, Bytes{0x20, 0, 0x10, 0}));
    const auto pages = h.transfer.requestsFor(op5::kOfflineWritePage);
    ASSERT_EQ(pages.size(), 17u);
    EXPECT_EQ(slice(pages[16], 3, 3), (Bytes{0x00, 0x10, 0x00}));
    EXPECT_EQ(slice(pages[16], 12 + 7, 2), (Bytes{0x00, 0xFF}));  // 4104 - 4096 = 8 bytes of data
    uint32_t ram = 0;
    EXPECT_TRUE(h.executor->getOfflineRamSize(ram));
    EXPECT_EQ(ram, 0x100000u);
}
