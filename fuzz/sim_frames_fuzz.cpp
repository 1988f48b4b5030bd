// The simulated board fed arbitrary list frames and immediate requests of either protocol.
//
// Input: byte 0 board (bit 0: protocol 7, else 5; bit 1: simulated pacing; bit 2: the board is
// started before the first message, so frames execute), then messages: one kind byte (low two
// bits: 0 list frame, 1 immediate request, 2 run the program in flash, 3 status poll), a 16-bit
// length (most significant byte first, at most 4095) and that many bytes.

#include <cstddef>
#include <cstdint>
#include <vector>

#include "executor/sim/sim_board.h"
#include "fuzz/reply_script.h"

namespace {

constexpr uint32_t kMaxMessage = 4095;
constexpr uint32_t kReplyCapacity = 1464;
// Enough for stored programs of a few hundred packets; a full-size flash costs most of a run.
constexpr uint32_t kFlashSize = 64 * 1024;

// Start requests: protocol 7 run-state command with the run value, protocol 5 run command.
constexpr uint8_t kRun7[12] = {0xAA, 0x10, 0x00, 0x03};
constexpr uint8_t kRun5[12] = {0x01, 0x04};
// Status requests, as the host polls them.
constexpr uint8_t kStatus7[12] = {0xAA, 0x05};
constexpr uint8_t kStatus5[12] = {0x01, 0x01};

enum Kind : uint8_t { kFrame, kRequest, kRunStored, kPoll };

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::ByteReader in(data, size);
    const uint8_t head = in.u8();
    const bool proto7 = (head & 1) != 0;

    sim::SimConfig config;
    config.protocol = proto7 ? BOARD_PROTOCOL_7 : BOARD_PROTOCOL_5;
    config.flashSize = kFlashSize;
    config.pacing = (head & 2) != 0 ? sim::Pacing::kSimulated : sim::Pacing::kInstant;
    sim::SimBoard board(config);

    uint8_t reply[kReplyCapacity];
    uint32_t replyLength = kReplyCapacity;
    if ((head & 4) != 0) board.exchange(proto7 ? kRun7 : kRun5, 12, reply, &replyLength);

    while (in.left() > 0) {
        const auto kind = static_cast<Kind>(in.u8() & 3);
        const uint32_t length = in.u16() % (kMaxMessage + 1);
        // An exact copy, so reads past the message are caught.
        std::vector<uint8_t> message(in.here(), in.here() + std::min<size_t>(length, in.left()));
        in.skip(length);
        replyLength = kReplyCapacity;
        switch (kind) {
            case kFrame:
                board.deliverFrame(message.data(), static_cast<uint32_t>(message.size()));
                break;
            case kRequest:
                board.exchange(message.data(), static_cast<uint32_t>(message.size()), reply, &replyLength);
                break;
            case kRunStored:
                board.runOfflineProgram();
                break;
            case kPoll:
                board.exchange(proto7 ? kStatus7 : kStatus5, 12, reply, &replyLength);
                break;
        }
    }
    return 0;
}
