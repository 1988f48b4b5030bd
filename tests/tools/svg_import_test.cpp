// SVG import: units and viewBox, transforms, path syntax, curve and arc flattening, rounded
// rects, pens from colours, every error path, and hostile input.

#include "import/svg_import.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "import/import_error.h"

namespace {

using importer::importSvgText;
using importer::SvgOptions;
using planner::Point;
using Lines = std::vector<std::vector<Point>>;

// One document unit is one millimetre on a 100 mm page.
const std::string kMmPage = R"~(width="100mm" height="100mm" viewBox="0 0 100 100")~";

std::string svg(const std::string& body, const std::string& root = kMmPage) {
    return R"~(<svg xmlns="http://www.w3.org/2000/svg" )~" + root + ">" + body + "</svg>";
}

std::string path(const std::string& d) { return R"~(<path stroke="black" d=")~" + d + R"~("/>)~"; }

// The polylines of a drawing, back in document coordinates (y down) of a 100 mm page.
Lines pageLines(const std::string& body, double tolerance = 0.01, const std::string& root = kMmPage) {
    SvgOptions options;
    options.tolerance = tolerance;
    Lines result;
    for (const auto& line : importSvgText(svg(body, root), options).polylines) {
        result.emplace_back();
        for (Point p : line.points) result.back().push_back({p.x, 100 - p.y});
    }
    return result;
}

std::string importError(const std::function<void()>& run) {
    try {
        run();
    } catch (const importer::ImportError& error) {
        return error.what();
    }
    return "(no error)";
}

std::vector<double> flat(const Lines& lines) {
    std::vector<double> result;
    for (const auto& line : lines)
        for (Point p : line) result.insert(result.end(), {p.x, p.y});
    return result;
}

void expectNear(const std::vector<double>& got, const std::vector<double>& want, const std::string& what) {
    ASSERT_EQ(got.size(), want.size()) << what;
    for (std::size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], want[i], 1e-9) << what << " [" << i << "]";
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

std::vector<std::string> penNames(const planner::Job& job) {
    std::vector<std::string> names;
    for (const auto& pen : job.pens) names.push_back(pen.name);
    return names;
}

}  // namespace

TEST(SvgImport, UnitsAndViewBoxGiveMillimetresWithYUp) {
    const std::string wide = R"~(width="100mm" height="50mm" viewBox="0 0 10 10")~";
    const struct {
        std::string root;
        std::vector<double> line, mm;  // document units; millimetres, y up
    } cases[] = {
        {R"~(width="100mm" height="50mm" viewBox="0 0 100 50")~", {10, 10, 0, 0}, {10, 40, 0, 50}},
        {R"~(width="4in" height="2in" viewBox="0 0 400 200")~", {100, 50, 0, 0}, {25.4, 38.1, 0, 50.8}},
        {R"~(width="2cm" height="1cm" viewBox="0 0 2 1")~", {1, 0, 2, 1}, {10, 10, 20, 0}},
        {R"~(width="0.5mm" height="0.5mm" viewBox="0 0 1 1")~", {1, 1, 0, 0}, {0.5, 0, 0, 0.5}},
        {R"~(width="72pt" height="6pc" viewBox="0 0 1 1")~", {1, 1, 0, 0}, {25.4, 0, 0, 25.4}},
        // No viewBox: a unit is a px; no size: the viewBox's units are px.
        {R"~(width="96px" height="96")~", {96, 0, 0, 96}, {25.4, 25.4, 0, 0}},
        {R"~(viewBox="10 20 96 96")~", {10, 20, 106, 116}, {0, 25.4, 25.4, 0}},
        // preserveAspectRatio: centred and uniform by default, then aligned, sliced or stretched.
        {wide, {0, 0, 10, 10}, {25, 50, 75, 0}},
        {wide + R"~( preserveAspectRatio="xMaxYMax")~", {0, 0, 10, 10}, {50, 50, 100, 0}},
        {wide + R"~( preserveAspectRatio="xMinYMin slice")~", {1, 1, 0, 0}, {10, 40, 0, 50}},
        {wide + R"~( preserveAspectRatio="none")~", {1, 1, 0, 0}, {10, 45, 0, 50}},
        // Only the width: the height follows the viewBox's aspect.
        {R"~(width="50mm" viewBox="0 0 100 200")~", {0, 0, 100, 200}, {0, 100, 50, 0}},
    };
    for (const auto& c : cases) {
        const auto& l = c.line;
        const std::string d = "M " + std::to_string(l[0]) + " " + std::to_string(l[1]) + " L " + std::to_string(l[2]) +
                              " " + std::to_string(l[3]);
        const auto lines = pageLines(path(d), 0.01, c.root);
        std::vector<double> mm = flat(lines);
        for (std::size_t i = 1; i < mm.size(); i += 2) mm[i] = 100 - mm[i];
        expectNear(mm, c.mm, c.root);
    }
}

TEST(SvgImport, TransformsComposeInDocumentOrder) {
    const struct {
        const char* transform;
        std::vector<double> expected;  // where (1, 2) lands
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
    for (const auto& c : cases) {
        const auto lines =
            pageLines(std::string(R"~(<g transform=")~") + c.transform + "\">" + path("M 1 2 L 0 0") + "</g>");
        expectNear({lines.at(0)[0].x, lines.at(0)[0].y}, c.expected, c.transform);
    }
    // Nested: the element's own transform first, then each enclosing group outwards.
    auto nested = pageLines(R"~(<g transform="translate(10,0)"><g transform="scale(2)">)~"
                            R"~(<line x1="1" y1="2" x2="0" y2="0" stroke="black" transform="rotate(90)"/></g></g>)~");
    expectNear({nested[0][0].x, nested[0][0].y}, {6, 2}, "nested");
}

TEST(SvgImport, PathSyntaxVariantsDrawTheSamePoints) {
    const struct {
        const char* data;
        Lines expected;
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
        // Arc flags need no separators.
        {"M0 0a5 5 0 1010 0", pageLines(path("M0 0 a 5 5 0 1 0 10 0"))},
    };
    for (const auto& c : cases) {
        const Lines lines = pageLines(path(c.data));
        ASSERT_EQ(lines.size(), c.expected.size()) << c.data;
        expectNear(flat(lines), flat(c.expected), c.data);
    }
}

TEST(SvgImport, ArcsEndExactlyAndBulgeByTheirFlags) {
    // large-arc, sweep; the signed offset of the farthest point from the chord, y down: 10 - sqrt(75)
    const std::pair<const char*, double> cases[] = {
        {"0 1", -1.3397}, {"1 1", -18.6603}, {"0 0", 1.3397}, {"1 0", 18.6603}};
    for (const auto& [flags, bulge] : cases) {
        const auto lines = pageLines(path(std::string("M 10 10 A 10 10 0 ") + flags + " 20 10"));
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_NEAR(lines[0].back().x, 20, 1e-12) << flags;
        EXPECT_NEAR(lines[0].back().y, 10, 1e-12) << flags;
        double farthest = 0;
        for (Point p : lines[0])
            if (std::abs(p.y - 10) > std::abs(farthest)) farthest = p.y - 10;
        EXPECT_NEAR(farthest, bulge, 0.011) << flags;
    }
    // Radii too small to reach the end point grow until they do: a half circle of radius 5, over
    // the top (y down), its chords inside the circle by no more than the tolerance.
    const auto grown = pageLines(path("M 10 10 A 1 1 0 0 1 20 10"))[0];
    for (std::size_t i = 0; i < grown.size(); ++i) {
        EXPECT_NEAR(std::hypot(grown[i].x - 15, grown[i].y - 10), 5, 1e-9);
        if (i > 0) {
            const double mx = (grown[i - 1].x + grown[i].x) / 2, my = (grown[i - 1].y + grown[i].y) / 2;
            EXPECT_GE(std::hypot(mx - 15, my - 10), 5 - 0.01);
        }
    }
    EXPECT_NEAR(grown[grown.size() / 2].y, 5, 0.2);
    // A rotated ellipse: every point satisfies its equation in the ellipse's own frame.
    const double c30 = std::cos(M_PI / 6), s30 = std::sin(M_PI / 6);
    char d[128];
    std::snprintf(d, sizeof d, "M %.9f %.9f A 20 10 30 0 1 %.9f %.9f", 50 + 20 * c30, 50 + 20 * s30, 50 - 10 * s30,
                  50 + 10 * c30);
    const auto rotated = pageLines(path(d))[0];
    ASSERT_GT(rotated.size(), 4u);
    for (Point p : rotated) {
        double u = (p.x - 50) * c30 + (p.y - 50) * s30, v = -(p.x - 50) * s30 + (p.y - 50) * c30;
        EXPECT_NEAR(std::hypot(u / 20, v / 10), 1, 1e-6);
    }
}

TEST(SvgImport, CurvesStayWithinTheToleranceInMillimetres) {
    const double t = 20.0 / 3;
    const struct {
        const char* data;
        Point p0, c1, c2, p3;  // the last segment as a cubic, in mm with y down
        double tolerance;
        const char* root;
    } cases[] = {
        {"M 0 0 C 0 50 100 50 100 0", {0, 0}, {0, 50}, {100, 50}, {100, 0}, 0.05, nullptr},
        {"M 0 0 C 0 50 100 50 100 0", {0, 0}, {0, 50}, {100, 50}, {100, 0}, 0.002, nullptr},
        // The smooth curve mirrors the previous second control point.
        {"M 0 50 C 0 70 20 70 20 50 S 40 30 40 50", {20, 50}, {20, 30}, {40, 30}, {40, 50}, 0.01, nullptr},
        // A quadratic with control c is the cubic with controls two thirds of the way to c.
        {"M 0 50 Q 10 30 20 50 T 40 50", {20, 50}, {20 + t, 50 + 2 * t}, {40 - t, 50 + 2 * t}, {40, 50}, 0.01, nullptr},
        // Ten times enlarged by the viewBox: the tolerance still holds in millimetres.
        {"M 0 0 C 0 5 10 5 10 0",
         {0, 0},
         {0, 50},
         {100, 50},
         {100, 0},
         0.01,
         R"~(width="100mm" height="100mm" viewBox="0 0 10 10")~"},
    };
    for (const auto& c : cases) {
        const auto line = pageLines(path(c.data), c.tolerance, c.root ? c.root : kMmPage).at(0);
        // Samples of the true curve lie within the tolerance of the polyline...
        for (int i = 0; i <= 1000; ++i) {
            const double s = i / 1000.0, u = 1 - s, a = u * u * u, b = 3 * u * u * s, k = 3 * u * s * s, e = s * s * s;
            const Point q{a * c.p0.x + b * c.c1.x + k * c.c2.x + e * c.p3.x,
                          a * c.p0.y + b * c.c1.y + k * c.c2.y + e * c.p3.y};
            EXPECT_LE(distanceToPolyline(q, line), c.tolerance) << c.data;
        }
        // ...and the polyline ends exactly where the curve does.
        expectNear({line.back().x, line.back().y}, {c.p3.x, c.p3.y}, c.data);
    }
    // Adaptive: a coarser tolerance needs fewer points.
    EXPECT_LT(pageLines(path("M 0 0 C 0 50 100 50 100 0"), 0.1)[0].size() * 4,
              pageLines(path("M 0 0 C 0 50 100 50 100 0"), 0.001)[0].size());
}

TEST(SvgImport, RoundedRectsKeepTheirRadiusAndBox) {
    const std::pair<const char*, double> cases[] = {
        {R"~(rx="5")~", 5}, {R"~(ry="5")~", 5}, {R"~(rx="5" ry="5")~", 5}, {"", 0}, {R"~(rx="-1" ry="4")~", 4}};
    for (const auto& [radii, radius] : cases) {
        const auto lines =
            pageLines(std::string(R"~(<rect x="10" y="10" width="40" height="20" stroke="black" )~") + radii + "/>");
        ASSERT_EQ(lines.size(), 1u) << radii;
        const auto& line = lines[0];
        expectNear({line.front().x, line.front().y}, {line.back().x, line.back().y}, radii);
        EXPECT_TRUE(radius > 0 || line.size() == 5u) << radii;
        // Every outline point is `radius` away from the rectangle shrunk by the radius.
        for (Point p : line) {
            Point q{std::clamp(p.x, 10 + radius, 50 - radius), std::clamp(p.y, 10 + radius, 30 - radius)};
            EXPECT_NEAR(std::hypot(p.x - q.x, p.y - q.y), radius, 1e-9) << radii;
            EXPECT_TRUE(p.x >= 10 - 1e-12 && p.x <= 50 + 1e-12 && p.y >= 10 - 1e-12 && p.y <= 30 + 1e-12);
        }
    }
    // Radii larger than half a side stop there: the short sides become half ellipses.
    auto pill = pageLines(R"~(<rect x="10" y="10" width="40" height="20" rx="30" stroke="black"/>)~");
    for (Point p : pill[0]) EXPECT_NEAR(std::hypot((p.x - 30) / 20, (p.y - 20) / 10), 1, 1e-9);
}

// Colours by attribute, style, inheritance, currentColor and style sheets (name, class, id in that
// order); hidden and undrawable content leaves no pen; <use> draws its target moved.
TEST(SvgImport, PensFollowColoursAndVisibleContent) {
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
    EXPECT_EQ(penNames(job), (std::vector<std::string>{"#ff0000", "#008000", "#0000ff", "#aabbcc", "#000000"}));
    std::vector<std::size_t> pens;
    for (const auto& line : job.polylines) pens.push_back(line.pen);
    EXPECT_EQ(pens, (std::vector<std::size_t>{0, 0, 1, 2, 0, 3, 4}));
    EXPECT_EQ(job.pens[0].markSpeed, planner::Pen{}.markSpeed);

    job = importSvgText(svg(R"~(<style><![CDATA[
        /* shared styles */ .st0 { fill: none; stroke: #0000FF } line { stroke: red }
        #special, .unused { stroke: lime } @media print { .st0 { stroke: black } } g > .st0 { stroke: navy }
        ]]></style>
        <rect class="other st0" width="1" height="1"/><line x2="1"/><line id="special" class="st0" x2="1"/>
        <rect class="st0" style="stroke:#123456" width="1" height="1"/>)~"));
    EXPECT_EQ(penNames(job), (std::vector<std::string>{"#0000ff", "#ff0000", "#00ff00", "#123456"}));

    const auto used = pageLines(R"~(<defs><path id="t" d="M 0 0 L 1 0" stroke="black"/></defs>
        <use href="#t" x="10" y="5"/><use xlink:href="#t" transform="translate(0,20)"/><use href="#missing"/>)~");
    expectNear(flat(used), {10, 5, 11, 5, 0, 20, 1, 20}, "use");
}

TEST(SvgImport, ContentWithoutOutlinesIsReportedNotDrawn) {
    std::vector<std::string> warnings;
    SvgOptions options;
    options.warnings = &warnings;
    auto job = importSvgText(svg(R"~(<text x="1" y="1">SN</text><g><text>2</text></g><image href="a.png"/>
        <text display="none">hidden</text><path d="M 0 0 L 1 0" stroke="black"/>
        <rect width="0" height="5" stroke="black"/><ellipse rx="2" ry="0" stroke="black"/>
        <g transform="scale(0)"><path d="M 0 0 L 1 0" stroke="black"/></g><circle r="1" transform="scale(1 0)"/>)~"),
                             options);
    EXPECT_EQ(job.polylines.size(), 1u);
    EXPECT_EQ(warnings, (std::vector<std::string>{"1 <image> element not drawn",
                                                  "2 <text> elements not drawn (convert text to paths to mark it)",
                                                  "2 elements with a zero-scale transform not drawn"}));
}

TEST(SvgImport, RealWorldFileImports) {
    auto job = importer::importSvgFile(EXECUTOR_TEST_DATA "/badge.svg");
    EXPECT_EQ(penNames(job), (std::vector<std::string>{"#000000", "#ff0000"}));
    // frame, hole, tick (through use), wave, badge arc; the hidden ellipse and the defs are not drawn.
    ASSERT_EQ(job.polylines.size(), 5u);
    // The page is 80 x 40 mm; everything drawn stays on it.
    for (const auto& line : job.polylines)
        for (Point p : line.points) EXPECT_TRUE(p.x >= 0 && p.x <= 80 && p.y >= 0 && p.y <= 40);
    // The tick: use at (30, 0) inside translate(20, 40), half scale, y flipped on a 40 mm page.
    expectNear({job.polylines[2].points[0].x, job.polylines[2].points[0].y}, {25, 20}, "tick");
}

TEST(SvgImport, EveryFaultGivesOneClearMessage) {
    const struct {
        std::string text;
        std::vector<std::string> mentions;
    } cases[] = {
        {"<svg", {"not an XML document", "line 1"}},
        {"<html><body/></html>", {"root element is <html>, not <svg>"}},
        {svg("\n<path id=\"p1\" stroke=\"black\" d=\"M 0 0 L 10 x 5\"/>"), {"line 2", "<path id=\"p1\">", "\"x 5\""}},
        {svg(path("L 1 1")), {"<path>", "must start with a move"}},
        {svg(path("M 0 0 A 1 1 0 2 0 5 5")), {"arc flag", "\"2 0 5 5\""}},
        {svg(path("M 0 0 L 1e999 0")), {"expected a number", "1e999"}},
        {svg(path("M 0 0 X 1")), {"unknown command", "\"X 1\""}},
        {svg("<polygon stroke=\"black\" points=\"0 0 1\"/>"), {"<polygon>", "points", "pair of numbers"}},
        {svg("<g transform=\"rotate(1 2)\"/>"), {"<g>", "rotate"}},
        {svg("<g transform=\"spin(3)\"/>"), {"<g>", "unknown transform"}},
        {svg("", R"~(width="10furlong" height="1mm")~"), {"<svg>", "unknown unit \"furlong\""}},
        {svg("", R"~(viewBox="0 0 -1 5")~"), {"viewBox"}},
        {svg(R"~(<g id="a"><use href="#a"/></g>)~"), {"<use>", "loop"}},
    };
    for (const auto& c : cases) {
        const std::string message = importError([&] { importSvgText(c.text); });
        for (const std::string& mention : c.mentions)
            EXPECT_NE(message.find(mention), std::string::npos) << message << " lacks " << mention;
    }
    EXPECT_EQ(importError([] { importer::importSvgFile("/nonexistent/drawing.svg"); }),
              "/nonexistent/drawing.svg: cannot open the file");
    const std::string broken = importError([] { importer::importSvgFile(EXECUTOR_TEST_DATA "/broken.svg"); });
    EXPECT_EQ(broken.rfind(EXECUTOR_TEST_DATA "/broken.svg: line 5, <path id=\"outline\">", 0), 0u) << broken;
    for (double tolerance : {0.0, -1.0, double(NAN)})
        EXPECT_NE(importError([&] { pageLines("", tolerance); }).find("tolerance"), std::string::npos);
}

TEST(SvgImport, HostileInputEndsInAnErrorOrFiniteLines) {
    std::string deep;
    for (int i = 0; i < 5000; ++i) deep.insert(0, "<g>").append("</g>");
    std::string bomb = R"~(<defs><path id="a0" d="M0 0 L1 1" stroke="black"/>)~";
    for (int i = 1; i < 12; ++i) {
        bomb += "<g id=\"a" + std::to_string(i) + "\">";
        for (int k = 0; k < 8; ++k) bomb += "<use href=\"#a" + std::to_string(i - 1) + "\"/>";
        bomb += "</g>";
    }
    bomb += R"~(</defs><use href="#a11"/>)~";
    const std::string inputs[] = {
        svg(path("M 0 0 L 1e308 1e308"), R"~(width="1e300mm" height="1e300mm" viewBox="0 0 1 1")~"),
        svg(path("M 0 0 A 1e300 1e300 0 1 1 1e-300 0 C 1e300 -1e300 0 0 0 0")),
        svg(R"~(<circle stroke="black" r="1e12"/>)~"),
        svg(R"~(<rect stroke="black" width="1e-300" height="1e-300" rx="1e-301"/>)~"),
        svg(path("M 0 0 A 0 5 0 0 0 0 0 zzzz")),
        svg(deep),
        svg(bomb),
        svg(path("M 0 0 Q" + std::string(10000, '1') + " 0 0 0")),
    };
    for (const std::string& input : inputs) {
        try {
            for (const auto& line : importSvgText(input).polylines)
                for (Point p : line.points) ASSERT_TRUE(std::isfinite(p.x) && std::isfinite(p.y));
        } catch (const importer::ImportError& error) {
            EXPECT_GT(std::string(error.what()).size(), 10u);
        }
    }
}
