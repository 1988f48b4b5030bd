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
TEST(SimProto7Status, RepliesCarryTheirDataWhereTheLibraryReadsIt) {
    const std::pair<Data, Fields> cases[] = {
        {request(op7::kProbe), {{0, {0, 0, 0}}}},  // no 01 23 echo: not a protocol 5 board
        {request(op7::kDevType), {{4, {0x18, 0x00}}}},
        {request(op7::kHeartbeat, {{4, {0xFF, 0x01}}}), {{4, {0x00, 0x02}}}},  // 0x01FF + 1, LE
        {request(0xF0FA, {{2, {1}}}, 14), {{2, {0}}}},
        {request(op7::kOfflineRamSize), {{4, {0x00, 0x10, 0x00, 0x00}}}},
        {request(op7::kDataTransmit, {{2, {7}}, {4, {'a', 'b', 'c'}}}, 7), {{2, {0, 0, 'a', 'b', 'c'}}}},
        {kStatus, {{4, {1}}, {12, {1, 0x00, 0x01, 0x00}}}},  // idle, finished, 256 KiB free
    };
    for (const auto& c : cases) {
        sim::SimBoard board;
        const Data reply = ask(board, c.first);
        for (const auto& f : c.second)
            EXPECT_EQ(at(reply, f.first, f.second.size()), f.second) << std::hex << wire::get16be(c.first.data());
    }

    // Port 2 as the library sends it, and the status outputs, per firmware family.
    const std::pair<uint16_t, std::pair<Data, Data>> ports[] = {
        {0x1800, {{0x04, 0, 0, 0}, {0, 0, 0, 0x04}}},
        {0x1700, {{0, 0x04, 0, 0}, {0x04, 0, 0, 0}}},
        {0x1579, {{0, 0x04, 0, 0}, {0, 0, 0, 0x04}}},
    };
    for (const auto& p : ports) {
        sim::SimConfig config;
        config.firmwareVersion = p.first;
        sim::SimBoard board(config);
        board.setInputs(0x12345678);
        ask(board, request(op7::kOutPortStateAll, {{4, p.second.first}, {8, p.second.first}}));
        EXPECT_EQ(board.outputs(), 0x04u) << std::hex << p.first;
        const Data status = ask(board, kStatus);
        EXPECT_EQ(at(status, 20, 4), p.second.second) << std::hex << p.first;
        EXPECT_THAT(at(status, 16, 4), ElementsAre(0x12, 0x34, 0x56, 0x78));
    }

    sim::SimBoard board;  // the boot loader switch shows in the mode byte
    ask(board, request(op7::kBootMode));
    EXPECT_EQ(ask(board, request(op7::kBoardMode))[2], 0x01);
    ask(board, request(op7::kAppMode));
    EXPECT_EQ(ask(board, request(op7::kBoardMode))[2], 0x04);
}

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
TEST(SimProto7Memory, EepromWritesThenReadsInPiecesAndHoldsWhileBusy) {
    sim::SimBoard board;
    Data data(40);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i + 1);
    ask(board, request(op7::kEepromWrite, {{4, {0x05, 0x00, 31}}, {8, Data(data.begin(), data.begin() + 32)}}, 40));
    ask(board, request(op7::kEepromWrite, {{4, {0x05, 0x20, 7}}, {8, Data(data.begin() + 32, data.end())}}, 40));
    EXPECT_EQ(board.eepromBytes(0x500, 40), std::string(data.begin(), data.end()));

    EXPECT_EQ(ask(board, request(op7::kEepromPreRead, {{4, {0x05, 0x00, 0, 39}}}))[4], 0);
    Data back;
    for (size_t n : {32u, 8u, 0u}) {
        const Data r = ask(board, request(op7::kEepromRead));
        ASSERT_EQ(r[4], n);
        back.insert(back.end(), r.begin() + 6, r.begin() + 6 + static_cast<long>(n));
    }
    EXPECT_EQ(back, data);

    board.faults().busyPolls = 2;
    EXPECT_EQ(ask(board, request(op7::kEepromWrite, {{4, {0x06, 0x00, 0}}, {8, {0xAB}}}, 40))[4], 0);
    const Data next = request(op7::kEepromWrite, {{4, {0x06, 0x01, 0}}, {8, {0xCD}}}, 40);
    EXPECT_EQ(ask(board, next)[4], 1);
    EXPECT_EQ(ask(board, next)[4], 1);
    EXPECT_EQ(board.eepromBytes(0x600, 2), std::string("\xAB\0", 2));
    EXPECT_EQ(ask(board, next)[4], 0);
    EXPECT_EQ(board.eepromBytes(0x600, 2), "\xAB\xCD");
}

// Catches pages placed by the wrong number, an erase that does not erase, or writes while busy.
TEST(SimProto7Memory, FlashPagesGoByNumberAndEraseClearsSectors) {
    sim::SimBoard board;
    auto page = [](uint16_t number, std::vector<Data> packets) {
        Data req = request(op7::kOfflineWritePage, {{4, {0, 2}}}, 8);
        wire::put16be(&req[6], number);
        for (const Data& p : packets) req.insert(req.end(), p.begin(), p.end());
        req.resize(8 + 256, 0xFF);
        return req;
    };
    // Page 1 is full (fourteen jumps and a count-once, 256 bytes); the program goes on in page 2.
    std::vector<Data> first(14, vec(op7::kMoveToAbs, 100, 100));
    first.push_back(packet(op7::kCountOnce));
    EXPECT_EQ(ask(board, page(2, {vec(op7::kMoveToAbs, 5000, 6000)}))[2], 0);
    EXPECT_EQ(ask(board, page(1, first))[2], 0);
    ASSERT_TRUE(board.runOfflineProgram());
    EXPECT_EQ(board.x(), 5000);
    EXPECT_EQ(board.trace().jumps(), 15u);
    EXPECT_EQ(board.errors().total(), 0u);

    board.faults().busyPolls = 1;
    EXPECT_EQ(ask(board, request(op7::kOfflineClearFile, {{4, {0x20, 0, 0, 0}}}))[2], 0);
    EXPECT_NE(ask(board, page(1, first))[2], 0);  // still erasing
    EXPECT_EQ(ask(board, kStatus)[5], 0x02);
    EXPECT_EQ(ask(board, kStatus)[5], 0x00);
    EXPECT_FALSE(board.runOfflineProgram());
    EXPECT_NE(ask(board, request(op7::kOfflineClearFile, {{4, {0x20, 0, 0x08, 0}}}))[2], 0);  // not a sector start
}

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
