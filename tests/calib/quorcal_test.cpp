#include "calib/quorcal.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <tuple>

namespace {

constexpr double kPitch = 40.0;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

Point2dConcept<double> nominal(int i, double pitch = kPitch) { return {(i % 3 - 1) * pitch, (i / 3 - 1) * pitch}; }

// Where the beam landed for each nominal grid point: up to 0.6 mm * distortion off.
void ninePoint(GalvoParam& g, double distortion = 1) {
    const double dx[9] = {0.4, -0.2, 0.3, -0.5, 0.1, 0.2, 0.6, -0.3, -0.4};
    const double dy[9] = {-0.3, 0.5, 0.2, 0.1, -0.2, -0.6, 0.4, 0.3, -0.1};
    g.use9Point = true;
    g.calPar.gridPitch = kPitch;
    for (int i = 0; i < 9; ++i)
        g.calPar.gridPoints[i] = {nominal(i).x + distortion * dx[i], nominal(i).y + distortion * dy[i]};
}

// The mapping use9Point chooses, on a record filled from galvo, back in mm by the record's own
// scale; NaN when it fails, which must leave the output untouched.
Point2dConcept<double> mapMm(const GalvoParam& galvo, double x, double y) {
    tagLenPar rec;
    quorcal::fillFull(rec, galvo);
    const tagVosPointF in{static_cast<float>(x), static_cast<float>(y)};
    tagVosPointF out{7, 7};
    const QuorCal& lib = quorcal::quorCal();
    if (!(galvo.use9Point ? lib.Calib9Pt(rec, in, out) : lib.CalibBox(rec, in, out))) {
        EXPECT_TRUE(out.x == 7 && out.y == 7);
        return {kNaN, kNaN};
    }
    const double mmPerUnit = rec.fieldSize / rec.resolution;
    return {(out.x - rec.center) * mmPerUnit, (out.y - rec.center) * mmPerUnit};
}

using G = GalvoParam;
using Lens = void (*)(G&);
void box(GalvoParam& g) {
    const double c[8] = {1.04, 0.96, 1.02, 1.02, 1.1, 0.9, 90, 110};
    std::copy(c, c + 8, g.boxCoef);
}
// Five X segments; the Y pair is as long as its shorter table, three entries.
void tables(GalvoParam& g) {
    g.tableEnable = true;
    g.corrTable1 = {-50, -20, 0, 20, 50};
    g.corrTable2 = {-50.5, -20.1, 0, 19.8, 49.6};
    g.corrTable3 = {-50, -10, 50, 70};
    g.corrTable4 = {-50, -12, 50};
}

}  // namespace

// Field 100 mm (h = 50). All box coefficients at (20, 25), u = 0.4, v = 0.5:
// xd = 20 * (1 + 0.04 * 0.25 + 0.1 * 0.5) = 21.2, yd = 25 * (1 - 0.04 * 0.16 - 0.1 * 0.4) = 23.84,
// X = 0.9 * (21.2 + 0.02 * 23.84) = 19.50912, Y = 1.1 * (23.84 + 0.02 * 21.2) = 26.6904.
TEST(QuorCal, MappingsFollowTheirCorrections) {
    const struct {
        const char* what;
        Lens lens;
        double x, y, expectX, expectY;  // expected NaN: the mapping fails
    } cases[] = {
        {"neutral box", [](G&) {}, 12.3, -45.6, 12.3, -45.6},
        {"all", box, 20, 25, 19.50912, 26.6904},
        // Corrections act on the logical point; the caller's inversion is undone and redone.
        {"all, invertX", [](G& g) { box(g), g.invertX = true; }, -20, 25, -19.50912, 26.6904},
        {"all, invertY", [](G& g) { box(g), g.invertY = true; }, 20, -25, 19.50912, -26.6904},
        {"exchange, invertY flips X", [](G& g) { box(g), g.exchangeXY = g.invertY = true; }, -20, 25, -19.50912,
         26.6904},
        {"exchange, invertX flips Y", [](G& g) { box(g), g.exchangeXY = g.invertX = true; }, 20, -25, 19.50912,
         -26.6904},
        // Tables: -50.5 + (-10) * 30.4 / 30; -50 + 20 * 38 / 40, and so on segment by segment.
        {"tables, below both", tables, -60, -60, -60.633333, -59.5},
        {"tables, first segments", tables, -35, -30, -35.3, -31},
        {"tables, knot", tables, -20, -10, -20.1, -12},
        {"tables, inner segments", tables, -10, 20, -10.05, 19},
        {"tables, X segment 3", tables, 10, 0, 9.9, -1.666667},
        {"tables, last segments", tables, 35, 60, 34.7, 60.333333},
        {"tables, above", tables, 60, 40, 59.533333, 39.666667},
        {"tables, then box", [](G& g) { tables(g), g.boxCoef[6] = 90; }, 35, 0, 31.23, -1.666667},
        {"tables disabled", [](G& g) { tables(g), g.tableEnable = false; }, 35, 20, 35, 20},
        {"two entries",
         [](G& g) {
             tables(g), g.corrTable1 = {-50, 50}, g.corrTable2 = {-49, 51};
         },
         25, 20, 26, 19},
        {"one entry is no table", [](G& g) { tables(g), g.corrTable1 = {5}; }, 35, 20, 35, 19},
        {"a NaN ends the pair",
         [](G& g) {
             tables(g), g.corrTable1 = {-50, 0, 50, kNaN}, g.corrTable2 = {-49, 0, 51, 0};
         },
         -25, 20, -24.5, 19},
        {"nominal values equal", [](G& g) { tables(g), g.corrTable3[1] = -50; }, 1, 1, kNaN, kNaN},
        {"field size 0", [](G& g) { g.fieldSize = 0; }, 1, 1, kNaN, kNaN},
        {"negative field size", [](G& g) { g.fieldSize = -100; }, 1, 1, kNaN, kNaN},
        {"resolution 0", [](G& g) { g.resolution = 0; }, 1, 1, kNaN, kNaN},
        {"NaN x", [](G&) {}, kNaN, 1, kNaN, kNaN},
        {"NaN y", [](G&) {}, 1, kNaN, kNaN, kNaN},
        {"beyond a float", [](G&) {}, 1, 3e38, kNaN, kNaN},
        // Nine-point: an undistorted grid is the identity, the box values play no part.
        {"undistorted grid", [](G& g) { ninePoint(g, 0), g.boxCoef[6] = 90, g.invertX = true; }, 12.3, -45.6, 12.3,
         -45.6},
        {"pitch 0", [](G& g) { ninePoint(g), g.calPar.gridPitch = 0; }, 1, 1, kNaN, kNaN},
        {"negative pitch", [](G& g) { ninePoint(g), g.calPar.gridPitch = -40; }, 1, 1, kNaN, kNaN},
        {"infinite pitch", [](G& g) { ninePoint(g), g.calPar.gridPitch = HUGE_VAL; }, 1, 1, kNaN, kNaN},
        {"two points coincide", [](G& g) { ninePoint(g), g.calPar.gridPoints[4] = g.calPar.gridPoints[0]; }, 1, 1, kNaN,
         kNaN},
        {"points on one line",
         [](G& g) {
             ninePoint(g);
             for (auto& p : g.calPar.gridPoints) p.y = p.x;
         },
         1, 1, kNaN, kNaN},
        {"NaN point", [](G& g) { ninePoint(g), g.calPar.gridPoints[2].x = kNaN; }, 1, 1, kNaN, kNaN},
    };
    for (const auto& c : cases) {
        GalvoParam galvo;
        c.lens(galvo);
        const Point2dConcept<double> got = mapMm(galvo, c.x, c.y);
        EXPECT_EQ(std::isnan(got.x), std::isnan(c.expectX)) << c.what;
        if (std::isnan(c.expectX)) continue;
        EXPECT_NEAR(got.x, c.expectX, 1e-4) << c.what;
        EXPECT_NEAR(got.y, c.expectY, 1e-4) << c.what;
    }
}

// The fit sends each measured position to its nominal point, under every routing of the flags.
TEST(QuorCal, NinePointIsExactAtTheMeasuredPositions) {
    // exchange, invertX, invertY, then the signs of X and Y
    const int flags[][5] = {{0, 0, 0, 1, 1}, {0, 1, 0, -1, 1}, {0, 0, 1, 1, -1}, {1, 0, 1, -1, 1}, {1, 1, 0, 1, -1}};
    for (const auto& f : flags) {
        GalvoParam galvo;
        ninePoint(galvo);
        std::tie(galvo.calPar.exchangeXY, galvo.calPar.invertX, galvo.calPar.invertY) = std::tie(f[0], f[1], f[2]);
        for (int i = 0; i < 9; ++i) {
            const Point2dConcept<double> got =
                mapMm(galvo, f[3] * galvo.calPar.gridPoints[i].x, f[4] * galvo.calPar.gridPoints[i].y);
            EXPECT_NEAR(got.x, f[3] * nominal(i).x, 3e-5) << i;
            EXPECT_NEAR(got.y, f[4] * nominal(i).y, 3e-5) << i;
        }
    }
}

// The in-place mapping reads the lens where it lies and remembers per thread the last grid fit and
// table checks; the yardstick fills a whole record per point. On random lenses, some unusable, two
// taking turns so that what is remembered is both reused and replaced, they agree bit for bit.
TEST(QuorCal, InPlaceMappingMatchesTheFullRecordBitForBit) {
    std::mt19937 random(20240611);
    auto uniform = [&](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(random); };
    auto oneIn = [&](int n) { return std::uniform_int_distribution<int>(1, n)(random) == 1; };
    auto lens = [&] {
        GalvoParam g;
        g.fieldSize = oneIn(2) ? uniform(20, 300) : (oneIn(20) ? 0.0 : 100.0);
        g.setResolution(oneIn(2) ? 65535 : 1048575);
        g.exchangeXY = oneIn(2), g.invertX = oneIn(2), g.invertY = oneIn(2);
        for (int i = 0; i < 8; ++i) g.boxCoef[i] = uniform(0.9, 1.1) * (i < 6 ? 1 : 100);
        g.tableEnable = oneIn(2);
        // Lengths around the 100 slots of a record; now and then a NaN ends one early or a step falls.
        for (auto* t : {&g.corrTable1, &g.corrTable2, &g.corrTable3, &g.corrTable4, &g.corrTable5, &g.corrTable6}) {
            const size_t length = std::uniform_int_distribution<size_t>(0, 120)(random);
            for (double v = uniform(-80, -40); t->size() < length; v += uniform(0.2, 2.0)) t->push_back(v);
            if (length > 2 && oneIn(9)) (*t)[length / 2] = kNaN;
            if (length > 2 && oneIn(9)) (*t)[length / 3] = -100.0;
        }
        g.use9Point = oneIn(2);
        GalvoCalPar& cal = g.calPar;
        cal.exchangeXY = oneIn(2), cal.invertX = oneIn(2), cal.invertY = oneIn(2);
        cal.gridPitch = oneIn(31) ? 0.0 : uniform(10, 50);
        for (int i = 0; i < 9; ++i)
            cal.gridPoints[i] = {nominal(i, cal.gridPitch).x + uniform(-1, 1),
                                 nominal(i, cal.gridPitch).y + uniform(-1, 1)};
        if (oneIn(21)) cal.gridPoints[4] = cal.gridPoints[0];
        if (oneIn(21)) cal.gridPoints[7].y = HUGE_VAL;
        return g;
    };
    int succeeded = 0;
    for (int round = 0; round < 400; ++round) {
        GalvoParam lenses[2] = {lens(), lens()};
        for (int i = 0; i < 500; ++i) {
            GalvoParam& g = lenses[(i / 20) % 2];
            const tagVosPointF in =
                oneIn(51) ? tagVosPointF{NAN, 1} : tagVosPointF{float(uniform(-60, 60)), float(uniform(-60, 60))};
            tagVosPointF fast{-1, -1}, reference{-1, -1};
            const bool fastOk = quorcal::mapInPlace(g, in, fast);
            ASSERT_EQ(fastOk, quorcal::mapWithFullRecord(g, in, reference)) << round << " " << i;
            ASSERT_EQ(std::memcmp(&fast, &reference, sizeof fast), 0) << round << " " << i;
            succeeded += fastOk;
            // A grid or table edited in place, at the same address, must be fitted or checked afresh.
            if (i == 250) {
                g.calPar.gridPoints[2].x += 0.25;
                if (g.corrTable1.size() > 3) g.corrTable1[2] = g.corrTable1[1];  // no longer rising
                if (g.corrTable4.size() > 3) g.corrTable4[1] = kNaN;             // the Y pair ends early
            }
        }
    }
    EXPECT_GT(succeeded, 200000 / 4);  // not all failures
}
