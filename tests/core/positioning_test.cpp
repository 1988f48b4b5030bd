#include <gtest/gtest.h>

#include <tuple>

#include "support/harness.h"

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

MarkCtrlData linear(MRPara* ext = nullptr) {
    MarkCtrlData c;
    c.markType = MARK_TYPE_LINEAR;
    c.ext = ext;
    return c;
}

// Opcode, x, y (24-bit, sign-extended) and steps of a vector packet.
using Vec = std::tuple<uint16_t, int32_t, int32_t, uint16_t>;
constexpr int32_t kC = 32768;

enum Kind { kJump, kMark, kJumpRel, kMarkRel, kCentre };
struct Move {
    Kind kind;
    double x, y;
    uint16_t steps, delay;
    bool shifted = false;  // through an extension that moves x by 5 mm
};

}  // namespace

// Relative moves count from the last logical and device point (the first from 0 and (0, 0)); an
// extension applies afresh to the absolute point each time; a centre jump moves neither base.
TEST(Positioning, VectorsAndTheirResults) {
    struct Row {
        const char* name;
        std::vector<Move> moves;
        uint32_t result;  // the sum of their results
        std::vector<Vec> vectors;
    };
    const Row rows[] = {
        {"absolute",
         {{kJump, 12.5, -3, 20, 0}, {kMark, 0, 0, 7, 3}},
         30,
         {{0x0241, kC + 1250, kC - 300, 20}, {0x0245, kC, kC, 7}}},
        {"first relative", {{kJumpRel, 1, 2, 5, 0}}, 5, {{0x0242, kC + 100, kC + 200, 5}}},
        {"centre jump",
         {{kJump, 10, 10, 1, 0}, {kCentre, 0, 0, 1, 0}, {kCentre, 0, 0, 0, 9}, {kMarkRel, 1, -1, 2, 0}},
         4,
         {{0x0241, kC + 1000, kC + 1000, 1}, {0x0241, kC, kC, 1}, {0x0246, 100, -100, 2}}},
        {"clamped base",
         {{kJump, 1000, 0, 1, 0}, {kJumpRel, -990, 0, 1, 0}},
         2,
         {{0x0241, 65535, kC, 1}, {0x0242, kC + 1000 - 65535, 0, 1}}},
        {"extension",
         {{kJumpRel, 1, 0, 1, 0, true}, {kJumpRel, 1, 0, 1, 0, true}, {kJumpRel, 1, 0, 1, 0}},
         3,
         {{0x0242, kC + 600, kC, 1}, {0x0242, 100, 0, 1}, {0x0242, -400, 0, 1}}},
    };
    const TarnParam lens = linearLens();
    MRPara shift;
    shift.moveX = 5;
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Running7 h;
        Executor& e = *h.executor;
        uint32_t result = 0;
        for (const Move& m : r.moves) {
            const MarkCtrlData c = linear(m.shifted ? &shift : nullptr);
            if (m.kind == kJump) result += e.gotoPositionAbs(lens, {m.x, m.y}, m.steps, m.delay, c);
            if (m.kind == kMark) result += e.linetoPositionAbs(lens, {m.x, m.y}, m.steps, m.delay, c);
            if (m.kind == kJumpRel) result += e.gotoPositionRel(lens, {m.x, m.y}, m.steps, m.delay, c);
            if (m.kind == kMarkRel) result += e.linetoPositionRel(lens, {m.x, m.y}, m.steps, m.delay, c);
            if (m.kind == kCentre) result += e.sendMoveToCenter(m.steps, m.delay) ? 1 : 0;
        }
        EXPECT_EQ(result, r.result);
        std::vector<Vec> got;
        for (const Bytes& p : h.flushPackets()) {
            auto s24 = [&](size_t o) {
                const int32_t v = p[o] << 16 | p[o + 1] << 8 | p[o + 2];
                return v & 0x800000 ? v - 0x1000000 : v;
            };
            got.emplace_back(FakeTransfer::opcodeOf(p), s24(8), s24(11), static_cast<uint16_t>(p[4] << 8 | p[5]));
        }
        EXPECT_EQ(got, r.vectors);
    }
}
