#include <gtest/gtest.h>

#include <cmath>

#include "proto7/rows7.h"

namespace {

using P = Point2dConcept<int>;

TarnParam lens(double fieldSize, int32_t resolution, double areaX = 0, double areaY = 0) {
    TarnParam t;
    t.galvo.fieldSize = fieldSize;
    t.galvo.resolution = resolution;
    t.galvo.areaSizeX = areaX;
    t.galvo.areaSizeY = areaY;
    return t;
}

// A lens whose exchange flag comes from the 9-point calibration or from the box.
TarnParam xy(bool use9Point, bool boxExchange, int32_t nineExchange) {
    TarnParam t = lens(100, 65535);
    t.galvo.use9Point = use9Point;
    t.galvo.exchangeXY = boxExchange;
    t.galvo.calPar.exchangeXY = nineExchange;
    return t;
}

// Range X and Y of a lens packet: 16 bits at 4 and 6, bit 16 at 10 and 11.
Bytes lensPacket(uint32_t x, uint32_t y, uint8_t exchange = 0) {
    return lp(
        0x0221, 12,
        {uint8_t(x >> 8), uint8_t(x), uint8_t(y >> 8), uint8_t(y), exchange, 0, uint8_t(x >> 16), uint8_t(y >> 16)});
}

// A 1 mm delay distance after the lens shows the scale the lens left behind.
Bytes distance(uint32_t units) { return lp(0x022B, 12, {0, 0, uint8_t(units >> 8), uint8_t(units)}); }

// The scale (device units per mm, 546 at first) changes only for a positive field.
void scales(E7& e) {
    for (const TarnParam& t : {lens(0, 65535), lens(2, 1001), lens(std::nan(""), 1000)}) {
        e.sendLenPara(t, false, 2);
        e.sendDelayDistanceWait(1, 0);
    }
}

}  // namespace

// Vectors: steps, delay, then x and y as their low 24 bits (the core positioning suite reads the
// rest). Absolute vectors take at least one step, relative ones none only for a zero offset.
TEST(Vector7, Packets) {
    expectList({
        {[](E7& e) { EXPECT_EQ(e.sendMoveToAbs(P(32768, 32768), 10000, 500), 10500u); },
         lp(0x0241, 18, {0x27, 0x10, 0x01, 0xF4, 0x00, 0x80, 0x00, 0x00, 0x80, 0x00})},
        {[](E7& e) { EXPECT_EQ(e.sendLineToAbs(P(0, 0), 0, 0), 1u); }, lp(0x0245, 18, {0, 1})},
        {[](E7& e) { e.sendMoveToRel(P(0, 0), 0, 1); }, lp(0x0242, 18, {0, 0, 0, 1})},
        {[](E7& e) { e.sendMoveToRel(P(0, -3), 0, 1); }, lp(0x0242, 18, {0, 1, 0, 1, 0, 0, 0, 0xFF, 0xFF, 0xFD})},
        // Half ticks; doubling wraps in 32 bits; 0 is dropped.
        {[](E7& e) { e.sendDelayTime(0); }, {}},
        {[](E7& e) { e.sendDelayTime(0x80000001u); }, lp(0x0A00, 8, {0, 0, 0, 2})},
        {[](E7& e) {
             e.sendLightOnDelay({0, 0, 0, 20, 10, 0, 0x0102, 0x0304});
         },
         lp(0x0208, 8, {3, 4, 1, 2})},
        {[](E7& e) { e.sendRedSignal(true); }, lp(0x0212, 6, {1})},
        {[](E7& e) { e.sendRedSignal(false); }, lp(0x0212, 6)},
        // Ranges: the resolution, or for fly marking (types 100 to 199) the area's share of it,
        // rounded up, at most the resolution.
        {[](E7& e) { e.sendLenPara(lens(0, 65535, 50, 50), true, 100); }, lensPacket(0xFFFF, 0xFFFF)},
        {[](E7& e) { e.sendLenPara(lens(100, 65536, 50, 25), true, 100); }, lensPacket(0x8000, 0x4000)},
        {[](E7& e) { e.sendLenPara(lens(300, 1000, 400, 100), true, 199); }, lensPacket(1000, 334)},
        {[](E7& e) { e.sendLenPara(lens(100, 0x10000, 50, 50), true, 2); }, lensPacket(0x10000, 0x10000)},
        {[](E7& e) { e.sendLenPara(lens(100, 1000, 50, 50), true, 200); }, lensPacket(1000, 1000)},
        {[](E7& e) { e.sendLenPara(xy(false, true, 0), false, 2); }, lensPacket(0xFFFF, 0xFFFF, 1)},
        {[](E7& e) { e.sendLenPara(xy(false, false, 5), false, 2); }, lensPacket(0xFFFF, 0xFFFF)},
        {[](E7& e) { e.sendLenPara(xy(true, false, 5), false, 2); }, lensPacket(0xFFFF, 0xFFFF, 1)},
        {[](E7& e) { e.sendLenPara(xy(true, true, 0), false, 2); }, lensPacket(0xFFFF, 0xFFFF)},
        // 1001 / 2 = 500.5 rounds half away.
        {scales,
         {lensPacket(0xFFFF, 0xFFFF), distance(546), lensPacket(1001, 1001), distance(501), lensPacket(1000, 1000),
          distance(501)}},
    });
}

TEST(Vector7, RedLightNowIsJudgedByTheBoard) {
    expectRequests({
        {[](E7& e) { return e.setRedSignal(true); }, pkt(0xAA2E, {1}), true},
        {[](E7& e) { return e.setRedSignal(false); }, pkt(0xAA2E), true},
    });
}
