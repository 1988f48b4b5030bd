#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "executor/sim/trace.h"
#include "executor/types.h"

namespace sim {

enum class Pacing {
    kInstant,    // a frame executes on receipt (while the board runs)
    kSimulated,  // execution advances by ticksPerPoll with each status poll
};

struct SimConfig {
    BOARD_PROTOCOL protocol = BOARD_PROTOCOL_7;
    double tickSeconds = 10e-6;            // one step or delay count
    uint32_t commandMemory = 256 * 1024;   // list memory in bytes, reported as free KiB
    uint32_t flashSize = 8 * 1024 * 1024;  // program flash in bytes; smaller boards start faster
    Pacing pacing = Pacing::kInstant;
    uint64_t ticksPerPoll = 2000;             // simulated pacing
    uint16_t firmwareVersion = 0x1800;        // protocol 7 version word
    uint8_t fpgaVersion[4] = {5, 5, 80, 12};  // protocol 5: sub type 3, offline support
    bool recordTrace = true;                  // false keeps memory flat over long jobs; trace() stays empty
    size_t traceLimit = 1'000'000;            // events kept (about 72 MB); later ones only counted
};

// Problems the board found in what it was sent.
struct BoardErrors {
    uint32_t unknownOpcodes = 0;
    uint32_t truncatedPackets = 0;
    uint32_t badLengths = 0;
    uint32_t framesRefused = 0;  // arrived with no room left in the command memory: not queued

    uint32_t total() const { return unknownOpcodes + truncatedPackets + badLengths + framesRefused; }
};

// Faults a test can switch on. Exchange numbers count requests and frames together, from 1.
struct Faults {
    int failExchange = 0;       // this exchange never reaches the board
    int dropReply = 0;          // the board acts on this exchange but its reply is lost
    int corruptReply = 0;       // this reply comes back with bytes flipped
    uint16_t refuseOpcode = 0;  // immediate commands with this opcode are refused...
    uint8_t refuseStatus = 1;   // ...with this status byte
    int busyPolls = 0;          // parameter memory and flash report busy for this many polls
    int factoryModeReads = 0;   // the board reports its boot loader for this many mode reads
    bool stallMemory = false;   // command memory stops draining
};

class SimModel;

// A controller board in process: answers immediate commands and executes list frames of
// either protocol. Thread-safe: one mutex guards every call.
class SimBoard {
public:
    explicit SimBoard(const SimConfig& config = SimConfig());
    ~SimBoard();
    SimBoard(const SimBoard&) = delete;
    SimBoard& operator=(const SimBoard&) = delete;

    // One immediate request; false means no reply reached the host.
    bool exchange(const uint8_t* request, uint32_t length, uint8_t* reply, uint32_t* replyLength);
    // One list frame; false means it did not arrive.
    bool deliverFrame(const uint8_t* frame, uint32_t length);
    // Runs the program stored in flash, as a board does when started without a host.
    bool runOfflineProgram();

    const SimConfig& config() const;
    Faults& faults();
    Trace trace() const;
    // Forgets the trace, e.g. between jobs on a long-running board.
    void clearTrace();
    BoardErrors errors() const;
    uint64_t clock() const;  // ticks executed so far
    int exchanges() const;   // requests and frames received so far
    int32_t x() const;
    int32_t y() const;
    LaserState laser() const;
    uint32_t outputs() const;
    void setInputs(uint32_t inputs);
    // Parameter memory, for tests and tools.
    std::string eepromBytes(uint32_t address, uint32_t length) const;

private:
    mutable std::mutex m_mutex;
    std::unique_ptr<SimModel> m_model;
};

}  // namespace sim
