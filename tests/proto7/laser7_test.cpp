#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "support/harness.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

uint32_t be32At(const Bytes& p, size_t at) {
    return static_cast<uint32_t>(p[at]) << 24 | static_cast<uint32_t>(p[at + 1]) << 16 | p[at + 2] << 8 | p[at + 3];
}

std::vector<uint16_t> opcodesOf(const std::vector<Bytes>& packets) {
    std::vector<uint16_t> out;
    for (const Bytes& p : packets) out.push_back(FakeTransfer::opcodeOf(p));
    return out;
}

// Every enable and option of every type on, so that a branch reading another type's field shows.
LaserParam allOn(LaserType type) {
    LaserParam l;
    l.laserType = type;
    l.pwmEnable0 = l.pwmEnable1 = l.pwmEnable4 = l.pwmEnable6 = l.pwm2Enable6 = 1;
    l.preionEnable = 1;
    l.preionFreq = 20;
    l.preionWidth = 5;
    l.fpsEnable1 = l.fpsEnable4 = l.fpsOption1 = l.fpsOption4 = 1;
    l.fpsValue1 = 0x1111;
    l.fpsValue4 = 0x4444;
    return l;
}

LaserParam with(LaserType type, uint8_t LaserParam::*field, uint8_t value) {
    LaserParam l = allOn(type);
    l.*field = value;
    return l;
}

LaserParam duty(float a, float b) {
    LaserParam l = with(0, &LaserParam::dutySwitch, 1);
    l.dutyA = a;
    l.dutyB = b;
    return l;
}

}  // namespace

TEST(Laser7, WhichEncodersActForEachLaserType) {
    struct Row {
        LaserType type;
        std::vector<uint16_t> opcodes;
        uint8_t pwm, pwm2, preion;  // byte 4 of each
    };
    const std::vector<uint16_t> common = {0x0218, 0x0217, 0x021B};
    const Row rows[] = {
        {0, common, 0x01, 0, 0x01},
        {1, common, 0x01, 0, 0x06},
        {2, {0x0213, 0x0214, 0x0218, 0x0217, 0x021B}, 0, 0, 0},
        {3, {0x0213, 0x0214, 0x0216, 0x0218, 0x0217, 0x021B}, 0, 0, 0},
        {4, common, 0x01, 0, 0x06},
        {5, common, 0, 0, 0},
        {6, common, 0x01, 0x01, 0},
    };
    for (const Row& r : rows) {
        Running7 h;
        const LaserParam laser = allOn(r.type);
        h.e7().sendPRRSignal(r.type, 20, 1);
        h.e7().sendFiberPower(r.type, 20, 10, 50, 0);
        h.e7().sendMOPALaser(r.type, 1);
        h.e7().sendPWMSignal(laser, 20, 10, false, false);
        h.e7().sendPWM2Signal(laser, 20, 10, false, false);
        h.e7().sendPreionFPS(laser);
        auto packets = h.flushPackets();
        ASSERT_EQ(opcodesOf(packets), r.opcodes) << "type " << r.type;
        const size_t pwm = packets.size() - 3;
        EXPECT_EQ(packets[pwm][4], r.pwm) << "type " << r.type;
        EXPECT_EQ(packets[pwm + 1][4], r.pwm2) << "type " << r.type;
        EXPECT_EQ(packets[pwm + 2][4], r.preion) << "type " << r.type;
    }
}

TEST(Laser7, PwmCounts) {
    struct Row {
        const char* name;
        LaserParam laser;
        bool second;  // PWM2
        double kHz, us;
        bool option;
        uint8_t byte4;
        uint32_t period, dutyA, pulse, dutyB;
    };
    const Row rows[] = {
        {"20 kHz, 10 us", allOn(0), false, 20, 10, true, 0x01, 2400, 0, 480, 0},
        {"type 2 has no PWM", allOn(2), false, 20, 10, true, 0, 0, 0, 0, 0},
        {"halves away from zero", allOn(6), false, 96000, 0.21875, false, 0x01, 1, 0, 11, 0},
        {"0 kHz gives period 0", allOn(4), false, 0, 10, false, 0x01, 0, 0, 480, 0},
        {"own enable off", with(1, &LaserParam::pwmEnable1, 0), false, 20, 10, true, 0, 0, 0, 0, 0},
        // Off time of a 50 us period: 50 - width, kept within 1 .. 49 us.
        {"off time", with(1, &LaserParam::offTimeMode1, 1), false, 20, 10, true, 0x01, 2400, 0, 1920, 0},
        {"off time, width 0", with(4, &LaserParam::offTimeMode4, 1), false, 20, 0, false, 0x01, 2400, 0, 2352, 0},
        {"off time, width = period", with(1, &LaserParam::offTimeMode1, 1), false, 20, 50, false, 1, 2400, 0, 48, 0},
        {"off time, width 60", with(4, &LaserParam::offTimeMode4, 1), false, 20, 60, false, 0x01, 2400, 0, 48, 0},
        {"off time 0.5 us", with(4, &LaserParam::offTimeMode4, 1), false, 20, 49.5, false, 0x01, 2400, 0, 24, 0},
        {"type 4 ignores type 1 mode", with(4, &LaserParam::offTimeMode1, 1), false, 20, 10, false, 1, 2400, 0, 480, 0},
        {"duty channels with option", duty(25, 12.5f), false, 20, 10, true, 0x05, 2400, 600, 480, 300},
        // 2400 * 33.3333f = 79999.92 in float; /100 = 799.9992, cut to 799.
        {"duty truncates", duty(33.3333f, 0.01f), false, 20, 10, false, 0x01, 2400, 799, 480, 0},
        {"duty ignored by type 6", with(6, &LaserParam::dutySwitch, 1), false, 20, 10, true, 0x01, 2400, 0, 480, 0},
        {"PWM2 on type 6, no option", allOn(6), true, 20, 10, true, 0x01, 2400, 0, 480, 0},
        {"PWM2 needs its own enable", with(6, &LaserParam::pwm2Enable6, 0), true, 20, 10, false, 0, 0, 0, 0, 0},
    };
    for (const Row& r : rows) {
        for (bool flag : {false, true}) {
            Running7 h;
            if (r.second) {
                h.e7().sendPWM2Signal(r.laser, r.kHz, r.us, r.option, flag);
            } else {
                h.e7().sendPWMSignal(r.laser, r.kHz, r.us, r.option, flag);
            }
            const Bytes p = h.flushPackets().at(0);
            ASSERT_EQ(p.size(), 30u) << r.name;
            EXPECT_EQ(FakeTransfer::opcodeOf(p), r.second ? 0x0217 : 0x0218) << r.name;
            EXPECT_EQ(p[4], r.byte4 | (flag ? 0x08 : 0)) << r.name;
            EXPECT_EQ(p[5], 0) << r.name;
            EXPECT_EQ(be32At(p, 6), r.period) << r.name;
            EXPECT_EQ(be32At(p, 10), r.dutyA) << r.name;
            EXPECT_EQ(be32At(p, 14), r.pulse) << r.name;
            EXPECT_EQ(be32At(p, 18), 0u) << r.name;
            EXPECT_EQ(be32At(p, 22), r.dutyB) << r.name;
            EXPECT_EQ(be32At(p, 26), 0u) << r.name;
        }
    }
}

TEST(Laser7, FixedLayouts) {
    struct Row {
        const char* name;
        std::function<void(Executor7&)> send;
        Bytes packet;
    };
    const Row rows[] = {
        // Levels are % * 40.95, rounded: 409.5 -> 410; 1601 -> 65561, cut to 16 bits.
        {"DA 100 %",
         [](Executor7& e) { e.sendDASignal(100, false, false); },
         {0x02, 0x1A, 20, 0, 0, 0, 0x0F, 0xFF, 0, 0, 0x01, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"DA 10 %", [](Executor7& e) { e.sendDASignal(10, true, false); }, {0x02, 0x1A, 20, 0, 0, 0, 0x01, 0x9A, 0, 0,
                                                                            0x03, 0,    0,  0, 0, 0, 0,    0,    0, 0}},
        {"DA2 1601 %",
         [](Executor7& e) { e.sendDA2Signal(1601, false, true); },
         {0x02, 0x19, 20, 0, 0, 0, 0x00, 0x19, 0, 0, 0x05, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"PRR 96000",
         [](Executor7& e) { e.sendPRRSignal(3, 0.5f, 1); },
         {0x02, 0x13, 12, 0, 0xFF, 0xFF, 0x01, 0x77, 0x00, 0, 0, 0}},
        {"PRR past 24 bits",
         [](Executor7& e) { e.sendPRRSignal(3, 0.001f, 1); },
         {0x02, 0x13, 12, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0}},
        // 48000 * 89479.5 = 2^32 + 48704: the count is cut to 32 bits before the clamps.
        {"PRR past 32 bits",
         [](Executor7& e) { e.sendPRRSignal(2, 1, 89479.5); },
         {0x02, 0x13, 12, 0, 0xBE, 0x40, 0x00, 0xBE, 0x40, 0, 0, 0}},
        {"PRR 0 kHz", [](Executor7& e) { e.sendPRRSignal(2, 0, 1); }, {0x02, 0x13, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        // 50 * 65535 / 100 = 32767.5, truncated; 200 % gives 131070 = 0x1FFFE.
        {"fibre 50 %",
         [](Executor7& e) { e.sendFiberPower(3, 0, 0, 50, 0); },
         {0x02, 0x14, 10, 0, 0x7F, 0xFF, 1, 0, 0, 0}},
        {"fibre 200 %",
         [](Executor7& e) { e.sendFiberPower(2, 0, 0, 200, 1); },
         {0x02, 0x14, 10, 0, 0xFF, 0xFE, 1, 0, 0, 1}},
        // 40000 * 65535 wraps to -1673567296; / 100 = -16735672 = 0x...A248.
        {"fibre 40000 %",
         [](Executor7& e) { e.sendFiberPower(2, 0, 0, 40000, 0); },
         {0x02, 0x14, 10, 0, 0xA2, 0x48, 1, 0, 0, 0}},
        {"preion 20 kHz, 5 us",
         [](Executor7& e) { e.sendPreionFPS(allOn(0)); },
         {0x02, 0x1B, 12, 0, 0x01, 0, 0x09, 0x60, 0x00, 0xF0, 0, 0}},
        // 96000 and 48 * 1366 = 65568 keep their low 16 bits.
        {"preion cut to 16 bits",
         [](Executor7& e) {
             LaserParam l = allOn(0);
             l.preionFreq = 0.5f;
             l.preionWidth = 1366;
             e.sendPreionFPS(l);
         },
         {0x02, 0x1B, 12, 0, 0x01, 0, 0x77, 0x00, 0x00, 0x20, 0, 0}},
        {"FPS type 1",
         [](Executor7& e) { e.sendPreionFPS(allOn(1)); },
         {0x02, 0x1B, 12, 0, 0x06, 0, 0, 0, 0, 0, 0x11, 0x11}},
        {"FPS type 4 without option",
         [](Executor7& e) { e.sendPreionFPS(with(4, &LaserParam::fpsOption4, 0)); },
         {0x02, 0x1B, 12, 0, 0x02, 0, 0, 0, 0, 0, 0x44, 0x44}},
        {"FPS type 4 off",
         [](Executor7& e) { e.sendPreionFPS(with(4, &LaserParam::fpsEnable4, 0)); },
         {0x02, 0x1B, 12, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"MO on", [](Executor7& e) { e.sendMOSignal(true, 0x1234); }, {0x02, 0x10, 8, 0, 1, 0, 0x12, 0x34}},
        {"AP on", [](Executor7& e) { e.sendAPSignal(true); }, {0x02, 0x11, 6, 0, 1, 0}},
        {"effect time", [](Executor7& e) { e.sendLaserEffectTime(0xA1B2); }, {0x02, 0x20, 6, 0, 0xA1, 0xB2}},
        {"DA1 SISD",
         [](Executor7& e) {
             e.sendDA1SISD({0x0102, 0x0304, 0x0506, true});
         },
         {0x02, 0x50, 12, 0, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 1, 0}},
        {"power SISD",
         [](Executor7& e) {
             e.sendPowerSISD({7, 8, 9, true});
         },
         {0x02, 0x54, 12, 0, 0, 7, 0, 8, 0, 9, 1, 0}},
        {"PWM1 SISD",
         [](Executor7& e) {
             e.sendPWM1SISD({0x01020304, 0x05060708, 0x090A0B0C, true});
         },
         {0x02, 0x52, 18, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 1, 0}},
    };
    for (const Row& r : rows) {
        Running7 h;
        r.send(h.e7());
        EXPECT_THAT(h.flushPackets(), ElementsAre(ElementsAreArray(r.packet))) << r.name;
    }
}

TEST(Laser7, MopaSelectionIsSentOnlyWhenItChanges) {
    Running7 h;
    h.e7().sendMOPALaser(3, 0);  // already the state after init
    h.e7().sendMOPALaser(3, 7);
    h.e7().sendMOPALaser(3, 7);
    h.e7().sendMOPALaser(2, 9);  // other types neither send nor remember
    h.e7().sendMOPALaser(3, 9);
    h.e7().sendMOPALaser(3, 7);
    EXPECT_THAT(h.flushPackets(), ElementsAre(ElementsAre(0x02, 0x16, 8, 0, 0xA5, 0x01, 0x00, 0x07),
                                              ElementsAre(0x02, 0x16, 8, 0, 0xA5, 0x01, 0x00, 0x09),
                                              ElementsAre(0x02, 0x16, 8, 0, 0xA5, 0x01, 0x00, 0x07)));

    // A new connection forgets the selection.
    ASSERT_EQ(h.connect(), SDK_OK);
    ASSERT_TRUE(h.executor->setRun());
    h.transfer.exchanges.clear();
    h.e7().sendMOPALaser(3, 7);
    EXPECT_EQ(h.flushPackets().size(), 1u);
}
