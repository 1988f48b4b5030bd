#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

#include "cmd/packet_writer.h"
#include "cmd/wire.h"
#include "executor/sim/sim_board.h"
#include "proto5/opcodes5.h"
#include "proto7/opcodes7.h"
#include "sim_model.h"
#include "support/bytes.h"

// The simulated board walked command by command: every command either protocol sends is
// understood, the ones with an effect have it, and malformed input is counted, not run.

using sim::TraceEvent;
using ::testing::ElementsAre;

namespace {

constexpr int32_t kCenter = sim::SimModel::kCenter;
constexpr uint8_t kNotUnderstood = 0xFF;  // reply byte 2 of a request the board could not read

Bytes bytesOf(const KestCmd& cmd) { return Bytes(cmd.m_data, cmd.m_data + cmd.m_len); }

struct Board {
    explicit Board(BOARD_PROTOCOL protocol = BOARD_PROTOCOL_7) : board(config(protocol)) {}
    static sim::SimConfig config(BOARD_PROTOCOL protocol) {
        sim::SimConfig c;
        c.protocol = protocol;
        return c;
    }
    Bytes ask(const Bytes& request) {
        uint8_t reply[1464] = {};
        uint32_t length = sizeof(reply);
        EXPECT_TRUE(board.exchange(request.data(), static_cast<uint32_t>(request.size()), reply, &length));
        return Bytes(reply, reply + length);
    }
    uint16_t word(const Bytes& request, size_t at) { return wire::get16be(ask(request).data() + at); }
    // Packets back to back, zero-padded to the 12-byte minimum as the library sends them.
    void deliver(const std::vector<Bytes>& packets) {
        Bytes frame;
        for (const Bytes& p : packets) frame.insert(frame.end(), p.begin(), p.end());
        frame.resize(std::max<size_t>(frame.size(), 12), 0);
        board.deliverFrame(frame.data(), static_cast<uint32_t>(frame.size()));
    }
    std::vector<TraceEvent> events(TraceEvent::Kind kind) {
        std::vector<TraceEvent> out;
        for (const TraceEvent& e : board.trace().events)
            if (e.kind == kind) out.push_back(e);
        return out;
    }
    std::pair<uint32_t, uint32_t> lens() {
        const TraceEvent e = events(TraceEvent::kLens).at(0);
        return {e.a, e.b};
    }
    std::vector<uint32_t> errors() {
        const sim::BoardErrors e = board.errors();
        return {e.unknownOpcodes, e.truncatedPackets, e.badLengths};
    }
    sim::SimBoard board;
};

// The request is answered, and not as one the board does not understand; protocol 5 echoes
// the opcode.
void understood(Board& b, const Bytes& request) {
    SCOPED_TRACE(::testing::Message() << "opcode 0x" << std::hex << (request[0] << 8 | request[1]));
    const Bytes reply = b.ask(request);
    ASSERT_GE(reply.size(), 3u);
    EXPECT_NE(reply[2], kNotUnderstood);
    if (b.board.config().protocol == BOARD_PROTOCOL_5) {
        EXPECT_EQ(slice(reply, 0, 2), slice(request, 0, 2));
    }
}

// Requests before either catalogue: the probe, binding, IP and MAC address, with their lengths.
struct IdentityRequest {
    uint16_t opcode, length7, length5;
};
constexpr IdentityRequest kIdentity[] = {{0x0123, 12, 12}, {0xF0FA, 14, 18}, {0xF010, 22, 22}, {0xF011, 16, 16}};

// --- protocol 7 --------------------------------------------------------------------------------

using Fields = std::vector<std::pair<size_t, Bytes>>;  // bytes placed at an offset

Bytes request7(uint16_t opcode, const Fields& fields = {}, size_t length = 12) {
    Bytes d = pkt(opcode, {}, length);
    for (const auto& f : fields) std::copy(f.second.begin(), f.second.end(), d.begin() + f.first);
    return d;
}
Bytes packet7(op7::ListOp op, const Fields& fields = {}) {
    Bytes d = request7(op.opcode, fields, op.length);
    d[2] = static_cast<uint8_t>(op.length);
    return d;
}
Bytes vec7(op7::ListOp op, int32_t x, int32_t y, uint16_t steps = 10, uint16_t delay = 0) {
    Bytes d = packet7(op);
    wire::put16be(&d[4], steps);
    wire::put16be(&d[6], delay);
    wire::put24be(&d[8], static_cast<uint32_t>(x));
    wire::put24be(&d[11], static_cast<uint32_t>(y));
    return d;
}
const Bytes kRun7 = request7(op7::kRunState, {{2, {0, 3}}});
const Bytes kStatus7 = request7(op7::kDevState);

uint16_t requestLength7(uint16_t opcode) {
    for (const auto& [op, length] : {std::pair{op7::kGpoParNow, 16},
                                     {op7::kEepromWrite, 40},
                                     {op7::kAxisLinkageStopParam, 22},
                                     {op7::kOfflineWritePage, 264}})
        if (op == opcode) return static_cast<uint16_t>(length);
    return 12;
}

// --- protocol 5 --------------------------------------------------------------------------------

Bytes vec5(uint16_t opcode, uint16_t steps, uint16_t x, uint16_t y, uint16_t delay) {
    Bytes b = pkt(opcode);
    wire::put16be(&b[2], steps);
    wire::put16be(&b[4], x);
    wire::put16be(&b[6], y);
    wire::put16be(&b[10], delay);
    return b;
}

}  // namespace

TEST(SimCatalogue, EveryCommandIsUnderstood) {
    Board b7;
    for (const IdentityRequest& r : kIdentity) understood(b7, bytesOf(*makeImmediatePacket(r.opcode, r.length7)));
    for (const auto& entry : op7::kImmediateCatalogue) {
        understood(b7, entry.opcode == op7::kDataTransmit
                           ? bytesOf(*makeListPacket(op7::kDataTransmit, 8))
                           : bytesOf(*makeImmediatePacket(entry.opcode, requestLength7(entry.opcode))));
    }
    understood(b7, kRun7);  // the board must run to execute lists
    for (const auto& entry : op7::kListCatalogue)
        b7.deliver({bytesOf(*makeListPacket(entry.op.opcode, entry.op.length))});
    EXPECT_GT(b7.board.trace().events.size(), 40u);  // the list packets were executed
    EXPECT_THAT(b7.errors(), ElementsAre(0, 0, 0));

    Board b5(BOARD_PROTOCOL_5);
    for (const IdentityRequest& r : kIdentity) understood(b5, bytesOf(*makeImmediatePacket(r.opcode, r.length5)));
    for (uint16_t opcode : op5::kImmediateOpcodes) {
        const uint16_t length = opcode == op5::kEepromWrite ? 38 : (opcode == op5::kOfflineWritePage ? 268 : 12);
        understood(b5, bytesOf(*makeImmediatePacket(opcode, length)));
    }
    understood(b5, pkt(op5::kRun));
    for (uint16_t opcode : op5::kListOpcodes) b5.deliver({pkt(opcode)});
    EXPECT_GT(b5.board.trace().events.size(), 20u);
    EXPECT_THAT(b5.errors(), ElementsAre(0, 0, 0));
}

// Catches a board that executes before run, ignores pause, or keeps commands across a reset.
TEST(SimCatalogue, Protocol7RunPauseAndReset) {
    Board b;
    b.deliver({vec7(op7::kMoveToAbs, 1000, 2000), packet7(op7::kCountOnce)});
    EXPECT_EQ(b.board.x(), kCenter);
    EXPECT_THAT(slice(b.ask(kStatus7), 12, 4), ElementsAre(0, 0, 0, 0xFF));  // waiting; 256 KiB less 22 bytes
    b.ask(kRun7);
    EXPECT_EQ(b.board.y(), 2000);
    EXPECT_THAT(slice(b.ask(kStatus7), 28, 2), ElementsAre(0, 1));  // the count-once packet

    b.ask(request7(op7::kPauseResume, {{2, {5}}}));
    b.deliver({vec7(op7::kMoveToAbs, 3000, 3000)});
    EXPECT_EQ(b.board.x(), 1000);
    EXPECT_THAT(slice(b.ask(kStatus7), 4, 9), ElementsAre(3, 0, 0, 0, 0, 0, 0, 0, 0));  // running, not finished
    b.ask(request7(op7::kPauseResume));
    EXPECT_EQ(b.board.x(), 3000);

    b.ask(request7(op7::kPauseResume, {{2, {5}}}));
    b.deliver({vec7(op7::kMoveToAbs, 5, 5)});
    b.ask(request7(op7::kRunState, {{2, {0, 1}}}));
    b.ask(kRun7);
    EXPECT_EQ(b.board.x(), 3000);
    EXPECT_THAT(slice(b.ask(kStatus7), 12, 4), ElementsAre(1, 0, 1, 0));
    b.ask(request7(op7::kResetCount));
    EXPECT_THAT(slice(b.ask(kStatus7), 28, 2), ElementsAre(0, 0));
}

// Catches a misread field of a list packet that has an effect on the board.
TEST(SimCatalogue, Protocol7PacketsTakeEffect) {
    using Check = std::function<void(Board&)>;
    const std::pair<std::vector<Bytes>, Check> cases[] = {
        {{vec7(op7::kMoveToAbs, 100, 200, 7, 3)},  // steps + delay
         [](Board& b) {
             EXPECT_EQ(std::make_pair(b.board.clock(), b.board.trace().jumps()), std::make_pair(10ul, 1ul));
         }},
        {{vec7(op7::kLineToRel, -16, 16)},  // 24-bit signed, added to the position
         [](Board& b) { EXPECT_EQ(std::make_pair(b.board.x(), b.board.y()), std::make_pair(32752, 32784)); }},
        {{vec7(op7::kLineToAbs, -1, 0)}, [](Board& b) { EXPECT_EQ(b.board.x(), -1); }},
        {{packet7(op7::kDelayTime, {{4, {0, 0, 0, 6}}})}, [](Board& b) { EXPECT_EQ(b.board.clock(), 3u); }},
        {{packet7(op7::kDelayTimeWait, {{4, {0, 0, 0x13, 0x88}}})},  // 5000 us at 10 us a tick
         [](Board& b) { EXPECT_EQ(b.board.clock(), 500u); }},
        {{packet7(op7::kPWMSignal, {{4, {1}}, {6, {0, 0, 0x09, 0x60}}, {14, {0, 0, 0x01, 0xE0}}})},
         [](Board& b) {
             EXPECT_EQ(std::make_pair(b.board.laser().pwmPeriod, b.board.laser().pwmWidth),
                       std::make_pair(2400u, 480u));
         }},
        {{packet7(op7::kDASignal, {{6, {0x0F, 0xFF}}}), packet7(op7::kFiberPower, {{4, {0x7F, 0xFF}}, {6, {1}}}),
          packet7(op7::kMOPALaser, {{4, {0xA5, 0x01, 0, 7}}}), packet7(op7::kMOPALaser, {{6, {0, 9}}}),
          packet7(op7::kRedSignal, {{4, {1}}})},
         [](Board& b) {  // the second selection lacks its A5 01 prefix
             const sim::LaserState l = b.board.laser();
             EXPECT_EQ(std::make_tuple(l.daLevel, l.fiberPower, l.mopa, l.redLight),
                       std::make_tuple(4095, 0x7FFF, 7, true));
         }},
        {{packet7(op7::kOutPortState, {{4, {0x04, 0, 0, 0}}, {8, {0x04, 0, 0, 0}}}),
          packet7(op7::kGpoPar, {{4, {0x07}}, {6, {5}}})},  // enabled, high, port 5
         [](Board& b) { EXPECT_EQ(b.board.outputs(), 0x24u); }},
        {{packet7(op7::kLenPara, {{4, {0x80, 0x00, 0x00, 0x00}}, {10, {0x01, 0x01}}})},  // bytes 10, 11: bits 16-23
         [](Board& b) { EXPECT_EQ(b.lens(), std::make_pair(98304u, 65536u)); }},
        {{packet7(op7::kAxisMove, {{4, {0x01}}, {6, {0, 0, 0x03, 0xE8}}, {14, {0x03, 0xE8, 0x27, 0x10}}})},
         [](Board& b) {  // 1000 pulses at 10000/s: 0.1 s; raw = 0x40000000 - 1000
             EXPECT_EQ(b.board.clock(), 10000u);
             EXPECT_THAT(slice(b.ask(request7(op7::kDevExtState)), 12, 4), ElementsAre(0x3F, 0xFF, 0xFC, 0x18));
             EXPECT_THAT(slice(b.ask(request7(op7::kAxisStatesEx)), 4, 5), ElementsAre(0, 0x3F, 0xFF, 0xFC, 0x18));
         }},
        {{packet7(op7::kStartFlyMark, {{4, {1}}})},
         [](Board& b) { EXPECT_EQ(b.board.trace().events.back().a, op7::kStartFlyMark.opcode); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << wire::get16be(c.first[0].data()));
        Board b;
        b.ask(kRun7);
        b.deliver(c.first);
        c.second(b);
        EXPECT_EQ(b.board.errors().total(), 0u);
    }
}

// Catches malformed input that goes unnoticed or is executed anyway.
TEST(SimCatalogue, Protocol7MalformedInputIsCountedAndNotExecuted) {
    Bytes wrongLength = vec7(op7::kMoveToAbs, 9, 9);
    wrongLength[2] = 17;
    Bytes belowHeader = packet7(op7::kCountOnce);
    belowHeader[2] = 3;
    // Expected counts: unknown opcodes, truncated packets, bad lengths.
    const std::pair<Bytes, std::vector<uint32_t>> cases[] = {
        {packet7({0x0299, 8}), {1, 0, 0}},
        {wrongLength, {0, 0, 1}},
        {belowHeader, {0, 0, 1}},
        {slice(vec7(op7::kMoveToAbs, 9, 9), 0, 12), {0, 1, 0}},  // says 18 bytes, 12 arrive
    };
    for (const auto& c : cases) {
        Board b;
        b.ask(kRun7);
        b.deliver({c.first});
        EXPECT_EQ(b.errors(), c.second);
        EXPECT_EQ(b.board.trace().events.size(), 0u);
    }

    Board b;
    EXPECT_EQ(b.ask(request7(0xAA99))[2], kNotUnderstood);
    EXPECT_EQ(b.ask(request7(op7::kEepromWrite))[2], kNotUnderstood);  // 12 of its 40 bytes
    EXPECT_THAT(b.errors(), ElementsAre(1, 1, 0));
    b.board.faults().refuseOpcode = op7::kRunState;
    b.board.faults().refuseStatus = 7;
    EXPECT_EQ(b.ask(kRun7)[2], 7);
    b.deliver({vec7(op7::kMoveToAbs, 1, 1)});
    EXPECT_EQ(b.board.x(), kCenter);  // the refused run did not start the board
}

TEST(SimCatalogue, Protocol5RunPauseResetAndCounter) {
    Board b(BOARD_PROTOCOL_5);
    b.deliver({vec5(op5::kMoveToAbs, 1, 100, 100, 0)});
    EXPECT_EQ(b.board.x(), kCenter);
    b.ask(pkt(op5::kRun));
    EXPECT_EQ(b.board.x(), 100);
    b.ask(pkt(op5::kPauseResume, {0x55}));
    b.deliver({vec5(op5::kMoveToAbs, 1, 200, 200, 0)});
    EXPECT_EQ(b.board.x(), 100);
    b.ask(pkt(op5::kPauseResume));
    EXPECT_EQ(b.board.x(), 200);
    b.ask(pkt(op5::kReady));
    b.deliver({vec5(op5::kMoveToAbs, 1, 300, 300, 0)});
    b.ask(pkt(op5::kReset));
    EXPECT_EQ(b.ask(pkt(op5::kDevState))[2], 0x20);
    b.ask(pkt(op5::kRun));
    EXPECT_EQ(b.board.x(), 200);  // the reset dropped the queued jump

    for (int frame = 0; frame < 6; ++frame) b.deliver(std::vector<Bytes>(10923, pkt(op5::kCountOnce)));  // 65538
    EXPECT_EQ(b.word(pkt(op5::kDevState), 9), 2);                                                        // wrapped
    EXPECT_EQ(b.word(pkt(op5::kResetCount), 2), 0);
    EXPECT_EQ(b.word(pkt(op5::kDevState), 9), 0);
    // What does not fit the command memory is refused and counted, never queued.
    const Bytes flood(b.board.config().commandMemory + 1, 0);
    EXPECT_FALSE(b.board.deliverFrame(flood.data(), static_cast<uint32_t>(flood.size())));
    EXPECT_EQ(b.board.errors().framesRefused, 1u);
}

TEST(SimCatalogue, Protocol5OutputsRefusalsAndErrorCounts) {
    Board b(BOARD_PROTOCOL_5);
    b.ask(pkt(op5::kOutPortStateNow, {3, 0, 0, 1}));
    EXPECT_EQ(b.word(pkt(op5::kOutPortRead), 2), 8);
    b.board.faults().refuseOpcode = op5::kRun;
    b.board.faults().refuseStatus = 7;
    EXPECT_EQ(b.ask(pkt(op5::kRun))[2], 7);
    b.deliver({vec5(op5::kMoveToAbs, 1, 5, 5, 0)});
    EXPECT_EQ(b.board.x(), kCenter);
    b.board.faults().refuseOpcode = op5::kOutPortRead;
    EXPECT_EQ(b.word(pkt(op5::kOutPortRead), 2), 0xFFFF);

    b.ask(pkt(op5::kRun));
    b.ask(pkt(0x0199));
    b.ask(pkt(0xF0FA, {1}, 14));                                               // binding takes 18 bytes here
    b.deliver({pkt(0x0299), pkt(op5::kDevState), Bytes(12, 0), pkt(0x0298)});  // padding ends a frame
    b.deliver({pkt(op5::kCountOnce), Bytes{0x02, 0x41, 0, 1}});
    EXPECT_THAT(b.errors(), ElementsAre(3, 1, 1));
}

TEST(SimCatalogue, Protocol5PacketsTakeEffect) {
    struct Case {
        Bytes packet;
        TraceEvent::Kind kind;
        int32_t x, y;
        uint64_t ticks;
    };
    const Case cases[] = {
        {vec5(op5::kMoveToRel, 3, 0xFFF0, 32, 0), TraceEvent::kJump, kCenter - 16, kCenter + 32, 3},
        {vec5(op5::kLineToRel, 1, 0, 0xFFFF, 0), TraceEvent::kMark, kCenter, kCenter - 1, 1},
        {vec5(op5::kMoveToRel, 1, 0, 0, 65534), TraceEvent::kDelay, kCenter, kCenter, 65535},
    };
    for (const Case& c : cases) {
        Board b(BOARD_PROTOCOL_5);
        b.ask(pkt(op5::kRun));
        b.deliver({c.packet});
        EXPECT_EQ(b.board.trace().events.back().kind, c.kind);
        EXPECT_EQ(std::make_pair(b.board.x(), b.board.y()), std::make_pair(c.x, c.y));
        EXPECT_EQ(b.board.clock(), c.ticks);
    }
    Board b(BOARD_PROTOCOL_5);
    b.ask(pkt(op5::kRun));
    b.deliver({pkt(op5::kFiberPower, {0, 0, 0, 0x09, 0x60, 0x01, 0xE0, 0xFF}), pkt(op5::kDASignal, {0x0F, 0xFF}),
               pkt(op5::kMOPALaser, {0xA5, 0x01, 0x00, 0x07}), pkt(op5::kLenRange, {0, 0, 0, 0, 0x80, 0, 0x40, 0})});
    const sim::LaserState l = b.board.laser();
    EXPECT_EQ(std::make_tuple(l.pwmPeriod, l.pwmWidth, l.fiberPower, l.daLevel, l.mopa),
              std::make_tuple(2400u, 480u, 255, 4095, 7));
    EXPECT_EQ(b.lens(), std::make_pair(0x8000u, 0x4000u));

    // Slot 0: 1000 pulses forward at 1000/s, slot 1: 500 back at 500/s; a second is 100000 ticks.
    b.deliver({pkt(op5::kAxisCounts, {0, 0, 0x03, 0xE8, 0, 0, 0x01, 0xF4, 0x01}),
               pkt(op5::kAxisSpeeds, {0, 10, 0x03, 0xE8, 0, 0, 10, 0x01, 0xF4}), pkt(op5::kAxisStart)});
    // The select serves one start only.
    b.deliver({pkt(op5::kAxisPairSelect, {1}), pkt(op5::kAxisCounts2, {0, 0, 0, 0, 0, 0, 0, 10, 0x02}),
               pkt(op5::kAxisStart), pkt(op5::kAxisStart)});
    std::vector<std::tuple<uint32_t, int32_t, uint64_t>> moves;  // axis, pulses, ticks
    for (const TraceEvent& e : b.events(TraceEvent::kAxisMove)) moves.emplace_back(e.a, int32_t(e.b), e.ticks);
    EXPECT_THAT(moves, ElementsAre(std::make_tuple(0u, 1000, 100000u), std::make_tuple(1u, -500, 100000u),
                                   std::make_tuple(3u, 10, 1u), std::make_tuple(0u, 1000, 100000u),
                                   std::make_tuple(1u, -500, 100000u)));
    const Bytes pairA = b.ask(pkt(op5::kAxisStatesA));
    EXPECT_EQ(wire::get32be(pairA.data() + 4), 0x40000000u - 2000);
    EXPECT_EQ(wire::get32be(pairA.data() + 8), 0x40000000u + 1000);
    EXPECT_EQ(wire::get32be(b.ask(pkt(op5::kAxisStatesB)).data() + 8), 0x40000000u - 10);

    // Homing runs to the home switch at position 0.
    b.deliver({pkt(op5::kAxisCounts, {0, 0, 0, 50, 0, 0, 0, 0, 0, 0x01}), pkt(op5::kAxisStart)});
    EXPECT_EQ(static_cast<int32_t>(b.events(TraceEvent::kAxisMove).back().b), -2000);
}
