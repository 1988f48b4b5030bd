#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/harness.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

// Transform words m11 m12 m21 m22 of a box packet.
std::vector<uint16_t> transform(const Bytes& p) {
    std::vector<uint16_t> out;
    for (size_t o = 12; o < 20; o += 2) out.push_back(static_cast<uint16_t>(p[o] << 8 | p[o + 1]));
    return out;
}

struct EquiPoint {
    uint16_t opcode;
    uint8_t marker;
    uint32_t a;
    uint32_t b;
    uint16_t slope;
};

std::vector<EquiPoint> equi(Harness& h) {
    std::vector<EquiPoint> out;
    for (const Bytes& p : h.flushPackets())
        out.push_back(EquiPoint{FakeTransfer::opcodeOf(p), p[4], static_cast<uint32_t>(p[6] << 16 | p[7] << 8 | p[8]),
                                static_cast<uint32_t>(p[9] << 16 | p[10] << 8 | p[11]),
                                static_cast<uint16_t>(p[12] << 8 | p[13])});
    return out;
}

MATCHER_P5(IsPoint, opcode, marker, a, b, slope, "") {
    return arg.opcode == opcode && arg.marker == marker && arg.a == static_cast<uint32_t>(a) &&
           arg.b == static_cast<uint32_t>(b) && arg.slope == slope;
}

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

}  // namespace

TEST(GalvoBox7, TransformFollowsTheFlags) {
    struct Case {
        const char* name;
        bool exchange, invertX, invertY;
        std::vector<uint16_t> words;
    };
    const Case cases[] = {
        {"neutral", false, false, false, {0x4000, 0, 0, 0x4000}},
        {"exchange", true, false, false, {0, 0x4000, 0x4000, 0}},
        {"exchange, invert X", true, true, false, {0, 0xC000, 0x4000, 0}},
        {"invert Y", false, false, true, {0x4000, 0, 0, 0xC000}},
    };
    for (const Case& c : cases) {
        Running7 h;
        GalvoParam g = lens();
        g.exchangeXY = c.exchange;
        g.invertX = c.invertX;
        g.invertY = c.invertY;
        h.e7().sendGalvoBoxParam(g);
        const Bytes p = h.flushPackets().at(0);
        EXPECT_THAT(Bytes(p.begin(), p.begin() + 12), ElementsAre(0x02, 0x24, 24, 0, 0, 0, 0, 0, 0, 0, 0, 0)) << c.name;
        EXPECT_EQ(transform(p), c.words) << c.name;
    }
}

TEST(GalvoBox7, CoefficientsInFixedPoint) {
    Running7 h;
    GalvoParam g = lens();
    g.boxCoef[6] = 90;    // 0.9 * 16384 = 14745.6 -> 0x3999
    g.boxCoef[0] = 1.01;  // 0.01 * 16384 = 163.8 -> 0x00A3
    g.boxCoef[5] = 0.99;  // -163.8 -> -163 = 0xFF5D
    g.boxCoef[3] = 1.5;   // m12 = 0.5 * 0.9 * 16384 = 7372.8 -> 0x1CCC
    h.e7().sendGalvoBoxParam(g);
    const Bytes p = h.flushPackets().at(0);
    EXPECT_THAT(Bytes(p.begin() + 4, p.begin() + 12), ElementsAre(0, 0, 0xFF, 0x5D, 0x00, 0xA3, 0, 0));
    EXPECT_EQ(transform(p), (std::vector<uint16_t>{0x3999, 0x1CCC, 0, 0x4000}));
}

TEST(EquiScale7, TablesAreClippedToTheFieldWithCrossingPoints) {
    Running7 h;
    GalvoParam g = lens();
    g.corrTable1 = g.corrTable2 = {-60, -20, 20, 60};
    g.corrTable3 = {-50, 50};  // exactly on the border counts as inside
    g.corrTable4 = {-40, 40};
    h.e7().sendGalvoEquiScaleParam(g);
    // X pair: enters at (-50, -50), leaves at (50, 50); device value = mm * 100 + 32768.
    EXPECT_THAT(equi(h), ElementsAre(IsPoint(0x02A0, 1, 0, 0, 0), IsPoint(0x02A0, 0, 27768, 27768, 0),
                                     IsPoint(0x02A0, 0, 30768, 30768, 4096), IsPoint(0x02A0, 0, 34768, 34768, 4096),
                                     IsPoint(0x02A0, 0, 37768, 37768, 4096), IsPoint(0x02A0, 2, 0, 0, 0),
                                     IsPoint(0x02A1, 1, 0, 0, 0), IsPoint(0x02A1, 0, 27768, 28768, 0),
                                     IsPoint(0x02A1, 0, 37768, 36768, 0x1400),  // 100 / 80 = 1.25
                                     IsPoint(0x02A1, 2, 0, 0, 0)));
}

TEST(EquiScale7, FirstPointAtTheOriginIsDroppedAndFlagsRouteTables) {
    Running7 h;
    GalvoParam g = lens();
    g.corrTable1 = {0, 10};
    g.corrTable2 = {0, 10};
    g.invertX = true;     // negates tables 1 and 2
    g.exchangeXY = true;  // the X pair goes out as the second table
    h.e7().sendGalvoEquiScaleParam(g);
    EXPECT_THAT(equi(h),
                ElementsAre(IsPoint(0x02A1, 1, 0, 0, 0), IsPoint(0x02A1, 0, 31768, 31768, 0),
                            IsPoint(0x02A1, 2, 0, 0, 0), IsPoint(0x02A0, 1, 0, 0, 0), IsPoint(0x02A0, 2, 0, 0, 0)));
}

TEST(EquiScale7, DeviceValuesClampAndFlatSlopesAreZero) {
    Running7 h;
    GalvoParam g = lens();
    g.scale = 1000;                 // 50 mm -> 82768: beyond the resolution
    g.corrTable1 = {-60, -10, 50};  // enters at (-10, -50): twice the same point, slope 0 / 0
    g.corrTable2 = {-60, -50, 40};
    h.e7().sendGalvoEquiScaleParam(g);
    auto points = equi(h);
    ASSERT_EQ(points.size(), 7u);
    EXPECT_THAT(points[1], IsPoint(0x02A0, 0, 22768, 0, 0));
    EXPECT_THAT(points[2], IsPoint(0x02A0, 0, 22768, 0, 0));
    EXPECT_THAT(points[3], IsPoint(0x02A0, 0, 65535, 65535, 0x0AAA));  // 60 / 90 * 4096 = 2730.7
}

TEST(EquiScale7, NothingWithoutTables) {
    Running7 h;
    GalvoParam g = lens();
    g.corrTable1 = g.corrTable2 = {1, 2};
    g.tableEnable = false;
    h.e7().sendGalvoEquiScaleParam(g);
    EXPECT_THAT(h.flushPackets(), IsEmpty());
}
