#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "executor/sim/sim_board.h"
#include "executor/sim/trace.h"

namespace sim {

using Bytes = std::vector<uint8_t>;

class SimModel;

// How one board generation speaks: its immediate replies and its list packets.
class Personality {
public:
    virtual ~Personality() = default;
    // The reply to one immediate request (at most 1464 bytes); an empty reply means the board
    // stays silent.
    virtual Bytes answer(SimModel& board, const Bytes& request) = 0;
    // The packets of one list frame, padding dropped; malformed parts are counted in
    // board.errors and skipped.
    virtual std::vector<Bytes> split(SimModel& board, const Bytes& frame) = 0;
    // Executes one list packet through the board's effects below.
    virtual void execute(SimModel& board, const Bytes& packet) = 0;
};

std::unique_ptr<Personality> makeProto7();
std::unique_ptr<Personality> makeProto5();

// The board's state and the effects list packets have on it. Personalities decode bytes;
// this class keeps time, position, laser settings, ports, memories and the trace.
class SimModel {
public:
    static constexpr int32_t kCenter = 32768;
    static constexpr uint32_t kEepromSize = 8192;
    static constexpr uint32_t kUserDataAddr = 0x400;  // where the information block points

    enum RunState { kReset = 1, kReady = 2, kRun = 3 };

    explicit SimModel(const SimConfig& config);

    SimConfig config;
    Faults faults;
    Trace trace;
    BoardErrors errors;

    // Run control.
    RunState runState = kReset;
    bool paused = false;
    bool offlineMode = false;  // runs stored programs rather than host commands
    bool bootLoader = false;   // switched to its boot loader
    uint32_t markCount = 0;

    // Galvo, laser, lens, ports, axes.
    uint64_t clock = 0;
    int32_t x = kCenter;
    int32_t y = kCenter;
    LaserState laser;
    int32_t rangeX = 65535;
    int32_t rangeY = 65535;
    uint32_t outputs = 0;
    uint32_t inputs = 0;
    int64_t axisPosition[4] = {};

    // Memories: parameter memory with its information block, flash erased to 0xFF.
    std::vector<uint8_t> eeprom;
    std::vector<uint8_t> flash;
    int busyPollsLeft = 0;  // parameter memory and flash busy countdown

    // Exchanges and frames received, numbered from 1 so faults can pick one.
    int exchangeCount = 0;

    // Command memory.
    std::deque<Bytes> queue;
    uint32_t queuedBytes = 0;

    // --- effects used by the personalities while executing ---
    // Absolute jump or mark (laser on); steps + delay ticks pass.
    void jumpTo(int32_t nx, int32_t ny, uint64_t steps, uint64_t delay);
    void markTo(int32_t nx, int32_t ny, uint64_t steps, uint64_t delay);
    // A jump or a mark: traced from the current position, then the clock and position advance.
    void moveTo(TraceEvent::Kind kind, int32_t nx, int32_t ny, uint64_t steps, uint64_t delay);
    void wait(uint64_t ticks);
    void setOutputs(uint32_t mask, uint32_t value);
    void moveAxis(uint32_t axis, int64_t pulses, uint64_t ticks);
    void setLens(int32_t rx, int32_t ry);
    // Records the laser settings after a personality changed them.
    void laserChanged();
    // A list command with no visible effect of its own.
    void note(uint16_t opcode);
    // Appends to the trace unless the configuration turned it off.
    void record(const TraceEvent& e);

    // --- command memory ---
    // Splits and queues a frame, then executes as the pacing allows; false (and counted) when it
    // does not fit the free command memory.
    bool receiveFrame(const Bytes& frame);
    // Executes queued packets while running, up to the tick budget.
    void execute(uint64_t tickBudget);
    // A status poll: simulated pacing advances here.
    void onStatusPoll();
    void clearQueue();
    uint32_t freeBytes() const;
    bool busy() const { return !queue.empty(); }

    // Marks the flash and parameter memory busy for the configured number of polls.
    void startBusy();
    // True while busy; counts one poll down.
    bool pollBusy();

    Personality& personality() { return *m_personality; }

private:
    std::unique_ptr<Personality> m_personality;
};

}  // namespace sim
