#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "cmd/wire.h"
#include "core/axis_slots.h"
#include "core/identity_opcodes.h"
#include "proto5/opcodes5.h"
#include "sim_model.h"

// Protocol 5 boards: every request and every list packet is 12 bytes (the parameter memory write
// alone is 38, a flash page write 12 plus its data). Replies echo the opcode in bytes 0-1.

namespace sim {
namespace {

constexpr size_t kPacketLen = op5::kPacketLen;
constexpr size_t kEepromWriteLen = 38;

using identity::kBind;
using identity::kProbe;
using identity::kSetIp;
using identity::kSetMac;
constexpr uint16_t kErased = 0xFFFF;  // erased flash: a stored program ends here

// Status byte of the state reply.
constexpr uint8_t kOfflineBit = 0x80;
constexpr uint8_t kFlashBusyBit = 0x40;
constexpr uint8_t kFinishedBit = 0x20;
constexpr uint8_t kWorkingBit = 0x08;

constexpr uint8_t kBusyBit = 0x01;  // parameter memory replies
constexpr uint8_t kUnknownStatus = 0xFF;
constexpr uint16_t kWordRefused = 0xFFFF;
constexpr uint32_t kMemoryUnit = 4096;  // free command memory is reported in these
using axis_slots::kPositionOrigin;
constexpr uint32_t kSector = 4096;
constexpr size_t kPageDataAt = 12;
constexpr uint32_t kReadPiece = 32;
constexpr uint32_t kWritePiece = 32;
constexpr size_t kWriteDataAt = 6;
constexpr uint8_t kPause = 0x55;
constexpr uint16_t kModeSwitch = 0x55D5;
constexpr uint16_t kFactoryMode = 0x55AA;
constexpr uint16_t kApplicationMode = 0xAA55;

uint16_t be16(const Bytes& b, size_t at) { return wire::get16be(b.data() + at); }

int16_t signed16(const Bytes& b, size_t at) { return static_cast<int16_t>(be16(b, at)); }

// Commands whose reply is a 16-bit word, refused as FFFF rather than by a status byte.
bool answersWord(uint16_t opcode) { return opcode == op5::kResetCount || opcode == op5::kOutPortRead; }

// With instant pacing, work queued while the board stood still runs once it may.
void runQueued(SimModel& board) {
    if (board.config.pacing == Pacing::kInstant) board.execute(std::numeric_limits<uint64_t>::max());
}

class Proto5 final : public Personality {
public:
    Bytes answer(SimModel& board, const Bytes& request) override;
    std::vector<Bytes> split(SimModel& board, const Bytes& frame) override;
    void execute(SimModel& board, const Bytes& packet) override;

private:
    // Fills the reply after the echoed opcode; byte 2 stays 0 unless the handler sets it.
    using Answer = void (Proto5::*)(SimModel&, const Bytes&, Bytes&);
    struct Request {
        uint16_t opcode;
        size_t length;  // 0 accepts anything from 12 bytes on
        Answer handler;
    };
    static const Request kRequests[];

    using Action = void (Proto5::*)(SimModel&, const Bytes&);
    struct ListCommand {
        uint16_t opcode;
        Action action;
    };
    static const ListCommand kListCommands[];

    // What the axis packets of one pair leave behind until a start packet moves it.
    struct AxisPair {
        uint32_t count[2] = {};
        uint8_t directions = 0;  // bit per slot: forward
        uint8_t homing = 0;      // bit per slot
        uint16_t runSpeed[2] = {};
    };

    void accept(SimModel&, const Bytes&, Bytes&) {}
    void boardMode(SimModel& board, const Bytes& request, Bytes& reply);
    void bootAppMode(SimModel& board, const Bytes& request, Bytes& reply);
    void devType(SimModel& board, const Bytes& request, Bytes& reply);
    void status(SimModel& board, const Bytes& request, Bytes& reply);
    void run(SimModel& board, const Bytes& request, Bytes& reply);
    void reset(SimModel& board, const Bytes& request, Bytes& reply);
    void ready(SimModel& board, const Bytes& request, Bytes& reply);
    void clearCache(SimModel& board, const Bytes& request, Bytes& reply);
    void resetCount(SimModel& board, const Bytes& request, Bytes& reply);
    void pauseResume(SimModel& board, const Bytes& request, Bytes& reply);
    void onlineOffline(SimModel& board, const Bytes& request, Bytes& reply);
    void outputsNow(SimModel& board, const Bytes& request, Bytes& reply);
    void outputsRead(SimModel& board, const Bytes& request, Bytes& reply);
    void axisStates(SimModel& board, const Bytes& request, Bytes& reply);
    void eepromPreRead(SimModel& board, const Bytes& request, Bytes& reply);
    void eepromRead(SimModel& board, const Bytes& request, Bytes& reply);
    void eepromWrite(SimModel& board, const Bytes& request, Bytes& reply);
    void flashErase(SimModel& board, const Bytes& request, Bytes& reply);
    void flashWrite(SimModel& board, const Bytes& request, Bytes& reply);

    void note(SimModel& board, const Bytes& packet) { board.note(be16(packet, 0)); }
    void ignore(SimModel&, const Bytes&) {}
    void vector(SimModel& board, const Bytes& packet);
    void lensRange(SimModel& board, const Bytes& packet);
    void laser(SimModel& board, const Bytes& packet);
    void countOnce(SimModel& board, const Bytes& packet);
    void outputs(SimModel& board, const Bytes& packet);
    void axisCounts(SimModel& board, const Bytes& packet);
    void axisSpeeds(SimModel& board, const Bytes& packet);
    void selectPair(SimModel& board, const Bytes& packet);
    void axisStart(SimModel& board, const Bytes& packet);

    AxisPair m_pairs[2];
    bool m_secondPair = false;  // the next start moves the second pair
    uint32_t m_readAddr = 0;    // parameter memory window announced by the pre-read
    uint32_t m_readLeft = 0;
};

const Proto5::Request Proto5::kRequests[] = {
    {kProbe, kPacketLen, &Proto5::accept},
    {kBind, identity::kBindLenProto5, &Proto5::accept},
    {kSetIp, identity::kSetIpLen, &Proto5::accept},
    {kSetMac, identity::kSetMacLen, &Proto5::accept},
    {op5::kSoftTrigger, kPacketLen, &Proto5::accept},
    {op5::kSpiText, kPacketLen, &Proto5::accept},
    {op5::kSpiSend, kPacketLen, &Proto5::accept},
    {op5::kSpiSelect, kPacketLen, &Proto5::accept},
    {op5::kDevExtState, kPacketLen, &Proto5::accept},
    {op5::kBoardMode, kPacketLen, &Proto5::boardMode},
    {op5::kBootAppMode, kPacketLen, &Proto5::bootAppMode},
    {op5::kDevType, kPacketLen, &Proto5::devType},
    {op5::kDevState, kPacketLen, &Proto5::status},
    {op5::kRun, kPacketLen, &Proto5::run},
    {op5::kReset, kPacketLen, &Proto5::reset},
    {op5::kReady, kPacketLen, &Proto5::ready},
    {op5::kClearCache, kPacketLen, &Proto5::clearCache},
    {op5::kResetCount, kPacketLen, &Proto5::resetCount},
    {op5::kPauseResume, kPacketLen, &Proto5::pauseResume},
    {op5::kOnlineOffline, kPacketLen, &Proto5::onlineOffline},
    {op5::kOutPortStateNow, kPacketLen, &Proto5::outputsNow},
    {op5::kOutPortRead, kPacketLen, &Proto5::outputsRead},
    {op5::kAxisStatesA, kPacketLen, &Proto5::axisStates},
    {op5::kAxisStatesB, kPacketLen, &Proto5::axisStates},
    {op5::kEepromPreRead, kPacketLen, &Proto5::eepromPreRead},
    {op5::kEepromRead, kPacketLen, &Proto5::eepromRead},
    {op5::kEepromWrite, kEepromWriteLen, &Proto5::eepromWrite},
    {op5::kOfflineClearFile, kPacketLen, &Proto5::flashErase},
    {op5::kOfflineWritePage, 0, &Proto5::flashWrite},
};

// List commands the model cannot show are noted in the trace.
const Proto5::ListCommand Proto5::kListCommands[] = {
    {op5::kMoveToAbs, &Proto5::vector},
    {op5::kMoveToRel, &Proto5::vector},
    {op5::kLineToAbs, &Proto5::vector},
    {op5::kLineToRel, &Proto5::vector},
    {op5::kLenRange, &Proto5::lensRange},
    {op5::kDASignal, &Proto5::laser},
    {op5::kFiberPower, &Proto5::laser},
    {op5::kMOPALaser, &Proto5::laser},
    {op5::kCountOnce, &Proto5::countOnce},
    {op5::kOutPortState, &Proto5::outputs},
    {op5::kAxisCounts, &Proto5::axisCounts},
    {op5::kAxisCounts2, &Proto5::axisCounts},
    {op5::kAxisSpeeds, &Proto5::axisSpeeds},
    {op5::kAxisSpeeds2, &Proto5::axisSpeeds},
    // Ramps shape a move but change neither where it ends nor, here, how long it takes.
    {op5::kAxisRamps, &Proto5::ignore},
    {op5::kAxisPairSelect, &Proto5::selectPair},
    {op5::kAxisStart, &Proto5::axisStart},
    {op5::kHardwareBlock, &Proto5::note},
    {op5::kLightOnDelay, &Proto5::note},
    {op5::kLenPara, &Proto5::note},
    {op5::kPortPara, &Proto5::note},
    {op5::kCO2PreionFPS, &Proto5::note},
    {op5::kPreionFPS, &Proto5::note},
    {op5::kMOSignalOff, &Proto5::note},
    {op5::kMOSignalOn, &Proto5::note},
    {op5::kSpiPower, &Proto5::note},
    {op5::kOutPortPulse, &Proto5::note},
    {op5::kMarkInport, &Proto5::note},
    {op5::kOfflineBlock, &Proto5::note},
    {op5::kSramBack, &Proto5::note},
    {op5::kOfflineParam, &Proto5::note},
    {op5::kOfflineParam + 1, &Proto5::note},
    {op5::kOfflineParam + 2, &Proto5::note},
    {op5::kOfflineParam + 3, &Proto5::note},
};

Bytes Proto5::answer(SimModel& board, const Bytes& request) {
    if (request.size() < 2) {
        ++board.errors.badLengths;
        return Bytes();
    }
    const uint16_t opcode = be16(request, 0);
    Bytes reply(kPacketLen, 0);
    reply[0] = request[0];
    reply[1] = request[1];

    const Request* command = nullptr;
    for (const Request& r : kRequests)
        if (r.opcode == opcode) command = &r;
    // An opcode the board does not know is still read as a 12-byte request.
    const size_t expected = command != nullptr ? command->length : kPacketLen;
    if ((expected != 0 && request.size() != expected) || request.size() < kPacketLen) {
        ++board.errors.badLengths;
        reply[2] = kUnknownStatus;
        return reply;
    }
    if (board.faults.refuseOpcode != 0 && opcode == board.faults.refuseOpcode) {
        if (answersWord(opcode)) {
            wire::put16be(&reply[2], kWordRefused);
        } else {
            reply[2] = board.faults.refuseStatus;
        }
        return reply;
    }
    if (command == nullptr) {
        ++board.errors.unknownOpcodes;
        reply[2] = kUnknownStatus;
        return reply;
    }
    (this->*command->handler)(board, request, reply);
    return reply;
}

void Proto5::boardMode(SimModel& board, const Bytes&, Bytes& reply) {
    const bool factory = board.bootLoader || board.faults.factoryModeReads > 0;
    if (board.faults.factoryModeReads > 0) --board.faults.factoryModeReads;
    reply[2] = factory ? 0 : 1;
    wire::put16be(&reply[10], factory ? kFactoryMode : kApplicationMode);
}

void Proto5::bootAppMode(SimModel& board, const Bytes& request, Bytes&) {
    // One request serves both ways: it switches to whichever side is not running.
    if (be16(request, 2) == kModeSwitch) board.bootLoader = !board.bootLoader;
}

void Proto5::devType(SimModel& board, const Bytes&, Bytes& reply) {
    std::copy(board.config.fpgaVersion, board.config.fpgaVersion + 4, reply.begin() + 2);
}

void Proto5::run(SimModel& board, const Bytes&, Bytes&) {
    board.runState = SimModel::kRun;
    runQueued(board);
}

void Proto5::reset(SimModel& board, const Bytes&, Bytes&) {
    board.runState = SimModel::kReset;
    board.paused = false;
    board.clearQueue();
    m_secondPair = false;
}

void Proto5::ready(SimModel& board, const Bytes&, Bytes&) { board.runState = SimModel::kReady; }

void Proto5::clearCache(SimModel& board, const Bytes&, Bytes&) { board.clearQueue(); }

void Proto5::resetCount(SimModel& board, const Bytes&, Bytes&) { board.markCount = 0; }

void Proto5::pauseResume(SimModel& board, const Bytes& request, Bytes&) {
    board.paused = request[2] == kPause;
    if (!board.paused) runQueued(board);
}

void Proto5::onlineOffline(SimModel& board, const Bytes& request, Bytes&) { board.offlineMode = request[2] == 0x01; }

void Proto5::outputsNow(SimModel& board, const Bytes& request, Bytes&) {
    if (request[2] < 32) board.setOutputs(1u << request[2], (request[5] != 0 ? 1u : 0u) << request[2]);
}

void Proto5::outputsRead(SimModel& board, const Bytes&, Bytes& reply) {
    wire::put16be(&reply[2], static_cast<uint16_t>(board.outputs));
}

void Proto5::status(SimModel& board, const Bytes&, Bytes& reply) {
    board.onStatusPoll();
    // Finished and working are exclusive, so the host reads "working" (3) or "idle" (0). Frames
    // held by a board that was never started are not work in progress: a host waiting for the
    // job to end would wait for ever.
    const bool working = board.busy() && board.runState == SimModel::kRun;
    uint8_t bits = working ? kWorkingBit : (board.busy() ? 0 : kFinishedBit);
    if (board.offlineMode) bits |= kOfflineBit;
    if (board.pollBusy()) bits |= kFlashBusyBit;
    reply[2] = bits;
    reply[5] = static_cast<uint8_t>(board.inputs);
    reply[6] = static_cast<uint8_t>(std::min<uint32_t>(board.freeBytes() / kMemoryUnit, 255));
    // Byte 8 (axes moving) stays 0: an axis move completes within the packet that starts it.
    wire::put16be(&reply[9], static_cast<uint16_t>(board.markCount));
}

void Proto5::axisStates(SimModel& board, const Bytes& request, Bytes& reply) {
    const int pair = be16(request, 0) == op5::kAxisStatesB ? 1 : 0;
    // Status byte 3 stays 0: no axis is moving or at a limit.
    for (int slot = 0; slot < 2; ++slot) {
        const int64_t position = board.axisPosition[2 * pair + slot];
        wire::put32be(&reply[4 + 4 * slot], static_cast<uint32_t>(kPositionOrigin - position));
    }
}

void Proto5::eepromPreRead(SimModel& board, const Bytes& request, Bytes& reply) {
    if (board.pollBusy()) {
        reply[2] = kBusyBit;
        return;
    }
    m_readAddr = be16(request, 2);
    m_readLeft = be16(request, 4) + 1u;
}

void Proto5::eepromRead(SimModel& board, const Bytes&, Bytes& reply) {
    const uint32_t n = std::min(m_readLeft, kReadPiece);
    reply.resize(std::max<size_t>(kPacketLen, 4 + n), 0);
    reply[2] = static_cast<uint8_t>(n);
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t at = m_readAddr + i;
        reply[4 + i] = at < board.eeprom.size() ? board.eeprom[at] : 0xFF;
    }
    m_readAddr += n;
    m_readLeft -= n;
}

void Proto5::eepromWrite(SimModel& board, const Bytes& request, Bytes& reply) {
    // A piece arriving while the last one is still being stored is not taken.
    if (board.pollBusy()) {
        reply[2] = kBusyBit;
        return;
    }
    const uint32_t addr = be16(request, 2);
    const uint32_t n = std::min<uint32_t>(request[4] + 1u, kWritePiece);
    for (uint32_t i = 0; i < n; ++i)
        if (addr + i < board.eeprom.size()) board.eeprom[addr + i] = request[kWriteDataAt + i];
    board.startBusy();
}

void Proto5::flashErase(SimModel& board, const Bytes& request, Bytes&) {
    const uint32_t sector = wire::get24be(request.data() + 3) / kSector * kSector;
    if (sector < board.flash.size()) {
        const auto first = board.flash.begin() + sector;
        std::fill(first, first + std::min<size_t>(kSector, board.flash.size() - sector), 0xFF);
    }
    board.startBusy();
}

void Proto5::flashWrite(SimModel& board, const Bytes& request, Bytes&) {
    const uint32_t addr = wire::get24be(request.data() + 3);
    // Programming only clears bits, so a page written without erasing shows it.
    for (size_t i = kPageDataAt; i < request.size(); ++i) {
        const size_t at = addr + (i - kPageDataAt);
        if (at < board.flash.size()) board.flash[at] &= request[i];
    }
    board.startBusy();
}

std::vector<Bytes> Proto5::split(SimModel& board, const Bytes& frame) {
    std::vector<Bytes> packets;
    for (size_t at = 0; at < frame.size(); at += kPacketLen) {
        const auto first = frame.begin() + static_cast<std::ptrdiff_t>(at);
        if (frame.size() - at < kPacketLen) {
            if (std::any_of(first, frame.end(), [](uint8_t b) { return b != 0; })) ++board.errors.truncatedPackets;
            break;
        }
        const uint16_t opcode = be16(frame, at);
        if (opcode == 0 || opcode == kErased) break;  // padding, or the end of a stored program
        packets.emplace_back(first, first + kPacketLen);
    }
    return packets;
}

void Proto5::execute(SimModel& board, const Bytes& packet) {
    if (packet.size() < kPacketLen) {
        ++board.errors.truncatedPackets;
        return;
    }
    const uint16_t opcode = be16(packet, 0);
    for (const ListCommand& c : kListCommands) {
        if (c.opcode == opcode) {
            (this->*c.action)(board, packet);
            return;
        }
    }
    ++board.errors.unknownOpcodes;
}

void Proto5::vector(SimModel& board, const Bytes& packet) {
    const uint16_t opcode = be16(packet, 0);
    const uint16_t steps = be16(packet, 2);
    const uint16_t delay = be16(packet, 10);
    const bool relative = opcode == op5::kMoveToRel || opcode == op5::kLineToRel;
    int32_t x = be16(packet, 4);
    int32_t y = be16(packet, 6);
    if (relative) {
        x = board.x + signed16(packet, 4);
        y = board.y + signed16(packet, 6);
        // A jump that goes nowhere is how this board waits.
        if (opcode == op5::kMoveToRel && x == board.x && y == board.y) {
            board.wait(static_cast<uint64_t>(steps) + delay);
            return;
        }
    }
    if (opcode == op5::kLineToAbs || opcode == op5::kLineToRel) {
        board.markTo(x, y, steps, delay);
    } else {
        board.jumpTo(x, y, steps, delay);
    }
}

void Proto5::laser(SimModel& board, const Bytes& packet) {
    const uint16_t opcode = be16(packet, 0);
    LaserState& laser = board.laser;
    if (opcode == op5::kDASignal) {
        laser.daLevel = be16(packet, 2);
    } else if (opcode == op5::kFiberPower) {
        laser.pwmPeriod = be16(packet, 5);
        laser.pwmWidth = be16(packet, 7);
        laser.fiberPower = packet[9];
    } else {
        laser.mopa = be16(packet, 4);
    }
    board.laserChanged();
}

void Proto5::lensRange(SimModel& board, const Bytes& packet) { board.setLens(be16(packet, 6), be16(packet, 8)); }

void Proto5::countOnce(SimModel& board, const Bytes&) { ++board.markCount; }

void Proto5::outputs(SimModel& board, const Bytes& packet) {
    // A timed pulse (flag in byte 3, then 0x2F83) keeps its level: the model has no timers.
    if (packet[2] < 32) board.setOutputs(1u << packet[2], (packet[4] & 1u) << packet[2]);
}

void Proto5::axisCounts(SimModel&, const Bytes& packet) {
    const int pair = be16(packet, 0) == op5::kAxisCounts2 ? 1 : 0;
    AxisPair& p = m_pairs[pair];
    p.count[0] = wire::get32be(packet.data() + 2);
    p.count[1] = wire::get32be(packet.data() + 6);
    p.directions = packet[10] & 0x03;
    p.homing = packet[11] & 0x03;
}

void Proto5::axisSpeeds(SimModel&, const Bytes& packet) {
    const int pair = be16(packet, 0) == op5::kAxisSpeeds2 ? 1 : 0;
    m_pairs[pair].runSpeed[0] = be16(packet, 4);
    m_pairs[pair].runSpeed[1] = be16(packet, 9);
}

void Proto5::selectPair(SimModel&, const Bytes& packet) { m_secondPair = packet[2] == 1; }

void Proto5::axisStart(SimModel& board, const Bytes&) {
    const int pair = m_secondPair ? 1 : 0;
    m_secondPair = false;
    const AxisPair& p = m_pairs[pair];
    for (int slot = 0; slot < 2; ++slot) {
        const uint32_t count = p.count[slot];
        if (count == 0) continue;
        const auto axis = static_cast<uint32_t>(2 * pair + slot);
        // Homing runs until the home switch, which sits at position 0.
        int64_t pulses = ((p.directions >> slot) & 1) != 0 ? int64_t{count} : -int64_t{count};
        if (((p.homing >> slot) & 1) != 0) pulses = -board.axisPosition[axis];
        const uint16_t speed = p.runSpeed[slot];
        const double seconds = speed != 0 ? static_cast<double>(count) / speed : 0.0;
        const double ticks = board.config.tickSeconds > 0 ? std::ceil(seconds / board.config.tickSeconds) : 0.0;
        board.moveAxis(axis, pulses, std::max<uint64_t>(1, static_cast<uint64_t>(ticks)));
    }
}

}  // namespace

std::unique_ptr<Personality> makeProto5() { return std::make_unique<Proto5>(); }

}  // namespace sim
