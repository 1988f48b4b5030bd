#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

#include "cmd/packet_writer.h"
#include "executor/sim/sim_board.h"
#include "proto5/opcodes5.h"
#include "proto7/opcodes7.h"
#include "sim_model.h"
#include "support/bytes.h"
#include "support/sim_job.h"

// The simulated board walked command by command: every command either protocol sends is
// understood, the ones with an effect have it, and malformed input is counted, not run.

using sim::TraceEvent;
using Values = std::vector<int64_t>;

namespace {

constexpr int64_t kC = sim::SimModel::kCenter;
constexpr BOARD_PROTOCOL P7 = BOARD_PROTOCOL_7, P5 = BOARD_PROTOCOL_5;

Bytes bytesOf(const KestCmd& cmd) { return Bytes(cmd.m_data, cmd.m_data + cmd.m_len); }

// One step of a row: list packets sent back to back as one frame, or an immediate request.
struct Step {
    Step(Bytes packet) : packets{std::move(packet)} {}  // NOLINT: a lone packet is a frame
    Step(std::vector<Bytes> p, bool isFrame) : frame(isFrame), packets(std::move(p)) {}
    bool frame = true;
    std::vector<Bytes> packets;
};
Step ask(Bytes request) { return Step({std::move(request)}, false); }
Step frame(std::vector<Bytes> packets) { return Step(std::move(packets), true); }

struct Board {
    Board(BOARD_PROTOCOL protocol, bool running, sim::SimConfig config = {})
        : board(sim_job::SimRig::withProtocol(config, protocol)) {
        if (running) ask(protocol == P7 ? pkt(op7::kRunState, {0, 3}) : pkt(op5::kRun));
    }
    Bytes ask(const Bytes& request) {
        uint8_t reply[1464] = {};
        uint32_t length = sizeof(reply);
        EXPECT_TRUE(board.exchange(request.data(), static_cast<uint32_t>(request.size()), reply, &length));
        return Bytes(reply, reply + length);
    }
    void run(const Step& step) {
        if (!step.frame) return void(ask(step.packets[0]));
        Bytes f;  // zero-padded to the 12-byte minimum as the library sends frames
        for (const Bytes& p : step.packets) f.insert(f.end(), p.begin(), p.end());
        f.resize(std::max<size_t>(f.size(), 12), 0);
        board.deliverFrame(f.data(), static_cast<uint32_t>(f.size()));
    }
    sim::SimBoard board;
};

// What a row looks at once its steps ran; looks add up.
using Look = std::function<Values(Board&)>;
Look operator+(Look a, Look b) {
    return [=](Board& board) {
        Values v = a(board), w = b(board);
        v.insert(v.end(), w.begin(), w.end());
        return v;
    };
}
Values motion(Board& b) {
    const sim::Trace t = b.board.trace();
    return {b.board.x(), b.board.y(), int64_t(b.board.clock()), int64_t(t.jumps()), int64_t(t.marks())};
}
Values laser(Board& b) {
    const sim::LaserState l = b.board.laser();
    return {l.pwmPeriod, l.pwmWidth, l.daLevel, l.fiberPower, l.mopa, l.redLight};
}
Values outputs(Board& b) { return {b.board.outputs()}; }
Values errors(Board& b) {
    const sim::BoardErrors e = b.board.errors();
    return {e.unknownOpcodes, e.truncatedPackets, e.badLengths, e.framesRefused,
            int64_t(b.board.trace().events.size())};
}
// Every event of one kind: a, b as signed, ticks.
Look events(TraceEvent::Kind kind) {
    return [kind](Board& b) {
        Values out;
        for (const TraceEvent& e : b.board.trace().events)
            if (e.kind == kind) out.insert(out.end(), {e.a, int32_t(e.b), int64_t(e.ticks)});
        return out;
    };
}
const Look lens = events(TraceEvent::kLens), moves = events(TraceEvent::kAxisMove);
// The reply's bytes from at on, so many or all.
Look reply(Bytes request, size_t at, size_t length = 1464) {
    return [=](Board& b) {
        const Bytes r = b.ask(request);
        return Values(r.begin() + at, r.begin() + at + std::min(length, r.size() - at));
    };
}

// --- protocol 7 --------------------------------------------------------------------------------

using Fields = std::vector<std::pair<size_t, Bytes>>;  // bytes placed at an offset

Bytes p7(op7::ListOp op, const Fields& fields = {}) {
    Bytes d = pkt(op.opcode, {static_cast<uint8_t>(op.length)}, op.length);
    for (const auto& [at, bytes] : fields) std::copy(bytes.begin(), bytes.end(), d.begin() + at);
    return d;
}
// Steps and delay 16 bits, x and y 24 bits signed.
Bytes vec7(op7::ListOp op, int32_t x, int32_t y, uint8_t steps = 10, uint8_t delay = 0) {
    const auto b = [](int32_t v, int at) { return static_cast<uint8_t>(v >> at); };
    return p7(op, {{5, {steps, 0, delay, b(x, 16), b(x, 8), b(x, 0), b(y, 16), b(y, 8), b(y, 0)}}});
}
Bytes says(Bytes packet, uint8_t length) { return packet[2] = length, packet; }  // a length it does not have

const Step kRun7 = ask(pkt(op7::kRunState, {0, 3})), kReset7 = ask(pkt(op7::kRunState, {0, 1}));
const Step kPause7 = ask(pkt(op7::kPauseResume, {5})), kResume7 = ask(pkt(op7::kPauseResume));
const Bytes kStatus7 = pkt(op7::kDevState), kExt7 = pkt(op7::kDevExtState), kAxes7 = pkt(op7::kAxisStatesEx);
const Bytes kJump7 = vec7(op7::kMoveToAbs, 1000, 2000), kCount7 = p7(op7::kCountOnce);
// 1000 pulses at 10000/s on slot 0: 0.1 s; the speed word also sits where a third slot would.
const Bytes kAxis7 = p7(op7::kAxisMove, {{4, {0x01}}, {6, {0, 0, 0x03, 0xE8}}, {14, {0x03, 0xE8, 0x27, 0x10}}});
const Bytes kHome7 = p7(op7::kAxisMove, {{4, {0x04}}, {14, {0x03, 0xE8, 0x27, 0x10}}});  // slot 0 homes

// Immediate requests not 12 bytes long, among them binding, IP and MAC address.
uint16_t requestLength(uint16_t op, bool is7) {
    if (op == 0xF0FA || op == 0xF010 || op == 0xF011) return op == 0xF0FA ? (is7 ? 14 : 18) : (op == 0xF010 ? 22 : 16);
    if (!is7) return op == op5::kEepromWrite ? 38 : (op == op5::kOfflineWritePage ? 268 : 12);
    if (op == op7::kGpoParNow || op == op7::kAxisLinkageStopParam) return op == op7::kGpoParNow ? 16 : 22;
    return op == op7::kEepromWrite ? 40 : (op == op7::kOfflineWritePage ? 264 : (op == op7::kDataTransmit ? 8 : 12));
}

// --- protocol 5 --------------------------------------------------------------------------------

const Step kRun5 = ask(pkt(op5::kRun)), kPause5 = ask(pkt(op5::kPauseResume, {0x55})),
           kResume5 = ask(pkt(op5::kPauseResume));
const Step kReady5 = ask(pkt(op5::kReady)), kReset5 = ask(pkt(op5::kReset));
// Steps, x, y, and at 10 a delay, 16 bits each.
const Bytes kStatus5 = pkt(op5::kDevState), kJump5 = pkt(op5::kMoveToAbs, {0, 1, 0, 100, 0, 100});
// Slot 0: 1000 pulses forward at 1000/s, slot 1: 500 back at 500/s; a second is 100000 ticks.
const Step kAxes5 = frame({pkt(op5::kAxisCounts, {0, 0, 0x03, 0xE8, 0, 0, 0x01, 0xF4, 0x01}),
                           pkt(op5::kAxisSpeeds, {0, 10, 0x03, 0xE8, 0, 0, 10, 0x01, 0xF4}), pkt(op5::kAxisStart)});
// The select serves one start only.
const Step kPair5 = frame({pkt(op5::kAxisPairSelect, {1}), pkt(op5::kAxisCounts2, {0, 0, 0, 0, 0, 0, 0, 10, 0x02}),
                           pkt(op5::kAxisStart), pkt(op5::kAxisStart)});
const Step kCount5 = frame(std::vector<Bytes>(10923, pkt(op5::kCountOnce)));

// A board of either protocol, run before the steps or not.
using Mode = std::pair<BOARD_PROTOCOL, bool>;
const Mode R7{P7, true}, I7{P7, false}, R5{P5, true}, I5{P5, false};

}  // namespace

TEST(SimCatalogue, EveryCommandIsUnderstood) {
    for (const bool is7 : {true, false}) {
        Board b(is7 ? P7 : P5, false);
        // The probe, binding, IP and MAC address, then the catalogue; run last, to execute the list.
        std::vector<uint16_t> asks = {0x0123, 0xF0FA, 0xF010, 0xF011};
        std::vector<Bytes> lists;
        for (const auto& e : op7::kImmediateCatalogue)
            if (is7) asks.push_back(e.opcode);
        for (uint16_t op : op5::kImmediateOpcodes)
            if (!is7) asks.push_back(op);
        for (const auto& e : op7::kListCatalogue)
            if (is7) lists.push_back(bytesOf(*makeListPacket(e.op.opcode, e.op.length)));
        for (uint16_t op : op5::kListOpcodes)
            if (!is7) lists.push_back(pkt(op));
        for (uint16_t op : asks) {
            SCOPED_TRACE(::testing::Message() << "opcode 0x" << std::hex << op);
            const uint16_t length = requestLength(op, is7);
            const Bytes request = bytesOf(is7 && op == op7::kDataTransmit ? *makeListPacket(op, length)
                                                                          : *makeImmediatePacket(op, length));
            const Bytes reply = b.ask(request);
            ASSERT_GE(reply.size(), 3u);
            EXPECT_NE(reply[2], 0xFF);  // what the board answers to a request it cannot read
            EXPECT_TRUE(is7 || slice(reply, 0, 2) == slice(request, 0, 2));  // protocol 5 echoes the opcode
        }
        b.run(is7 ? kRun7 : kRun5);
        for (const Bytes& p : lists) b.run(p);
        EXPECT_GT(b.board.trace().events.size(), is7 ? 40u : 20u);  // the list packets were executed
        EXPECT_EQ(b.board.errors().total(), 0u);
    }
}

// Catches a board that executes before run, ignores pause or keeps commands across a reset, a
// misread field of a packet with an effect, and malformed input that goes unnoticed or is run.
TEST(SimCatalogue, StepsLeaveTheBoardInItsState) {
    const std::tuple<Mode, std::vector<Step>, Look, Values> rows[] = {
        // Waiting, 256 KiB less 22 bytes free.
        {I7, {frame({kJump7, kCount7})}, motion + reply(kStatus7, 12, 4), {kC, kC, 0, 0, 0, 0, 0, 0, 0xFF}},
        {I7, {frame({kJump7, kCount7}), kRun7}, motion + reply(kStatus7, 28, 2), {1000, 2000, 10, 1, 0, 0, 1}},
        {R7, {kPause7, kJump7}, motion + reply(kStatus7, 4, 9), {kC, kC, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0}},
        {R7, {kPause7, kJump7, kResume7}, motion, {1000, 2000, 10, 1, 0}},
        {R7, {kPause7, kJump7, kReset7, kRun7}, motion + reply(kStatus7, 12, 4), {kC, kC, 0, 0, 0, 1, 0, 1, 0}},
        {R7, {kCount7, ask(pkt(op7::kResetCount))}, reply(kStatus7, 28, 2), {0, 0}},
        {R7, {vec7(op7::kMoveToAbs, 100, 200, 7, 3)}, motion, {100, 200, 10, 1, 0}},
        {R7, {vec7(op7::kLineToRel, -16, 16)}, motion, {kC - 16, kC + 16, 10, 0, 1}},
        {R7, {vec7(op7::kLineToAbs, -1, 0)}, motion, {-1, 0, 10, 0, 1}},
        {R7, {p7(op7::kDelayTime, {{4, {0, 0, 0, 6}}})}, motion, {kC, kC, 3, 0, 0}},
        // 5000 us at 10 us a tick; none takes no time.
        {R7, {p7(op7::kDelayTimeWait, {{4, {0, 0, 0x13, 0x88}}})}, motion, {kC, kC, 500, 0, 0}},
        {R7, {p7(op7::kDelayTimeWait)}, motion, {kC, kC, 0, 0, 0}},
        {I7, {}, reply(pkt(op7::kDataTransmit, {8, 0, 0xAB, 0xCD, 1, 2}, 8), 4), {0xAB, 0xCD, 1, 2}},  // echoed
        // The second laser selection lacks its A5 01 prefix.
        {R7,
         {frame({p7(op7::kPWMSignal, {{4, {1}}, {6, {0, 0, 0x09, 0x60}}, {14, {0, 0, 1, 0xE0}}}),
                 p7(op7::kDASignal, {{6, {0x0F, 0xFF}}}), p7(op7::kFiberPower, {{4, {0x7F, 0xFF}}, {6, {1}}}),
                 p7(op7::kMOPALaser, {{4, {0xA5, 0x01, 0, 7}}}), p7(op7::kMOPALaser, {{6, {0, 9}}}),
                 p7(op7::kRedSignal, {{4, {1}}})})},
         laser,
         {2400, 480, 4095, 0x7FFF, 7, 1}},
        {R7,
         {frame(
             {p7(op7::kOutPortState, {{4, {4, 0, 0, 0}}, {8, {4, 0, 0, 0}}}), p7(op7::kGpoPar, {{4, {7}}, {6, {5}}})})},
         outputs,
         {0x24}},  // enabled, high, port 5
        {R7, {p7(op7::kLenPara, {{4, {0x80, 0, 0, 0}}, {10, {1, 1}}})}, lens, {98304, 65536, 0}},  // 10, 11: bits 16-23
        {R7, {kAxis7}, motion + reply(kExt7, 12, 4), {kC, kC, 10000, 0, 0, 0x3F, 0xFF, 0xFC, 0x18}},
        {R7, {kPause7, kHome7}, reply(kExt7, 40, 2) + reply(kAxes7, 4, 6), {1, 0, 1, 0x40, 0, 0, 0, 0}},
        {R7, {p7(op7::kStartFlyMark, {{4, {1}}})}, events(TraceEvent::kOther), {op7::kStartFlyMark.opcode, 0, 0}},
        // Unknown, two wrong lengths, and one that says 18 bytes when 12 arrive: one frame each.
        {R7, {p7({0x0299, 8}), says(kJump7, 17), says(kCount7, 3), slice(kJump7, 0, 12)}, errors, {1, 1, 2, 0, 0}},
        // An unknown request, and one cut to 12 of its 40 bytes.
        {I7, {}, reply(pkt(0xAA99), 2, 1) + reply(pkt(op7::kEepromWrite), 2, 1) + errors, {0xFF, 0xFF, 1, 1, 0, 0, 0}},

        {I5, {kJump5, kRun5}, motion, {100, 100, 1, 1, 0}},
        {R5, {kPause5, kJump5}, motion, {kC, kC, 0, 0, 0}},
        {R5, {kPause5, kJump5, kResume5}, motion, {100, 100, 1, 1, 0}},
        // Nothing runs before run, and the reset drops the queued jump.
        {I5, {kReady5, kJump5, kReset5, kRun5}, reply(kStatus5, 2, 1) + motion, {0x20, kC, kC, 0, 0, 0}},
        {R5, {kCount5, kCount5, kCount5, kCount5, kCount5, kCount5}, reply(kStatus5, 9, 2), {0, 2}},  // 65538
        {R5, {pkt(op5::kCountOnce), ask(pkt(op5::kResetCount))}, reply(kStatus5, 9, 2), {0, 0}},
        // What does not fit the command memory is refused and counted, never queued.
        {I5, {Bytes(256 * 1024 + 1, 0)}, errors, {0, 0, 0, 1, 0}},
        // Port 3 high; there is no port 32.
        {I5,
         {ask(pkt(op5::kOutPortStateNow, {3, 0, 0, 1})), ask(pkt(op5::kOutPortStateNow, {32, 0, 0, 1}))},
         reply(pkt(op5::kOutPortRead), 2, 2),
         {0, 8}},
        // Padding ends a frame; binding takes 18 bytes here.
        {R5,
         {ask(pkt(0x0199)), ask(pkt(0xF0FA, {1}, 14)), frame({pkt(0x0299), kStatus5, Bytes(12, 0), pkt(0x0298)}),
          frame({pkt(op5::kCountOnce), Bytes{0x02, 0x41, 0, 1}})},
         errors,
         {3, 1, 1, 0, 0}},
        {R5, {pkt(op5::kMoveToRel, {0, 3, 0xFF, 0xF0, 0, 32})}, motion, {kC - 16, kC + 32, 3, 1, 0}},
        {R5, {pkt(op5::kLineToRel, {0, 1, 0, 0, 0xFF, 0xFF})}, motion, {kC, kC - 1, 1, 0, 1}},
        {R5, {pkt(op5::kMoveToRel, {0, 1, 0, 0, 0, 0, 0, 0, 0xFF, 0xFE})}, events(TraceEvent::kDelay), {0, 0, 65535}},
        {R5,
         {frame({pkt(op5::kFiberPower, {0, 0, 0, 0x09, 0x60, 0x01, 0xE0, 0xFF}), pkt(op5::kDASignal, {0x0F, 0xFF}),
                 pkt(op5::kMOPALaser, {0xA5, 0x01, 0x00, 0x07})})},
         laser,
         {2400, 480, 4095, 255, 7, 0}},
        {R5, {pkt(op5::kLenRange, {0, 0, 0, 0, 0x80, 0, 0x40, 0})}, lens, {0x8000, 0x4000, 0}},
        {R5, {kAxes5, kPair5}, moves, {0, 1000, 100000, 1, -500, 100000, 3, 10, 1, 0, 1000, 100000, 1, -500, 100000}},
        // Positions 0x40000000 - 2000, + 1000 and - 10.
        {R5, {kAxes5, kPair5}, reply(pkt(op5::kAxisStatesA), 4, 8), {0x3F, 0xFF, 0xF8, 0x30, 0x40, 0, 3, 0xE8}},
        {R5, {kAxes5, kPair5}, reply(pkt(op5::kAxisStatesB), 8, 4), {0x3F, 0xFF, 0xFF, 0xF6}},
        // Homing runs to the home switch at position 0.
        {R5,
         {kAxes5, frame({pkt(op5::kAxisCounts, {0, 0, 0, 50, 0, 0, 0, 0, 0, 1}), pkt(op5::kAxisStart)})},
         moves,
         {0, 1000, 100000, 1, -500, 100000, 0, -1000, 5000}},
    };
    int row = 0;
    for (const auto& [mode, steps, look, expected] : rows) {
        SCOPED_TRACE(row++);
        Board b(mode.first, mode.second);
        for (const Step& step : steps) b.run(step);
        EXPECT_EQ(look(b), expected);
    }
}

TEST(SimCatalogue, TraceKeepsItsLimitAndCountsTheRest) {
    sim::SimConfig config;
    config.traceLimit = 2;
    Board b(P5, true, config);
    for (int i = 0; i < 4; ++i) b.run(pkt(op5::kMoveToRel, {0, 1, 0, 0, 0, 0, 0, 0, 0xFF, 0xFE}));
    const sim::Trace trace = b.board.trace();
    EXPECT_EQ(trace.events.size(), 2u);  // of four delays
    EXPECT_EQ(trace.dropped, 2u);
    EXPECT_NE(trace.toJson().find("{\"kind\":\"dropped\",\"count\":2}"), std::string::npos);
    EXPECT_NE(trace.toSvg().find("2 later events not kept"), std::string::npos);
    b.board.clearTrace();
    EXPECT_EQ(b.board.trace().events.size() + b.board.trace().dropped, 0u);
}
