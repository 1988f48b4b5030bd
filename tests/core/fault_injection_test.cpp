#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "executor/executor.h"
#include "executor/sim/sim_board.h"
#include "executor/sim/sim_transfer.h"
#include "proto5/executor5.h"
#include "proto5/opcodes5.h"
#include "proto7/opcodes7.h"
#include "support/counting_transfer.h"
#include "support/recorders.h"
#include "support/sim_job.h"

// A whole session on the simulated board, rerun once for every transport call with exactly that
// call failing, and once for every request with its reply spoiled. Each run must end (the sleep
// hook stops runaway waits), and the step that met the fault must answer as documented.

namespace {

using Fault = CountingTransfer::Fault;
using Kind = CountingTransfer::Kind;

// Far above what a whole session sleeps; reaching it means a wait would never end.
constexpr uint64_t kSleepBudgetMs = 10 * 60 * 1000;
constexpr uint32_t kUserDataLen = 300;

template <class Base>
struct Inspectable : Base {
    uint32_t queuedBytes() { return this->m_cmdList.totalBytes(); }
};

// What each step of the session gave.
struct Outcome {
    SdkError init = SDK_OK;
    bool started = false;
    bool streamed = false;
    uint32_t leftQueued = 0;  // online list bytes after streaming
    uint32_t jobBytes = 0;    // queued by the job before the stream
    size_t marks = 0;         // marks the board executed
    bool ramInfo = false;
    bool wrote = false;
    bool sized = false;
    bool read = false;
    bool downloaded = false;
    SdkError offlineErr = SDK_OK;
    bool runaway = false;
    std::vector<std::string> logs;
};

struct Session {
    explicit Session(BOARD_PROTOCOL protocol) : board(config(protocol)), link(board), counting(link) {
        if (protocol == BOARD_PROTOCOL_7)
            executor = std::make_unique<Inspectable<Executor7>>();
        else
            executor = std::make_unique<Inspectable<Executor5>>();
        executor->setTransfer(&counting);
        sleeps.onSleep = [this](uint32_t) {
            if (sleeps.total() > kSleepBudgetMs && !outcome.runaway) {
                outcome.runaway = true;
                counting.failEverything();
            }
        };
    }
    static sim::SimConfig config(BOARD_PROTOCOL protocol) {
        sim::SimConfig c;
        c.protocol = protocol;
        return c;
    }
    uint32_t queuedBytes() {
        if (auto* e7 = dynamic_cast<Inspectable<Executor7>*>(executor.get())) return e7->queuedBytes();
        return static_cast<Inspectable<Executor5>&>(*executor).queuedBytes();
    }

    Outcome run() {
        Executor& e = *executor;
        counting.setPhase("init");
        outcome.init = e.init(DevPar(), false, false);

        counting.setPhase("stream");
        sim_job::markSquare(e);
        outcome.started = !e.isStopRun();  // setStartMark leaves the run stopped when refused
        outcome.jobBytes = queuedBytes();
        outcome.streamed = e.exeCurCmd(true);
        outcome.leftQueued = queuedBytes();
        outcome.marks = board.trace().marks();

        std::vector<uint8_t> data(kUserDataLen);
        for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 13 + 1);
        uint32_t dataAddr = 0, eepromSize = 0, stored = 0;
        counting.setPhase("ramInfo");
        outcome.ramInfo = e.getUserRamInfo(dataAddr, eepromSize);
        counting.setPhase("write");
        outcome.wrote = e.writeUserData(data.data(), kUserDataLen);
        counting.setPhase("size");
        outcome.sized = e.getUserDataSize(stored);
        counting.setPhase("read");
        std::vector<uint8_t> back(kUserDataLen);
        outcome.read = e.readUserData(back.data(), kUserDataLen);

        counting.setPhase("offline");
        e.setOfflineMode(true);
        sim_job::markSquare(e);
        outcome.downloaded = e.OfflineDownload(outcome.offlineErr);
        e.setOfflineMode(false);

        counting.setPhase("unInit");
        e.unInit();
        outcome.logs = log.lines();
        return outcome;
    }

    LogRecorder log;
    SleepRecorder sleeps;
    sim::SimBoard board;
    sim::SimTransfer link;
    CountingTransfer counting;
    std::unique_ptr<Executor> executor;
    Outcome outcome;
};

// The transport calls a rule matches.
enum class Match { kOpen, kFrame, kRun, kPreRead, kAny };
enum class Step { kInit, kStart, kStream, kRamInfo, kWrite, kSize, kRead, kOffline };
// What became of the job queued for streaming.
enum class Queue { kUnchecked, kSent, kKept, kLost };

// What a failed call must lead to; the first rule matching the phase and the call applies.
struct Rule {
    const char* phase;
    Match match;
    Step step;
    bool stepOk;
    const char* message;  // must be logged, when given
    Queue queue;
};

const Rule kFailedCall[] = {
    {"init", Match::kOpen, Step::kInit, false, "Executor::init openDev fail", Queue::kUnchecked},
    {"init", Match::kAny, Step::kInit, true, nullptr, Queue::kUnchecked},  // mode read retried, rest ignored
    {"stream", Match::kRun, Step::kStart, false, nullptr, Queue::kKept},
    {"stream", Match::kFrame, Step::kStream, false, "Executor::exeCurCmd ReadAndWriteData fail", Queue::kLost},
    {"stream", Match::kAny, Step::kStream, true, nullptr, Queue::kSent},  // room wait retried, finish wait ends
    {"ramInfo", Match::kPreRead, Step::kRamInfo, false, "EEPROM pre read transfer fail", Queue::kUnchecked},
    {"ramInfo", Match::kAny, Step::kRamInfo, true, nullptr, Queue::kUnchecked},  // read errors tolerated
    {"write", Match::kAny, Step::kWrite, false, "EEPROM write transfer fail", Queue::kUnchecked},
    {"size", Match::kPreRead, Step::kSize, false, "EEPROM pre read transfer fail", Queue::kUnchecked},
    {"size", Match::kAny, Step::kSize, true, nullptr, Queue::kUnchecked},
    {"read", Match::kPreRead, Step::kRead, false, "EEPROM pre read transfer fail", Queue::kUnchecked},
    {"read", Match::kAny, Step::kRead, true, "EEPROM read data crc OK", Queue::kUnchecked},
    {"offline", Match::kAny, Step::kOffline, true, nullptr, Queue::kUnchecked},  // flash faults go unreported
};

// A spoiled reply may fail its step, but only with one of the step's documented messages (or,
// for setStartMark, its result alone).
const std::vector<std::string> kStreamMessages = {"Executor::exeCurCmd ReadAndWriteData fail",
                                                  "Executor::exeCurCmd waitForEnoughCache fail",
                                                  "Executor::waitForEnoughCache getDevState fail"};
const std::vector<std::string> kEepromMessages = {
    "EEPROM pre read fail",      "EEPROM read transfer err too many", "EEPROM return data size too max",
    "EEPROM read fail too many", "EEPROM write transfer fail",        "EEPROM write fail too many count",
    "EEPROM read data crc fail", "EEPROM user data address too big"};

struct Opcodes {
    uint16_t run;
    uint16_t preRead;
};

bool matches(Match m, const CountingTransfer::Call& call, const Opcodes& ops) {
    switch (m) {
        case Match::kOpen:
            return call.kind == Kind::kOpen;
        case Match::kFrame:
            return call.kind == Kind::kFrame;
        case Match::kRun:
            return call.kind == Kind::kRequest && call.opcode == ops.run;
        case Match::kPreRead:
            return call.kind == Kind::kRequest && call.opcode == ops.preRead;
        case Match::kAny:
            return true;
    }
    return false;
}

Step stepOf(const std::string& phase) {
    for (const Rule& r : kFailedCall)
        if (phase == r.phase) return r.step == Step::kStart ? Step::kStream : r.step;
    return Step::kOffline;
}

bool stepOk(const Outcome& o, Step step) {
    switch (step) {
        case Step::kInit:
            return o.init == SDK_OK;
        case Step::kStart:
            return o.started;
        case Step::kStream:
            return o.started && o.streamed;
        case Step::kRamInfo:
            return o.ramInfo;
        case Step::kWrite:
            return o.wrote;
        case Step::kSize:
            return o.sized;
        case Step::kRead:
            return o.read;
        case Step::kOffline:
            return o.downloaded && o.offlineErr == SDK_OK;
    }
    return false;
}

bool logged(const Outcome& o, const std::string& line) {
    return std::find(o.logs.begin(), o.logs.end(), line) != o.logs.end();
}

void checkQueue(const Outcome& o, Queue queue) {
    switch (queue) {
        case Queue::kSent:
            EXPECT_EQ(o.leftQueued, 0u);
            EXPECT_EQ(o.marks, 4u);
            break;
        case Queue::kKept:  // the run never started: nothing went out, nothing was dropped
            EXPECT_EQ(o.leftQueued, o.jobBytes);
            EXPECT_EQ(o.marks, 0u);
            break;
        case Queue::kLost:  // the frame is gone, nothing stays behind it
            EXPECT_EQ(o.leftQueued, 0u);
            EXPECT_EQ(o.marks, 0u);
            break;
        case Queue::kUnchecked:
            break;
    }
}

// A spoiled reply: the step succeeds, or fails the documented way.
void checkSpoiled(const Outcome& o, Step step) {
    if (step == Step::kInit || step == Step::kOffline) {
        EXPECT_TRUE(stepOk(o, step));  // mode reads are retried, the rest is not judged
        return;
    }
    if (step == Step::kStream) {
        if (!o.started) return checkQueue(o, Queue::kKept);
        if (o.streamed) return checkQueue(o, Queue::kSent);
    }
    if (stepOk(o, step)) return;
    const auto& messages = step == Step::kStream ? kStreamMessages : kEepromMessages;
    EXPECT_TRUE(std::any_of(messages.begin(), messages.end(), [&](const std::string& m) { return logged(o, m); }));
}

}  // namespace

class FaultInjection : public ::testing::TestWithParam<BOARD_PROTOCOL> {};

TEST_P(FaultInjection, EveryTransportCallOfASession) {
    const BOARD_PROTOCOL protocol = GetParam();
    const Opcodes ops = protocol == BOARD_PROTOCOL_7 ? Opcodes{op7::kRunState, op7::kEepromPreRead}
                                                     : Opcodes{op5::kRun, op5::kEepromPreRead};
    std::vector<CountingTransfer::Call> calls;
    {
        Session clean(protocol);
        const Outcome o = clean.run();
        calls = clean.counting.calls();
        for (Step step :
             {Step::kInit, Step::kStream, Step::kRamInfo, Step::kWrite, Step::kSize, Step::kRead, Step::kOffline})
            ASSERT_TRUE(stepOk(o, step)) << "step " << static_cast<int>(step) << " fails without a fault";
        checkQueue(o, Queue::kSent);
    }

    int points = 0;
    for (Fault fault : {Fault::kFail, Fault::kFlip, Fault::kTruncate}) {
        for (size_t i = 0; i < calls.size(); ++i) {
            const CountingTransfer::Call& call = calls[i];
            if (fault != Fault::kFail && call.kind != Kind::kRequest) continue;  // only requests have replies
            SCOPED_TRACE("call " + std::to_string(i + 1) + " in " + call.phase + ", opcode " +
                         std::to_string(call.opcode) + ", fault " + std::to_string(static_cast<int>(fault)));
            Session s(protocol);
            s.counting.inject(static_cast<int>(i + 1), fault);
            const Outcome o = s.run();
            ++points;
            ASSERT_FALSE(o.runaway) << "a wait did not end";
            const auto rerun = s.counting.calls();
            ASSERT_GT(rerun.size(), i);
            ASSERT_EQ(rerun[i].phase, call.phase);  // the fault hit the call it was meant for

            if (fault != Fault::kFail) {
                checkSpoiled(o, stepOf(call.phase));
                continue;
            }
            const Rule* rule = nullptr;
            for (const Rule& r : kFailedCall) {
                if (call.phase == r.phase && matches(r.match, call, ops)) {
                    rule = &r;
                    break;
                }
            }
            ASSERT_NE(rule, nullptr);
            EXPECT_EQ(stepOk(o, rule->step), rule->stepOk);
            if (rule->message != nullptr) {
                EXPECT_TRUE(logged(o, rule->message)) << rule->message;
            }
            checkQueue(o, rule->queue);
        }
    }
    RecordProperty("injection_points", points);
    std::printf("fault injection: %d injection points over %zu transport calls\n", points, calls.size());
}

INSTANTIATE_TEST_SUITE_P(BothProtocols, FaultInjection, ::testing::Values(BOARD_PROTOCOL_7, BOARD_PROTOCOL_5),
                         [](const ::testing::TestParamInfo<BOARD_PROTOCOL>& info) {
                             return info.param == BOARD_PROTOCOL_7 ? std::string("Protocol7")
                                                                   : std::string("Protocol5");
                         });
