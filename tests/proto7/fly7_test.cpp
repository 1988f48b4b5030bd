#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>

#include "proto7/rows7.h"

namespace {

FlyParam encoder(int32_t select) { return {0, 0, 0, 0, 0, 0, 0, 0, 1, {1, 0}, {0, 1}, {10, 20}, select, 1000}; }

}  // namespace

// Distances at the initial 546 device units per mm; trigger rows give flag, trigger distance
// 10 mm (5460), then mode, distance and time of B and of A.
TEST(Fly7, Packets) {
    expectList({
        {[](E7& e) { e.sendStartFlyMark(true); }, lp(0x0203, 6, {1})},
        {[](E7& e) { e.sendDelayDistanceClear(); }, lp(0x022A, 6)},
        {[](E7& e) { e.sendBoundaryLength(0x01234567); }, lp(0x0206, 8, {0x23, 0x45, 0x67})},
        // Milliseconds to microseconds: 4294968000 - 2^32 = 704.
        {[](E7& e) { e.sendDelayTimeWait(4294968); }, lp(0x022D, 8, {0, 0, 0x02, 0xC0})},
        // 2.5 * 546 = 1365; -0.25 * 546 = -136.5 -> -137.
        {[](E7& e) { e.sendDelayDistanceWait(2.5f, -0.25f); },
         lp(0x022B, 12, {0, 0, 0x05, 0x55, 0xFF, 0xFF, 0xFF, 0x77})},
        // 0.01 mm * 546 * 65536 = 357826.56; speed 1000 * 546 * 32768 * 1000 / 1.2e8 = 149094.4.
        {[](E7& e) { e.sendEncoderParam(encoder(0)); },
         lp(0x0222, 16, {0x00, 0x05, 0x75, 0xC3, 1, 0, 0x03, 0x00, 0x02, 0x46, 0x66})},
        // 0.02 * 546 * 65536 = 715653.12; option 2 of encoder 1 only.
        {[](E7& e) { e.sendEncoderParam(encoder(1)); },
         lp(0x0222, 16, {0x00, 0x0A, 0xEB, 0x85, 2, 0, 0x05, 0x00, 0x02, 0x46, 0x66})},
        {[](E7& e) { e.sendEncoderParam(encoder(-1)); },
         lp(0x0222, 16, {0x00, 0x05, 0x75, 0xC3, 1, 0, 0x03, 0x00, 0x02, 0x46, 0x66})},
        {[](E7& e) {
             e.sendTriggerParam({0, 10, 0, 5, 5, 2, 9, 0.25f});
         },
         lp(0x0223, 16, {0x03, 0, 0, 0xFA, 0, 0, 0, 0, 0, 0, 0x15, 0x54})},
        // 0.5 * 546 = 273.
        {[](E7& e) {
             e.sendTriggerParam({1, 10, 1, 0.5f, 9, 0, 3, 1});
         },
         lp(0x0223, 16, {0x14, 0, 0, 0, 0, 0, 0x01, 0x11, 0, 0, 0x15, 0x54})},
        // 0.0025f * 1000 in single precision is 2.5 and rounds to 3 (in double it is 2.49999994).
        {[](E7& e) {
             e.sendTriggerParam({0, 10, 2, 9, 0.0025f});
         },
         lp(0x0223, 16, {0x0C, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0x15, 0x54})},
        // -1 * 546 = 0xFFFFFDDE: A keeps its low 24 bits.
        {[](E7& e) {
             e.sendTriggerParam({0, 10, 0, 0, 0, 7, -1, 1});
         },
         lp(0x0223, 16, {0x01, 0xFF, 0xFD, 0xDE, 0, 0, 0, 0, 0, 0, 0x15, 0x54})},
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
        {[](E7& e) { return e.setWatchDog(true, 300); }, pkt(0xAA24, {0, 0, 1, 0, 0x01, 0x2C}), false},
        {[](E7& e) { return e.setWatchDog(false, 0xABCD); }, pkt(0xAA24, {0, 0, 0, 0, 0xAB, 0xCD}), false},
    });
}
