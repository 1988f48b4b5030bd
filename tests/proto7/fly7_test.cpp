#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "proto7/rows7.h"

namespace {

// 1000 device units per millimetre (50000 units over a 50 mm field) instead of the initial 546.
void scale1000(E7& e) {
    TarnParam lens;
    lens.galvo.fieldSize = 50;
    lens.galvo.resolution = 50000;
    e.sendLenPara(lens, false, 2);
}
const Bytes kLens1000 = lp(0x0221, 12, {0xC3, 0x50, 0xC3, 0x50});

FlyParam encoder(int32_t select) {
    FlyParam f;
    f.encoderEnable = 1;
    f.encoderOption1[0] = 1;
    f.encoderOption2[1] = 1;
    f.encoderStep[0] = 10.0f;
    f.encoderStep[1] = 20.0f;
    f.flySpeed = 1000.0f;
    f.encoderSelect = select;
    return f;
}

// Trigger distance 10 mm (5460 units) throughout.
FlyParam trigger(int32_t modeA, float distanceA, float timeA, int32_t modeB, float distanceB, float timeB,
                 uint8_t flag = 0) {
    FlyParam f;
    f.triggerAMode = modeA;
    f.triggerADistance = distanceA;
    f.triggerATime = timeA;
    f.triggerBMode = modeB;
    f.triggerBDistance = distanceB;
    f.triggerBTime = timeB;
    f.triggerFlag = flag;
    f.triggerDistance = 10.0f;
    return f;
}

void distanceAt1000(E7& e) {
    scale1000(e);
    e.sendDelayDistanceWait(1.5f, -0.25f);
}
void encoderAt1000(E7& e) {
    scale1000(e);
    e.sendEncoderParam(encoder(0));
}
void triggerAt1000(E7& e) {
    scale1000(e);
    e.sendTriggerParam(trigger(1, 0.125f, 0, 0, 0, 0));
}

}  // namespace

TEST(Fly7, Packets) {
    expectList({
        {"start fly", [](E7& e) { e.sendStartFlyMark(true); }, lp(0x0203, 6, {1})},
        {"bitmap mode", [](E7& e) { e.sendBitmapMode(false); }, lp(0x022E, 6)},
        {"distance clear", [](E7& e) { e.sendDelayDistanceClear(); }, lp(0x022A, 6)},
        {"time clear", [](E7& e) { e.sendDelayTimeClear(); }, lp(0x022C, 6)},
        {"boundary, 24 bits", [](E7& e) { e.sendBoundaryLength(0x01234567); }, lp(0x0206, 8, {0x23, 0x45, 0x67})},
        // Milliseconds to microseconds: 4294968000 - 2^32 = 704.
        {"time wait", [](E7& e) { e.sendDelayTimeWait(5); }, lp(0x022D, 8, {0, 0, 0x13, 0x88})},
        {"time wait wraps", [](E7& e) { e.sendDelayTimeWait(4294968); }, lp(0x022D, 8, {0, 0, 0x02, 0xC0})},
        // 2.5 * 546 = 1365; at 1000 units per mm 1500 and -250.
        {"distance wait", [](E7& e) { e.sendDelayDistanceWait(2.5f, 0.0f); }, lp(0x022B, 12, {0, 0, 0x05, 0x55})},
        {"distance at 1000", distanceAt1000, {kLens1000, lp(0x022B, 12, {0, 0, 0x05, 0xDC, 0xFF, 0xFF, 0xFF, 0x06})}},
        // 0.01 mm * 546 * 65536 = 357826.56; speed 1000 * 546 * 32768 * 1000 / 1.2e8 = 149094.4.
        {"encoder 0", [](E7& e) { e.sendEncoderParam(encoder(0)); },
         lp(0x0222, 16, {0x00, 0x05, 0x75, 0xC3, 1, 0, 0x03, 0x00, 0x02, 0x46, 0x66})},
        // 0.02 * 546 * 65536 = 715653.12; option 2 of encoder 1 only.
        {"encoder 1", [](E7& e) { e.sendEncoderParam(encoder(1)); },
         lp(0x0222, 16, {0x00, 0x0A, 0xEB, 0x85, 2, 0, 0x05, 0x00, 0x02, 0x46, 0x66})},
        {"encoder -1 is encoder 0", [](E7& e) { e.sendEncoderParam(encoder(-1)); },
         lp(0x0222, 16, {0x00, 0x05, 0x75, 0xC3, 1, 0, 0x03, 0x00, 0x02, 0x46, 0x66})},
        // 0.01 * 1000 * 65536 = 655360; 1000 * 1000 * 32768 * 1000 / 1.2e8 = 273066.67.
        {"encoder at 1000",
         encoderAt1000,
         {kLens1000, lp(0x0222, 16, {0x00, 0x0A, 0x00, 0x00, 1, 0, 0x03, 0x00, 0x04, 0x2A, 0xAB})}},
        {"trigger A time", [](E7& e) { e.sendTriggerParam(trigger(2, 9.0f, 0.25f, 0, 5.0f, 5.0f)); },
         lp(0x0223, 16, {0x03, 0, 0, 0xFA, 0, 0, 0, 0, 0, 0, 0x15, 0x54})},
        // 0.5 * 546 = 273.
        {"trigger A off, B distance", [](E7& e) { e.sendTriggerParam(trigger(0, 3.0f, 1.0f, 1, 0.5f, 9, 1)); },
         lp(0x0223, 16, {0x14, 0, 0, 0, 0, 0, 0x01, 0x11, 0, 0, 0x15, 0x54})},
        // 0.0025f * 1000 in single precision is 2.5 and rounds to 3 (in double it is 2.49999994).
        {"trigger B time", [](E7& e) { e.sendTriggerParam(trigger(0, 0, 0, 2, 9.0f, 0.0025f)); },
         lp(0x0223, 16, {0x0C, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0x15, 0x54})},
        // -1 * 546 = 0xFFFFFDDE: A keeps its low 24 bits.
        {"trigger A other mode", [](E7& e) { e.sendTriggerParam(trigger(7, -1.0f, 1.0f, 0, 0, 0)); },
         lp(0x0223, 16, {0x01, 0xFF, 0xFD, 0xDE, 0, 0, 0, 0, 0, 0, 0x15, 0x54})},
        {"trigger at 1000",
         triggerAt1000,
         {kLens1000, lp(0x0223, 16, {0x01, 0, 0, 125, 0, 0, 0, 0, 0, 0, 0x27, 0x10})}},
    });
}

// At most 80 dots, dot i is bit i % 8 of byte 4 + i / 8; too many dots or none given send nothing.
TEST(Fly7, BitmapLight) {
    Running7 h;
    uint8_t lit[81];
    std::fill(std::begin(lit), std::end(lit), 1);
    const uint8_t dots[10] = {9, 0, 0, 0, 0, 0, 0, 0, 0, 5};
    const std::pair<const uint8_t*, uint8_t> calls[] = {{lit, 81}, {nullptr, 3}, {nullptr, 0},
                                                        {lit, 80}, {dots, 10},   {dots, 9}};
    for (const auto& [d, n] : calls) h.e7().sendBitmapLight(d, n);
    EXPECT_EQ(h.flushPackets(), (std::vector<Bytes>{lp(0x022F, 14), lp(0x022F, 14, Bytes(10, 0xFF)),
                                                    lp(0x022F, 14, {1, 2}), lp(0x022F, 14, {1})}));
}

TEST(Fly7, WatchDogIsJudgedByTheTransportOnly) {
    expectRequests({
        {"on", [](E7& e) { return e.setWatchDog(true, 300); }, pkt(0xAA24, {0, 0, 1, 0, 0x01, 0x2C}), false},
        {"off", [](E7& e) { return e.setWatchDog(false, 0xABCD); }, pkt(0xAA24, {0, 0, 0, 0, 0xAB, 0xCD}), false},
    });
}
