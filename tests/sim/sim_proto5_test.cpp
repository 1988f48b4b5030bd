#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "cmd/wire.h"
#include "executor/sim/sim_board.h"
#include "proto5/opcodes5.h"
#include "sim_model.h"

using sim::Bytes;
using sim::TraceEvent;

namespace {

constexpr int32_t kCenter = sim::SimModel::kCenter;

sim::SimConfig config5() {
    sim::SimConfig c;
    c.protocol = BOARD_PROTOCOL_5;
    return c;
}

// A request or list packet with its parameters from byte 2 on.
Bytes pkt(uint16_t opcode, std::initializer_list<uint8_t> params = {}, size_t length = 12) {
    Bytes b(length, 0);
    wire::put16be(b.data(), opcode);
    std::copy(params.begin(), params.end(), b.begin() + 2);
    return b;
}

Bytes vec(uint16_t opcode, uint16_t steps, uint16_t x, uint16_t y, uint16_t delay) {
    Bytes b = pkt(opcode);
    wire::put16be(&b[2], steps);
    wire::put16be(&b[4], x);
    wire::put16be(&b[6], y);
    wire::put16be(&b[10], delay);
    return b;
}

struct Board5 {
    explicit Board5(const sim::SimConfig& c = config5()) : board(c) {}
    Bytes ask(const Bytes& request) {
        uint8_t reply[256] = {};
        uint32_t length = sizeof(reply);
        EXPECT_TRUE(board.exchange(request.data(), static_cast<uint32_t>(request.size()), reply, &length));
        return Bytes(reply, reply + length);
    }
    uint16_t word(const Bytes& request, size_t at) { return wire::get16be(ask(request).data() + at); }
    void send(const std::vector<Bytes>& packets) {
        Bytes f;
        for (const Bytes& p : packets) f.insert(f.end(), p.begin(), p.end());
        EXPECT_TRUE(board.deliverFrame(f.data(), static_cast<uint32_t>(f.size())));
    }
    std::vector<TraceEvent> events(TraceEvent::Kind kind) {
        std::vector<TraceEvent> out;
        for (const TraceEvent& e : board.trace().events)
            if (e.kind == kind) out.push_back(e);
        return out;
    }
    sim::SimBoard board;
};

}  // namespace

TEST(SimProto5Answer, MarkCounterWrapsAndResets) {
    Board5 b;
    b.ask(pkt(op5::kRun));
    b.send(std::vector<Bytes>(65538, pkt(op5::kCountOnce)));
    EXPECT_EQ(b.word(pkt(op5::kDevState), 9), 2);
    EXPECT_EQ(b.word(pkt(op5::kResetCount), 2), 0);
    EXPECT_EQ(b.word(pkt(op5::kDevState), 9), 0);
}

TEST(SimProto5Answer, RunPauseAndResetGateExecution) {
    Board5 b;
    b.send({vec(op5::kMoveToAbs, 1, 100, 100, 0)});
    EXPECT_EQ(b.board.x(), kCenter);
    b.ask(pkt(op5::kRun));
    EXPECT_EQ(b.board.x(), 100);
    b.ask(pkt(op5::kPauseResume, {0x55}));
    b.send({vec(op5::kMoveToAbs, 1, 200, 200, 0)});
    EXPECT_EQ(b.board.x(), 100);
    b.ask(pkt(op5::kPauseResume));
    EXPECT_EQ(b.board.x(), 200);
    b.ask(pkt(op5::kReady));
    b.send({vec(op5::kMoveToAbs, 1, 300, 300, 0)});
    b.ask(pkt(op5::kReset));
    EXPECT_EQ(b.ask(pkt(op5::kDevState))[2], 0x20);
    b.ask(pkt(op5::kRun));
    EXPECT_EQ(b.board.x(), 200);  // the reset dropped the queued jump
}

TEST(SimProto5Answer, OutputsRefusalsAndErrorCounts) {
    Board5 b;
    b.ask(pkt(op5::kOutPortStateNow, {3, 0, 0, 1}));
    EXPECT_EQ(b.word(pkt(op5::kOutPortRead), 2), 8);
    b.board.faults().refuseOpcode = op5::kRun;
    b.board.faults().refuseStatus = 7;
    EXPECT_EQ(b.ask(pkt(op5::kRun))[2], 7);
    b.send({vec(op5::kMoveToAbs, 1, 5, 5, 0)});
    EXPECT_EQ(b.board.x(), kCenter);
    b.board.faults().refuseOpcode = op5::kOutPortRead;
    EXPECT_EQ(b.word(pkt(op5::kOutPortRead), 2), 0xFFFF);

    b.ask(pkt(op5::kRun));
    b.ask(pkt(0x0199));
    b.ask(pkt(0xF0FA, {1}, 14));                                            // binding takes 18 bytes here
    b.send({pkt(0x0299), pkt(op5::kDevState), Bytes(12, 0), pkt(0x0298)});  // padding ends a frame
    b.send({pkt(op5::kCountOnce), Bytes{0x02, 0x41, 0, 1}});
    const sim::BoardErrors e = b.board.errors();
    EXPECT_EQ(e.unknownOpcodes, 3u);
    EXPECT_EQ(e.badLengths, 1u);
    EXPECT_EQ(e.truncatedPackets, 1u);
}

TEST(SimProto5List, VectorsLaserAndLens) {
    struct Case {
        Bytes packet;
        TraceEvent::Kind kind;
        int32_t x, y;
        uint64_t ticks;
    };
    const Case cases[] = {
        {vec(op5::kMoveToRel, 3, 0xFFF0, 32, 0), TraceEvent::kJump, kCenter - 16, kCenter + 32, 3},
        {vec(op5::kLineToRel, 1, 0, 0xFFFF, 0), TraceEvent::kMark, kCenter, kCenter - 1, 1},
        {vec(op5::kMoveToRel, 1, 0, 0, 65534), TraceEvent::kDelay, kCenter, kCenter, 65535},
    };
    for (const Case& c : cases) {
        Board5 b;
        b.ask(pkt(op5::kRun));
        b.send({c.packet});
        EXPECT_EQ(b.board.trace().events.back().kind, c.kind);
        EXPECT_EQ(b.board.x(), c.x);
        EXPECT_EQ(b.board.y(), c.y);
        EXPECT_EQ(b.board.clock(), c.ticks);
    }
    Board5 b;
    b.ask(pkt(op5::kRun));
    b.send({pkt(op5::kFiberPower, {0, 0, 0, 0x09, 0x60, 0x01, 0xE0, 0xFF}), pkt(op5::kDASignal, {0x0F, 0xFF}),
            pkt(op5::kMOPALaser, {0xA5, 0x01, 0x00, 0x07}), pkt(op5::kLenRange, {0, 0, 0, 0, 0x80, 0, 0x40, 0})});
    const sim::LaserState laser = b.board.laser();
    EXPECT_EQ(laser.pwmPeriod, 2400u);
    EXPECT_EQ(laser.pwmWidth, 480u);
    EXPECT_EQ(laser.fiberPower, 255);
    EXPECT_EQ(laser.daLevel, 4095);
    EXPECT_EQ(laser.mopa, 7);
    const TraceEvent lens = b.events(TraceEvent::kLens).at(0);
    EXPECT_EQ(lens.a, 0x8000u);
    EXPECT_EQ(lens.b, 0x4000u);
}

TEST(SimProto5List, AxisStartMovesTheLoadedPair) {
    Board5 b;
    b.ask(pkt(op5::kRun));
    // Slot 0: 1000 pulses forward at 1000/s, slot 1: 500 back at 500/s; a second is 100000 ticks.
    b.send({pkt(op5::kAxisCounts, {0, 0, 0x03, 0xE8, 0, 0, 0x01, 0xF4, 0x01}),
            pkt(op5::kAxisSpeeds, {0, 10, 0x03, 0xE8, 0, 0, 10, 0x01, 0xF4}), pkt(op5::kAxisStart)});
    // The select serves one start only.
    b.send({pkt(op5::kAxisPairSelect, {1}), pkt(op5::kAxisCounts2, {0, 0, 0, 0, 0, 0, 0, 10, 0x02}),
            pkt(op5::kAxisStart), pkt(op5::kAxisStart)});
    const auto m = b.events(TraceEvent::kAxisMove);
    ASSERT_EQ(m.size(), 5u);
    const uint32_t axes[] = {0, 1, 3, 0, 1};
    const int32_t pulses[] = {1000, -500, 10, 1000, -500};
    const uint64_t ticks[] = {100000, 100000, 1, 100000, 100000};
    for (size_t i = 0; i < m.size(); ++i) {
        EXPECT_EQ(m[i].a, axes[i]);
        EXPECT_EQ(static_cast<int32_t>(m[i].b), pulses[i]);
        EXPECT_EQ(m[i].ticks, ticks[i]);
    }
    const Bytes pairA = b.ask(pkt(op5::kAxisStatesA));
    EXPECT_EQ(wire::get32be(pairA.data() + 4), 0x40000000u - 2000);
    EXPECT_EQ(wire::get32be(pairA.data() + 8), 0x40000000u + 1000);
    EXPECT_EQ(wire::get32be(b.ask(pkt(op5::kAxisStatesB)).data() + 8), 0x40000000u - 10);

    // Homing runs to the home switch at position 0.
    b.send({pkt(op5::kAxisCounts, {0, 0, 0, 50, 0, 0, 0, 0, 0, 0x01}), pkt(op5::kAxisStart)});
    EXPECT_EQ(static_cast<int32_t>(b.events(TraceEvent::kAxisMove).back().b), -2000);
}
