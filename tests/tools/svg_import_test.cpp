// SVG import: units and viewBox, transforms, path syntax, curve and arc flattening, rounded
// rects, pens from colours, every error path, and hostile input.

#include "import/svg_import.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "import/import_error.h"

namespace {

using importer::ImportError;
using importer::importSvgFile;
using importer::importSvgText;
using importer::SvgOptions;
using planner::Point;

constexpr double kPi = 3.14159265358979323846;
// One document unit is one millimetre on a 100 mm page.
const std::string kMmPage = R"~(width="100mm" height="100mm" viewBox="0 0 100 100")~";

std::string svg(const std::string& body, const std::string& root = kMmPage) {
    return R"~(<svg xmlns="http://www.w3.org/2000/svg" )~" + root + ">" + body + "</svg>";
}

// The polylines of a drawing on kMmPage, back in document coordinates (y down).
std::vector<std::vector<Point>> pageLines(const std::string& body, double tolerance = 0.01) {
    SvgOptions options;
    options.tolerance = tolerance;
    std::vector<std::vector<Point>> result;
    for (const auto& line : importSvgText(svg(body), options).polylines) {
        result.emplace_back();
        for (Point p : line.points) result.back().push_back({p.x, 100 - p.y});
    }
    return result;
}

std::string importError(const std::function<void()>& run) {
    try {
        run();
    } catch (const ImportError& error) {
        return error.what();
    }
    return "(no error)";
}

bool same(Point a, Point b) { return a.x == b.x && a.y == b.y; }

std::vector<double> coordinates(const std::vector<std::vector<Point>>& lines) {
    std::vector<double> result;
    for (const auto& line : lines)
        for (Point p : line) result.insert(result.end(), {p.x, p.y});
    return result;
}

double distanceToPolyline(Point p, const std::vector<Point>& line) {
    double best = INFINITY;
    for (std::size_t i = 1; i < line.size(); ++i) {
        Point a = line[i - 1], b = line[i];
        double dx = b.x - a.x, dy = b.y - a.y, len2 = dx * dx + dy * dy;
        double t = len2 > 0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / len2, 0.0, 1.0) : 0;
        best = std::min(best, std::hypot(p.x - a.x - t * dx, p.y - a.y - t * dy));
    }
    return best;
}

Point cubicAt(Point p0, Point c1, Point c2, Point p3, double t) {
    double u = 1 - t;
    return {u * u * u * p0.x + 3 * u * u * t * c1.x + 3 * u * t * t * c2.x + t * t * t * p3.x,
            u * u * u * p0.y + 3 * u * u * t * c1.y + 3 * u * t * t * c2.y + t * t * t * p3.y};
}

TEST(SvgImport, UnitsAndViewBoxGiveMillimetresWithYUp) {
    struct Case {
        const char* root;
        Point from, to;      // document units
        Point fromMm, toMm;  // y up
    } cases[] = {
        {R"~(width="100mm" height="50mm" viewBox="0 0 100 50")~", {10, 10}, {0, 0}, {10, 40}, {0, 50}},
        {R"~(width="4in" height="2in" viewBox="0 0 400 200")~", {100, 50}, {0, 0}, {25.4, 38.1}, {0, 50.8}},
        {R"~(width="2cm" height="1cm" viewBox="0 0 2 1")~", {1, 0}, {2, 1}, {10, 10}, {20, 0}},
        {R"~(width="72pt" height="6pc" viewBox="0 0 1 1")~", {1, 1}, {0, 0}, {25.4, 0}, {0, 25.4}},
        // No viewBox: a unit is a px; no size: the viewBox's units are px.
        {R"~(width="96px" height="96")~", {96, 0}, {0, 96}, {25.4, 25.4}, {0, 0}},
        {R"~(viewBox="10 20 96 96")~", {10, 20}, {106, 116}, {0, 25.4}, {25.4, 0}},
        // preserveAspectRatio: centred and uniform by default, then aligned, sliced or stretched.
        {R"~(width="100mm" height="50mm" viewBox="0 0 10 10")~", {0, 0}, {10, 10}, {25, 50}, {75, 0}},
        {R"~(width="100mm" height="50mm" viewBox="0 0 10 10" preserveAspectRatio="xMaxYMax")~",
         {0, 0},
         {10, 10},
         {50, 50},
         {100, 0}},
        {R"~(width="100mm" height="50mm" viewBox="0 0 10 10" preserveAspectRatio="xMinYMin slice")~",
         {1, 1},
         {0, 0},
         {10, 40},
         {0, 50}},
        {R"~(width="100mm" height="50mm" viewBox="0 0 10 10" preserveAspectRatio="none")~",
         {1, 1},
         {0, 0},
         {10, 45},
         {0, 50}},
        // Only the width: the height follows the viewBox's aspect.
        {R"~(width="50mm" viewBox="0 0 100 200")~", {0, 0}, {100, 200}, {0, 100}, {50, 0}},
    };
    for (const Case& c : cases) {
        char body[160];
        std::snprintf(body, sizeof body, R"~(<line x1="%g" y1="%g" x2="%g" y2="%g" stroke="black"/>)~", c.from.x,
                      c.from.y, c.to.x, c.to.y);
        auto job = importSvgText(svg(body, c.root));
        ASSERT_EQ(job.polylines.size(), 1u) << c.root;
        const auto& points = job.polylines[0].points;
        EXPECT_NEAR(points[0].x, c.fromMm.x, 1e-9) << c.root;
        EXPECT_NEAR(points[0].y, c.fromMm.y, 1e-9) << c.root;
        EXPECT_NEAR(points[1].x, c.toMm.x, 1e-9) << c.root;
        EXPECT_NEAR(points[1].y, c.toMm.y, 1e-9) << c.root;
    }
}

TEST(SvgImport, TransformsComposeInDocumentOrder) {
    struct Case {
        const char* transform;
        Point expected;  // where (1, 2) lands
    } cases[] = {
        {"translate(10,20)", {11, 22}},
        {"translate(5)", {6, 2}},
        {"scale(2,3)", {2, 6}},
        {"scale(2)", {2, 4}},
        {"rotate(90)", {-2, 1}},
        {"rotate(90 1 1)", {0, 1}},
        {"skewX(45)", {3, 2}},
        {"skewY(45)", {1, 3}},
        {"matrix(1 2 3 4 5 6)", {12, 16}},
        {"translate(10,0) scale(2)", {12, 4}},
        {"scale(2),translate(10,0)", {22, 4}},
    };
    for (const Case& c : cases) {
        auto lines = pageLines(std::string(R"~(<g transform=")~") + c.transform +
                               R"~("><path stroke="black" d="M 1 2 L 0 0"/></g>)~");
        ASSERT_EQ(lines.size(), 1u) << c.transform;
        EXPECT_NEAR(lines[0][0].x, c.expected.x, 1e-9) << c.transform;
        EXPECT_NEAR(lines[0][0].y, c.expected.y, 1e-9) << c.transform;
    }
    // Nested: the element's own transform first, then each enclosing group outwards.
    auto nested = pageLines(R"~(<g transform="translate(10,0)"><g transform="scale(2)">)~"
                            R"~(<line x1="1" y1="2" x2="0" y2="0" stroke="black" transform="rotate(90)"/></g></g>)~");
    EXPECT_NEAR(nested[0][0].x, 6, 1e-9);
    EXPECT_NEAR(nested[0][0].y, 2, 1e-9);
}

TEST(SvgImport, PathSyntaxVariantsDrawTheSamePoints) {
    struct Case {
        const char* data;
        std::vector<std::vector<Point>> expected;
    } cases[] = {
        {"M1 2L3 4", {{{1, 2}, {3, 4}}}},
        {"M 1,2 , 3,4", {{{1, 2}, {3, 4}}}},
        {"M-.5.5l1-1", {{{-0.5, 0.5}, {0.5, -0.5}}}},
        {"M1e-3 0 1E1 0", {{{0.001, 0}, {10, 0}}}},
        {"m 1 1 2 0 0 2 z", {{{1, 1}, {3, 1}, {3, 3}, {1, 1}}}},
        {"M0 0 H 10 V 10 h -5 v -5", {{{0, 0}, {10, 0}, {10, 10}, {5, 10}, {5, 5}}}},
        // After a close, relative commands start from the subpath's first point.
        {"M 10 10 l 5 0 z l 0 5", {{{10, 10}, {15, 10}, {10, 10}}, {{10, 10}, {10, 15}}}},
        {"M 0 0 L 5 5 M 20 20 L 30 20", {{{0, 0}, {5, 5}}, {{20, 20}, {30, 20}}}},
    };
    for (const Case& c : cases) {
        auto lines = pageLines(std::string(R"~(<path stroke="black" d=")~") + c.data + R"~("/>)~");
        ASSERT_EQ(lines.size(), c.expected.size()) << c.data;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            ASSERT_EQ(lines[i].size(), c.expected[i].size()) << c.data;
            for (std::size_t j = 0; j < lines[i].size(); ++j) {
                EXPECT_NEAR(lines[i][j].x, c.expected[i][j].x, 1e-9) << c.data;
                EXPECT_NEAR(lines[i][j].y, c.expected[i][j].y, 1e-9) << c.data;
            }
        }
    }
    // Arc flags need no separators.
    EXPECT_EQ(coordinates(pageLines(R"~(<path stroke="black" d="M0 0a5 5 0 1010 0"/>)~")),
              coordinates(pageLines(R"~(<path stroke="black" d="M0 0 a 5 5 0 1 0 10 0"/>)~")));
}

TEST(SvgImport, ArcsEndExactlyAndBulgeByTheirFlags) {
    struct Case {
        const char* flags;  // large-arc, sweep
        double bulge;       // signed offset of the arc's farthest point from the chord, y down
    } cases[] = {
        {"0 1", -1.3397},  // 10 - sqrt(75), towards smaller y
        {"1 1", -18.6603},
        {"0 0", 1.3397},
        {"1 0", 18.6603},
    };
    for (const Case& c : cases) {
        auto lines =
            pageLines(std::string(R"~(<path stroke="black" d="M 10 10 A 10 10 0 )~") + c.flags + R"~( 20 10"/>)~");
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_NEAR(lines[0].back().x, 20, 1e-12) << c.flags;
        EXPECT_NEAR(lines[0].back().y, 10, 1e-12) << c.flags;
        double farthest = 0;
        for (Point p : lines[0])
            if (std::abs(p.y - 10) > std::abs(farthest)) farthest = p.y - 10;
        EXPECT_NEAR(farthest, c.bulge, 0.011) << c.flags;
    }
    // Radii too small to reach the end point grow until they do: a half circle of radius 5.
    auto grown = pageLines(R"~(<path stroke="black" d="M 10 10 A 1 1 0 0 1 20 10"/>)~");
    for (Point p : grown[0]) EXPECT_NEAR(std::hypot(p.x - 15, p.y - 10), 5, 1e-9);
    // Chords cut inside the circle by no more than the tolerance (0.01 mm).
    for (std::size_t i = 1; i < grown[0].size(); ++i) {
        Point a = grown[0][i - 1], b = grown[0][i];
        EXPECT_GE(std::hypot((a.x + b.x) / 2 - 15, (a.y + b.y) / 2 - 10), 5 - 0.01);
    }
    EXPECT_NEAR(grown[0][grown[0].size() / 2].y, 5, 0.2);  // over the top, y down
    // A rotated ellipse: every point satisfies its equation in the ellipse's own frame.
    double c30 = std::cos(kPi / 6), s30 = std::sin(kPi / 6);
    char data[160];
    std::snprintf(data, sizeof data, R"~(<path stroke="black" d="M %.9f %.9f A 20 10 30 0 1 %.9f %.9f"/>)~",
                  50 + 20 * c30, 50 + 20 * s30, 50 - 10 * s30, 50 + 10 * c30);
    auto rotated = pageLines(data);
    ASSERT_GT(rotated[0].size(), 4u);
    for (Point p : rotated[0]) {
        double u = (p.x - 50) * c30 + (p.y - 50) * s30, v = -(p.x - 50) * s30 + (p.y - 50) * c30;
        EXPECT_NEAR(std::hypot(u / 20, v / 10), 1, 1e-6);
    }
}

TEST(SvgImport, CurvesStayWithinTheToleranceInMillimetres) {
    struct Case {
        const char* root;
        const char* data;
        Point p0, c1, c2, p3;  // the last segment as a cubic, in mm with y down
        double tolerance;
    } cases[] = {
        {kMmPage.c_str(), "M 0 0 C 0 50 100 50 100 0", {0, 0}, {0, 50}, {100, 50}, {100, 0}, 0.05},
        {kMmPage.c_str(), "M 0 0 C 0 50 100 50 100 0", {0, 0}, {0, 50}, {100, 50}, {100, 0}, 0.002},
        // The smooth curve mirrors the previous second control point.
        {kMmPage.c_str(), "M 0 50 C 0 70 20 70 20 50 S 40 30 40 50", {20, 50}, {20, 30}, {40, 30}, {40, 50}, 0.01},
        // A quadratic with control c is the cubic with controls two thirds of the way to c.
        {kMmPage.c_str(),
         "M 0 50 Q 10 30 20 50 T 40 50",
         {20, 50},
         {20 + 20.0 / 3, 50 + 40.0 / 3},
         {40 - 20.0 / 3, 50 + 40.0 / 3},
         {40, 50},
         0.01},
        // Ten times enlarged by the viewBox: the tolerance still holds in millimetres.
        {R"~(width="100mm" height="100mm" viewBox="0 0 10 10")~",
         "M 0 0 C 0 5 10 5 10 0",
         {0, 0},
         {0, 50},
         {100, 50},
         {100, 0},
         0.01},
    };
    for (const Case& c : cases) {
        SvgOptions options;
        options.tolerance = c.tolerance;
        auto job =
            importSvgText(svg(std::string(R"~(<path stroke="black" d=")~") + c.data + R"~("/>)~", c.root), options);
        ASSERT_EQ(job.polylines.size(), 1u);
        std::vector<Point> line;
        for (Point p : job.polylines[0].points) line.push_back({p.x, 100 - p.y});
        // Samples of the true curve lie within the tolerance of the polyline...
        for (int i = 0; i <= 1000; ++i)
            EXPECT_LE(distanceToPolyline(cubicAt(c.p0, c.c1, c.c2, c.p3, i / 1000.0), line), c.tolerance) << c.data;
        // ...and the polyline ends exactly where the curve does.
        EXPECT_NEAR(line.back().x, c.p3.x, 1e-9);
        EXPECT_NEAR(line.back().y, c.p3.y, 1e-9);
    }
    // Adaptive: a coarser tolerance needs fewer points.
    auto coarse = pageLines(R"~(<path stroke="black" d="M 0 0 C 0 50 100 50 100 0"/>)~", 0.1);
    auto fine = pageLines(R"~(<path stroke="black" d="M 0 0 C 0 50 100 50 100 0"/>)~", 0.001);
    EXPECT_LT(coarse[0].size() * 4, fine[0].size());
}

TEST(SvgImport, RoundedRectsKeepTheirRadiusAndBox) {
    struct Case {
        const char* radii;
        double radius;  // 0: sharp corners
    } cases[] = {
        {R"~(rx="5")~", 5}, {R"~(ry="5")~", 5}, {R"~(rx="5" ry="5")~", 5}, {"", 0}, {R"~(rx="-1" ry="4")~", 4}};
    for (const Case& c : cases) {
        auto lines =
            pageLines(std::string(R"~(<rect x="10" y="10" width="40" height="20" stroke="black" )~") + c.radii + "/>");
        ASSERT_EQ(lines.size(), 1u) << c.radii;
        const auto& line = lines[0];
        EXPECT_TRUE(same(line.front(), line.back())) << c.radii;
        if (c.radius == 0) {
            EXPECT_EQ(line.size(), 5u);
        }
        // Every outline point is `radius` away from the rectangle shrunk by the radius.
        for (Point p : line) {
            Point q{std::clamp(p.x, 10 + c.radius, 50 - c.radius), std::clamp(p.y, 10 + c.radius, 30 - c.radius)};
            double d = std::hypot(p.x - q.x, p.y - q.y);
            if (c.radius > 0) {
                EXPECT_NEAR(d, c.radius, 1e-9) << c.radii;
            }
            EXPECT_TRUE(p.x >= 10 - 1e-12 && p.x <= 50 + 1e-12 && p.y >= 10 - 1e-12 && p.y <= 30 + 1e-12);
        }
    }
    // Radii larger than half a side stop there: the short sides become half ellipses.
    auto pill = pageLines(R"~(<rect x="10" y="10" width="40" height="20" rx="30" stroke="black"/>)~");
    for (Point p : pill[0]) EXPECT_NEAR(std::hypot((p.x - 30) / 20, (p.y - 20) / 10), 1, 1e-9);
}

TEST(SvgImport, PensFollowColoursInOrderOfFirstUse) {
    auto job = importSvgText(svg(R"~(
        <line x1="0" y1="0" x2="1" y2="1" stroke="red"/>
        <line x1="0" y1="0" x2="1" y2="1" stroke="#F00"/>
        <rect width="1" height="1" fill="rgb(0, 128, 0)"/>
        <g stroke="#00f"><circle r="1"/><ellipse rx="2" ry="1" style="stroke:#FF0000"/></g>
        <g style="color:#abc"><line x2="1" stroke="currentColor"/></g>
        <rect width="1" height="1" fill="none"/>
        <line x2="1" stroke="black" style="display:none"/>
        <g style="display:none"><line x2="1" stroke="black"/></g>
        <g visibility="hidden"><line x2="1" stroke="black"/><line x2="1" stroke="black" visibility="visible"/></g>
        <defs><line x2="1" stroke="black"/></defs>
        <text x="1" y="1">not drawn</text>)~"));
    std::vector<std::string> names;
    for (const auto& pen : job.pens) names.push_back(pen.name);
    EXPECT_EQ(names, (std::vector<std::string>{"#ff0000", "#008000", "#0000ff", "#aabbcc", "#000000"}));
    std::vector<std::size_t> pens;
    for (const auto& line : job.polylines) pens.push_back(line.pen);
    EXPECT_EQ(pens, (std::vector<std::size_t>{0, 0, 1, 2, 0, 3, 4}));
    EXPECT_EQ(job.pens[0].markSpeed, planner::Pen{}.markSpeed);
}

TEST(SvgImport, StyleSheetsColourByNameClassAndIdInThatOrder) {
    auto job = importSvgText(svg(R"~(<style><![CDATA[
        /* shared styles */ .st0 { fill: none; stroke: #0000FF } line { stroke: red }
        #special, .unused { stroke: lime } @media print { .st0 { stroke: black } } g > .st0 { stroke: navy }
        ]]></style>
        <rect class="other st0" width="1" height="1"/><line x2="1"/><line id="special" class="st0" x2="1"/>
        <rect class="st0" style="stroke:#123456" width="1" height="1"/>)~"));
    std::vector<std::string> names;
    for (const auto& pen : job.pens) names.push_back(pen.name);
    EXPECT_EQ(names, (std::vector<std::string>{"#0000ff", "#ff0000", "#00ff00", "#123456"}));
}

TEST(SvgImport, UseDrawsItsTargetMoved) {
    auto lines = pageLines(R"~(<defs><path id="t" d="M 0 0 L 1 0" stroke="black"/></defs>
        <use href="#t" x="10" y="5"/><use xlink:href="#t" transform="translate(0,20)"/><use href="#missing"/>)~");
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(same(lines[0][0], {10, 5}));
    EXPECT_TRUE(same(lines[1][1], {1, 20}));
}

TEST(SvgImport, ContentWithoutOutlinesIsReportedNotDrawn) {
    std::vector<std::string> warnings;
    SvgOptions options;
    options.warnings = &warnings;
    auto job = importSvgText(svg(R"~(<text x="1" y="1">SN</text><g><text>2</text></g><image href="a.png"/>
        <text display="none">hidden</text><path d="M 0 0 L 1 0" stroke="black"/>)~"),
                             options);
    EXPECT_EQ(job.polylines.size(), 1u);
    EXPECT_EQ(warnings, (std::vector<std::string>{"1 <image> element not drawn",
                                                  "2 <text> elements not drawn (convert text to paths to mark it)"}));
}

TEST(SvgImport, RealWorldFileImports) {
    auto job = importSvgFile(EXECUTOR_TEST_DATA "/badge.svg");
    std::vector<std::string> names;
    for (const auto& pen : job.pens) names.push_back(pen.name);
    EXPECT_EQ(names, (std::vector<std::string>{"#000000", "#ff0000"}));
    // frame, hole, tick (through use), wave, badge arc; the hidden ellipse and the defs are not drawn.
    ASSERT_EQ(job.polylines.size(), 5u);
    // The page is 80 x 40 mm; everything drawn stays on it.
    for (const auto& line : job.polylines)
        for (Point p : line.points) EXPECT_TRUE(p.x >= 0 && p.x <= 80 && p.y >= 0 && p.y <= 40);
    // The tick: use at (30, 0) inside translate(20, 40), half scale, y flipped on a 40 mm page.
    EXPECT_NEAR(job.polylines[2].points[0].x, 25, 1e-9);
    EXPECT_NEAR(job.polylines[2].points[0].y, 20, 1e-9);
}

TEST(SvgImport, EveryFaultGivesOneClearMessage) {
    struct Case {
        std::string text;
        std::vector<std::string> mentions;
    } cases[] = {
        {"<svg", {"not an XML document", "line 1"}},
        {"<html><body/></html>", {"root element is <html>, not <svg>"}},
        {svg("\n<path id=\"p1\" stroke=\"black\" d=\"M 0 0 L 10 x 5\"/>"), {"line 2", "<path id=\"p1\">", "\"x 5\""}},
        {svg("<path stroke=\"black\" d=\"L 1 1\"/>"), {"<path>", "must start with a move"}},
        {svg("<path stroke=\"black\" d=\"M 0 0 A 1 1 0 2 0 5 5\"/>"), {"arc flag", "\"2 0 5 5\""}},
        {svg("<path stroke=\"black\" d=\"M 0 0 L 1e999 0\"/>"), {"expected a number", "1e999"}},
        {svg("<path stroke=\"black\" d=\"M 0 0 X 1\"/>"), {"unknown command", "\"X 1\""}},
        {svg("<polygon stroke=\"black\" points=\"0 0 1\"/>"), {"<polygon>", "points", "pair of numbers"}},
        {svg("<g transform=\"rotate(1 2)\"/>"), {"<g>", "rotate"}},
        {svg("<g transform=\"spin(3)\"/>"), {"<g>", "unknown transform"}},
        {svg("", R"~(width="10furlong" height="1mm")~"), {"<svg>", "unknown unit \"furlong\""}},
        {svg("", R"~(viewBox="0 0 -1 5")~"), {"viewBox"}},
        {svg(R"~(<g id="a"><use href="#a"/></g>)~"), {"<use>", "loop"}},
    };
    for (const Case& c : cases) {
        std::string message = importError([&] { importSvgText(c.text); });
        for (const std::string& mention : c.mentions)
            EXPECT_NE(message.find(mention), std::string::npos) << message << " lacks " << mention;
    }
    std::string missing = importError([] { importSvgFile("/nonexistent/drawing.svg"); });
    EXPECT_EQ(missing, "/nonexistent/drawing.svg: cannot open the file");
    std::string broken = importError([] { importSvgFile(EXECUTOR_TEST_DATA "/broken.svg"); });
    EXPECT_EQ(broken.rfind(EXECUTOR_TEST_DATA "/broken.svg: line 5, <path id=\"outline\">", 0), 0u) << broken;
    for (double tolerance : {0.0, -1.0, double(NAN)}) {
        SvgOptions options;
        options.tolerance = tolerance;
        EXPECT_NE(importError([&] { importSvgText(svg(""), options); }).find("tolerance"), std::string::npos);
    }
}

TEST(SvgImport, HostileInputEndsInAnErrorOrFiniteLines) {
    std::string deep;
    for (int i = 0; i < 5000; ++i) deep.insert(0, "<g>").append("</g>");
    std::string bomb = R"~(<defs><path id="a0" d="M0 0 L1 1" stroke="black"/>)~";
    for (int i = 1; i < 12; ++i) {
        std::string previous = "#a" + std::to_string(i - 1);
        bomb += "<g id=\"a" + std::to_string(i) + "\">";
        for (int k = 0; k < 8; ++k) bomb += "<use href=\"" + previous + "\"/>";
        bomb += "</g>";
    }
    bomb += R"~(</defs><use href="#a11"/>)~";
    const std::string inputs[] = {
        svg(R"~(<path stroke="black" d="M 0 0 L 1e308 1e308"/>)~",
            R"~(width="1e300mm" height="1e300mm" viewBox="0 0 1 1")~"),
        svg(R"~(<path stroke="black" d="M 0 0 A 1e300 1e300 0 1 1 1e-300 0 C 1e300 -1e300 0 0 0 0"/>)~"),
        svg(R"~(<circle stroke="black" r="1e12"/>)~"),
        svg(R"~(<rect stroke="black" width="1e-300" height="1e-300" rx="1e-301"/>)~"),
        svg(R"~(<path stroke="black" d="M 0 0 A 0 5 0 0 0 0 0 zzzz"/>)~"),
        svg(deep),
        svg(bomb),
        svg(R"~(<path stroke="black" d="M 0 0 Q)~" + std::string(10000, '1') + R"~( 0 0 0"/>)~"),
    };
    for (const std::string& input : inputs) {
        try {
            auto job = importSvgText(input);
            for (const auto& line : job.polylines)
                for (Point p : line.points) ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
        } catch (const ImportError& error) {
            EXPECT_GT(std::string(error.what()).size(), 10u);
        }
    }
}

}  // namespace
