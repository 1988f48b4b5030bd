#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "calib/quorcal.h"
#include "executor/calib/calib_func.h"

namespace fs = std::filesystem;

namespace {

const QuorCal& lib() { return quorcal::quorCal(); }

// A fresh directory per test, removed with everything in it.
class CalibFiles : public testing::Test {
protected:
    CalibFiles() : m_dir(fs::temp_directory_path() / ("calib-files-" + std::to_string(std::random_device()()))) {
        fs::create_directories(m_dir);
    }
    ~CalibFiles() override {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }
    std::string path(const char* name) const { return (m_dir / name).string(); }

    fs::path m_dir;
};

std::string readText(const std::string& path) {
    std::stringstream s;
    s << std::ifstream(path, std::ios::binary).rdbuf();
    return s.str();
}

// The stored members of two records, bit for bit.
void expectSameLens(const tagLenPar& a, const tagLenPar& b) {
    EXPECT_EQ(std::memcmp(&a.fieldSize, &b.fieldSize, offsetof(tagLenPar, reserved1) - offsetof(tagLenPar, fieldSize)),
              0);
    EXPECT_EQ(a.use9Point, b.use9Point);
    EXPECT_EQ(std::memcmp(&a.calPar.exchangeXY, &b.calPar.exchangeXY, 3 * sizeof(int32_t)), 0);
    const size_t block = sizeof(GalvoCalPar) - offsetof(GalvoCalPar, gridPitch);
    EXPECT_EQ(std::memcmp(&a.calPar.gridPitch, &b.calPar.gridPitch, block), 0);
}

// Stored members off their defaults, with values that text easily gets wrong.
tagLenPar awkwardLens() {
    tagLenPar rec;
    rec.fieldSize = 0.1;
    rec.areaSize = 1e-300;
    rec.resolution = INT_MAX;
    rec.center = INT_MIN;
    rec.libExtent = std::numeric_limits<double>::max();
    rec.invertX = -7;
    rec.offsetX = -0.0;
    rec.offsetY = std::numeric_limits<double>::denorm_min();
    rec.angle = -std::numeric_limits<double>::infinity();
    rec.boxCoef[3] = std::numeric_limits<double>::lowest();
    rec.tableCount = -2;
    rec.tables[0][0] = 1.0 / 3.0;  // then an unset value inside the table
    rec.tables[0][2] = -0.0;
    for (int k = 0; k < quorcal::kTableLen; ++k) rec.tables[5][k] = k * 0.7 - 35;
    rec.use9Point = 1;
    rec.calPar.invertY = 1;
    for (int i = 0; i < 9; ++i) rec.calPar.gridPoints[i] = {i * 0.1 - 0.4, -i * 1e-17};
    return rec;
}

}  // namespace

TEST_F(CalibFiles, LensRoundTripsBitExactUnderAUtf8Name) {
    const std::string file = path("linse-\xc3\xa4\xe2\x82\xac.ucf");
    ASSERT_TRUE(lib().saveUcf(file.c_str(), awkwardLens()));
    tagLenPar loaded;
    loaded.reserved2 = 5.0f;  // not held by the file, so kept
    ASSERT_TRUE(lib().loadUcf(file.c_str(), loaded));
    expectSameLens(awkwardLens(), loaded);
    EXPECT_EQ(loaded.reserved2, 5.0f);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), {}), 1);  // no temporary file left
}

TEST_F(CalibFiles, BadFilesFailAndChangeNothing) {
    const std::string good = path("good.ucf");
    ASSERT_TRUE(lib().saveUcf(good.c_str(), awkwardLens()));
    ASSERT_TRUE(lib().setEqualPnts(good.c_str(), 1, 1, std::vector<tagVosPointF>{{1, 2}}.data()));
    const std::string text = readText(good);

    const std::string head = "quorcal-calibration 1\n";
    std::vector<std::string> bad = {
        "",
        "quorcal-calibration 2\nend\n",
        "calibration 1\nend\n",
        head + "end\nend\n",
        head + "fieldSize 100\nend\n",  // a lens is all or nothing
        head + "equal 0 2\n1 2\nend\n",
        head + "equal 0 1\n1 2 3\nend\n",
        head + "equal 0 1001\nend\n",
        head + "grid 0 257\nend\n",
        head + "equal 0 0\nequal 0 0\nend\n",
    };
    // Cuts before the end line, at and inside line ends; then single-line damage.
    for (size_t at = 0; at + 1 < text.size(); at = text.find('\n', at + 1)) {
        for (size_t cut : {at, at + 1, at + 2}) bad.push_back(text.substr(0, cut));
    }
    std::string table101 = "table 1";
    for (int k = 0; k <= quorcal::kTableLen; ++k) table101 += " 0";
    const std::pair<std::string, std::string> damage[] = {
        {"fieldSize 0.1\n", "fieldSize 0.1x\n"},
        {"fieldSize 0.1\n", "fieldSize 0.1 2\n"},
        {"fieldSize 0.1\n", "fieldsize 0.1\n"},
        {"angle -inf\n", "fieldSize 0.1\n"},  // one repeated, one missing
        {"table 1\n", "table 6\n"},
        {"table 1\n", table101 + "\n"},
        {"resolution 2147483647", "resolution 2147483648"},
    };
    for (const auto& [from, to] : damage) {
        ASSERT_NE(text.find(from), std::string::npos) << from;
        bad.push_back(std::string(text).replace(text.find(from), from.size(), to));
    }

    const std::string file = path("bad.ucf");
    for (size_t i = 0; i <= bad.size(); ++i) {
        if (i < bad.size()) std::ofstream(file, std::ios::binary) << bad[i];  // last round: no file
        SCOPED_TRACE(i < bad.size() ? bad[i].substr(0, 60) : "missing");
        tagLenPar rec = awkwardLens();
        EXPECT_FALSE(lib().loadUcf(file.c_str(), rec));
        expectSameLens(rec, awkwardLens());
        int count = 10;
        tagVosPointF points[10];
        EXPECT_FALSE(lib().getEqualPnts(file.c_str(), 1, count, points));
        EXPECT_EQ(count, 10);
        if (i < bad.size()) {
            // An existing file that does not read is never overwritten.
            EXPECT_FALSE(lib().saveUcf(file.c_str(), rec));
            EXPECT_FALSE(lib().setEqualPnts(file.c_str(), 1, 0, nullptr));
            EXPECT_EQ(readText(file), bad[i]);
            fs::remove(file);
        }
    }
}

TEST_F(CalibFiles, LoadTakesFieldAreaResolutionFlagsAndNinePointBlockOnly) {
    tagLenPar stored = awkwardLens();  // offset, angle, box coefficients, tables, use9Point off default
    stored.fieldSize = 150;
    stored.areaSize = 120;
    stored.resolution = 1048575;
    stored.center = 1000;
    stored.exchangeXY = 1;
    stored.invertX = 0;
    stored.invertY = 2;
    const std::string file = path("lens.ucf");
    ASSERT_TRUE(lib().saveUcf(file.c_str(), stored));

    GalvoParam galvo;
    galvo.areaSizeX = 10;
    galvo.areaSizeY = 20;
    galvo.invertX = true;
    galvo.libExtent = 99;
    ASSERT_TRUE(CalibFunc::loadUcf(file.c_str(), galvo));
    EXPECT_EQ(galvo.fieldSize, 150);
    EXPECT_EQ(galvo.areaSizeX, 120);
    EXPECT_EQ(galvo.areaSizeY, 120);
    EXPECT_EQ(galvo.resolution, 1048575);
    EXPECT_EQ(galvo.center, 524288);  // derived by setResolution, not the stored 1000
    EXPECT_EQ(galvo.scale, 1048575 / 150.0);
    EXPECT_TRUE(galvo.exchangeXY && !galvo.invertX && galvo.invertY);
    EXPECT_EQ(galvo.calPar.invertY, 1);
    EXPECT_EQ(galvo.calPar.gridPoints[8].x, 0.4);
    EXPECT_EQ(galvo.libExtent, 99);
    EXPECT_FALSE(std::signbit(galvo.offsetX));
    EXPECT_EQ(galvo.boxCoef[3], 1.0);
    EXPECT_EQ(galvo.tableCount, 21);
    EXPECT_FALSE(galvo.use9Point);
}

TEST_F(CalibFiles, SaveStoresTheLargerAreaAndKeepsThePointSets) {
    const std::string file = path("lens.ucf");
    ASSERT_TRUE(CalibFunc::setEqualPnts(file.c_str(), 2, {{1, 2}}));  // creates a file without lens
    GalvoParam galvo;
    EXPECT_FALSE(CalibFunc::loadUcf(file.c_str(), galvo));

    for (const auto& [x, y] : {std::pair{80.0, 120.0}, std::pair{130.0, 90.0}}) {
        galvo.areaSizeX = x;
        galvo.areaSizeY = y;
        ASSERT_TRUE(CalibFunc::saveUcf(file.c_str(), galvo));
        double field = 0, area = 0;
        int resolution = 0;
        ASSERT_TRUE(CalibFunc::getBasePara(file.c_str(), field, area, resolution));
        EXPECT_EQ(area, std::max(x, y));
    }
    std::vector<Point2dConcept<double>> points;
    EXPECT_TRUE(CalibFunc::getEqualPnts(file.c_str(), 2, points));
    EXPECT_EQ(points.size(), 1u);
}

TEST_F(CalibFiles, EqualPointSetsAppendBySelector) {
    const std::string file = path("points.ucf");
    const std::vector<Point2dConcept<double>> set3 = {{0.1, -0.2}, {-0.0, 1e30}, {12.5, -50}};
    ASSERT_TRUE(CalibFunc::setEqualPnts(file.c_str(), 3, set3));
    ASSERT_TRUE(CalibFunc::setEqualPnts(file.c_str(), -4, {{9, 9}}));
    ASSERT_TRUE(CalibFunc::setEqualPnts(file.c_str(), 5, {}));

    std::vector<Point2dConcept<double>> got = {{7, 7}};
    ASSERT_TRUE(CalibFunc::getEqualPnts(file.c_str(), 3, got));
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0].x, 7);
    for (size_t i = 0; i < set3.size(); ++i) {
        EXPECT_EQ(got[i + 1].x, static_cast<float>(set3[i].x));
        EXPECT_EQ(got[i + 1].y, static_cast<float>(set3[i].y));
    }
    EXPECT_TRUE(CalibFunc::getEqualPnts(file.c_str(), 5, got));  // empty set: nothing appended
    EXPECT_FALSE(CalibFunc::getEqualPnts(file.c_str(), 6, got));
    EXPECT_FALSE(CalibFunc::getEqualPnts(nullptr, 3, got));
    EXPECT_EQ(got.size(), 4u);

    // No set larger than the capacity offered is stored.
    std::vector<Point2dConcept<double>> full(1001, {1, 2});
    EXPECT_FALSE(CalibFunc::setEqualPnts(file.c_str(), -4, full));
    full.pop_back();
    EXPECT_TRUE(CalibFunc::setEqualPnts(file.c_str(), 3, full));
    got.clear();
    EXPECT_TRUE(CalibFunc::getEqualPnts(file.c_str(), 3, got));
    EXPECT_TRUE(CalibFunc::getEqualPnts(file.c_str(), -4, got));
    ASSERT_EQ(got.size(), 1001u);
    EXPECT_EQ(got.back().x, 9);
}

TEST_F(CalibFiles, CalibrationGridsAppendTheSquareAskedFor) {
    const std::string file = path("grid.ucf");
    ASSERT_TRUE(lib().saveUcf(file.c_str(), awkwardLens()));
    std::vector<CalData> five;
    for (int i = 0; i < 5; ++i) five.push_back({i * 1.0f, -i * 1.0f, i + 0.25f, 0.1f * i});
    ASSERT_TRUE(CalibFunc::setCalibPnts(file.c_str(), 1, 2, five));  // stores the first four
    EXPECT_FALSE(CalibFunc::setCalibPnts(file.c_str(), 1, 3, std::vector<CalData>(8)));
    ASSERT_TRUE(CalibFunc::setCalibPnts(file.c_str(), 0, 0, {}));

    std::vector<CalData> got(1);
    int n = 2;
    ASSERT_TRUE(CalibFunc::getCalibPnts(file.c_str(), 1, n, got));
    ASSERT_EQ(got.size(), 5u);
    EXPECT_EQ(std::memcmp(&got[1], five.data(), 4 * sizeof(CalData)), 0);
    n = 0;  // a size query: fails, appends nothing, tells the side
    EXPECT_FALSE(CalibFunc::getCalibPnts(file.c_str(), 1, n, got));
    EXPECT_EQ(n, 2);
    n = 0;
    EXPECT_TRUE(CalibFunc::getCalibPnts(file.c_str(), 0, n, got));
    // Sizes no grid can have fail before anything is allocated.
    for (int absurd : {-1, 257, 46341, INT_MAX}) {
        n = absurd;
        EXPECT_FALSE(CalibFunc::getCalibPnts(file.c_str(), 1, n, got));
        EXPECT_FALSE(CalibFunc::setCalibPnts(file.c_str(), 1, absurd, five));
    }
    EXPECT_EQ(got.size(), 5u);

    tagLenPar rec;
    ASSERT_TRUE(lib().loadUcf(file.c_str(), rec));
    expectSameLens(rec, awkwardLens());
}

namespace {

constexpr double kSide = 100;

// Where nominal (x, y) lands on a lens whose own distortion is a box distortion (lens, box
// coefficient order) when marked through the correction c.
Point2dConcept<double> mark(const double* lens, const CalibFunc::CalPar& c, double x, double y) {
    const double coef[8] = {c.pincushionX, c.pincushionY, c.shearYWithX, c.shearXWithY,
                            c.trapezoidX,  c.trapezoidY,  c.scaleX,      c.scaleY};
    tagLenPar rec;  // 1000 units/mm about 0
    rec.fieldSize = kSide;
    rec.resolution = 100000;
    rec.center = 0;
    tagVosPointF p{static_cast<float>(x), static_cast<float>(y)};
    for (const double* stage : {coef, lens}) {
        std::copy(stage, stage + 8, rec.boxCoef);
        EXPECT_TRUE(lib().CalibBox(rec, tagVosPointF(p), p));
        p = {p.x / 1000, p.y / 1000};
    }
    return {p.x, p.y};
}

// The measurements of the test square and their worst deviation from a true square.
CalibFunc::Lvs measure(const double* lens, const CalibFunc::CalPar& c, double& worst) {
    auto at = [&](int i, int j) { return mark(lens, c, i * kSide / 2, j * kSide / 2); };
    auto dist = [](Point2dConcept<double> a, Point2dConcept<double> b) { return std::hypot(a.x - b.x, a.y - b.y); };
    const CalibFunc::Lvs m = {dist(at(-1, 1), at(1, 1)),   dist(at(-1, 0), at(1, 0)),  dist(at(-1, -1), at(1, -1)),
                              dist(at(-1, -1), at(-1, 1)), dist(at(0, -1), at(0, 1)),  dist(at(1, -1), at(1, 1)),
                              dist(at(-1, -1), at(1, 1)),  dist(at(-1, 1), at(1, -1)), at(1, 0).y - at(-1, 0).y};
    const double d = kSide * std::sqrt(2.0);
    worst = 0;
    for (double e :
         {m.topLength - kSide, m.middleXLength - kSide, m.bottomLength - kSide, m.leftLength - kSide,
          m.middleYLength - kSide, m.rightLength - kSide, m.risingDiagonal - d, m.fallingDiagonal - d, m.middleRise}) {
        worst = std::max(worst, std::fabs(e));
    }
    return m;
}

}  // namespace

// Each pass marks the square with the parameters of the pass before, measures it and corrects.
TEST(CalibRecManParas, PassesConvergeOnABoxDistortedLens) {
    const double lens[8] = {1.03, 0.975, 1.012, 0.992, 1.015, 0.988, 103, 97.5};
    CalibFunc::CalPar par;
    double error = 0;
    CalibFunc::Lvs m = measure(lens, par, error);
    EXPECT_GT(error, 2.0);
    for (int pass = 0; pass < 3; ++pass) {
        const double before = error;
        ASSERT_TRUE(CalibFunc::getRecManParas(m, kSide, par, par)) << pass;
        m = measure(lens, par, error);
        EXPECT_LT(error, before / 10) << pass;
    }
    EXPECT_LT(error, 0.002);
}

// A true mark keeps the parameters exactly, so they meet the checks unchanged.
TEST(CalibRecManParas, ChecksAreStrictAndRejectionsLeaveTheOutputAlone) {
    using CP = CalibFunc::CalPar;
    double CP::*const members[8] = {&CP::scaleX,      &CP::scaleY,      &CP::pincushionX, &CP::pincushionY,
                                    &CP::shearYWithX, &CP::shearXWithY, &CP::trapezoidX,  &CP::trapezoidY};
    const double d = kSide * std::sqrt(2.0);
    const CalibFunc::Lvs trueMark = {kSide, kSide, kSide, kSide, kSide, kSide, d, d, 0};
    struct Case {
        int index;
        double value;
        bool accepted;
    };
    std::vector<Case> cases = {{0, 0, false}, {0, -100, false}, {0, 1e-300, true}, {1, 0, false}, {1, 5, true}};
    for (int k = 2; k < 8; ++k) {
        cases.insert(cases.end(), {{k, 0.8, false},
                                   {k, 1.2, false},
                                   {k, std::nextafter(0.8, 1.0), true},
                                   {k, std::nextafter(1.2, 1.0), true}});
    }
    const CP sentinel{1, 2, 3, 4, 5, 6, 7, 8};
    for (const Case& c : cases) {
        CP in;
        in.*members[c.index] = c.value;
        CP out = sentinel;
        EXPECT_EQ(CalibFunc::getRecManParas(trueMark, kSide, in, out), c.accepted) << c.index << " " << c.value;
        EXPECT_EQ(std::memcmp(&out, c.accepted ? &in : &sentinel, sizeof out), 0) << c.index << " " << c.value;
    }

    // Measurements the computation cannot use.
    CalibFunc::Lvs unusable = trueMark;
    unusable.middleRise = std::numeric_limits<double>::quiet_NaN();
    CP out = sentinel;
    EXPECT_FALSE(CalibFunc::getRecManParas(unusable, kSide, {}, out));
    EXPECT_FALSE(CalibFunc::getRecManParas(trueMark, 0, {}, out));
    EXPECT_EQ(out.scaleX, 1);
}
