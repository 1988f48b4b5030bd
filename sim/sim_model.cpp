#include "sim_model.h"

#include <limits>

#include "cmd/wire.h"

namespace sim {

SimModel::SimModel(const SimConfig& cfg)
    : config(cfg),
      eeprom(kEepromSize, 0),
      flash(cfg.flashSize, 0xFF),
      m_personality(cfg.protocol == BOARD_PROTOCOL_5 ? makeProto5() : makeProto7()) {
    // Information block: where the user data area starts and the highest usable address.
    wire::put32be(eeprom.data(), kUserDataAddr);
    wire::put32be(eeprom.data() + 4, kEepromSize - 1);
}

void SimModel::record(const TraceEvent& e) {
    if (!config.recordTrace) return;
    if (trace.events.size() < config.traceLimit) {
        trace.events.push_back(e);
    } else {
        ++trace.dropped;
    }
}

namespace {

TraceEvent event(TraceEvent::Kind kind, uint64_t start, uint64_t ticks) {
    TraceEvent e;
    e.kind = kind;
    e.startTick = start;
    e.ticks = ticks;
    return e;
}

}  // namespace

void SimModel::moveTo(TraceEvent::Kind kind, int32_t nx, int32_t ny, uint64_t steps, uint64_t delay) {
    TraceEvent e = event(kind, clock, steps + delay);
    e.x0 = x;
    e.y0 = y;
    e.x1 = nx;
    e.y1 = ny;
    if (kind == TraceEvent::kMark) e.laser = laser;
    record(e);
    clock += steps + delay;
    x = nx;
    y = ny;
}

void SimModel::jumpTo(int32_t nx, int32_t ny, uint64_t steps, uint64_t delay) {
    moveTo(TraceEvent::kJump, nx, ny, steps, delay);
}

void SimModel::markTo(int32_t nx, int32_t ny, uint64_t steps, uint64_t delay) {
    moveTo(TraceEvent::kMark, nx, ny, steps, delay);
}

void SimModel::wait(uint64_t ticks) {
    record(event(TraceEvent::kDelay, clock, ticks));
    clock += ticks;
}

void SimModel::setOutputs(uint32_t mask, uint32_t value) {
    outputs = (outputs & ~mask) | (value & mask);
    TraceEvent e = event(TraceEvent::kOutput, clock, 0);
    e.a = mask;
    e.b = value;
    record(e);
}

void SimModel::moveAxis(uint32_t axis, int64_t pulses, uint64_t ticks) {
    if (axis < 4) axisPosition[axis] += pulses;
    TraceEvent e = event(TraceEvent::kAxisMove, clock, ticks);
    e.a = axis;
    e.b = static_cast<uint32_t>(pulses);
    record(e);
    clock += ticks;
}

void SimModel::setLens(int32_t rx, int32_t ry) {
    rangeX = rx;
    rangeY = ry;
    TraceEvent e = event(TraceEvent::kLens, clock, 0);
    e.a = static_cast<uint32_t>(rx);
    e.b = static_cast<uint32_t>(ry);
    record(e);
}

void SimModel::laserChanged() {
    TraceEvent e = event(TraceEvent::kLaser, clock, 0);
    e.laser = laser;
    record(e);
}

void SimModel::note(uint16_t opcode) {
    TraceEvent e = event(TraceEvent::kOther, clock, 0);
    e.a = opcode;
    record(e);
}

bool SimModel::receiveFrame(const Bytes& frame) {
    // A real board has no more memory than it reports: what does not fit is refused, never queued.
    if (queuedBytes + frame.size() > config.commandMemory) {
        ++errors.framesRefused;
        return false;
    }
    for (Bytes& packet : m_personality->split(*this, frame)) {
        queuedBytes += static_cast<uint32_t>(packet.size());
        queue.push_back(std::move(packet));
    }
    if (config.pacing == Pacing::kInstant) execute(std::numeric_limits<uint64_t>::max());
    return true;
}

void SimModel::execute(uint64_t tickBudget) {
    if (runState != kRun || paused || faults.stallMemory) return;
    uint64_t spent = 0;
    while (!queue.empty() && spent < tickBudget) {
        Bytes packet = std::move(queue.front());
        queue.pop_front();
        queuedBytes -= static_cast<uint32_t>(packet.size());
        const uint64_t before = clock;
        m_personality->execute(*this, packet);
        spent += clock - before;
    }
}

void SimModel::onStatusPoll() {
    // Under instant pacing a poll finds whatever a stalled memory held back and runs it.
    execute(config.pacing == Pacing::kSimulated ? config.ticksPerPoll : std::numeric_limits<uint64_t>::max());
}

void SimModel::clearQueue() {
    queue.clear();
    queuedBytes = 0;
}

uint32_t SimModel::freeBytes() const {
    return config.commandMemory > queuedBytes ? config.commandMemory - queuedBytes : 0;
}

void SimModel::startBusy() { busyPollsLeft = faults.busyPolls; }

bool SimModel::pollBusy() {
    if (busyPollsLeft <= 0) return false;
    --busyPollsLeft;
    return true;
}

}  // namespace sim
