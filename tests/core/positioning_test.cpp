#include <gtest/gtest.h>

#include <memory>
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

// Opcode, x, y (24-bit, sign-extended) and steps of a vector packet.
using Vec = std::tuple<uint16_t, int32_t, int32_t, uint16_t>;
constexpr int32_t kC = 32768;

// kFresh starts over on a new executor.
enum Kind { kFresh, kJump, kMark, kJumpRel, kMarkRel, kCentre };
struct Move {
    Kind kind;
    double x = 0, y = 0;
    uint16_t steps = 0, delay = 0;
    bool shifted = false;  // through an extension that moves x by 5 mm
    uint32_t result = 0;
    Vec vector{};  // opcode 0: none
};

}  // namespace

// Relative moves count from the last logical and device point (the first from 0 and (0, 0)); an
// extension applies afresh to the absolute point each time; a centre jump moves neither base.
TEST(Positioning, VectorsAndTheirResults) {
    const Move moves[] = {
        {kJump, 12.5, -3, 20, 0, false, 20, {0x0241, kC + 1250, kC - 300, 20}},
        {kMark, 0, 0, 7, 3, false, 10, {0x0245, kC, kC, 7}},
        {kFresh},
        {kJumpRel, 1, 2, 5, 0, false, 5, {0x0242, kC + 100, kC + 200, 5}},
        {kFresh},
        {kJump, 10, 10, 1, 0, false, 1, {0x0241, kC + 1000, kC + 1000, 1}},
        {kCentre, 0, 0, 1, 0, false, 1, {0x0241, kC, kC, 1}},
        {kCentre, 0, 0, 0, 9, false, 0, {}},
        {kMarkRel, 1, -1, 2, 0, false, 2, {0x0246, 100, -100, 2}},
        {kFresh},  // a clamped base
        {kJump, 1000, 0, 1, 0, false, 1, {0x0241, 65535, kC, 1}},
        {kJumpRel, -990, 0, 1, 0, false, 1, {0x0242, kC + 1000 - 65535, 0, 1}},
        {kFresh},
        {kJumpRel, 1, 0, 1, 0, true, 1, {0x0242, kC + 600, kC, 1}},
        {kJumpRel, 1, 0, 1, 0, true, 1, {0x0242, 100, 0, 1}},
        {kJumpRel, 1, 0, 1, 0, false, 1, {0x0242, -400, 0, 1}},
        {kFresh},
    };
    const TarnParam lens = linearLens();
    MRPara shift;
    shift.moveX = 5;
    auto h = std::make_unique<Running7>();
    std::vector<Vec> expected;
    for (const Move& m : moves) {
        MarkCtrlData c;
        c.markType = MARK_TYPE_LINEAR;
        c.ext = m.shifted ? &shift : nullptr;
        Executor& e = *h->executor;
        uint32_t result = 0;
        if (m.kind == kJump) result = e.gotoPositionAbs(lens, {m.x, m.y}, m.steps, m.delay, c);
        if (m.kind == kMark) result = e.linetoPositionAbs(lens, {m.x, m.y}, m.steps, m.delay, c);
        if (m.kind == kJumpRel) result = e.gotoPositionRel(lens, {m.x, m.y}, m.steps, m.delay, c);
        if (m.kind == kMarkRel) result = e.linetoPositionRel(lens, {m.x, m.y}, m.steps, m.delay, c);
        if (m.kind == kCentre) result = e.sendMoveToCenter(m.steps, m.delay) ? 1 : 0;
        EXPECT_EQ(result, m.result);
        if (std::get<0>(m.vector) != 0) expected.push_back(m.vector);
        if (m.kind != kFresh) continue;
        std::vector<Vec> got;
        for (const Bytes& p : h->flushPackets()) {
            auto s24 = [&](size_t o) {
                const int32_t v = p[o] << 16 | p[o + 1] << 8 | p[o + 2];
                return v & 0x800000 ? v - 0x1000000 : v;
            };
            got.emplace_back(FakeTransfer::opcodeOf(p), s24(8), s24(11), static_cast<uint16_t>(p[4] << 8 | p[5]));
        }
        EXPECT_EQ(got, expected);
        expected.clear();
        h.reset();  // its recorders go before the next one's come
        h = std::make_unique<Running7>();
    }
}
