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
#include <tuple>
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
    ~CalibFiles() override { fs::remove_all(m_dir); }
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
    const auto same = [](const void* x, const void* y, size_t n) { return std::memcmp(x, y, n) == 0; };
    EXPECT_TRUE(same(&a.fieldSize, &b.fieldSize, offsetof(tagLenPar, reserved1) - offsetof(tagLenPar, fieldSize)) &&
                a.use9Point == b.use9Point && same(&a.calPar.exchangeXY, &b.calPar.exchangeXY, 3 * sizeof(int32_t)) &&
                same(&a.calPar.gridPitch, &b.calPar.gridPitch, sizeof(GalvoCalPar) - offsetof(GalvoCalPar, gridPitch)));
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

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    EXPECT_NE(text.find(from), std::string::npos) << from;
    return text.replace(text.find(from), from.size(), to);
}

}  // namespace

// A saved lens with one point set, then the same text edited: read whole with the lens bit-exact,
// or refused with nothing changed, neither the arguments nor the file.
TEST_F(CalibFiles, AFileIsReadWholeOrNotAtAll) {
    const std::string file = path("linse-\xc3\xa4\xe2\x82\xac.ucf");
    ASSERT_TRUE(lib().saveUcf(file.c_str(), awkwardLens()));
    ASSERT_TRUE(lib().setEqualPnts(file.c_str(), 1, 1, std::vector<tagVosPointF>{{1, 2}}.data()));
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir), {}), 1);  // no temporary file left
    const std::string text = readText(file);

    std::string spaced = "# made by hand\n\n";  // blanks and tabs around fields, CR before LF
    for (size_t at = 0, end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
        spaced += " \t";
        for (char c : text.substr(at, end - at)) spaced += c == ' ' ? std::string(" \t ") : std::string(1, c);
        spaced += "\t\r\n\n";
    }
    std::string table101 = "table 1";
    for (int k = 0; k <= quorcal::kTableLen; ++k) table101 += " 0";
    // Any order of the lens lines; one byte past a read block, so a last read of a single byte counts.
    const std::string good[] = {text, spaced,
                                replaced(replaced(text, "fieldSize 0.1\n", ""), "end\n", "fieldSize 0.1\nend\n"),
                                "#" + std::string(65536 - text.size(), 'x') + "\n" + text.substr(0, text.size() - 1)};
    std::vector<std::string> bad = {"", "quorcal-calibration 2\nend\n", "calibration 1\nend\n"};
    // A lens is all or nothing.
    for (const char* body : {"end\nend", "end x", "fieldSize 100\nend", "equal 0 2\n1 2\nend", "equal 0 1\n1 2 3\nend",
                             "equal 0 -1\nend", "equal 0 1001\nend", "grid 0 257\nend", "grid 0 1\n1 2 3\nend",
                             "equal 0 0\nequal 0 0\nend", "grid 0 0\ngrid 0 0\nend"}) {
        bad.push_back("quorcal-calibration 1\n" + std::string(body) + "\n");
    }
    // The angle line edited is one repeated, one missing.
    const std::pair<const char*, const char*> edits[] = {{"fieldSize 0.1", "fieldSize 0.1x"},
                                                         {"fieldSize 0.1", "fieldSize 0.1 2"},
                                                         {"fieldSize 0.1", "fieldSize"},
                                                         {"fieldSize 0.1", "fieldsize 0.1"},
                                                         {"angle -inf", "fieldSize 0.1"},
                                                         {"table 1", "table 6"},
                                                         {"table 1", "table"},
                                                         {"resolution 2147483647", "resolution 2147483648"},
                                                         {"boxFlags 0 -7 0", "boxFlags 0 -7 0.5"}};
    for (const auto& [from, to] : edits) bad.push_back(replaced(text, from, to));
    bad.push_back(replaced(text, "table 1\n", table101 + "\n"));
    // Cut before the end line, at and inside line ends.
    for (size_t at = 0; at + 1 < text.size(); at = text.find('\n', at + 1)) {
        for (size_t cut : {at, at + 1, at + 2}) bad.push_back(text.substr(0, cut));
    }
    std::vector<std::pair<std::string, bool>> cases;
    for (const std::string& t : good) cases.push_back({t, true});
    for (const std::string& t : bad) cases.push_back({t, false});
    cases.push_back({"", false});  // the last round removes the file: a missing one

    for (size_t i = 0; i < cases.size(); ++i) {
        const auto& [content, readable] = cases[i];
        SCOPED_TRACE(content.substr(0, 60));
        if (i + 1 < cases.size()) std::ofstream(file, std::ios::binary) << content;
        tagLenPar rec;
        rec.reserved2 = 5.0f;  // not held by the file, so kept
        const tagLenPar before = rec;
        EXPECT_EQ(lib().loadUcf(file.c_str(), rec), readable);
        expectSameLens(rec, readable ? awkwardLens() : before);
        EXPECT_EQ(rec.reserved2, 5.0f);
        tagVosPointF points[2] = {};
        int count = 2;
        EXPECT_EQ(lib().getEqualPnts(file.c_str(), 1, count, points), readable);
        EXPECT_EQ(count, readable ? 1 : 2);
        if (!readable && i + 1 < cases.size()) {  // an existing file that does not read is never overwritten
            EXPECT_FALSE(lib().saveUcf(file.c_str(), rec) || lib().setEqualPnts(file.c_str(), 1, 0, nullptr));
            EXPECT_EQ(readText(file), content);
        }
        fs::remove(file);
    }
    for (const char* none : {static_cast<const char*>(nullptr), ""}) {
        tagLenPar rec;
        double field = 0, area = 0;
        int resolution = 0;
        EXPECT_FALSE(lib().saveUcf(none, rec) || lib().loadUcf(none, rec) ||
                     lib().getBasePara(none, field, area, resolution) || lib().setEqualPnts(none, 0, 0, nullptr));
    }
}

// Through GalvoParam: the larger working area is stored; a load takes field, area, resolution,
// flags and the nine-point block only, the centre derived by setResolution, not the stored 1000.
TEST_F(CalibFiles, TheLensGoesThroughGalvoParamAndKeepsThePointSets) {
    const std::string file = path("lens.ucf");
    ASSERT_TRUE(CalibFunc::setEqualPnts(file.c_str(), 2, {{1, 2}}));  // creates a file without lens
    GalvoParam galvo;
    double field = 0, area = 0;
    int resolution = 0;
    EXPECT_FALSE(CalibFunc::loadUcf(file.c_str(), galvo) ||
                 CalibFunc::getBasePara(file.c_str(), field, area, resolution));
    for (const auto& [x, y] : {std::pair{80.0, 120.0}, std::pair{130.0, 90.0}}) {
        galvo.areaSizeX = x, galvo.areaSizeY = y;
        ASSERT_TRUE(CalibFunc::saveUcf(file.c_str(), galvo) &&
                    CalibFunc::getBasePara(file.c_str(), field, area, resolution));
        EXPECT_EQ(area, std::max(x, y));
    }
    std::vector<Point2dConcept<double>> points;
    EXPECT_TRUE(CalibFunc::getEqualPnts(file.c_str(), 2, points) && points.size() == 1);

    tagLenPar stored = awkwardLens();  // offset, angle, box coefficients, tables, use9Point off default
    stored.fieldSize = 150, stored.areaSize = 120, stored.resolution = 1048575, stored.center = 1000;
    stored.exchangeXY = 1, stored.invertX = 0, stored.invertY = 2;
    ASSERT_TRUE(lib().saveUcf(file.c_str(), stored));
    galvo.invertX = true, galvo.libExtent = 99;
    ASSERT_TRUE(CalibFunc::loadUcf(file.c_str(), galvo));
    EXPECT_EQ(std::make_tuple(galvo.fieldSize, galvo.areaSizeX, galvo.areaSizeY, galvo.center, galvo.scale),
              std::make_tuple(150.0, 120.0, 120.0, 524288, 1048575 / 150.0));
    EXPECT_TRUE(galvo.exchangeXY && !galvo.invertX && galvo.invertY && !galvo.use9Point);
    EXPECT_EQ(std::make_tuple(galvo.calPar.invertY, galvo.calPar.gridPoints[8].x, galvo.libExtent, galvo.boxCoef[3]),
              std::make_tuple(1, 0.4, 99.0, 1.0));
}

// Sets are kept by selector and appended to what the caller holds.
TEST_F(CalibFiles, PointSetsAppendBySelector) {
    const std::string file = path("points.ucf");
    using Points = std::vector<Point2dConcept<double>>;
    const Points three = {{0.1, -0.2}, {-0.0, 1e30}, {12.5, -50}};
    std::vector<CalData> five;
    for (int i = 0; i < 5; ++i) five.push_back({i * 1.0f, -i * 1.0f, i + 0.25f, 0.1f * i});
    ASSERT_TRUE(CalibFunc::setEqualPnts(file.c_str(), 3, three));
    ASSERT_TRUE(CalibFunc::setEqualPnts(file.c_str(), -4, Points(1000, {9, 9})));
    ASSERT_TRUE(CalibFunc::setEqualPnts(file.c_str(), 5, {}));
    EXPECT_FALSE(CalibFunc::setEqualPnts(file.c_str(), 5, Points(1001)));
    ASSERT_TRUE(CalibFunc::setCalibPnts(file.c_str(), 1, 2, five));  // stores the first four
    ASSERT_TRUE(CalibFunc::setCalibPnts(file.c_str(), 0, 0, {}));
    EXPECT_FALSE(CalibFunc::setCalibPnts(file.c_str(), 1, 3, std::vector<CalData>(8)));

    Points got = {{7, 7}};
    ASSERT_TRUE(CalibFunc::getEqualPnts(file.c_str(), 3, got));
    ASSERT_EQ(got.size(), 4u);
    for (size_t i = 0; i < 3; ++i) EXPECT_TRUE(got[i + 1].x == float(three[i].x) && got[i + 1].y == float(three[i].y));
    EXPECT_TRUE(CalibFunc::getEqualPnts(file.c_str(), 5, got));  // empty: nothing appended
    EXPECT_FALSE(CalibFunc::getEqualPnts(file.c_str(), 6, got) || CalibFunc::getEqualPnts(nullptr, 3, got));
    EXPECT_TRUE(CalibFunc::getEqualPnts(file.c_str(), -4, got));
    EXPECT_EQ(got.size(), 1004u);

    std::vector<CalData> grid(1);
    int n = 2;
    ASSERT_TRUE(CalibFunc::getCalibPnts(file.c_str(), 1, n, grid));
    ASSERT_EQ(grid.size(), 5u);
    EXPECT_EQ(std::memcmp(&grid[1], five.data(), 4 * sizeof(CalData)), 0);
    for (int wrong : {0, 3}) {  // 0 asks for the side; any wrong size fails, appends nothing, tells it
        n = wrong;
        EXPECT_FALSE(CalibFunc::getCalibPnts(file.c_str(), 1, n, grid) || n != 2);
    }
    n = 0;
    EXPECT_TRUE(CalibFunc::getCalibPnts(file.c_str(), 0, n, grid));
    // Sizes no grid can have fail before anything is allocated.
    for (int absurd : {-1, 257, 46341, INT_MAX}) {
        n = absurd;
        EXPECT_FALSE(CalibFunc::getCalibPnts(file.c_str(), 1, n, grid));
        EXPECT_FALSE(CalibFunc::setCalibPnts(file.c_str(), 1, absurd, five));
    }
    EXPECT_EQ(grid.size(), 5u);
}

namespace {

constexpr double kSide = 100;

// Where nominal (x, y) lands on a lens whose own distortion is a box distortion (lens, box
// coefficient order) when marked through the correction c.
Point2dConcept<double> mark(const double* lens, const CalibFunc::CalPar& c, double x, double y) {
    const double coef[8] = {c.pincushionX, c.pincushionY, c.shearYWithX, c.shearXWithY,
                            c.trapezoidX,  c.trapezoidY,  c.scaleX,      c.scaleY};
    tagLenPar rec;  // 1000 units/mm about 0
    rec.fieldSize = kSide, rec.resolution = 100000, rec.center = 0;
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
    const double m[9] = {dist(at(-1, 1), at(1, 1)),   dist(at(-1, 0), at(1, 0)),  dist(at(-1, -1), at(1, -1)),
                         dist(at(-1, -1), at(-1, 1)), dist(at(0, -1), at(0, 1)),  dist(at(1, -1), at(1, 1)),
                         dist(at(-1, -1), at(1, 1)),  dist(at(-1, 1), at(1, -1)), at(1, 0).y - at(-1, 0).y};
    const double d = kSide * std::sqrt(2.0), ideal[9] = {kSide, kSide, kSide, kSide, kSide, kSide, d, d, 0};
    worst = 0;
    for (int k = 0; k < 9; ++k) worst = std::max(worst, std::fabs(m[k] - ideal[k]));
    return {m[0], m[1], m[2], m[3], m[4], m[5], m[6], m[7], m[8]};
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
    // Scales above 0, the other factors strictly between 0.8 and 1.2; the first and last of those.
    const std::tuple<int, double, bool> cases[] = {{0, 0, false},
                                                   {0, -100, false},
                                                   {0, 1e-300, true},
                                                   {1, 0, false},
                                                   {1, 5, true},
                                                   {2, 0.8, false},
                                                   {2, 1.2, false},
                                                   {2, std::nextafter(0.8, 1.0), true},
                                                   {2, std::nextafter(1.2, 1.0), true},
                                                   {7, 0.8, false},
                                                   {7, 1.2, false},
                                                   {7, std::nextafter(0.8, 1.0), true},
                                                   {7, std::nextafter(1.2, 1.0), true}};
    const CP sentinel{1, 2, 3, 4, 5, 6, 7, 8};
    for (const auto& [index, value, accepted] : cases) {
        CP in, out = sentinel;
        in.*members[index] = value;
        EXPECT_EQ(CalibFunc::getRecManParas(trueMark, kSide, in, out), accepted) << index << " " << value;
        EXPECT_EQ(std::memcmp(&out, accepted ? &in : &sentinel, sizeof out), 0) << index << " " << value;
    }

    // Measurements the computation cannot use.
    CalibFunc::Lvs unusable = trueMark;
    unusable.middleRise = std::numeric_limits<double>::quiet_NaN();
    CP out = sentinel;
    EXPECT_FALSE(CalibFunc::getRecManParas(unusable, kSide, {}, out) ||
                 CalibFunc::getRecManParas(trueMark, 0, {}, out));
    EXPECT_EQ(out.scaleX, 1);
}
