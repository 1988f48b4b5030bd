#include "executor/calib/calib_func.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>

// Default lens: 655.35 units/mm around 32768, 0..65535. Without corrections (20, 8) mm maps to
// 20 * 655.35 = 13107 -> 45875 and 8 * 655.35 = 5242.8 -> 5243 -> 38011 on every path; inverted
// they map to 19661 and 27525.
namespace {

struct Lens {
    GalvoParam g;
    RedlightParam red;
    bool redlight = false;
    MRPara mr;
    bool withMr = false;
    Point2dConcept<double> p{20, 8};
};

void grid(Lens& s) {
    s.g.calPar.gridPitch = 40;
    for (int i = 0; i < 9; ++i) s.g.calPar.gridPoints[i] = {(i % 3 - 1) * 40.0, (i / 3 - 1) * 40.0};
}
// A 90 % box scale and a 2 mm red shift tell the paths apart: linear 45875; fly (20 + 2) * 655.35
// = 14417.7 -> 47186; calibrated 18 * 655.35 = 11796.3 -> 44564, + 1310.7 -> 45874.
void paths(Lens& s) { s.g.boxCoef[6] = 90, s.red.offsetX = 2, s.redlight = true; }
// Red light scaled 1.1 / 0.9 and shifted 0.5 / -1 mm, on an undistorted nine-point grid.
void red(Lens& s) {
    grid(s);
    s.red.scaleX = 1.1, s.red.scaleY = 0.9, s.red.offsetX = 0.5, s.red.offsetY = -1, s.redlight = true;
}
// Turning about a centre 10000 mm away: 0.0001 degrees moves y by 0.01745 mm = 11.4 units.
void far(Lens& s) { s.g.rotCenterX = s.mr.rotCenterX = -9980, s.g.rotCenterY = s.mr.rotCenterY = 8; }

struct Row {
    const char* what;
    MarkType type;
    std::function<void(Lens&)> set;
    int ok, x, y;
};

const Row kRows[] = {
    {"linear", 2, paths, 1, 45875, 38011},
    {"fly first", 100, paths, 1, 47186, 38011},
    {"fly last", 199, paths, 1, 47186, 38011},
    {"below fly", 99, paths, 1, 45874, 38011},
    {"above fly", 200, paths, 1, 45874, 38011},
    {"lens 90", 2, [](Lens& s) { s.g.angle = 90; }, 1, 27525, 45875},  // ccw: (-8, 20)
    {"lens about (10, 10)", 2, [](Lens& s) { s.g.angle = 90, s.g.rotCenterX = s.g.rotCenterY = 10; }, 1, 40632, 45875},
    // Offset, turn, then move: (25, 8) -> (-8, 25) -> (-3, 25): -1966.05, 16383.75.
    {"order", 2, [](Lens& s) { s.g.offsetX = 5, s.g.angle = 90, s.withMr = true, s.mr.moveX = 5; }, 1, 30802, 49152},
    {"extension turns after its move", 2, [](Lens& s) { s.withMr = true, s.mr.moveY = -8, s.mr.angle = 90; }, 1, 32768,
     45875},
    {"lens angle at threshold", 2, [](Lens& s) { far(s), s.g.angle = 0.0001f; }, 1, 45875, 38011},
    {"lens angle above threshold", 2, [](Lens& s) { far(s), s.g.angle = 0.0002f; }, 1, 45875, 38034},
    {"extension at threshold", 2, [](Lens& s) { far(s), s.withMr = true, s.mr.angle = 0.0001; }, 1, 45875, 38022},
    {"extension below", 2, [](Lens& s) { far(s), s.withMr = true, s.mr.angle = 0.000099; }, 1, 45875, 38011},
    // Linear and nine-point route by the lens block's flags, the box path by the box flags; under
    // exchange only the inversions trade axes, the points stay.
    {"linear invertX", 2, [](Lens& s) { s.g.calPar.invertX = 1, s.g.invertY = true; }, 1, 19661, 38011},
    {"linear exchange invertX", 2, [](Lens& s) { s.g.calPar.exchangeXY = s.g.calPar.invertX = 1; }, 1, 45875, 27525},
    {"nine-point exchange invertY", 0,
     [](Lens& s) { grid(s), s.g.use9Point = true, s.g.calPar.exchangeXY = s.g.calPar.invertY = 1, s.g.invertX = true; },
     1, 19661, 38011},
    {"box invertY", 0, [](Lens& s) { s.g.invertY = true, s.g.calPar.invertX = 1; }, 1, 45875, 27525},
    {"box exchange invertY", 0, [](Lens& s) { s.g.exchangeXY = s.g.invertY = true; }, 1, 19661, 38011},
    {"red light on linear", 2, red, 1, 45875, 38011},
    {"fly without red light", 100, [](Lens& s) { red(s), s.redlight = false; }, 1, 45875, 38011},
    // 1.1 * 20 + 0.5 = 22.5 -> 14745.4; 0.9 * 8 - 1 = 6.2 -> 4063.2; no inversion on fly.
    {"red fly", 100, [](Lens& s) { red(s), s.g.calPar.invertX = s.g.calPar.invertY = 1; }, 1, 47513, 36831},
    // 13107 * 1.1 = 14417.7 -> 47185, + 327.675 -> 47512; 5243 * 0.9 = 4718.7 -> 37486, - 655.35 -> 36830.
    {"red calibrated", 0, [](Lens& s) { red(s), s.g.calPar.invertX = s.g.calPar.invertY = 1; }, 1, 47512, 36830},
    // -13107 * 1.1 -> 18350.3 -> 18350, shift reversed: - 327.675 -> 18022.
    {"red box invertX", 0, [](Lens& s) { red(s), s.g.invertX = true; }, 1, 18022, 36830},
    // The X shift follows invertX, not the exchange: 47185 - 327.675 -> 46857; -5243 * 0.9 ->
    // 28049.3 -> 28049, - 655.35 -> 27393.
    {"red box exchange, invertX", 0, [](Lens& s) { red(s), s.g.exchangeXY = s.g.invertX = true; }, 1, 46857, 27393},
    {"red nine-point invertX", 0, [](Lens& s) { red(s), s.g.use9Point = true, s.g.calPar.invertX = 1; }, 1, 18022,
     36830},
    // -5243 * 0.9 -> 28049, shift reversed: + 655.35 -> 28704.
    {"red nine-point invertY", 0, [](Lens& s) { red(s), s.g.use9Point = true, s.g.calPar.invertY = 1; }, 1, 47512,
     28704},
    {"red nine-point, box invertX", 0, [](Lens& s) { red(s), s.g.use9Point = s.g.invertX = true; }, 1, 47512, 36830},
    // Out of range is clamped, not an error; the library writes nothing on failure, so a 200 mm red
    // shift lands outside and is clamped.
    {"linear clamped", 2,
     [](Lens& s) {
         s.p = {1000, -1000};
     },
     1, 65535, 0},
    {"fly clamped", 100,
     [](Lens& s) {
         s.p = {-1e12, 1e12};
     },
     1, 0, 65535},
    {"calibrated clamped", 0,
     [](Lens& s) {
         s.p = {1000, -1000};
     },
     1, 65535, 0},
    {"no field", 0, [](Lens& s) { s.g.fieldSize = 0; }, 0, 0, 0},
    {"no pitch", 0, [](Lens& s) { s.g.use9Point = true; }, 0, 0, 0},
    {"no field, shifted", 0,
     [](Lens& s) { s.g.fieldSize = 0, s.red.offsetX = 200, s.red.offsetY = -200, s.redlight = true; }, 0, 65535, 0},
};

}  // namespace

TEST(CalibFunc, LogicToDevicePoints) {
    for (const Row& r : kRows) {
        Lens s;
        r.set(s);
        Point2dConcept<int> dev{-1, -1};
        const int ok = CalibFunc::LP2DPEX(r.type, s.p, dev, s.g, s.red, s.redlight, s.withMr ? &s.mr : nullptr);
        EXPECT_EQ((std::array<int, 3>{ok, dev.x, dev.y}), (std::array<int, 3>{r.ok, r.x, r.y})) << r.what;
    }
}
