#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "cmd/wire.h"
#include "core/axis_slots.h"
#include "core/identity_opcodes.h"
#include "proto7/opcodes7.h"
#include "sim_model.h"

namespace sim {
namespace {

// Every reply is this long, enough for the longest status record; the pass-through echoes more.
constexpr size_t kReplyLen = 64;
constexpr size_t kMaxReply = 1464;
constexpr size_t kListHeader = 4;
constexpr size_t kImmediateLen = 12;

constexpr uint8_t kAccepted = 0;
constexpr uint8_t kRejected = 0x02;  // understood, but not possible now or out of range
constexpr uint8_t kUnknown = 0xFF;   // not understood, or too short to read

constexpr uint8_t kAppModeByte = 0x04;
constexpr uint8_t kBootModeByte = 0x01;
constexpr uint8_t kWorkIdle = 1;
constexpr uint8_t kWorkRunning = 3;
constexpr uint8_t kPauseByte = 0x05;
constexpr uint8_t kOfflineByte = 0x01;
constexpr uint8_t kSectorErase = 0x20;

// Firmware that keeps its port words in a different byte order.
constexpr uint16_t kSwappedPortsA = 0x1579;
constexpr uint16_t kSwappedPortsB = 0x1700;  // also sends the status outputs least significant byte first

using axis_slots::kPositionOrigin;
constexpr int kStatusAxes = 3;  // positions in the extended status
constexpr int kMotionAxes = 8;  // entries of the axis state reply
constexpr int kModelAxes = 4;
constexpr int kSlots = 2;  // axis slots of the pulse move

constexpr uint32_t kOfflineRam = 0x100000;
constexpr uint32_t kPage = 256;
constexpr uint32_t kSector = 4096;
constexpr uint32_t kEepromPiece = 32;
constexpr uint16_t kErasedOpcode = 0xFFFF;  // erased flash: a stored program ends here
constexpr uint16_t kMopaMagic = 0xA501;

int32_t signed24(uint32_t v) {
    return (v & 0x800000u) != 0 ? static_cast<int32_t>(v) - 0x1000000 : static_cast<int32_t>(v);
}

uint32_t swapHalves(uint32_t v) { return ((v & 0x00FF00FFu) << 8) | ((v >> 8) & 0x00FF00FFu); }

bool swapsPorts(const SimModel& b) {
    return b.config.firmwareVersion == kSwappedPortsA || b.config.firmwareVersion == kSwappedPortsB;
}

uint32_t rawPosition(const SimModel& b, int axis) {
    const int64_t position = axis < kModelAxes ? b.axisPosition[axis] : 0;
    return kPositionOrigin - static_cast<uint32_t>(position);
}

// Axes with a pulse move still waiting in command memory; only a running board gets to them.
uint8_t movingAxes(const SimModel& b) {
    if (b.runState != SimModel::kRun) return 0;
    uint8_t moving = 0;
    for (const Bytes& p : b.queue) {
        if (p.size() != op7::kAxisMove.length || wire::get16be(p.data()) != op7::kAxisMove.opcode) continue;
        for (int i = 0; i < kSlots; ++i) {
            const bool homing = (p[4] >> (2 + i) & 1) != 0;
            if (homing || wire::get32be(&p[6 + 4 * i]) != 0) moving = static_cast<uint8_t>(moving | 1u << i);
        }
    }
    return moving;
}

template <typename Change>
void changeLaser(SimModel& b, Change change) {
    const LaserState before = b.laser;
    change(b.laser);
    if (!(b.laser == before)) b.laserChanged();
}

// The output-parameter command, immediate or listed: only its leading edge is modelled.
bool applyGpo(SimModel& b, const uint8_t* p) {
    if ((p[4] & 0x01) == 0) return false;
    const uint32_t bit = 1u << (p[6] % 32);
    b.setOutputs(bit, (p[4] & 0x04) != 0 ? bit : 0);
    return true;
}

uint64_t ticksFor(const SimModel& b, double seconds) {
    if (b.config.tickSeconds <= 0 || seconds <= 0) return 0;
    return static_cast<uint64_t>(std::llround(seconds / b.config.tickSeconds));
}

const op7::ListOp* findListOp(uint16_t opcode) {
    for (const auto& entry : op7::kListCatalogue)
        if (entry.op.opcode == opcode) return &entry.op;
    return nullptr;
}

class Proto7 final : public Personality {
public:
    Bytes answer(SimModel& board, const Bytes& request) override;
    std::vector<Bytes> split(SimModel& board, const Bytes& frame) override;
    void execute(SimModel& board, const Bytes& packet) override;

private:
    // Fills the reply data and returns reply byte 2.
    using Handler = uint8_t (Proto7::*)(SimModel&, const Bytes&, Bytes&);
    struct Command {
        uint16_t opcode;
        uint16_t minLength;
        Handler handler;
    };
    static const Command kCommands[];

    uint8_t accept(SimModel&, const Bytes&, Bytes&) { return kAccepted; }
    uint8_t boardMode(SimModel& b, const Bytes&, Bytes&);
    uint8_t devType(SimModel& b, const Bytes&, Bytes& r);
    uint8_t heartbeat(SimModel&, const Bytes& q, Bytes& r);
    uint8_t baseStatus(SimModel& b, const Bytes&, Bytes& r);
    uint8_t extStatus(SimModel& b, const Bytes&, Bytes& r);
    uint8_t axisStates(SimModel& b, const Bytes&, Bytes& r);
    uint8_t runState(SimModel& b, const Bytes& q, Bytes&);
    uint8_t clearCache(SimModel& b, const Bytes&, Bytes&);
    uint8_t pauseResume(SimModel& b, const Bytes& q, Bytes&);
    uint8_t onlineOffline(SimModel& b, const Bytes& q, Bytes&);
    uint8_t resetCount(SimModel& b, const Bytes&, Bytes&);
    uint8_t bootMode(SimModel& b, const Bytes&, Bytes&);
    uint8_t appMode(SimModel& b, const Bytes&, Bytes&);
    uint8_t outputsNow(SimModel& b, const Bytes& q, Bytes&);
    uint8_t gpoNow(SimModel& b, const Bytes& q, Bytes&);
    uint8_t redLightNow(SimModel& b, const Bytes& q, Bytes&);
    uint8_t clearAxisPulse(SimModel& b, const Bytes& q, Bytes&);
    uint8_t dataTransmit(SimModel&, const Bytes& q, Bytes& r);
    uint8_t eepromPreRead(SimModel& b, const Bytes& q, Bytes& r);
    uint8_t eepromRead(SimModel& b, const Bytes&, Bytes& r);
    uint8_t eepromWrite(SimModel& b, const Bytes& q, Bytes& r);
    uint8_t ramSize(SimModel&, const Bytes&, Bytes& r);
    uint8_t flashErase(SimModel& b, const Bytes& q, Bytes&);
    uint8_t flashWrite(SimModel& b, const Bytes& q, Bytes&);

    // List commands that change what the model keeps; the others are only noted.
    using Action = void (Proto7::*)(SimModel&, const uint8_t*);
    struct ListCommand {
        uint16_t opcode;
        Action action;
    };
    static const ListCommand kListCommands[];

    void startRunning(SimModel& b);
    void vectorMove(SimModel& b, const uint8_t* p, bool mark, bool relative);
    void jumpAbs(SimModel& b, const uint8_t* p) { vectorMove(b, p, false, false); }
    void jumpRel(SimModel& b, const uint8_t* p) { vectorMove(b, p, false, true); }
    void markAbs(SimModel& b, const uint8_t* p) { vectorMove(b, p, true, false); }
    void markRel(SimModel& b, const uint8_t* p) { vectorMove(b, p, true, true); }
    void delay(SimModel& b, const uint8_t* p);
    void delayWait(SimModel& b, const uint8_t* p);
    void lens(SimModel& b, const uint8_t* p);
    void redLight(SimModel& b, const uint8_t* p);
    void pwm(SimModel& b, const uint8_t* p);
    void daLevel(SimModel& b, const uint8_t* p);
    void fiberPower(SimModel& b, const uint8_t* p);
    void mopa(SimModel& b, const uint8_t* p);
    void masterOscillator(SimModel& b, const uint8_t* p);
    void amplifier(SimModel& b, const uint8_t* p);
    void countOnce(SimModel& b, const uint8_t* p);
    void outputs(SimModel& b, const uint8_t* p);
    void gpo(SimModel& b, const uint8_t* p);
    void axisMove(SimModel& b, const uint8_t* p);

    // What a pre-read announced and the reads have not yet handed out.
    uint32_t m_readAddr = 0;
    uint32_t m_readLeft = 0;
    // Source enables, reported in the extended status.
    bool m_masterOscillator = false;
    bool m_amplifier = false;
};

const Proto7::Command Proto7::kCommands[] = {
    {identity::kProbe, kImmediateLen, &Proto7::accept},  // bytes 0-1 stay 0: no echo, so not taken for protocol 5
    {identity::kBind, identity::kBindLenProto7, &Proto7::accept},
    {identity::kSetIp, identity::kSetIpLen, &Proto7::accept},
    {identity::kSetMac, identity::kSetMacLen, &Proto7::accept},
    {op7::kBoardMode, kImmediateLen, &Proto7::boardMode},
    {op7::kDevType, kImmediateLen, &Proto7::devType},
    {op7::kHeartbeat, kImmediateLen, &Proto7::heartbeat},
    {op7::kDevState, kImmediateLen, &Proto7::baseStatus},
    {op7::kDevExtState, kImmediateLen, &Proto7::extStatus},
    {op7::kAxisStatesEx, kImmediateLen, &Proto7::axisStates},
    {op7::kRunState, kImmediateLen, &Proto7::runState},
    {op7::kClearCache, kImmediateLen, &Proto7::clearCache},
    {op7::kPauseResume, kImmediateLen, &Proto7::pauseResume},
    {op7::kOnlineOffline, kImmediateLen, &Proto7::onlineOffline},
    {op7::kSoftTrigger, kImmediateLen, &Proto7::accept},
    {op7::kResetCount, kImmediateLen, &Proto7::resetCount},
    {op7::kLedStatus, kImmediateLen, &Proto7::accept},
    {op7::kBootMode, kImmediateLen, &Proto7::bootMode},
    {op7::kAppMode, kImmediateLen, &Proto7::appMode},
    {op7::kGpiFilter, kImmediateLen, &Proto7::accept},
    {op7::kOutPortStateAll, kImmediateLen, &Proto7::outputsNow},
    {op7::kGpoParNow, 16, &Proto7::gpoNow},
    {op7::kWatchDog, kImmediateLen, &Proto7::accept},
    {op7::kRedSignalNow, kImmediateLen, &Proto7::redLightNow},
    {op7::kClearAxisPulse, kImmediateLen, &Proto7::clearAxisPulse},
    {op7::kAxisLinkageStopParam, 22, &Proto7::accept},
    {op7::kAxisLinkageStop, kImmediateLen, &Proto7::accept},
    {op7::kAxisConfig, kImmediateLen, &Proto7::accept},
    {op7::kEnableAxisNow, kImmediateLen, &Proto7::accept},
    {op7::kHandwheelParam, kImmediateLen, &Proto7::accept},
    {op7::kSweepChannel, kImmediateLen, &Proto7::accept},
    {op7::kDataTransmit, kListHeader, &Proto7::dataTransmit},
    {op7::kEepromPreRead, kImmediateLen, &Proto7::eepromPreRead},
    {op7::kEepromRead, kImmediateLen, &Proto7::eepromRead},
    {op7::kEepromWrite, 40, &Proto7::eepromWrite},
    {op7::kOfflineRamSize, kImmediateLen, &Proto7::ramSize},
    {op7::kOfflineClearFile, kImmediateLen, &Proto7::flashErase},
    {op7::kOfflineWritePage, 8, &Proto7::flashWrite},
};

const Proto7::ListCommand Proto7::kListCommands[] = {
    {op7::kMoveToAbs.opcode, &Proto7::jumpAbs},
    {op7::kMoveToRel.opcode, &Proto7::jumpRel},
    {op7::kLineToAbs.opcode, &Proto7::markAbs},
    {op7::kLineToRel.opcode, &Proto7::markRel},
    {op7::kDelayTime.opcode, &Proto7::delay},
    {op7::kDelayTimeWait.opcode, &Proto7::delayWait},
    {op7::kLenPara.opcode, &Proto7::lens},
    {op7::kRedSignal.opcode, &Proto7::redLight},
    {op7::kPWMSignal.opcode, &Proto7::pwm},
    {op7::kDASignal.opcode, &Proto7::daLevel},
    {op7::kFiberPower.opcode, &Proto7::fiberPower},
    {op7::kMOPALaser.opcode, &Proto7::mopa},
    {op7::kMOSignal.opcode, &Proto7::masterOscillator},
    {op7::kAPSignal.opcode, &Proto7::amplifier},
    {op7::kCountOnce.opcode, &Proto7::countOnce},
    {op7::kOutPortState.opcode, &Proto7::outputs},
    {op7::kGpoPar.opcode, &Proto7::gpo},
    {op7::kAxisMove.opcode, &Proto7::axisMove},
};

Bytes Proto7::answer(SimModel& b, const Bytes& request) {
    Bytes reply(kReplyLen, 0);
    if (request.size() < 2) {
        ++b.errors.truncatedPackets;
        reply[2] = kUnknown;
        return reply;
    }
    const uint16_t opcode = wire::get16be(request.data());
    if (b.faults.refuseOpcode != 0 && opcode == b.faults.refuseOpcode) {
        reply[2] = b.faults.refuseStatus;
        return reply;
    }
    const Command* command = nullptr;
    for (const Command& c : kCommands)
        if (c.opcode == opcode) command = &c;
    if (command == nullptr) {
        ++b.errors.unknownOpcodes;
        reply[2] = kUnknown;
    } else if (request.size() < command->minLength) {
        ++b.errors.truncatedPackets;
        reply[2] = kUnknown;
    } else {
        reply[2] = (this->*command->handler)(b, request, reply);
    }
    return reply;
}

uint8_t Proto7::boardMode(SimModel& b, const Bytes&, Bytes&) {
    // Byte 2 carries the mode here, not a status.
    if (b.faults.factoryModeReads > 0) {
        --b.faults.factoryModeReads;
        return kBootModeByte;
    }
    return b.bootLoader ? kBootModeByte : kAppModeByte;
}

uint8_t Proto7::devType(SimModel& b, const Bytes&, Bytes& r) {
    wire::put16be(&r[4], b.config.firmwareVersion);
    return kAccepted;
}

uint8_t Proto7::heartbeat(SimModel&, const Bytes& q, Bytes& r) {
    wire::put16le(&r[4], static_cast<uint16_t>(wire::get16le(&q[4]) + 1));
    return kAccepted;
}

uint8_t Proto7::baseStatus(SimModel& b, const Bytes&, Bytes& r) {
    b.onStatusPoll();
    const bool busy = b.busy();
    r[4] = busy && b.runState == SimModel::kRun ? kWorkRunning : kWorkIdle;
    r[5] = static_cast<uint8_t>((b.offlineMode ? 0x01 : 0) | (b.pollBusy() ? 0x02 : 0));
    r[12] = busy ? 0 : 0x01;
    wire::put24be(&r[13], std::min<uint32_t>(b.freeBytes() / 1024, 0xFFFFFF));
    wire::put32be(&r[16], b.inputs);
    if (b.config.firmwareVersion == kSwappedPortsB) {
        wire::put32le(&r[20], b.outputs);
    } else {
        wire::put32be(&r[20], b.outputs);
    }
    wire::put16be(&r[28], static_cast<uint16_t>(b.markCount));
    return kAccepted;
}

uint8_t Proto7::extStatus(SimModel& b, const Bytes&, Bytes& r) {
    // Axis waits poll only this record, so it has to move simulated time along too.
    b.onStatusPoll();
    for (int n = 0; n < kStatusAxes; ++n) wire::put32be(&r[12 + 4 * n], rawPosition(b, n));
    const uint8_t moving = movingAxes(b);
    r[40] = static_cast<uint8_t>((moving & 0x01) | (moving & 0x02) << 3);
    r[41] = static_cast<uint8_t>(moving >> 2 & 0x01);
    r[42] = static_cast<uint8_t>((m_masterOscillator ? 0x01 : 0) | (m_amplifier ? 0x02 : 0) |
                                 (b.laser.redLight ? 0x04 : 0));
    return kAccepted;
}

uint8_t Proto7::axisStates(SimModel& b, const Bytes&, Bytes& r) {
    b.onStatusPoll();
    const uint8_t moving = movingAxes(b);
    for (int n = 0; n < kMotionAxes; ++n) {
        r[4 + 5 * n] = static_cast<uint8_t>(moving >> n & 0x01);
        wire::put32be(&r[5 + 5 * n], rawPosition(b, n));
    }
    return kAccepted;
}

void Proto7::startRunning(SimModel& b) {
    if (b.config.pacing == Pacing::kInstant) b.execute(std::numeric_limits<uint64_t>::max());
}

uint8_t Proto7::runState(SimModel& b, const Bytes& q, Bytes&) {
    switch (wire::get16be(&q[2])) {
        case op7::kRunStateReset:
            b.clearQueue();
            b.runState = SimModel::kReset;
            b.paused = false;
            return kAccepted;
        case op7::kRunStateReady:
            b.runState = SimModel::kReady;
            return kAccepted;
        case op7::kRunStateRun:
            b.runState = SimModel::kRun;
            startRunning(b);
            return kAccepted;
        default:
            return kRejected;
    }
}

uint8_t Proto7::clearCache(SimModel& b, const Bytes&, Bytes&) {
    b.clearQueue();
    return kAccepted;
}

uint8_t Proto7::pauseResume(SimModel& b, const Bytes& q, Bytes&) {
    if (q[2] == kPauseByte) {
        b.paused = true;
    } else if (q[2] == 0) {
        b.paused = false;
        startRunning(b);
    } else {
        return kRejected;
    }
    return kAccepted;
}

uint8_t Proto7::onlineOffline(SimModel& b, const Bytes& q, Bytes&) {
    if (q[2] != 0 && q[2] != kOfflineByte) return kRejected;
    b.offlineMode = q[2] == kOfflineByte;
    return kAccepted;
}

uint8_t Proto7::resetCount(SimModel& b, const Bytes&, Bytes&) {
    b.markCount = 0;
    return kAccepted;
}

uint8_t Proto7::bootMode(SimModel& b, const Bytes&, Bytes&) {
    b.bootLoader = true;
    return kAccepted;
}

uint8_t Proto7::appMode(SimModel& b, const Bytes&, Bytes&) {
    b.bootLoader = false;
    return kAccepted;
}

uint8_t Proto7::outputsNow(SimModel& b, const Bytes& q, Bytes&) {
    uint32_t mask = wire::get32le(&q[4]);
    uint32_t value = wire::get32le(&q[8]);
    if (swapsPorts(b)) {
        mask = swapHalves(mask);
        value = swapHalves(value);
    }
    b.setOutputs(mask, value);
    return kAccepted;
}

uint8_t Proto7::gpoNow(SimModel& b, const Bytes& q, Bytes&) {
    applyGpo(b, q.data());
    return kAccepted;
}

uint8_t Proto7::redLightNow(SimModel& b, const Bytes& q, Bytes&) {
    changeLaser(b, [&](LaserState& l) { l.redLight = q[2] != 0; });
    return kAccepted;
}

uint8_t Proto7::clearAxisPulse(SimModel& b, const Bytes& q, Bytes&) {
    for (int i = 0; i < kModelAxes; ++i)
        if ((q[4] >> i & 1) != 0) b.axisPosition[i] = 0;
    return kAccepted;
}

uint8_t Proto7::dataTransmit(SimModel&, const Bytes& q, Bytes& r) {
    const size_t n = std::min(q.size(), kMaxReply) - kListHeader;
    r.assign(kListHeader + n, 0);
    std::copy_n(q.begin() + kListHeader, n, r.begin() + kListHeader);
    return kAccepted;
}

uint8_t Proto7::eepromPreRead(SimModel& b, const Bytes& q, Bytes& r) {
    if (b.pollBusy()) {
        r[4] = 0x01;
        return kAccepted;
    }
    const uint32_t addr = wire::get16be(&q[4]);
    const uint32_t count = wire::get16be(&q[6]) + 1u;
    if (addr + count > b.eeprom.size()) return kRejected;
    m_readAddr = addr;
    m_readLeft = count;
    return kAccepted;
}

uint8_t Proto7::eepromRead(SimModel& b, const Bytes&, Bytes& r) {
    const uint32_t n = std::min(m_readLeft, kEepromPiece);
    r[4] = static_cast<uint8_t>(n);
    std::copy_n(b.eeprom.begin() + m_readAddr, n, r.begin() + 6);
    m_readAddr += n;
    m_readLeft -= n;
    return kAccepted;
}

uint8_t Proto7::eepromWrite(SimModel& b, const Bytes& q, Bytes& r) {
    // Busy: the piece is not taken and the host sends it again.
    if (b.pollBusy()) {
        r[4] = 0x01;
        return kAccepted;
    }
    const uint32_t addr = wire::get16be(&q[4]);
    const uint32_t n = q[6] + 1u;
    if (n > kEepromPiece || addr + n > b.eeprom.size()) return kRejected;
    std::copy_n(q.begin() + 8, n, b.eeprom.begin() + addr);
    b.startBusy();
    return kAccepted;
}

uint8_t Proto7::ramSize(SimModel& b, const Bytes&, Bytes& r) {
    wire::put32be(&r[4], std::min<uint32_t>(kOfflineRam, b.config.flashSize));
    return kAccepted;
}

uint8_t Proto7::flashErase(SimModel& b, const Bytes& q, Bytes&) {
    const uint32_t addr = wire::get24be(&q[5]);
    if (b.busyPollsLeft > 0 || q[4] != kSectorErase || addr % kSector != 0 || addr + kSector > b.flash.size())
        return kRejected;
    std::fill_n(b.flash.begin() + addr, kSector, 0xFF);
    b.startBusy();
    return kAccepted;
}

uint8_t Proto7::flashWrite(SimModel& b, const Bytes& q, Bytes&) {
    const uint32_t page = wire::get16be(&q[6]);
    const size_t len = q.size() - 8;
    if (b.busyPollsLeft > 0 || page == 0 || len > kPage || (page - 1) * kPage + len > b.flash.size()) return kRejected;
    // Flash programming only clears bits; a page written over unerased flash comes out garbled.
    uint8_t* at = b.flash.data() + (page - 1) * kPage;
    for (size_t i = 0; i < len; ++i) at[i] = static_cast<uint8_t>(at[i] & q[8 + i]);
    b.startBusy();
    return kAccepted;
}

std::vector<Bytes> Proto7::split(SimModel& b, const Bytes& frame) {
    std::vector<Bytes> packets;
    size_t at = 0;
    while (at < frame.size()) {
        const size_t left = frame.size() - at;
        if (left < 3) {
            // Too short for a length byte: padding, unless something is written there.
            if (std::any_of(frame.begin() + at, frame.end(), [](uint8_t v) { return v != 0; }))
                ++b.errors.truncatedPackets;
            break;
        }
        const size_t length = frame[at + 2];
        if (length == 0 || wire::get16be(&frame[at]) == kErasedOpcode) break;
        if (length < kListHeader) {
            ++b.errors.badLengths;
            break;
        }
        if (length > left) {
            ++b.errors.truncatedPackets;
            break;
        }
        packets.emplace_back(frame.begin() + at, frame.begin() + at + length);
        at += length;
    }
    return packets;
}

void Proto7::vectorMove(SimModel& b, const uint8_t* p, bool mark, bool relative) {
    const uint64_t steps = wire::get16be(p + 4);
    const uint64_t delay = wire::get16be(p + 6);
    int32_t nx = signed24(wire::get24be(p + 8));
    int32_t ny = signed24(wire::get24be(p + 11));
    if (relative) {
        nx += b.x;
        ny += b.y;
    }
    if (mark) {
        b.markTo(nx, ny, steps, delay);
    } else {
        b.jumpTo(nx, ny, steps, delay);
    }
}

void Proto7::axisMove(SimModel& b, const uint8_t* p) {
    for (int i = 0; i < kSlots; ++i) {
        const bool positive = (p[4] >> i & 1) != 0;
        const bool homing = (p[4] >> (2 + i) & 1) != 0;
        const uint32_t count = wire::get32be(p + 6 + 4 * i);
        if (count == 0 && !homing) continue;  // unused slot
        const uint8_t* speeds = p + (i == 0 ? 14 : 19);
        uint32_t speed = wire::get16be(speeds + 2);
        if (speed == 0) speed = wire::get16be(speeds);
        // The speeds are pulses per second; the ramps are left out.
        const uint64_t ticks = speed == 0 ? 1 : std::max<uint64_t>(1, ticksFor(b, count / double(speed)));
        // Homing ends on the zero switch.
        const int64_t pulses = homing ? -b.axisPosition[i] : (positive ? count : -static_cast<int64_t>(count));
        b.moveAxis(static_cast<uint32_t>(i), pulses, ticks);
    }
}

void Proto7::execute(SimModel& b, const Bytes& packet) {
    if (packet.size() < kListHeader) {
        ++b.errors.badLengths;
        return;
    }
    const uint8_t* p = packet.data();
    const uint16_t opcode = wire::get16be(p);
    const op7::ListOp* op = findListOp(opcode);
    if (op == nullptr) {
        ++b.errors.unknownOpcodes;
        return;
    }
    if (packet.size() != op->length) {
        ++b.errors.badLengths;
        return;
    }
    for (const ListCommand& c : kListCommands) {
        if (c.opcode == opcode) {
            (this->*c.action)(b, p);
            return;
        }
    }
    // Fly, trigger, bitmap, distance waits, source timing, correction tables, motion axes,
    // offline parameters: accepted, with no effect the model keeps.
    b.note(opcode);
}

void Proto7::delay(SimModel& b, const uint8_t* p) { b.wait(wire::get32be(p + 4) / 2); }  // half ticks

void Proto7::delayWait(SimModel& b, const uint8_t* p) {
    b.wait(ticksFor(b, wire::get32be(p + 4) * 1e-6));  // microseconds
}

void Proto7::lens(SimModel& b, const uint8_t* p) {
    b.setLens(static_cast<int32_t>(p[10] << 16 | wire::get16be(p + 4)),
              static_cast<int32_t>(p[11] << 16 | wire::get16be(p + 6)));
}

void Proto7::redLight(SimModel& b, const uint8_t* p) {
    changeLaser(b, [&](LaserState& l) { l.redLight = p[4] != 0; });
}

void Proto7::pwm(SimModel& b, const uint8_t* p) {
    changeLaser(b, [&](LaserState& l) {
        l.pwmPeriod = wire::get32be(p + 6);
        l.pwmWidth = wire::get32be(p + 14);
    });
}

void Proto7::daLevel(SimModel& b, const uint8_t* p) {
    changeLaser(b, [&](LaserState& l) { l.daLevel = wire::get16be(p + 6); });
}

void Proto7::fiberPower(SimModel& b, const uint8_t* p) {
    changeLaser(b, [&](LaserState& l) { l.fiberPower = wire::get16be(p + 4); });
}

void Proto7::mopa(SimModel& b, const uint8_t* p) {
    if (wire::get16be(p + 4) != kMopaMagic) {
        b.note(op7::kMOPALaser.opcode);  // not a pulse selection the source takes
        return;
    }
    changeLaser(b, [&](LaserState& l) { l.mopa = wire::get16be(p + 6); });
}

void Proto7::masterOscillator(SimModel& b, const uint8_t* p) {
    m_masterOscillator = p[4] != 0;
    b.note(op7::kMOSignal.opcode);
}

void Proto7::amplifier(SimModel& b, const uint8_t* p) {
    m_amplifier = p[4] != 0;
    b.note(op7::kAPSignal.opcode);
}

void Proto7::countOnce(SimModel& b, const uint8_t*) { ++b.markCount; }

void Proto7::outputs(SimModel& b, const uint8_t* p) { b.setOutputs(wire::get32le(p + 4), wire::get32le(p + 8)); }

void Proto7::gpo(SimModel& b, const uint8_t* p) {
    if (!applyGpo(b, p)) b.note(op7::kGpoPar.opcode);
}

}  // namespace

std::unique_ptr<Personality> makeProto7() { return std::make_unique<Proto7>(); }

}  // namespace sim
