#include <gtest/gtest.h>

#include <algorithm>

#include "proto7/rows7.h"

namespace {

// 100 units per mm around 32768, 100 mm field.
GalvoParam lens() {
    GalvoParam g;
    g.fieldSize = 100;
    g.scale = 100;
    g.center = 32768;
    g.resolution = 65535;
    g.tableEnable = true;
    return g;
}

GalvoParam box(bool exchange, bool invertX, bool invertY) {
    GalvoParam g = lens();
    g.exchangeXY = exchange;
    g.invertX = invertX;
    g.invertY = invertY;
    return g;
}

// Box packet: four correction words, then the transform m11 m12 m21 m22, 16384 standing for 1.
Bytes boxPacket(std::initializer_list<uint8_t> words) {
    Bytes p = pkt(0x0224, {24}, 24);
    std::copy(words.begin(), words.end(), p.begin() + 4);
    return p;
}

// Correction table packets: start marker 1, points (device a, device b, slope * 4096), end marker 2.
Bytes mark(uint16_t op, uint8_t marker) { return pkt(op, {14, 0, marker}, 14); }
Bytes point(uint16_t op, uint32_t a, uint32_t b, uint16_t slope) {
    return pkt(op,
               {14, 0, 0, 0, uint8_t(a >> 16), uint8_t(a >> 8), uint8_t(a), uint8_t(b >> 16), uint8_t(b >> 8),
                uint8_t(b), uint8_t(slope >> 8), uint8_t(slope)},
               14);
}

}  // namespace

TEST(Galvo7, Packets) {
    expectList({
        {"neutral",
         [](Executor7& e) { e.sendGalvoBoxParam(box(false, false, false)); },
         {boxPacket({0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0, 0, 0, 0, 0, 0x40, 0})}},
        {"exchange",
         [](Executor7& e) { e.sendGalvoBoxParam(box(true, false, false)); },
         {boxPacket({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0, 0x40, 0, 0, 0})}},
        {"exchange, invert X",
         [](Executor7& e) { e.sendGalvoBoxParam(box(true, true, false)); },
         {boxPacket({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xC0, 0, 0x40, 0, 0, 0})}},
        {"invert Y",
         [](Executor7& e) { e.sendGalvoBoxParam(box(false, false, true)); },
         {boxPacket({0, 0, 0, 0, 0, 0, 0, 0, 0x40, 0, 0, 0, 0, 0, 0xC0, 0})}},
        // 0.9 * 16384 = 14745.6 -> 0x3999; 0.01 * 16384 = 163.8 -> 0x00A3; -163.8 -> 0xFF5D;
        // m12 = 0.5 * 0.9 * 16384 = 7372.8 -> 0x1CCC. Exchanged: m11 = 0.25 * 1.1, m12 = 1.1, m21 = 0.9, m22 = 0.5 *
        // 0.9.
        {"coefficients",
         [](Executor7& e) {
             GalvoParam g = lens();
             g.boxCoef[6] = 90;
             g.boxCoef[0] = 1.01;
             g.boxCoef[5] = 0.99;
             g.boxCoef[3] = 1.5;
             e.sendGalvoBoxParam(g);
             g.exchangeXY = true;
             g.boxCoef[7] = 110;
             g.boxCoef[2] = 1.25;
             g.boxCoef[1] = 1.02;
             g.boxCoef[4] = 0.98;
             e.sendGalvoBoxParam(g);
         },
         {boxPacket({0, 0, 0xFF, 0x5D, 0x00, 0xA3, 0, 0, 0x39, 0x99, 0x1C, 0xCC, 0, 0, 0x40, 0}),
          boxPacket({0xFE, 0xB9, 0xFF, 0x5D, 0x00, 0xA3, 0x01, 0x47, 0x11, 0x99, 0x46, 0x66, 0x39, 0x99, 0x1C, 0xCC})}},
        // X pair enters at (-50, -50), leaves at (50, 50); device value = mm * 100 + 32768. On the
        // border counts as inside; the Y pair's slope is 100 / 80 = 1.25.
        {"clipped tables",
         [](Executor7& e) {
             GalvoParam g = lens();
             g.corrTable1 = g.corrTable2 = {-60, -20, 20, 60};
             g.corrTable3 = {-50, 50};
             g.corrTable4 = {-40, 40};
             e.sendGalvoEquiScaleParam(g);
         },
         {mark(0x02A0, 1), point(0x02A0, 27768, 27768, 0), point(0x02A0, 30768, 30768, 4096),
          point(0x02A0, 34768, 34768, 4096), point(0x02A0, 37768, 37768, 4096), mark(0x02A0, 2), mark(0x02A1, 1),
          point(0x02A1, 27768, 28768, 0), point(0x02A1, 37768, 36768, 0x1400), mark(0x02A1, 2)}},
        // A first point at the origin is dropped; invert X negates tables 1 and 2, exchange sends
        // the X pair as the second table.
        {"origin, invert, exchange",
         [](Executor7& e) {
             GalvoParam g = box(true, true, false);
             g.corrTable1 = g.corrTable2 = {0, 10};
             e.sendGalvoEquiScaleParam(g);
         },
         {mark(0x02A1, 1), point(0x02A1, 31768, 31768, 0), mark(0x02A1, 2), mark(0x02A0, 1), mark(0x02A0, 2)}},
        {"invert Y",
         [](Executor7& e) {
             GalvoParam g = box(false, false, true);
             g.corrTable3 = g.corrTable4 = {0, 10};
             e.sendGalvoEquiScaleParam(g);
         },
         {mark(0x02A0, 1), mark(0x02A0, 2), mark(0x02A1, 1), point(0x02A1, 31768, 31768, 0), mark(0x02A1, 2)}},
        // 50 mm -> 82768 is beyond the resolution; entering at (-10, -50) gives the same point
        // twice, slope 0 / 0; 60 / 90 * 4096 = 2730.7.
        {"clamped values, flat slopes",
         [](Executor7& e) {
             GalvoParam g = lens();
             g.scale = 1000;
             g.corrTable1 = {-60, -10, 50};
             g.corrTable2 = {-60, -50, 40};
             e.sendGalvoEquiScaleParam(g);
         },
         {mark(0x02A0, 1), point(0x02A0, 22768, 0, 0), point(0x02A0, 22768, 0, 0), point(0x02A0, 65535, 65535, 0x0AAA),
          mark(0x02A0, 2), mark(0x02A1, 1), mark(0x02A1, 2)}},
        // A last point on the border is inside: it is sent, not taken for a point below the field.
        {"border point last",
         [](Executor7& e) {
             GalvoParam g = lens();
             g.corrTable1 = {10, -50};
             g.corrTable2 = {20, -30};
             e.sendGalvoEquiScaleParam(g);
         },
         {mark(0x02A0, 1), point(0x02A0, 33768, 34768, 0), point(0x02A0, 27768, 29768, 0x1333), mark(0x02A0, 2),
          mark(0x02A1, 1), mark(0x02A1, 2)}},
        {"no tables",
         [](Executor7& e) {
             GalvoParam g = lens();
             g.corrTable1 = g.corrTable2 = {1, 2};
             g.tableEnable = false;
             e.sendGalvoEquiScaleParam(g);
         },
         {}},
    });
}
