#pragma once
// Runs a whole job and says what became of it. A job counts as finished only when the board
// said so and its mark counter shows that every part of the job was executed; anything else
// ends in an outcome that names what happened and how many marks the board confirmed.
//
// Every wait has a deadline: a job that makes no progress (no frame taken, no change in the
// board's state, free memory or counter) for RunOptions::noProgressSeconds ends as TimedOut,
// as does one that runs past its deadline. A flag that any thread may set cancels the job:
// the board is stopped (its queue dropped, the laser off) and the outcome is Stopped.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "executor/executor.h"
#include "executor/planner/planner.h"

namespace planner {

enum class Outcome {
    Finished,      // streamed: every mark executed; offline: every page stored
    Stopped,       // cancelled by the host; the board was stopped
    BoardLost,     // the board stopped answering
    Refused,       // the board answered but refused a command (start, flash write)
    NotConnected,  // the executor has no board (no transport, not initialised or disabled)
    NotBound,      // the board is not bound to this host
    TimedOut,      // no progress within the deadline; the board was stopped
    CutShort,      // the board finished but executed fewer marks than planned
    TooBig,        // offline: the job does not fit the board's flash
};

struct RunOptions {
    PlanOptions plan;  // tick length and how many vector commands go between two streaming passes
    // No change in the board's state, free memory or counter, and no frame taken, for this long
    // ends the job. It is raised to cover the longest single step of the plan.
    double noProgressSeconds = 10;
    // The whole job; 0 gives the planned time plus half of it plus noProgressSeconds.
    double deadlineSeconds = 0;
    double pollSeconds = 0.02;  // between two status reads while the board works
    // A count command follows this many marks (raised for very long jobs so the counts fit the
    // board's 16-bit counter) and the end of the job; 0 sends only the one at the end.
    std::size_t marksPerCount = 64;
    const std::atomic<bool>* cancel = nullptr;  // set by any thread, e.g. a signal handler
};

struct RunResult {
    Outcome outcome = Outcome::NotConnected;
    std::size_t marksPlanned = 0;
    // Streamed jobs: marks the board's counter confirmed; for CutShort an upper bound, as the
    // counter cannot tell which piece of the job went missing.
    std::size_t marksDone = 0;
    std::size_t pagesPlanned = 0;  // offline: flash pages the job needs
    std::size_t pagesStored = 0;   // offline: pages the board took
    std::uint64_t imageBytes = 0;  // offline: bytes of the flash image
    std::uint64_t flashBytes = 0;  // offline: the board's program flash
    double seconds = 0;            // host time the run took
    std::string detail;            // what exactly failed, for the message

    bool ok() const { return outcome == Outcome::Finished; }
    // One line for the user, e.g. "board lost: no answer to request 0xAA05 after 812 of 2000 marks".
    std::string message() const;
};

// Called while a job runs, from the calling thread.
struct RunProgress {
    std::size_t marksDone = 0;  // confirmed by the board (streaming) or pages stored (offline)
    std::size_t marksTotal = 0;
    std::size_t issued = 0;  // plan steps handed to the library so far
};
using RunObserver = std::function<void(const RunProgress&)>;

// Streams a plan to an executor that is initialised and bound, starts the board, and waits
// until it has finished, checking every part of the way (see the top of this file). link is
// the transport the executor was given; for the run the executor talks through a watcher in
// front of it and gets link back before this returns. Throws std::invalid_argument for a plan
// whose pen steps do not fit the job.
RunResult runPlan(Executor& executor, Transfer& link, const TarnParam& lens, const Job& job, const Plan& plan,
                  const RunOptions& options = {}, const RunObserver& observer = {});

// Stores a plan in the board's flash for offline running. Works out the flash image first and
// refuses a job larger than the board's flash (TooBig, nothing written); checks the erase and
// every page write. The program carries the same count commands as a streamed job, so a board
// that runs it counts planCounts() of them.
RunResult downloadPlan(Executor& executor, Transfer& link, const TarnParam& lens, const Job& job, const Plan& plan,
                       const RunOptions& options = {}, const RunObserver& observer = {});

// Count commands the plan carries with these options, for a check after an offline run.
std::size_t planCounts(const Job& job, const Plan& plan, const RunOptions& options = {});

// Short names: "finished", "stopped", "board lost", ...
const char* outcomeName(Outcome outcome);
// What a result code of init or OfflineDownload means, e.g. "the board is bound to another host".
const char* sdkErrorText(SdkError error);

}  // namespace planner
