#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "executor/planner/placement.h"

using planner::Job;
using planner::PlaceOptions;
using planner::Point;

namespace {

constexpr double kField = 100;
using Lines = std::vector<std::vector<Point>>;

Job jobOf(const Lines& lines) {
    Job job{{planner::Pen{"a"}, planner::Pen{"b"}}, {}};
    for (const std::vector<Point>& points : lines) job.polylines.push_back({points, 1});
    return job;
}

double lengthOf(const Lines& lines) {
    double sum = 0;
    for (const std::vector<Point>& l : lines)
        for (std::size_t i = 1; i < l.size(); ++i) sum += std::hypot(l[i].x - l[i - 1].x, l[i].y - l[i - 1].y);
    return sum;
}

PlaceOptions options(double rotate, std::optional<double> scale, std::optional<double> width,
                     std::optional<double> height, bool fit, bool centre, double offsetX = 0, double offsetY = 0) {
    return {rotate, scale, width, height, fit, centre, offsetX, offsetY};
}

}  // namespace

// Every stretch inside the 100 mm field survives exactly, end points cut on the border; nothing
// beyond it is kept or moved onto the edge.
TEST(Placement, ClipCutsExactlyAtTheBorder) {
    const struct {
        const char* name;
        Lines in, out;
        std::size_t cut, outside, dots;
    } cases[] = {
        {"inside", {{{0, 0}, {10, 5}, {-3, 40}}}, {{{0, 0}, {10, 5}, {-3, 40}}}, 0, 0, 0},
        {"below the field", {{{-300, -300}, {300, -300}}}, {}, 1, 2, 0},
        {"ends beyond", {{{0, 0}, {200, 30}}}, {{{0, 0}, {50, 7.5}}}, 1, 1, 0},
        {"crosses", {{{-100, -100}, {100, 100}}}, {{{-50, -50}, {50, 50}}}, 1, 2, 0},
        {"enters, goes on", {{{-80, 0}, {0, 0}, {0, 10}}}, {{{-50, 0}, {0, 0}, {0, 10}}}, 1, 1, 0},
        {"leaves, returns",
         {{{0, 0}, {100, 0}, {50, 20}, {0, 20}, {0, 30}}},
         {{{0, 0}, {50, 0}}, {{50, 20}, {0, 20}, {0, 30}}},
         1,
         1,
         0},
        {"runs along the border", {{{50, -50}, {50, 50}, {-50, 50}}}, {{{50, -50}, {50, 50}, {-50, 50}}}, 0, 0, 0},
        {"from the border out", {{{0, 0}, {50, 0}, {60, 0}}}, {{{0, 0}, {50, 0}}}, 1, 1, 0},
        {"touches a corner", {{{40, 60}, {60, 40}}}, {}, 1, 2, 0},
        {"dots",
         {{{0, 0}}, {{70, 0}}, {{50, 50}, {50, 50}}, {{0, 60}, {0, 60}}},
         {{{0, 0}}, {{50, 50}, {50, 50}}},
         2,
         3,
         2},
    };
    for (const auto& c : cases) {
        Job job = jobOf(c.in);
        const planner::ClipSummary s = planner::clipToField(job, kField);
        ASSERT_EQ(job.polylines.size(), c.out.size()) << c.name;
        for (std::size_t i = 0; i < c.out.size(); ++i) {
            ASSERT_EQ(job.polylines[i].points.size(), c.out[i].size()) << c.name << " line " << i;
            EXPECT_EQ(job.polylines[i].pen, 1u) << c.name;
            for (std::size_t k = 0; k < c.out[i].size(); ++k) {
                EXPECT_NEAR(job.polylines[i].points[k].x, c.out[i][k].x, 1e-12) << c.name << " point " << k;
                EXPECT_NEAR(job.polylines[i].points[k].y, c.out[i][k].y, 1e-12) << c.name << " point " << k;
            }
        }
        EXPECT_DOUBLE_EQ(s.lengthBefore, lengthOf(c.in)) << c.name;
        EXPECT_NEAR(s.lengthAfter, lengthOf(c.out), 1e-9) << c.name;
        EXPECT_EQ(s.polylinesCut, c.cut) << c.name;
        EXPECT_EQ(s.pointsOutside, c.outside) << c.name;
        EXPECT_EQ(s.dotsDropped, c.dots) << c.name;
    }
}

// An L of bounding box (10,10)..(50,30), centre (30,20), on a 100 mm field: rotation and scale turn
// about that centre, the size comes from the rotated drawing, centring and then the offset move it.
TEST(Placement, RotateThenScaleThenCentreThenOffset) {
    const double third = 100.0 / 3;  // a 45 degree turn makes the L 2/3 as wide as high
    const struct {
        const char* name;
        PlaceOptions options;
        planner::Bounds bounds;  // expected, when no error
        Point first;
        const char* error;
    } cases[] = {
        {"as written", options(0, {}, {}, {}, false, false), {10, 10, 50, 30}, {10, 10}, nullptr},
        {"centred", options(0, {}, {}, {}, false, true), {-20, -10, 20, 10}, {-20, -10}, nullptr},
        {"quarter turn", options(90, {}, {}, {}, false, false), {20, 0, 40, 40}, {40, 0}, nullptr},
        {"turned back", options(-630, {}, {}, {}, false, false), {20, 0, 40, 40}, {40, 0}, nullptr},
        {"scaled", options(0, 2, {}, {}, false, false), {-10, 0, 70, 40}, {-10, 0}, nullptr},
        {"width only", options(0, {}, 20, {}, false, false), {20, 15, 40, 25}, {20, 15}, nullptr},
        {"tighter side wins", options(0, {}, 120, 30, false, false), {0, 5, 60, 35}, {0, 5}, nullptr},
        {"size after turn", options(90, {}, 20, {}, false, false), {20, 0, 40, 40}, {40, 0}, nullptr},
        {"fit", options(0, {}, {}, {}, true, false), {-20, -5, 80, 45}, {-20, -5}, nullptr},
        {"fit after turn", options(45, {}, {}, {}, true, true), {-third, -50, third, 50}, {-third, -50}, nullptr},
        {"offset last", options(0, 2, {}, {}, false, true, 5, -5), {-35, -25, 45, 15}, {-35, -25}, nullptr},
        {"scale and fit", options(0, 2, {}, {}, true, false), {}, {}, "only one of"},
        {"size and fit", options(0, {}, {}, 10, true, false), {}, {}, "only one of"},
        {"zero scale", options(0, 0.0, {}, {}, false, false), {}, {}, "scale must be a positive"},
        {"endless scale", options(0, INFINITY, {}, {}, false, false), {}, {}, "scale must be a positive"},
        {"negative width", options(0, {}, -4, {}, false, false), {}, {}, "width must be a positive"},
        {"no height", options(0, {}, {}, NAN, false, false), {}, {}, "height must be a positive"},
        {"endless turn", options(INFINITY, {}, {}, {}, false, false), {}, {}, "rotation must be a finite"},
        {"no offset", options(0, {}, {}, {}, false, false, 0, NAN), {}, {}, "offset must be a finite"},
    };
    for (const auto& c : cases) {
        Job job = jobOf({{{10, 10}, {50, 10}, {50, 30}}});
        if (c.error != nullptr) {
            try {
                planner::place(job, c.options, kField);
                ADD_FAILURE() << c.name << ": no error";
            } catch (const std::invalid_argument& e) {
                EXPECT_NE(std::string(e.what()).find(c.error), std::string::npos) << c.name << ": " << e.what();
            }
            EXPECT_EQ(job.polylines[0].points[0].x, 10) << c.name << ": changed before the error";
            continue;
        }
        planner::place(job, c.options, kField);
        const planner::Bounds b = planner::boundsOf(job);
        EXPECT_NEAR(b.lowX, c.bounds.lowX, 1e-9) << c.name;
        EXPECT_NEAR(b.lowY, c.bounds.lowY, 1e-9) << c.name;
        EXPECT_NEAR(b.highX, c.bounds.highX, 1e-9) << c.name;
        EXPECT_NEAR(b.highY, c.bounds.highY, 1e-9) << c.name;
        EXPECT_NEAR(job.polylines[0].points[0].x, c.first.x, 1e-9) << c.name;
        EXPECT_NEAR(job.polylines[0].points[0].y, c.first.y, 1e-9) << c.name;
    }
}
