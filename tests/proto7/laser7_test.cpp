#include <gtest/gtest.h>

#include <utility>

#include "cmd/wire.h"
#include "proto7/rows7.h"

namespace {

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

LaserParam with(LaserType type, uint8_t LaserParam::*field, uint8_t value, float dutyA = 0, float dutyB = 0) {
    LaserParam l = allOn(type);
    l.*field = value;
    l.dutyA = dutyA;
    l.dutyB = dutyB;
    return l;
}

// A 30-byte PWM packet (0x0218, or 0x0217 for PWM2) with its four counts.
Bytes pwm(uint16_t op, uint8_t flags, uint32_t period, uint32_t dutyA, uint32_t pulse, uint32_t dutyB = 0) {
    Bytes p = pkt(op, {30, 0, flags}, 30);
    wire::put32be(&p[6], period);
    wire::put32be(&p[10], dutyA);
    wire::put32be(&p[14], pulse);
    wire::put32be(&p[22], dutyB);
    return p;
}

using L = LaserParam;

}  // namespace

// PWM period 48000 / kHz, width 48 * us: 20 kHz, 10 us is 2400 and 480.
TEST(Laser7, Packets) {
    expectList({
        // Levels are % * 40.95, rounded: 409.5 -> 410; 1601 -> 65561, cut to 16 bits.
        {[](E7& e) { e.sendDASignal(10, true, false); }, lp(0x021A, 20, {0, 0, 0x01, 0x9A, 0, 0, 0x03})},
        {[](E7& e) { e.sendDA2Signal(1601, false, true); }, lp(0x0219, 20, {0, 0, 0, 0x19, 0, 0, 5})},
        {[](E7& e) { e.sendPRRSignal(3, 0.5f, 1); }, lp(0x0213, 12, {0xFF, 0xFF, 0x01, 0x77, 0x00})},
        {[](E7& e) { e.sendPRRSignal(3, 0.001f, 1); }, lp(0x0213, 12, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF})},
        {[](E7& e) { e.sendPRRSignal(2, 0, 1); }, lp(0x0213, 12)},
        {[](E7& e) { e.sendPRRSignal(4, 20, 1); }, {}},
        // 50 * 65535 / 100 = 32767.5, truncated; 40000 * 65535 wraps to -1673567296, / 100 = 0x...A248.
        {[](E7& e) { e.sendFiberPower(3, 0, 0, 50, 0); }, lp(0x0214, 10, {0x7F, 0xFF, 1})},
        {[](E7& e) { e.sendFiberPower(2, 0, 0, 40000, 0x0102); }, lp(0x0214, 10, {0xA2, 0x48, 1, 0, 1, 2})},
        {[](E7& e) { e.sendFiberPower(1, 20, 10, 50, 0); }, {}},
        {[](E7& e) { e.sendPreionFPS(allOn(0)); }, lp(0x021B, 12, {1, 0, 0x09, 0x60, 0, 0xF0})},
        {[](E7& e) { e.sendPreionFPS(with(0, &L::preionEnable, 0)); }, lp(0x021B, 12)},
        {[](E7& e) { e.sendPreionFPS(allOn(1)); }, lp(0x021B, 12, {0x06, 0, 0, 0, 0, 0, 0x11, 0x11})},
        {[](E7& e) { e.sendPreionFPS(with(4, &L::fpsOption4, 0)); }, lp(0x021B, 12, {2, 0, 0, 0, 0, 0, 0x44, 0x44})},
        {[](E7& e) { e.sendPreionFPS(with(4, &L::fpsEnable4, 0)); }, lp(0x021B, 12)},
        {[](E7& e) { e.sendPreionFPS(allOn(6)); }, lp(0x021B, 12)},
        {[](E7& e) { e.sendMOSignal(true, 0x1234); }, lp(0x0210, 8, {1, 0, 0x12, 0x34})},
        {[](E7& e) { e.sendAPSignal(true); }, lp(0x0211, 6, {1})},
        {[](E7& e) { e.sendLaserEffectTime(0xA1B2); }, lp(0x0220, 6, {0xA1, 0xB2})},
        {[](E7& e) { e.sendPWMSignal(allOn(0), 20, 10, true, true); }, pwm(0x0218, 0x09, 2400, 0, 480)},
        {[](E7& e) { e.sendPWMSignal(allOn(2), 20, 10, true, true); }, pwm(0x0218, 8, 0, 0, 0)},
        {[](E7& e) { e.sendPWMSignal(allOn(4), 0, 10, false, false); }, pwm(0x0218, 1, 0, 0, 480)},
        {[](E7& e) { e.sendPWMSignal(with(1, &L::pwmEnable1, 0), 20, 10, true, false); }, pwm(0x0218, 0, 0, 0, 0)},
        // Off time of a 50 us period: 50 - width, kept within 1 .. 49 us.
        {[](E7& e) { e.sendPWMSignal(with(1, &L::offTimeMode1, 1), 20, 10, true, false); },
         pwm(0x0218, 1, 2400, 0, 1920)},
        {[](E7& e) { e.sendPWMSignal(with(4, &L::offTimeMode4, 1), 20, 0, false, false); },
         pwm(0x0218, 1, 2400, 0, 2352)},
        {[](E7& e) { e.sendPWMSignal(with(1, &L::offTimeMode1, 1), 20, 50, false, false); },
         pwm(0x0218, 1, 2400, 0, 48)},
        {[](E7& e) { e.sendPWMSignal(with(4, &L::offTimeMode1, 1), 20, 10, false, false); },
         pwm(0x0218, 1, 2400, 0, 480)},
        {[](E7& e) { e.sendPWMSignal(with(0, &L::dutySwitch, 1, 25, 12.5f), 20, 10, true, false); },
         pwm(0x0218, 0x05, 2400, 600, 480, 300)},
        // 2400 * 33.3333f = 79999.92 in float; / 100 = 799.9992, cut to 799.
        {[](E7& e) { e.sendPWMSignal(with(0, &L::dutySwitch, 1, 33.3333f, 0.01f), 20, 10, false, false); },
         pwm(0x0218, 1, 2400, 799, 480)},
        {[](E7& e) { e.sendPWMSignal(with(6, &L::dutySwitch, 1, 25), 20, 10, true, false); },
         pwm(0x0218, 1, 2400, 0, 480)},
        {[](E7& e) { e.sendPWM2Signal(allOn(6), 20, 10, true, true); }, pwm(0x0217, 0x09, 2400, 0, 480)},
        {[](E7& e) { e.sendPWM2Signal(allOn(0), 20, 10, true, false); }, pwm(0x0217, 0, 0, 0, 0)},
        {[](E7& e) { e.sendPWM2Signal(with(6, &L::pwm2Enable6, 0), 20, 10, false, false); }, pwm(0x0217, 0, 0, 0, 0)},
        {[](E7& e) {
             e.sendDA1SISD({0x0102, 0x0304, 0x0506, true});
             e.sendDA2SISD({1, 2, 3, false});
             e.sendPowerSISD({7, 8, 9, true});
             e.sendPWM1SISD({0x01020304, 0x05060708, 0x090A0B0C, true});
             e.sendPWM2SISD({1, 2, 3, false});
         },
         {lp(0x0250, 12, {1, 2, 3, 4, 5, 6, 1}), lp(0x0251, 12, {0, 1, 0, 2, 0, 3}),
          lp(0x0254, 12, {0, 7, 0, 8, 0, 9, 1}), lp(0x0252, 18, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 1}),
          lp(0x0253, 18, {0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3})}},
    });
}

TEST(Laser7, MopaSelectionIsSentOnlyWhenItChanges) {
    Running7 h;
    // 0 is the state after init; other types neither send nor remember.
    const std::pair<LaserType, uint16_t> calls[] = {{3, 0}, {3, 7}, {3, 7}, {2, 9}, {3, 9}, {3, 7}};
    for (const auto& [type, value] : calls) h.e7().sendMOPALaser(type, value);
    const auto mopa = [](uint8_t v) { return pkt(0x0216, {8, 0, 0xA5, 0x01, 0x00, v}, 8); };
    EXPECT_EQ(h.flushPackets(), (std::vector<Bytes>{mopa(7), mopa(9), mopa(7)}));
    // A new connection forgets the selection.
    h.running7();
    h.e7().sendMOPALaser(3, 7);
    EXPECT_EQ(h.flushPackets(), std::vector<Bytes>{mopa(7)});
}
