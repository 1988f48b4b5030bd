#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "calib/quorcal.h"

// The calibrated mapping reads the lens in place and keeps the last nine-point fit of its thread;
// the yardstick fills a complete lens record for every point. Over many random lenses and points,
// including unusable tables and grids, both must agree bit for bit, success flag included.
namespace {

class RandomLens {
public:
    explicit RandomLens(uint32_t seed) : m_random(seed) {}

    GalvoParam next() {
        GalvoParam g;
        g.fieldSize = pick(1) ? uniform(20, 300) : (pick(20) ? 0.0 : 100.0);
        g.setResolution(pick(1) ? 65535 : 1048575);
        g.exchangeXY = pick(1);
        g.invertX = pick(1);
        g.invertY = pick(1);
        for (int i = 0; i < 6; ++i) g.boxCoef[i] = uniform(0.9, 1.1);
        g.boxCoef[6] = uniform(90, 110);
        g.boxCoef[7] = uniform(90, 110);
        g.tableEnable = pick(1);
        fillTables(g);
        g.use9Point = pick(1);
        fillGrid(g.calPar);
        return g;
    }

    Point2dConcept<double> point(double extent) {
        if (pick(50)) return {std::numeric_limits<double>::quiet_NaN(), 1.0};
        return {uniform(-extent, extent), uniform(-extent, extent)};
    }

private:
    // True with probability 1 / (n + 1).
    bool pick(int n) { return std::uniform_int_distribution<int>(0, n)(m_random) == 0; }
    double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(m_random); }

    // Lengths around the 100 slots of a record, now and then a NaN that ends a table early or a
    // step that breaks monotonicity.
    void fillTables(GalvoParam& g) {
        std::vector<double>* tables[6] = {&g.corrTable1, &g.corrTable2, &g.corrTable3,
                                          &g.corrTable4, &g.corrTable5, &g.corrTable6};
        for (auto* table : tables) {
            const int length = std::uniform_int_distribution<int>(0, 120)(m_random);
            double value = uniform(-80, -40);
            for (int i = 0; i < length; ++i) {
                table->push_back(value);
                value += uniform(0.2, 2.0);
            }
            if (length > 2 && pick(8)) (*table)[static_cast<size_t>(length / 2)] = std::nan("");
            if (length > 2 && pick(8)) (*table)[static_cast<size_t>(length / 3)] = -100.0;
        }
    }

    void fillGrid(GalvoCalPar& cal) {
        cal.exchangeXY = pick(1);
        cal.invertX = pick(1);
        cal.invertY = pick(1);
        cal.gridPitch = pick(30) ? 0.0 : uniform(10, 50);
        for (int i = 0; i < 9; ++i) {
            const double nx = (i % 3 - 1) * cal.gridPitch;
            const double ny = (i / 3 - 1) * cal.gridPitch;
            cal.gridPoints[i] = {nx + uniform(-1, 1), ny + uniform(-1, 1)};
        }
        if (pick(20)) cal.gridPoints[4] = cal.gridPoints[0];  // coincident: no fit
        if (pick(20)) cal.gridPoints[7].y = std::numeric_limits<double>::infinity();
    }

    std::mt19937 m_random;
};

struct Outcome {
    bool ok;
    tagVosPointF out;
};

bool sameBits(const Outcome& a, const Outcome& b) {
    return a.ok == b.ok && std::memcmp(&a.out, &b.out, sizeof(tagVosPointF)) == 0;
}

Outcome inPlace(const GalvoParam& g, tagVosPointF in) {
    Outcome o{false, {-1.0f, -1.0f}};
    o.ok = quorcal::mapInPlace(g, in, o.out);
    return o;
}

Outcome withFullRecord(const GalvoParam& g, tagVosPointF in) {
    Outcome o{false, {-1.0f, -1.0f}};
    o.ok = quorcal::mapWithFullRecord(g, in, o.out);
    return o;
}

}  // namespace

TEST(CalibFastPath, MatchesTheFullRecordBitForBitOnRandomLensesAndPoints) {
    RandomLens random(20240611);
    int compared = 0;
    int succeeded = 0;
    for (int lensIndex = 0; lensIndex < 400; ++lensIndex) {
        // Two lenses taking turns in runs of points, so remembered fits and table checks are both
        // reused and replaced.
        GalvoParam lenses[2] = {random.next(), random.next()};
        for (int i = 0; i < 500; ++i) {
            GalvoParam& g = lenses[(i / 20) % 2];
            const Point2dConcept<double> p = random.point(60);
            const tagVosPointF in{static_cast<float>(p.x), static_cast<float>(p.y)};
            const Outcome fast = inPlace(g, in);
            const Outcome reference = withFullRecord(g, in);
            ASSERT_TRUE(sameBits(fast, reference))
                << "lens " << lensIndex << " point " << i << " (" << p.x << ", " << p.y << "): " << fast.ok << " "
                << fast.out.x << " " << fast.out.y << " vs " << reference.ok << " " << reference.out.x << " "
                << reference.out.y;
            ++compared;
            if (fast.ok) ++succeeded;
            // A grid or table edited in place, at the same address, must be fitted or checked afresh.
            if (i == 250) {
                g.calPar.gridPoints[2].x += 0.25;
                if (g.corrTable1.size() > 3) g.corrTable1[2] = g.corrTable1[1];  // no longer rising
                if (g.corrTable4.size() > 3) g.corrTable4[1] = std::nan("");     // the Y pair ends early
            }
        }
    }
    EXPECT_EQ(compared, 200000);
    EXPECT_GT(succeeded, compared / 4);  // the set is not all failures
}
