#include <gtest/gtest.h>

#include "cmd/packet_writer.h"
#include "executor/sim/sim_board.h"
#include "proto5/opcodes5.h"
#include "proto7/opcodes7.h"

// The simulated board must understand every command either protocol sends: none of them may
// count as an unknown opcode or a bad packet.

namespace {

using Bytes = std::vector<uint8_t>;

Bytes bytesOf(const KestCmd& cmd) { return Bytes(cmd.m_data, cmd.m_data + cmd.m_len); }

constexpr uint8_t kNotUnderstood = 0xFF;  // reply byte 2 of a request the board could not read

// The request must be answered, and not as one the board does not understand; a protocol 5
// board also echoes the opcode.
void send(sim::SimBoard& board, const Bytes& request) {
    SCOPED_TRACE(::testing::Message() << "opcode 0x" << std::hex << (request[0] << 8 | request[1]));
    uint8_t reply[1464] = {};
    uint32_t length = sizeof(reply);
    ASSERT_TRUE(board.exchange(request.data(), static_cast<uint32_t>(request.size()), reply, &length));
    ASSERT_GE(length, 3u);  // the pass-through answers with as much as it was sent
    EXPECT_NE(reply[2], kNotUnderstood);
    if (board.config().protocol == BOARD_PROTOCOL_5) {
        EXPECT_EQ(reply[0], request[0]);
        EXPECT_EQ(reply[1], request[1]);
    }
}

// Requests that come before either catalogue: the protocol probe, binding, and the network
// identity, with their lengths on each protocol.
struct IdentityRequest {
    uint16_t opcode;
    uint16_t length7;
    uint16_t length5;
};
constexpr IdentityRequest kIdentity[] = {
    {0x0123, 12, 12},  // probe
    {0xF0FA, 14, 18},  // binding with the host's addresses
    {0xF010, 22, 22},  // IP address
    {0xF011, 16, 16},  // MAC address
};

// Length of the immediate requests that are longer than 12 bytes.
uint16_t requestLength(uint16_t opcode) {
    switch (opcode) {
        case op7::kGpoParNow:
            return 16;
        case op7::kEepromWrite:
            return 40;
        case op7::kAxisLinkageStopParam:
            return 22;
        case op7::kOfflineWritePage:
            return 264;
        default:
            return 12;
    }
}

}  // namespace

TEST(SimCatalogue, Protocol7BoardKnowsEveryCommand) {
    sim::SimBoard board;
    auto run = makeImmediatePacket(op7::kRunState);
    run->setParam1(op7::kRunStateRun);
    for (const IdentityRequest& r : kIdentity) send(board, bytesOf(*makeImmediatePacket(r.opcode, r.length7)));
    for (const auto& entry : op7::kImmediateCatalogue) {
        if (entry.opcode == op7::kDataTransmit) {
            send(board, bytesOf(*makeListPacket(op7::kDataTransmit, 8)));
        } else {
            send(board, bytesOf(*makeImmediatePacket(entry.opcode, requestLength(entry.opcode))));
        }
    }
    send(board, bytesOf(*run));  // the board must run to execute lists
    for (const auto& entry : op7::kListCatalogue) {
        const Bytes packet = bytesOf(*makeListPacket(entry.op.opcode, entry.op.length));
        ASSERT_TRUE(board.deliverFrame(packet.data(), static_cast<uint32_t>(packet.size())));
    }
    EXPECT_GT(board.trace().events.size(), 40u);  // the list packets were executed
    EXPECT_EQ(board.errors().unknownOpcodes, 0u);
    EXPECT_EQ(board.errors().badLengths, 0u);
    EXPECT_EQ(board.errors().truncatedPackets, 0u);
}

TEST(SimCatalogue, Protocol5BoardKnowsEveryCommand) {
    sim::SimConfig config;
    config.protocol = BOARD_PROTOCOL_5;
    sim::SimBoard board(config);
    for (const IdentityRequest& r : kIdentity) send(board, bytesOf(*makeImmediatePacket(r.opcode, r.length5)));
    for (uint16_t opcode : op5::kImmediateOpcodes) {
        const uint16_t length = opcode == op5::kEepromWrite ? 38 : (opcode == op5::kOfflineWritePage ? 268 : 12);
        send(board, bytesOf(*makeImmediatePacket(opcode, length)));
    }
    send(board, bytesOf(*makeImmediatePacket(op5::kRun)));
    for (uint16_t opcode : op5::kListOpcodes) {
        const Bytes packet = bytesOf(*makeImmediatePacket(opcode, op5::kPacketLen));
        ASSERT_TRUE(board.deliverFrame(packet.data(), static_cast<uint32_t>(packet.size())));
    }
    EXPECT_GT(board.trace().events.size(), 20u);
    EXPECT_EQ(board.errors().unknownOpcodes, 0u);
    EXPECT_EQ(board.errors().badLengths, 0u);
    EXPECT_EQ(board.errors().truncatedPackets, 0u);
}
