#include "calib/quorcal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

// Default record: 65535 units over 100 mm around 32768.
constexpr double kScale = 655.35;
constexpr double kCenter = 32768.0;
constexpr double kPitch = 40.0;

using Mapping = bool (QuorCal::*)(const tagLenPar&, const tagVosPointF&, tagVosPointF&) const;
const Mapping kBoth[] = {&QuorCal::CalibBox, &QuorCal::Calib9Pt};

double mmOf(float dev) { return (dev - kCenter) / kScale; }

tagVosPointF mapOk(Mapping mapping, const GalvoParam& galvo, double x, double y) {
    tagLenPar rec;
    quorcal::fillFull(rec, galvo);
    tagVosPointF out{};
    EXPECT_TRUE((quorcal::quorCal().*mapping)(rec, {static_cast<float>(x), static_cast<float>(y)}, out))
        << x << ", " << y;
    return out;
}

Point2dConcept<double> nominal(int i) { return {(i % 3 - 1) * kPitch, (i / 3 - 1) * kPitch}; }

// Box coefficients neutral; the nine-point block measured up to 0.6 mm * distortion off its grid.
GalvoParam ninePoint(double distortion) {
    const double dx[9] = {0.4, -0.2, 0.3, -0.5, 0.1, 0.2, 0.6, -0.3, -0.4};
    const double dy[9] = {-0.3, 0.5, 0.2, 0.1, -0.2, -0.6, 0.4, 0.3, -0.1};
    GalvoParam galvo;
    galvo.calPar.gridPitch = kPitch;
    for (int i = 0; i < 9; ++i) {
        galvo.calPar.gridPoints[i] = {nominal(i).x + distortion * dx[i], nominal(i).y + distortion * dy[i]};
    }
    return galvo;
}

}  // namespace

TEST(QuorCalRound, HalvesGoAwayFromZero) {
    const double cases[][2] = {{2.5, 3}, {-2.5, -3}, {0.5, 1}, {-0.5, -1}, {1.4999, 1}, {0.49999999999999994, 0}};
    for (const auto& c : cases) EXPECT_EQ(quorcal::round(c[0]), c[1]) << c[0];
}

TEST(QuorCal, NeutralMappingsAreTheLinearMappingOfTheRecord) {
    const GalvoParam neutral = ninePoint(0.0);
    for (Mapping m : kBoth) {
        for (double x = -50; x <= 50; x += 12.3) {
            for (double y = -50; y <= 50; y += 9.7) {
                const tagVosPointF out = mapOk(m, neutral, x, y);
                EXPECT_LE(std::fabs(std::round(out.x) - (quorcal::round(static_cast<float>(x) * kScale) + kCenter)),
                          1.0)
                    << x;
                EXPECT_LE(std::fabs(std::round(out.y) - (quorcal::round(static_cast<float>(y) * kScale) + kCenter)),
                          1.0)
                    << y;
            }
        }
        // The scale is resolution / field size of the record, whatever GalvoParam::scale says:
        // 1048575 / 200 = 5242.875 units/mm, so 10 mm -> 576716.75 and -20 mm -> 419430.5.
        GalvoParam wide = neutral;
        wide.fieldSize = 200;
        wide.resolution = 1048575;
        wide.center = 524288;
        wide.scale = 1;
        const tagVosPointF out = mapOk(m, wide, 10, -20);
        EXPECT_NEAR(out.x, 576716.75, 0.1);
        EXPECT_NEAR(out.y, 419430.5, 0.1);
    }
}

TEST(QuorCalBox, EachCoefficientHasItsMeaning) {
    struct Case {
        int index;
        double value, x, y, expectX, expectY;
    };
    const Case cases[] = {
        {6, 90.0, 40, 20, 36, 20},                                     // X at 90 %
        {7, 110.0, 40, 20, 40, 22},                                    // Y at 110 %
        {3, 1.02, 10, 20, 10.4, 20},                                   // X += 0.02 * y
        {3, 1.02, -10, -20, -10.4, -20}, {2, 1.02, 10, 20, 10, 20.2},  // Y += 0.02 * x
        {0, 1.04, 30, 25, 30.3, 25},                                   // v = 25 / 50: X = 30 * (1 + 0.04 * 0.25)
        {0, 1.04, 30, 0, 30, 0},                                       // nothing on the X axis itself
        {1, 0.96, 25, 30, 25, 29.7},                                   // u = 0.5: Y = 30 * (1 - 0.04 * 0.25)
        {4, 1.1, 20, 25, 21, 25},                                      // v = 0.5: X = 20 * (1 + 0.1 * 0.5)
        {4, 1.1, 20, -25, 19, -25},                                    // and narrower towards -y
        {5, 0.9, 25, 20, 25, 19},                                      // u = 0.5: Y = 20 * (1 - 0.1 * 0.5)
    };
    for (const Case& c : cases) {
        GalvoParam galvo;
        galvo.boxCoef[c.index] = c.value;
        const tagVosPointF out = mapOk(&QuorCal::CalibBox, galvo, c.x, c.y);
        EXPECT_NEAR(mmOf(out.x), c.expectX, 1e-4) << "coef " << c.index << " at " << c.x << ", " << c.y;
        EXPECT_NEAR(mmOf(out.y), c.expectY, 1e-4) << "coef " << c.index << " at " << c.x << ", " << c.y;
    }

    // The input arrives inverted; the shear still acts on logical (10, 20), giving -10.4, not
    // -10 + 0.02 * 20 = -9.6. With exchange set, invertY is the flag that flips X.
    for (bool exchange : {false, true}) {
        GalvoParam galvo;
        galvo.boxCoef[3] = 1.02;
        galvo.exchangeXY = exchange;
        (exchange ? galvo.invertY : galvo.invertX) = true;
        EXPECT_NEAR(mmOf(mapOk(&QuorCal::CalibBox, galvo, -10, 20).x), -10.4, 1e-4) << exchange;
    }
}

TEST(QuorCalBox, TablesArePiecewiseLinearPerAxis) {
    GalvoParam galvo;
    galvo.tableEnable = true;
    galvo.corrTable1 = {-50, 0, 50};        // X nominal
    galvo.corrTable2 = {-49, 0, 51};        // X corrected
    galvo.corrTable3 = {-50, -10, 50, 70};  // Y nominal; the last entry has no partner
    galvo.corrTable4 = {-50, -12, 50};
    const double cases[][4] = {
        {25, -10, 25.5, -12},         // 25 * 51 / 50; a knot
        {-25, 20, -24.5, 19},         // -25 * 49 / 50; -12 + 30 * 62 / 60
        {60, -30, 61.2, -31},         // end segment extended: 60 * 51 / 50; -50 + 20 * 38 / 40
        {-60, 60, -58.8, 60.333333},  // -60 * 49 / 50; -12 + 70 * 62 / 60
    };
    for (const auto& c : cases) {
        const tagVosPointF out = mapOk(&QuorCal::CalibBox, galvo, c[0], c[1]);
        EXPECT_NEAR(mmOf(out.x), c[2], 1e-4) << c[0];
        EXPECT_NEAR(mmOf(out.y), c[3], 1e-4) << c[1];
    }

    galvo.tableEnable = false;
    EXPECT_NEAR(mmOf(mapOk(&QuorCal::CalibBox, galvo, 25, -10).x), 25, 1e-4);
    galvo.tableEnable = true;
    galvo.corrTable1 = {5};  // a single entry is no table
    EXPECT_NEAR(mmOf(mapOk(&QuorCal::CalibBox, galvo, 25, -10).x), 25, 1e-4);
}

TEST(QuorCalNinePoint, ExactAtTheMeasuredPositions) {
    for (bool invertX : {false, true}) {
        GalvoParam galvo = ninePoint(1.0);
        galvo.calPar.invertX = invertX;
        const double sx = invertX ? -1.0 : 1.0;
        for (int i = 0; i < 9; ++i) {
            const Point2dConcept<double> measured = galvo.calPar.gridPoints[i];
            const tagVosPointF out = mapOk(&QuorCal::Calib9Pt, galvo, sx * measured.x, measured.y);
            EXPECT_NEAR(out.x, sx * nominal(i).x * kScale + kCenter, 0.02) << i;
            EXPECT_NEAR(out.y, nominal(i).y * kScale + kCenter, 0.02) << i;
        }
    }
}

// Sweeps each axis in 0.01 mm steps: the output must move forward by about 6.55 units a step.
TEST(QuorCal, ModerateCorrectionsAreContinuousAndMonotonic) {
    GalvoParam box;
    const double coef[8] = {1.03, 0.97, 1.01, 0.99, 1.02, 0.98, 95.0, 103.0};
    std::copy(coef, coef + 8, box.boxCoef);
    box.tableEnable = true;
    box.corrTable1 = {-50, -20, 0, 20, 50};
    box.corrTable2 = {-50.5, -20.1, 0, 19.8, 49.6};
    const GalvoParam grid = ninePoint(1.0);
    for (Mapping m : kBoth) {
        const GalvoParam& galvo = m == &QuorCal::CalibBox ? box : grid;
        for (double across : {-45.0, 0.0, 30.0}) {
            tagVosPointF prevX = mapOk(m, galvo, -50, across);
            tagVosPointF prevY = mapOk(m, galvo, across, -50);
            for (int k = 1; k <= 10000; ++k) {
                const double along = -50 + k * 0.01;
                const tagVosPointF nextX = mapOk(m, galvo, along, across);
                const tagVosPointF nextY = mapOk(m, galvo, across, along);
                ASSERT_GT(nextX.x - prevX.x, 4.0) << along << ", " << across;
                ASSERT_LT(nextX.x - prevX.x, 9.0) << along << ", " << across;
                ASSERT_GT(nextY.y - prevY.y, 4.0) << across << ", " << along;
                ASSERT_LT(nextY.y - prevY.y, 9.0) << across << ", " << along;
                prevX = nextX;
                prevY = nextY;
            }
        }
    }
}

TEST(QuorCal, UnusableRecordsAndInputsFailWithoutWriting) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    GalvoParam usable = ninePoint(1.0);
    usable.tableEnable = true;
    usable.corrTable1 = usable.corrTable2 = {-50, 0, 50};
    enum Which { kBox = 1, kNine = 2, kAll = 3 };  // the mappings that must refuse
    struct Case {
        const char* what;
        void (*spoil)(tagLenPar&);
        tagVosPointF in;
        Which which;
    };
    const Case cases[] = {
        {"field size 0", [](tagLenPar& r) { r.fieldSize = 0; }, {1, 1}, kAll},
        {"negative field size", [](tagLenPar& r) { r.fieldSize = -100; }, {1, 1}, kAll},
        {"resolution 0", [](tagLenPar& r) { r.resolution = 0; }, {1, 1}, kAll},
        {"NaN x", [](tagLenPar&) {}, {nan, 1}, kAll},
        {"NaN y", [](tagLenPar&) {}, {1, nan}, kAll},
        {"nominal table not increasing",
         [](tagLenPar& r) { r.tables[quorcal::kTableNominalX][1] = -50; },
         {1, 1},
         kBox},
        {"pitch 0", [](tagLenPar& r) { r.calPar.gridPitch = 0; }, {1, 1}, kNine},
        {"negative pitch", [](tagLenPar& r) { r.calPar.gridPitch = -40; }, {1, 1}, kNine},
        {"two points coincide", [](tagLenPar& r) { r.calPar.gridPoints[4] = r.calPar.gridPoints[0]; }, {1, 1}, kNine},
        {"points on one line",
         [](tagLenPar& r) {
             for (auto& p : r.calPar.gridPoints) p.y = p.x;
         },
         {1, 1},
         kNine},
        {"NaN point", [](tagLenPar& r) { r.calPar.gridPoints[2].x = std::nan(""); }, {1, 1}, kNine},
    };
    for (const Case& c : cases) {
        for (int k = 0; k < 2; ++k) {
            tagLenPar rec;
            quorcal::fillFull(rec, usable);
            tagVosPointF out{};
            EXPECT_TRUE((quorcal::quorCal().*kBoth[k])(rec, {1, 1}, out)) << "before: " << c.what;
            c.spoil(rec);
            out = {7, 7};
            EXPECT_EQ((quorcal::quorCal().*kBoth[k])(rec, c.in, out), !(c.which & (1 << k))) << c.what;
            if (c.which & (1 << k)) {
                EXPECT_EQ(out.x, 7) << c.what;
                EXPECT_EQ(out.y, 7) << c.what;
            }
        }
    }
}
