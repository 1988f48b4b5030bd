// JSON jobs: the example file, shape geometry, units, text placement and every fault.

#include "import/json_job.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "import/import_error.h"

namespace {

using importer::ImportError;
using importer::importJsonFile;
using importer::importJsonText;
using planner::Point;

constexpr double kTolerance = 0.01;  // mm, the flattening promise for circles and arcs

std::string importError(const std::string& text) {
    try {
        importJsonText(text);
    } catch (const ImportError& error) {
        return error.what();
    }
    return "(no error)";
}

planner::Job oneShape(const std::string& shape, const std::string& units = "mm") {
    return importJsonText(R"({"units":")" + units + R"(", "layers":[{"shapes":[)" + shape + "]}]}");
}

TEST(JsonJob, ExampleFileGivesPensAndShapes) {
    auto job = importJsonFile(EXECUTOR_TEST_DATA "/job.json");
    ASSERT_EQ(job.pens.size(), 2u);
    EXPECT_EQ(job.pens[0].name, "outline");
    EXPECT_EQ(job.pens[0].markSpeed, 800);
    EXPECT_EQ(job.pens[0].laserOnDelay, 120);
    EXPECT_EQ(job.pens[0].pulseWidth, planner::Pen{}.pulseWidth);  // not given: the default
    EXPECT_EQ(job.pens[1].power, 25);
    // rect, circle, line, polyline, arc with the first pen, then the text's strokes with the second.
    ASSERT_GE(job.polylines.size(), 5u);
    for (std::size_t i = 0; i < job.polylines.size(); ++i) EXPECT_EQ(job.polylines[i].pen, i < 5 ? 0u : 1u);
    const auto& rect = job.polylines[0].points;
    ASSERT_EQ(rect.size(), 5u);
    EXPECT_EQ(rect[2].x, 20);
    EXPECT_EQ(rect[2].y, 10);
    const auto& triangle = job.polylines[3].points;
    ASSERT_EQ(triangle.size(), 4u);  // closed: back to the first point
    EXPECT_EQ(triangle.back().x, -15);
    EXPECT_EQ(triangle.back().y, 5);
}

TEST(JsonJob, CirclesAndArcsStayWithinTheTolerance) {
    auto circle = oneShape(R"({"type":"circle","center":[3,4],"radius":10})").polylines.at(0).points;
    EXPECT_EQ(circle.front().x, circle.back().x);
    EXPECT_EQ(circle.front().y, circle.back().y);
    for (std::size_t i = 1; i < circle.size(); ++i) {
        Point a = circle[i - 1], b = circle[i];
        EXPECT_NEAR(std::hypot(b.x - 3, b.y - 4), 10, 1e-9);
        EXPECT_GE(std::hypot((a.x + b.x) / 2 - 3, (a.y + b.y) / 2 - 4), 10 - kTolerance);
    }
    // From 90 degrees a quarter turn clockwise: (0, 5) to (5, 0) through the first quadrant.
    auto arc = oneShape(R"({"type":"arc","center":[0,0],"radius":5,"start":90,"sweep":-90})").polylines.at(0).points;
    EXPECT_NEAR(arc.front().x, 0, 1e-12);
    EXPECT_NEAR(arc.front().y, 5, 1e-12);
    EXPECT_NEAR(arc.back().x, 5, 1e-12);
    EXPECT_NEAR(arc.back().y, 0, 1e-12);
    for (Point p : arc) EXPECT_TRUE(p.x >= -1e-12 && p.y >= -1e-12);
}

// Units scale coordinates and sizes; layers without pens get a default pen; text strokes sit on
// the baseline with the layer's pen.
TEST(JsonJob, UnitsDefaultPenAndText) {
    auto line = oneShape(R"({"type":"line","from":[0,0],"to":[1,2]})", "in");
    EXPECT_EQ(line.pens.at(0).name, "default");
    EXPECT_EQ(line.polylines.at(0).pen, 0u);
    EXPECT_DOUBLE_EQ(line.polylines[0].points[1].x, 25.4);
    EXPECT_DOUBLE_EQ(line.polylines[0].points[1].y, 50.8);
    auto rect = oneShape(R"({"type":"rect","at":[1,1],"width":2,"height":1})", "cm").polylines.at(0).points;
    EXPECT_DOUBLE_EQ(rect[2].x, 30);
    EXPECT_DOUBLE_EQ(rect[2].y, 20);
    auto job = importJsonText(R"({"pens":[{"name":"a"},{"name":"b"}],
        "layers":[{"pen":"b","shapes":[{"type":"text","text":"SN 0042","at":[10,20],"height":3}]}]})");
    ASSERT_FALSE(job.polylines.empty());
    for (const auto& stroke : job.polylines) {
        EXPECT_EQ(stroke.pen, 1u);
        for (Point p : stroke.points) EXPECT_TRUE(p.x >= 10 - 1e-9 && p.y >= 20 - 1e-9 && p.y <= 23 + 1e-9) << p.y;
    }
}

TEST(JsonJob, EveryFaultNamesItsPlace) {
    struct Case {
        std::string text;
        std::string message;
    } cases[] = {
        {"{\"layers\": [",
         "not a JSON document: parse error at line 1, column 13: syntax error while parsing value - unexpected end "
         "of input; expected '[', '{', or a literal"},
        {"[1, 2]", "job: must be an object"},
        {R"({"unit":"mm"})", "job: unknown key \"unit\""},
        {R"({"units":"furlong"})", "job: unknown units \"furlong\" (mm, cm or in)"},
        {R"({"pens":[{"name":"a"},{"name":"a"}]})", "pen 2: a second pen named \"a\""},
        {R"({"pens":[{"name":"a","power":150}]})", "pen 1: \"power\" is out of range"},
        {R"({"pens":[{"name":"a","markSpeed":0}]})", "pen 1: \"markSpeed\" is out of range"},
        {R"({"pens":[{"name":"a","speed":10}]})", "pen 1: unknown key \"speed\""},
        {R"({"pens":[{"markSpeed":10}]})", "pen 1: missing \"name\""},
        {R"({"layers":[{"pen":"x","shapes":[]}]})", "layer 1: unknown pen \"x\""},
        {R"({"layers":[{"shapes":{}}]})", "layer 1: \"shapes\" must be a list"},
        {R"({"layers":[{"shapes":[{"type":"line","from":[0,0],"to":[1,1]},{"type":"star"}]}]})",
         "layer 1, shape 2: unknown shape type \"star\""},
        {R"({"layers":[{"shapes":[{"type":"circle","center":[0,0],"radius":"5"}]}]})",
         "layer 1, shape 1 (circle): \"radius\" must be a number"},
        {R"({"layers":[{"shapes":[{"type":"circle","center":[0,0],"radius":-1}]}]})",
         "layer 1, shape 1 (circle): \"radius\" must not be negative"},
        {R"({"layers":[{"shapes":[{"type":"circle","center":[0],"radius":1}]}]})",
         "layer 1, shape 1 (circle): \"center\" must be a pair of numbers [x, y]"},
        {R"({"layers":[{"shapes":[{"type":"circle","centre":[0,0],"radius":1}]}]})",
         "layer 1, shape 1 (circle): unknown key \"centre\""},
        {R"({"layers":[{"shapes":[{"type":"polyline","points":[[0,0],[1,"a"]]}]}]})",
         "layer 1, shape 1 (polyline): point 2 must be a pair of numbers [x, y]"},
        {R"({"layers":[{"shapes":[{"type":"polyline","points":[[0,0]]}]}]})",
         "layer 1, shape 1 (polyline): \"points\" needs two points or more"},
        {R"({"layers":[{"shapes":[{"type":"polyline","points":[[0,0],[1,1]],"closed":1}]}]})",
         "layer 1, shape 1 (polyline): \"closed\" must be true or false"},
        {R"({"layers":[{"shapes":[{"type":"arc","center":[0,0],"radius":1,"start":0,"sweep":720}]}]})",
         "layer 1, shape 1 (arc): \"sweep\" must be within -360 and 360 degrees"},
        {R"({"layers":[{"shapes":[{"type":"text","text":"A","at":[0,0],"height":0}]}]})",
         "layer 1, shape 1 (text): \"height\" must be above zero"},
        {R"({"layers":[{"shapes":[{"type":"rect","at":[1e308,0],"width":1e308,"height":1}]}]})",
         "coordinates too large to draw"},
        {R"({"units":"in","layers":[{"shapes":[{"type":"line","from":[0,0],"to":[1e308,1]}]}]})",
         "coordinates too large to draw"},
        {R"({"pens":[{"name":"a","power":10,"power":90}]})", "the key \"power\" appears twice in one object"},
        {R"({"layers":[{"shapes":[{"type":"text","text":")" + std::string(10001, 'A') +
             R"(","at":[0,0],"height":1}]}]})",
         "layer 1, shape 1 (text): \"text\" has 10001 characters; 10000 at most"},
    };
    for (const Case& c : cases) EXPECT_EQ(importError(c.text), c.message) << c.text;
    try {
        importJsonFile("/nonexistent/job.json");
        ADD_FAILURE() << "a missing file was read";
    } catch (const ImportError& error) {
        EXPECT_STREQ(error.what(), "/nonexistent/job.json: cannot open the file");
    }
}

}  // namespace
