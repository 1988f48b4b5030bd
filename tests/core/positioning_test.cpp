#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/harness.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

// A linear lens with 100 device units per millimetre around the board centre.
TarnParam linearLens() {
    TarnParam t;
    t.galvo.fieldSize = 100;
    t.galvo.resolution = 65535;
    t.galvo.center = 32768;
    t.galvo.scale = 100;
    return t;
}

MarkCtrlData linear() {
    MarkCtrlData c;
    c.markType = MARK_TYPE_LINEAR;
    return c;
}

struct Vec {
    uint16_t opcode;
    int32_t x;
    int32_t y;
    uint16_t steps;
};

// Decodes the vector packets sent so far (24-bit coordinates sign-extended).
std::vector<Vec> vectors(Harness& h) {
    std::vector<Vec> out;
    for (const Bytes& p : h.flushPackets()) {
        auto s24 = [&](size_t o) {
            int32_t v = p[o] << 16 | p[o + 1] << 8 | p[o + 2];
            return v & 0x800000 ? v - 0x1000000 : v;
        };
        out.push_back(Vec{FakeTransfer::opcodeOf(p), s24(8), s24(11), static_cast<uint16_t>(p[4] << 8 | p[5])});
    }
    return out;
}

MATCHER_P4(IsVec, opcode, x, y, steps, "") {
    return arg.opcode == opcode && arg.x == x && arg.y == y && arg.steps == steps;
}

}  // namespace

TEST(Positioning, AbsoluteJumpsAndMarksMapMillimetres) {
    Running7 h;
    EXPECT_EQ(h.executor->gotoPositionAbs(linearLens(), {12.5, -3.0}, 20, 0, linear()), 20u);
    EXPECT_EQ(h.executor->linetoPositionAbs(linearLens(), {0, 0}, 7, 3, linear()), 10u);
    EXPECT_THAT(vectors(h), ElementsAre(IsVec(0x0241, 32768 + 1250, 32768 - 300, 20), IsVec(0x0245, 32768, 32768, 7)));
}

TEST(Positioning, FirstRelativeMoveCountsFromLogicalAndDeviceZero) {
    Running7 h;
    h.executor->gotoPositionRel(linearLens(), {1, 2}, 5, 0, linear());
    // Logical (1, 2) maps to (32868, 32968); the device displacement is measured from (0, 0).
    EXPECT_THAT(vectors(h), ElementsAre(IsVec(0x0242, 32868, 32968, 5)));
}

TEST(Positioning, RelativeMovesFollowTheLastPointNotTheCentreJump) {
    Running7 h;
    h.executor->gotoPositionAbs(linearLens(), {10, 10}, 1, 0, linear());
    EXPECT_TRUE(h.executor->sendMoveToCenter(1, 0));
    h.executor->linetoPositionRel(linearLens(), {1, -1}, 2, 0, linear());
    EXPECT_THAT(vectors(h), ElementsAre(IsVec(0x0241, 33768, 33768, 1), IsVec(0x0241, 32768, 32768, 1),
                                        IsVec(0x0246, 100, -100, 2)));
}

TEST(Positioning, ClampedPointIsTheBaseOfTheNextDisplacement) {
    Running7 h;
    h.executor->gotoPositionAbs(linearLens(), {1000, 0}, 1, 0, linear());  // far right: clamped to 65535
    h.executor->gotoPositionRel(linearLens(), {-990, 0}, 1, 0, linear());  // to logical x = 10
    EXPECT_THAT(vectors(h), ElementsAre(IsVec(0x0241, 65535, 32768, 1), IsVec(0x0242, 33768 - 65535, 0, 1)));
}

TEST(Positioning, ExtensionAppliesAfreshAndTheLogicalPointStaysPlain) {
    Running7 h;
    MRPara shift;
    shift.moveX = 5;
    MarkCtrlData ctrl = linear();
    ctrl.ext = &shift;
    h.executor->gotoPositionRel(linearLens(), {1, 0}, 1, 0, ctrl);      // maps (6, 0)
    h.executor->gotoPositionRel(linearLens(), {1, 0}, 1, 0, ctrl);      // logical 2 + 5 shift
    h.executor->gotoPositionRel(linearLens(), {1, 0}, 1, 0, linear());  // logical 3, no shift
    EXPECT_THAT(vectors(h),
                ElementsAre(IsVec(0x0242, 33368, 32768, 1), IsVec(0x0242, 100, 0, 1), IsVec(0x0242, -400, 0, 1)));
}

TEST(Positioning, ResultIsTheSumOfTheCountsAsPassed) {
    Running7 h;
    EXPECT_EQ(h.executor->linetoPositionRel(linearLens(), {1, 0}, 0, 4, linear()), 4u);  // the packet carries 1 step
    EXPECT_EQ(h.executor->gotoPositionAbs(linearLens(), {1e9, 0}, 3, 3, linear()), 6u);
}

TEST(Positioning, CentreJumpNeedsAStepCount) {
    Running7 h;
    EXPECT_FALSE(h.executor->sendMoveToCenter(0, 9));
    EXPECT_THAT(vectors(h), IsEmpty());
    EXPECT_TRUE(h.executor->sendMoveToCenter(1, 0));
    EXPECT_THAT(vectors(h), ElementsAre(IsVec(0x0241, 32768, 32768, 1)));
}
