#pragma once
// Turns a job in millimetres into the library's calls: pens become laser settings, polylines
// become jumps and marks with step counts from the pen speeds, settle times become delays.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "executor/executor.h"
#include "executor/planner/job.h"

namespace planner {

struct PlanOptions {
    double tickSeconds = 10e-6;  // board time of one step or delay count
    // Vector commands queued between two streaming passes, so a long job never sits whole in
    // the host's list and progress can be reported. 0 queues everything and leaves streaming
    // to the caller.
    std::size_t streamEvery = 512;
};

// One command of a plan, in millimetres.
//
// Every polyline becomes: a Pen step when its pen differs from the one in force, a Jump to its
// first point (always, even when the galvo is already there, so each polyline starts with the
// laser off), a Delay of the jump delay, then Marks through its points with a Delay of the
// polygon delay after each inner corner and a Delay of the mark delay after the last one.
// Repeated points are dropped; a polyline whose points all coincide is a dot, one Mark of one
// step onto its own point; a polyline without points is skipped. A move longer than 65535
// ticks is split into equal parts that each end exactly on the straight line. Delays that
// round to zero ticks are left out.
struct Step {
    enum class Kind { Pen, Jump, Mark, Delay };
    Kind kind = Kind::Jump;
    Point to;                 // Jump, Mark: end point
    std::uint16_t steps = 0;  // Jump, Mark: step count (never 0, never above 65535)
    std::uint32_t ticks = 0;  // Delay: delay count
    std::size_t pen = 0;      // index into the job's pens: the new pen for Pen, the pen in force otherwise
};

struct PlanSummary {
    std::size_t segments = 0;  // vector commands (after long moves are split)
    std::size_t marks = 0;
    std::size_t jumps = 0;
    double markLength = 0;    // mm
    double jumpLength = 0;    // mm
    std::uint64_t ticks = 0;  // step and delay counts together
    double seconds = 0;       // planned board time: ticks times the tick length
};

struct Plan {
    std::vector<Step> steps;
    PlanSummary summary;
};

// Called while a plan is issued: plan steps issued so far and in total.
using Progress = std::function<void(std::size_t done, std::size_t total)>;

// Plans without a board, e.g. for a preview. The galvo is taken to start at the field centre
// (0, 0). Throws std::invalid_argument for a polyline that names a pen the job does not have or
// has a coordinate that is not a finite number, for a pen with a speed or frequency that is not
// positive, a power outside 0..100 %, a negative time or a laser delay above 65535 us, for a
// tick length that is not positive, and for a single move that would take longer than
// 65535 x 65535 ticks.
Plan makePlan(const Job& job, const PlanOptions& options = {});

// The library's pen record for a pen: power rounded to whole percent, frequency, pulse width,
// the laser on delay as light delay A and the laser off delay as light delay B, both in whole
// microseconds.
PenParam penParam(const Pen& pen);

// Issues a plan to an executor that is initialised and bound: the lens once (linear mapping),
// each pen as it comes, then the moves and delays, streaming as it goes (see
// PlanOptions::streamEvery). A Delay that fits 16 bits rides as the delay count of the jump or
// mark before it, so settle times cost no extra command; a longer one goes out as a delay
// command. The caller starts the run (setStartMark) before and streams the rest after
// (exeCurCmd). Returns false, having sent nothing, for an executor without a bound board, and
// false when a streaming pass failed. A frame lost inside a queueing call shows only on the
// link: runPlan (run.h) watches the link and the board and says what became of the job. Throws
// std::invalid_argument for a plan whose pen steps do not fit the job.
bool issuePlan(Executor& executor, const TarnParam& lens, const Job& job, const Plan& plan,
               const PlanOptions& options = {}, const Progress& progress = {});

}  // namespace planner
