#include "executor/calib/calib_func.h"

#include <gtest/gtest.h>

#include <cmath>

#include "calib/quorcal.h"

// Default lens: 655.35 units/mm around 32768, 0..65535. Without corrections (20, 8) mm maps to
// 20 * 655.35 = 13107 -> 45875 and 8 * 655.35 = 5242.8 -> 5243 -> 38011 on every path.
namespace {

struct Mapped {
    int result, x, y;
};

Mapped map(MarkType type, Point2dConcept<double> p, const GalvoParam& galvo, const RedlightParam& red = {},
           bool redlight = false, const MRPara* mr = nullptr) {
    Point2dConcept<int> dev{-1, -1};
    const int result = CalibFunc::LP2DPEX(type, p, dev, galvo, red, redlight, mr);
    return {result, dev.x, dev.y};
}

void expectMapped(const Mapped& got, int result, int x, int y, const char* what) {
    EXPECT_EQ(got.result, result) << what;
    EXPECT_EQ(got.x, x) << what;
    EXPECT_EQ(got.y, y) << what;
}

void undistortedGrid(GalvoCalPar& cal) {
    cal.gridPitch = 40;
    for (int i = 0; i < 9; ++i) cal.gridPoints[i] = {(i % 3 - 1) * 40.0, (i / 3 - 1) * 40.0};
}

// Scale 1.1 / 0.9, shift 0.5 / -1 mm.
RedlightParam pointer() {
    RedlightParam red;
    red.scaleX = 1.1;
    red.scaleY = 0.9;
    red.offsetX = 0.5;
    red.offsetY = -1;
    return red;
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
                            {99, 45874}, {200, 45874}, {0, 45874},   {3, 45874}};
    for (const auto& c : cases) expectMapped(map(c[0], {20, 8}, galvo, red, true), 1, c[1], 38011, "type");
}

TEST(CalibFunc, OffsetThenRotationThenMarkingExtension) {
    struct Case {
        const char* what;
        double offsetX;
        float angle;
        double centerX, centerY;
        bool withMr;
        double moveX, moveY, mrAngle, mrCenterX, mrCenterY;
        int x, y;
    };
    // A turn of 0.0001 degrees about a centre 10000 mm away moves y by 0.01745 mm = 11.4 units.
    const Case cases[] = {
        {"neutral extension", 0, 0, 0, 0, true, 0, 0, 0, 0, 0, 45875, 38011},
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
    for (const Case& c : cases) {
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
        expectMapped(map(2, {20, 8}, galvo, {}, false, c.withMr ? &mr : nullptr), 1, c.x, c.y, c.what);
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
        GalvoParam block;  // flags in the lens block, box flags set but not for these paths
        block.calPar.exchangeXY = c[0];
        block.calPar.invertX = c[1];
        block.calPar.invertY = c[2];
        block.invertX = block.invertY = true;
        expectMapped(map(2, {20, 8}, block), 1, c[3], c[4], "linear");
        block.use9Point = true;
        undistortedGrid(block.calPar);
        expectMapped(map(0, {20, 8}, block), 1, c[3], c[4], "nine-point");

        GalvoParam box;
        box.exchangeXY = c[0];
        box.invertX = c[1];
        box.invertY = c[2];
        box.calPar.invertX = box.calPar.invertY = 1;
        expectMapped(map(0, {20, 8}, box), 1, c[3], c[4], "box");
    }
}

TEST(CalibFunc, RedlightCorrectionPerPath) {
    struct Case {
        const char* what;
        MarkType type;
        bool redlight, use9Point, exchange, boxInvertX, blockInvertX;
        int x, y;
    };
    const Case cases[] = {
        {"linear ignores it", 2, true, false, false, false, false, 45875, 38011},
        {"fly without it", 100, false, false, false, false, false, 45875, 38011},
        // 1.1 * 20 + 0.5 = 22.5 -> 14745.4; 0.9 * 8 - 1 = 6.2 -> 4063.2; no inversion on fly.
        {"fly", 100, true, false, false, false, true, 47513, 36831},
        // 13107 * 1.1 = 14417.7 -> 47185, + 327.675 -> 47512; 5243 * 0.9 = 4718.7 -> 37486, - 655.35 -> 36830.
        {"calibrated", 0, true, false, false, false, true, 47512, 36830},
        // -13107 * 1.1 -> 18350.3 -> 18350, shift reversed: - 327.675 -> 18022.
        {"box invertX", 0, true, false, false, true, false, 18022, 36830},
        // Routed to (20, -8): 45875, 27525. The X shift follows invertX, not the exchange:
        // 47185 - 327.675 -> 46857; -5243 * 0.9 -> 28049.3 -> 28049, - 655.35 -> 27393.
        {"box exchange, invertX", 0, true, false, true, true, false, 46857, 27393},
        {"nine-point block invertX", 0, true, true, false, false, true, 18022, 36830},
        {"nine-point ignores box invertX", 0, true, true, false, true, false, 47512, 36830},
    };
    for (const Case& c : cases) {
        GalvoParam galvo;
        galvo.use9Point = c.use9Point;
        undistortedGrid(galvo.calPar);
        galvo.exchangeXY = c.exchange;
        galvo.invertX = c.boxInvertX;
        galvo.calPar.invertX = c.blockInvertX;
        expectMapped(map(c.type, {20, 8}, galvo, pointer(), c.redlight), 1, c.x, c.y, c.what);
    }
}

TEST(CalibFunc, ClampsToTheDeviceRangeAndReportsFailedCalibration) {
    const GalvoParam lens;
    for (MarkType type : {2, 100, 0}) {
        expectMapped(map(type, {1000, -1000}, lens), 1, 65535, 0, "far outside");
        expectMapped(map(type, {-1e12, 1e12}, lens), 1, 0, 65535, "beyond the int range");
    }
    // The library writes nothing on failure; a 200 mm red shift then lands outside and is clamped.
    GalvoParam noField;
    noField.fieldSize = 0;
    GalvoParam noPitch;
    noPitch.use9Point = true;
    RedlightParam shift;
    shift.offsetX = 200;
    shift.offsetY = -200;
    expectMapped(map(0, {20, 8}, noField), 0, 0, 0, "box fails");
    expectMapped(map(0, {20, 8}, noPitch), 0, 0, 0, "nine-point fails");
    expectMapped(map(0, {20, 8}, noField, shift, true), 0, 65535, 0, "box fails, shifted");
}

TEST(CalibFuncFill, BasicFillLeavesTheCorrectionRowsAsConstructed) {
    GalvoParam galvo;
    galvo.fieldSize = 160;
    galvo.areaSizeX = 90;
    galvo.areaSizeY = 120;
    galvo.setResolution(1048575);
    galvo.invertY = true;
    galvo.offsetX = 1.5;
    galvo.angle = 12.5f;
    galvo.boxCoef[7] = 95;
    galvo.tableCount = 7;
    galvo.use9Point = true;
    galvo.calPar.gridPitch = 33;
    galvo.corrTable1 = {1};  // tableEnable clear: never copied

    tagLenPar basic;
    tagLenPar full;
    quorcal::fillBasic(basic, galvo);
    quorcal::fillFull(full, galvo);
    for (const tagLenPar* rec : {&basic, &full}) {
        EXPECT_EQ(rec->fieldSize, 160);
        EXPECT_EQ(rec->areaSize, 120);  // the larger extent
        EXPECT_EQ(rec->center, 524288);
        EXPECT_EQ(rec->invertY, 1);
        EXPECT_EQ(rec->calPar.gridPitch, 33);
        EXPECT_TRUE(std::isnan(rec->tables[0][0]));
    }
    EXPECT_EQ(basic.offsetX, 0);
    EXPECT_EQ(basic.boxCoef[7], 100);
    EXPECT_EQ(basic.tableCount, 21);
    EXPECT_EQ(basic.use9Point, 0);
    EXPECT_EQ(full.offsetX, 1.5);
    EXPECT_EQ(full.angle, 12.5);
    EXPECT_EQ(full.boxCoef[7], 95);
    EXPECT_EQ(full.tableCount, 7);
    EXPECT_EQ(full.use9Point, 1);
}

TEST(CalibFuncFill, TablesGoToTheirSlotsAndStayInside) {
    GalvoParam galvo;
    galvo.tableEnable = true;
    for (int i = 0; i < 150; ++i) galvo.corrTable1.push_back(i);
    galvo.corrTable2 = {2};
    galvo.corrTable3 = {3};
    galvo.corrTable4 = {4};
    galvo.corrTable5 = {5};
    galvo.corrTable6 = {6};
    tagLenPar rec;
    quorcal::fillFull(rec, galvo);
    EXPECT_EQ(rec.tables[0][99], 99);
    const double firsts[6] = {0, 3, 2, 4, 5, 6};  // tables 1, 3, 2, 4, 5, 6
    for (int slot = 0; slot < 6; ++slot) {
        EXPECT_EQ(rec.tables[slot][0], firsts[slot]) << slot;
        // Also catches table 1 running on into the next slot.
        if (slot > 0) {
            EXPECT_TRUE(std::isnan(rec.tables[slot][1])) << slot;
        }
    }
}
