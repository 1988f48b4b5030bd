#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "cmd/wire.h"
#include "executor/sim/sim_board.h"
#include "proto7/opcodes7.h"

using ::testing::ElementsAre;

namespace {

using Data = std::vector<uint8_t>;
using Fields = std::vector<std::pair<size_t, Data>>;  // bytes placed at an offset

Data bytes(uint16_t opcode, size_t length, const Fields& fields, bool listHeader) {
    Data d(length, 0);
    wire::put16be(d.data(), opcode);
    if (listHeader) d[2] = static_cast<uint8_t>(length);
    for (const auto& f : fields) std::copy(f.second.begin(), f.second.end(), d.begin() + f.first);
    return d;
}
Data request(uint16_t opcode, const Fields& f = {}, size_t length = 12) { return bytes(opcode, length, f, false); }
Data packet(op7::ListOp op, const Fields& f = {}) { return bytes(op.opcode, op.length, f, true); }

Data vec(op7::ListOp op, int32_t x, int32_t y, uint16_t steps = 10, uint16_t delay = 0) {
    Data d = packet(op);
    wire::put16be(&d[4], steps);
    wire::put16be(&d[6], delay);
    wire::put24be(&d[8], static_cast<uint32_t>(x));
    wire::put24be(&d[11], static_cast<uint32_t>(y));
    return d;
}

Data ask(sim::SimBoard& board, const Data& req) {
    uint8_t reply[1464] = {};
    uint32_t length = sizeof(reply);
    EXPECT_TRUE(board.exchange(req.data(), static_cast<uint32_t>(req.size()), reply, &length));
    return Data(reply, reply + length);
}

// Packets back to back, zero-padded to the 12-byte minimum as the library sends them.
void deliver(sim::SimBoard& board, const std::vector<Data>& packets) {
    Data frame;
    for (const Data& p : packets) frame.insert(frame.end(), p.begin(), p.end());
    frame.resize(std::max<size_t>(frame.size(), 12), 0);
    board.deliverFrame(frame.data(), static_cast<uint32_t>(frame.size()));
}

Data at(const Data& reply, size_t from, size_t n) { return Data(reply.begin() + from, reply.begin() + from + n); }

const Data kRun = request(op7::kRunState, {{2, {0, 3}}});
const Data kStatus = request(op7::kDevState);

}  // namespace

// Catches reply data placed where the library does not read it, port words in the wrong order, a
// mode byte that ignores the boot switch.
// Catches a board that executes before run, ignores pause, or keeps commands across a reset.
TEST(SimProto7Run, FramesWaitForRunPauseHoldsAndResetDrops) {
    sim::SimBoard board;
    deliver(board, {vec(op7::kMoveToAbs, 1000, 2000), packet(op7::kCountOnce)});
    EXPECT_EQ(board.x(), 32768);
    EXPECT_THAT(at(ask(board, kStatus), 12, 4), ElementsAre(0, 0, 0, 0xFF));  // waiting; 256 KiB less 22 bytes
    ask(board, kRun);
    EXPECT_EQ(board.y(), 2000);
    EXPECT_THAT(at(ask(board, kStatus), 28, 2), ElementsAre(0, 1));  // the count-once packet

    ask(board, request(op7::kPauseResume, {{2, {5}}}));
    deliver(board, {vec(op7::kMoveToAbs, 3000, 3000)});
    EXPECT_EQ(board.x(), 1000);
    const Data paused = ask(board, kStatus);
    EXPECT_EQ(paused[4], 3);  // running, not finished
    EXPECT_EQ(paused[12], 0);
    ask(board, request(op7::kPauseResume));
    EXPECT_EQ(board.x(), 3000);

    ask(board, request(op7::kPauseResume, {{2, {5}}}));
    deliver(board, {vec(op7::kMoveToAbs, 5, 5)});
    ask(board, request(op7::kRunState, {{2, {0, 1}}}));
    ask(board, kRun);
    EXPECT_EQ(board.x(), 3000);
    EXPECT_THAT(at(ask(board, kStatus), 12, 4), ElementsAre(1, 0, 1, 0));
    ask(board, request(op7::kResetCount));
    EXPECT_THAT(at(ask(board, kStatus), 28, 2), ElementsAre(0, 0));
}

// Catches a misread field of a list packet that has an effect on the board.
TEST(SimProto7List, PacketsTakeEffect) {
    using Check = std::function<void(sim::SimBoard&)>;
    const std::pair<std::vector<Data>, Check> cases[] = {
        {{vec(op7::kMoveToAbs, 100, 200, 7, 3)},
         [](sim::SimBoard& b) {
             EXPECT_EQ(b.clock(), 10u);  // steps + delay
             EXPECT_EQ(b.trace().jumps(), 1u);
         }},
        {{vec(op7::kLineToRel, -16, 16)},  // 24-bit signed, added to the position
         [](sim::SimBoard& b) { EXPECT_EQ(std::make_pair(b.x(), b.y()), std::make_pair(32752, 32784)); }},
        {{vec(op7::kLineToAbs, -1, 0)}, [](sim::SimBoard& b) { EXPECT_EQ(b.x(), -1); }},
        {{packet(op7::kDelayTime, {{4, {0, 0, 0, 6}}})}, [](sim::SimBoard& b) { EXPECT_EQ(b.clock(), 3u); }},
        {{packet(op7::kDelayTimeWait, {{4, {0, 0, 0x13, 0x88}}})},  // 5000 us at 10 us a tick
         [](sim::SimBoard& b) { EXPECT_EQ(b.clock(), 500u); }},
        {{packet(op7::kPWMSignal, {{4, {1}}, {6, {0, 0, 0x09, 0x60}}, {14, {0, 0, 0x01, 0xE0}}})},
         [](sim::SimBoard& b) {
             EXPECT_EQ(b.laser().pwmPeriod, 2400u);
             EXPECT_EQ(b.laser().pwmWidth, 480u);
         }},
        {{packet(op7::kDASignal, {{6, {0x0F, 0xFF}}}), packet(op7::kFiberPower, {{4, {0x7F, 0xFF}}, {6, {1}}}),
          packet(op7::kMOPALaser, {{4, {0xA5, 0x01, 0, 7}}}), packet(op7::kMOPALaser, {{6, {0, 9}}}),
          packet(op7::kRedSignal, {{4, {1}}})},
         [](sim::SimBoard& b) {
             const sim::LaserState l = b.laser();
             EXPECT_EQ(l.daLevel, 4095);
             EXPECT_EQ(l.fiberPower, 0x7FFF);
             EXPECT_EQ(l.mopa, 7);  // the second selection lacks its A5 01 prefix
             EXPECT_TRUE(l.redLight);
         }},
        {{packet(op7::kOutPortState, {{4, {0x04, 0, 0, 0}}, {8, {0x04, 0, 0, 0}}}),
          packet(op7::kGpoPar, {{4, {0x07}}, {6, {5}}})},  // enabled, high, port 5
         [](sim::SimBoard& b) { EXPECT_EQ(b.outputs(), 0x24u); }},
        {{packet(op7::kLenPara, {{4, {0x80, 0x00, 0x00, 0x00}}, {11, {0x01}}})},
         [](sim::SimBoard& b) {
             const sim::Trace t = b.trace();
             EXPECT_EQ(t.events.back().kind, sim::TraceEvent::kLens);
             EXPECT_EQ(t.events.back().a, 32768u);
             EXPECT_EQ(t.events.back().b, 65536u);
         }},
        {{packet(op7::kAxisMove, {{4, {0x01}}, {6, {0, 0, 0x03, 0xE8}}, {14, {0x03, 0xE8, 0x27, 0x10}}})},
         [](sim::SimBoard& b) {  // 1000 pulses at 10000/s: 0.1 s; raw = 0x40000000 - 1000
             EXPECT_EQ(b.clock(), 10000u);
             EXPECT_THAT(at(ask(b, request(op7::kDevExtState)), 12, 4), ElementsAre(0x3F, 0xFF, 0xFC, 0x18));
             EXPECT_THAT(at(ask(b, request(op7::kAxisStatesEx)), 4, 5), ElementsAre(0, 0x3F, 0xFF, 0xFC, 0x18));
         }},
        {{packet(op7::kStartFlyMark, {{4, {1}}})},
         [](sim::SimBoard& b) { EXPECT_EQ(b.trace().events.back().a, op7::kStartFlyMark.opcode); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << std::hex << wire::get16be(c.first[0].data()));
        sim::SimBoard board;
        ask(board, kRun);
        deliver(board, c.first);
        c.second(board);
        EXPECT_EQ(board.errors().total(), 0u);
    }
}

// Catches a wrong read window or piece size, or a busy memory that still takes pieces.
// Catches pages placed by the wrong number, an erase that does not erase, or writes while busy.
// Catches malformed input that goes unnoticed or is executed anyway.
TEST(SimProto7Errors, MalformedInputIsCountedAndNotExecuted) {
    Data wrongLength = vec(op7::kMoveToAbs, 9, 9);
    wrongLength[2] = 17;
    Data belowHeader = packet(op7::kCountOnce);
    belowHeader[2] = 3;
    const Data whole = vec(op7::kMoveToAbs, 9, 9);
    const Data cut(whole.begin(), whole.begin() + 12);  // says 18 bytes, 12 arrive
    // Expected counts: unknown opcodes, truncated packets, bad lengths.
    const std::pair<Data, std::vector<uint32_t>> cases[] = {
        {packet({0x0299, 8}), {1, 0, 0}},
        {wrongLength, {0, 0, 1}},
        {belowHeader, {0, 0, 1}},
        {cut, {0, 1, 0}},
    };
    for (const auto& c : cases) {
        sim::SimBoard board;
        ask(board, kRun);
        deliver(board, {c.first});
        const sim::BoardErrors e = board.errors();
        EXPECT_EQ((std::vector<uint32_t>{e.unknownOpcodes, e.truncatedPackets, e.badLengths}), c.second);
        EXPECT_EQ(board.trace().events.size(), 0u);
    }

    sim::SimBoard board;
    EXPECT_EQ(ask(board, request(0xAA99))[2], 0xFF);
    EXPECT_EQ(ask(board, request(op7::kEepromWrite))[2], 0xFF);  // 12 of its 40 bytes
    EXPECT_EQ(board.errors().unknownOpcodes, 1u);
    EXPECT_EQ(board.errors().truncatedPackets, 1u);
    board.faults().refuseOpcode = op7::kRunState;
    board.faults().refuseStatus = 7;
    EXPECT_EQ(ask(board, kRun)[2], 7);
    deliver(board, {vec(op7::kMoveToAbs, 1, 1)});
    EXPECT_EQ(board.x(), 32768);  // the refused run did not start the board
}
