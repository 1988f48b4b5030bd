#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "proto7/rows7.h"

namespace {

using Table = std::vector<double>;

// 100 units per mm around 32768, 100 mm field.
GalvoParam lens(double scale = 100, bool exchange = false, bool invertX = false, bool invertY = false) {
    GalvoParam g;
    g.fieldSize = 100;
    g.scale = scale;
    g.center = 32768;
    g.resolution = 65535;
    g.tableEnable = true;
    g.exchangeXY = exchange;
    g.invertX = invertX;
    g.invertY = invertY;
    return g;
}

// Not exchanged: X inverted and coefficients 0, 5, 3, 6 changed; exchanged: Y inverted and all changed.
GalvoParam coefficients(bool exchange) {
    GalvoParam g = lens(100, exchange, !exchange, exchange);
    g.boxCoef[6] = 90;
    g.boxCoef[0] = 1.01;
    g.boxCoef[5] = 0.99;
    g.boxCoef[3] = 1.5;
    if (!exchange) return g;
    g.boxCoef[7] = 110;
    g.boxCoef[2] = 1.25;
    g.boxCoef[1] = 1.02;
    g.boxCoef[4] = 0.98;
    return g;
}

GalvoParam tables(GalvoParam g, Table t1, Table t2, Table t3, Table t4) {
    g.corrTable1 = std::move(t1);
    g.corrTable2 = std::move(t2);
    g.corrTable3 = std::move(t3);
    g.corrTable4 = std::move(t4);
    return g;
}

Bytes mark(uint16_t op, uint8_t marker) { return lp(op, 14, {marker}); }
Bytes point(uint16_t op, uint32_t a, uint32_t b, uint16_t slope) {
    return lp(op, 14,
              {0, 0, uint8_t(a >> 16), uint8_t(a >> 8), uint8_t(a), uint8_t(b >> 16), uint8_t(b >> 8), uint8_t(b),
               uint8_t(slope >> 8), uint8_t(slope)});
}

}  // namespace

// Box packet: four correction words, then the transform m11 m12 m21 m22, 16384 standing for 1,
// cut toward zero.
TEST(Galvo7, BoxPackets) {
    expectList({
        {[](E7& e) { e.sendGalvoBoxParam(lens(100, false, false, true)); },
         lp(0x0224, 24, {0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0, 0, 0, 0, 0, 0xC0, 0})},
        // 0.9 * 16384 = 14745.6, inverted -14745 = 0xC667; 0.01 * 16384 = 163.8 -> 0x00A3,
        // -163.8 -> 0xFF5D; m12 = -0.5 * 0.9 * 16384 = -7372.8 -> 0xE334.
        {[](E7& e) { e.sendGalvoBoxParam(coefficients(false)); },
         lp(0x0224, 24, {0, 0, 0xFF, 0x5D, 0x00, 0xA3, 0, 0, 0xC6, 0x67, 0xE3, 0x34, 0, 0, 0x40, 0})},
        // Exchanged: m11 = 0.25 * 1.1, m12 = 1.1, m21 = -0.9, m22 = -0.5 * 0.9.
        {[](E7& e) { e.sendGalvoBoxParam(coefficients(true)); },
         lp(0x0224, 24,
            {0xFE, 0xB9, 0xFF, 0x5D, 0x00, 0xA3, 0x01, 0x47, 0x11, 0x99, 0x46, 0x66, 0xC6, 0x67, 0xE3, 0x34})},
    });
}

// Correction tables: start marker 1, points (device a, device b, slope * 4096), end marker 2;
// device value = mm * 100 + 32768.
TEST(Galvo7, CorrectionTables) {
    GalvoParam off = tables(lens(), {1, 2}, {1, 2}, {}, {});
    off.tableEnable = false;
    const std::pair<GalvoParam, std::vector<Bytes>> cases[] = {
        // X pair enters at (-50, -50), leaves at (50, 50); on the border counts as inside; the Y
        // pair's slope is 100 / 80 = 1.25.
        {tables(lens(), {-60, -20, 20, 60}, {-60, -20, 20, 60}, {-50, 50}, {-40, 40}),
         {mark(0x02A0, 1), point(0x02A0, 27768, 27768, 0), point(0x02A0, 30768, 30768, 4096),
          point(0x02A0, 34768, 34768, 4096), point(0x02A0, 37768, 37768, 4096), mark(0x02A0, 2), mark(0x02A1, 1),
          point(0x02A1, 27768, 28768, 0), point(0x02A1, 37768, 36768, 0x1400), mark(0x02A1, 2)}},
        // A first point at the origin is dropped; invert X negates tables 1 and 2, exchange sends
        // the X pair as the second table.
        {tables(lens(100, true, true), {0, 10}, {0, 10}, {}, {}),
         {mark(0x02A1, 1), point(0x02A1, 31768, 31768, 0), mark(0x02A1, 2), mark(0x02A0, 1), mark(0x02A0, 2)}},
        {tables(lens(100, false, false, true), {}, {}, {0, 10}, {0, 10}),
         {mark(0x02A0, 1), mark(0x02A0, 2), mark(0x02A1, 1), point(0x02A1, 31768, 31768, 0), mark(0x02A1, 2)}},
        // At 1000 units per mm 50 mm -> 82768 is beyond the resolution; entering at (-10, -50)
        // gives the same point twice, slope 0 / 0; 60 / 90 * 4096 = 2730.7.
        {tables(lens(1000), {-60, -10, 50}, {-60, -50, 40}, {}, {}),
         {mark(0x02A0, 1), point(0x02A0, 22768, 0, 0), point(0x02A0, 22768, 0, 0), point(0x02A0, 65535, 65535, 0x0AAA),
          mark(0x02A0, 2), mark(0x02A1, 1), mark(0x02A1, 2)}},
        // A last point on the border is inside: it is sent, not taken for a point below the field.
        {tables(lens(), {10, -50}, {20, -30}, {}, {}),
         {mark(0x02A0, 1), point(0x02A0, 33768, 34768, 0), point(0x02A0, 27768, 29768, 0x1333), mark(0x02A0, 2),
          mark(0x02A1, 1), mark(0x02A1, 2)}},
        {off, {}},
    };
    for (const auto& c : cases) {
        Running7 h;
        h.e7().sendGalvoEquiScaleParam(c.first);
        EXPECT_EQ(h.flushPackets(), c.second) << "case " << &c - cases;
    }
}
