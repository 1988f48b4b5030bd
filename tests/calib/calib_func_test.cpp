#include "executor/calib/calib_func.h"

#include <gtest/gtest.h>

#include <array>

// Default lens: 655.35 units/mm around 32768, 0..65535. Without corrections (20, 8) mm maps to
// 20 * 655.35 = 13107 -> 45875 and 8 * 655.35 = 5242.8 -> 5243 -> 38011 on every path.
namespace {

using Mapped = std::array<int, 3>;  // result, x, y

Mapped map(MarkType type, const GalvoParam& galvo, const RedlightParam& red = {}, bool redlight = false,
           const MRPara* mr = nullptr, Point2dConcept<double> p = {20, 8}) {
    Point2dConcept<int> dev{-1, -1};
    const int result = CalibFunc::LP2DPEX(type, p, dev, galvo, red, redlight, mr);
    return {result, dev.x, dev.y};
}

GalvoParam undistortedGrid() {
    GalvoParam galvo;
    galvo.calPar.gridPitch = 40;
    for (int i = 0; i < 9; ++i) galvo.calPar.gridPoints[i] = {(i % 3 - 1) * 40.0, (i / 3 - 1) * 40.0};
    return galvo;
}

}  // namespace

// A 90 % box scale and a 2 mm red shift tell the paths apart: linear 45875; fly (20 + 2) *
// 655.35 = 14417.7 -> 47186; calibrated 18 * 655.35 = 11796.3 -> 44564, + 1310.7 -> 45874.
TEST(CalibFunc, MarkTypeChoosesTheMapping) {
    GalvoParam galvo;
    galvo.boxCoef[6] = 90;
    RedlightParam red;
    red.offsetX = 2;
    const int cases[][2] = {{2, 45875},  {100, 47186}, {150, 47186}, {199, 47186},
                            {99, 45874}, {200, 45874}, {0, 45874}};
    for (const auto& c : cases) EXPECT_EQ(map(c[0], galvo, red, true), (Mapped{1, c[1], 38011})) << c[0];
}

// A turn of 0.0001 degrees about a centre 10000 mm away moves y by 0.01745 mm = 11.4 units.
TEST(CalibFunc, OffsetThenRotationThenMarkingExtension) {
    const struct {
        const char* what;
        double offsetX;
        float angle;
        double centerX, centerY;
        bool withMr;
        double moveX, moveY, mrAngle, mrCenterX, mrCenterY;
        int x, y;
    } cases[] = {
        {"lens 90", 0, 90, 0, 0, false, 0, 0, 0, 0, 0, 27525, 45875},                // ccw: (-8, 20)
        {"lens about (10, 10)", 0, 90, 10, 10, false, 0, 0, 0, 0, 0, 40632, 45875},  // (12, 20): 7864.2
        // Offset, turn, then move: (25, 8) -> (-8, 25) -> (-3, 25): -1966.05, 16383.75.
        {"order", 5, 90, 0, 0, true, 5, 0, 0, 0, 0, 30802, 49152},
        {"extension turns after its move", 0, 0, 0, 0, true, 0, -8, 90, 0, 0, 32768, 45875},  // (0, 20)
        {"lens angle at threshold", 0, 0.0001f, -9980, 8, false, 0, 0, 0, 0, 0, 45875, 38011},
        {"lens angle above threshold", 0, 0.0002f, -9980, 8, false, 0, 0, 0, 0, 0, 45875, 38034},  // + 22.9
        {"extension angle at threshold", 0, 0, 0, 0, true, 0, 0, 0.0001, -9980, 8, 45875, 38022},
        {"extension angle below threshold", 0, 0, 0, 0, true, 0, 0, 0.000099, -9980, 8, 45875, 38011},
    };
    for (const auto& c : cases) {
        GalvoParam galvo;
        galvo.offsetX = c.offsetX;
        galvo.angle = c.angle;
        galvo.rotCenterX = c.centerX;
        galvo.rotCenterY = c.centerY;
        MRPara mr;
        mr.moveX = c.moveX;
        mr.moveY = c.moveY;
        mr.angle = c.mrAngle;
        mr.rotCenterX = c.mrCenterX;
        mr.rotCenterY = c.mrCenterY;
        EXPECT_EQ(map(2, galvo, {}, false, c.withMr ? &mr : nullptr), (Mapped{1, c.x, c.y})) << c.what;
    }
}

// The same routing from whichever flags are in force: the lens block's on the linear and
// nine-point paths, the box flags on the box path. X 20 -> 45875 or 19661, Y 8 -> 38011 or 27525.
TEST(CalibFunc, InversionFlagsTradeAxesUnderExchangeButPointsStay) {
    const int cases[][5] = {
        // exchange, invertX, invertY, x, y
        {0, 0, 0, 45875, 38011}, {0, 1, 0, 19661, 38011}, {0, 0, 1, 45875, 27525}, {1, 0, 0, 45875, 38011},
        {1, 1, 0, 45875, 27525}, {1, 0, 1, 19661, 38011}, {1, 1, 1, 19661, 27525},
    };
    for (const auto& c : cases) {
        const Mapped expected{1, c[3], c[4]};
        GalvoParam block = undistortedGrid();  // flags in the lens block; box flags set, not for these paths
        block.calPar.exchangeXY = c[0];
        block.calPar.invertX = c[1];
        block.calPar.invertY = c[2];
        block.invertX = block.invertY = true;
        EXPECT_EQ(map(2, block), expected) << "linear " << c[0] << c[1] << c[2];
        block.use9Point = true;
        EXPECT_EQ(map(0, block), expected) << "nine-point " << c[0] << c[1] << c[2];

        GalvoParam box;
        box.exchangeXY = c[0];
        box.invertX = c[1];
        box.invertY = c[2];
        box.calPar.invertX = box.calPar.invertY = 1;
        EXPECT_EQ(map(0, box), expected) << "box " << c[0] << c[1] << c[2];
    }
}

// Red light: scale 1.1 / 0.9, shift 0.5 / -1 mm.
TEST(CalibFunc, RedlightCorrectionPerPath) {
    const struct {
        const char* what;
        MarkType type;
        bool redlight, use9Point, exchange, boxInvertX, blockInvertX, blockInvertY;
        int x, y;
    } cases[] = {
        {"linear ignores it", 2, true, false, false, false, false, false, 45875, 38011},
        {"fly without it", 100, false, false, false, false, false, false, 45875, 38011},
        // 1.1 * 20 + 0.5 = 22.5 -> 14745.4; 0.9 * 8 - 1 = 6.2 -> 4063.2; no inversion on fly.
        {"fly", 100, true, false, false, false, true, true, 47513, 36831},
        // 13107 * 1.1 = 14417.7 -> 47185, + 327.675 -> 47512; 5243 * 0.9 = 4718.7 -> 37486, - 655.35 -> 36830.
        {"calibrated", 0, true, false, false, false, true, true, 47512, 36830},
        // -13107 * 1.1 -> 18350.3 -> 18350, shift reversed: - 327.675 -> 18022.
        {"box invertX", 0, true, false, false, true, false, false, 18022, 36830},
        // Routed to (20, -8): 45875, 27525. The X shift follows invertX, not the exchange:
        // 47185 - 327.675 -> 46857; -5243 * 0.9 -> 28049.3 -> 28049, - 655.35 -> 27393.
        {"box exchange, invertX", 0, true, false, true, true, false, false, 46857, 27393},
        {"nine-point block invertX", 0, true, true, false, false, true, false, 18022, 36830},
        // -5243 * 0.9 -> 28049, shift reversed: + 655.35 -> 28704.
        {"nine-point block invertY", 0, true, true, false, false, false, true, 47512, 28704},
        {"nine-point ignores box invertX", 0, true, true, false, true, false, false, 47512, 36830},
    };
    RedlightParam red;
    red.scaleX = 1.1;
    red.scaleY = 0.9;
    red.offsetX = 0.5;
    red.offsetY = -1;
    for (const auto& c : cases) {
        GalvoParam galvo = undistortedGrid();
        galvo.use9Point = c.use9Point;
        galvo.exchangeXY = c.exchange;
        galvo.invertX = c.boxInvertX;
        galvo.calPar.invertX = c.blockInvertX;
        galvo.calPar.invertY = c.blockInvertY;
        EXPECT_EQ(map(c.type, galvo, red, c.redlight), (Mapped{1, c.x, c.y})) << c.what;
    }
}

// Out of range is clamped, not an error; the library writes nothing on failure, so a 200 mm red
// shift lands outside and is clamped.
TEST(CalibFunc, ClampsToTheDeviceRangeAndReportsFailedCalibration) {
    GalvoParam noField;
    noField.fieldSize = 0;
    GalvoParam noPitch;
    noPitch.use9Point = true;
    RedlightParam shift;
    shift.offsetX = 200;
    shift.offsetY = -200;
    for (MarkType type : {2, 100, 0}) {
        EXPECT_EQ(map(type, {}, {}, false, nullptr, {1000, -1000}), (Mapped{1, 65535, 0})) << type;
        EXPECT_EQ(map(type, {}, {}, false, nullptr, {-1e12, 1e12}), (Mapped{1, 0, 65535})) << type;
    }
    EXPECT_EQ(map(0, noField), (Mapped{0, 0, 0}));
    EXPECT_EQ(map(0, noPitch), (Mapped{0, 0, 0}));
    EXPECT_EQ(map(0, noField, shift, true), (Mapped{0, 65535, 0}));
}
