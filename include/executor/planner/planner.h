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
    // Queued vector commands between two streaming passes, so a long job never sits whole in
    // the host's list. 0 queues everything and leaves streaming to the caller.
    std::size_t streamEvery = 512;
};

// One command of a plan, in millimetres.
struct Step {
    enum class Kind { Pen, Jump, Mark, Delay };
    Kind kind = Kind::Jump;
    Point to;                 // Jump, Mark: end point
    std::uint16_t steps = 0;  // Jump, Mark: step count (never 0, never above 65535)
    std::uint32_t ticks = 0;  // Delay: delay count
    std::size_t pen = 0;      // Pen: index into the job's pens
};

struct PlanSummary {
    std::size_t segments = 0;  // vector commands (after long moves are split)
    std::size_t marks = 0;
    std::size_t jumps = 0;
    double markLength = 0;  // mm
    double jumpLength = 0;  // mm
    double seconds = 0;     // planned board time of steps and delays
};

struct Plan {
    std::vector<Step> steps;
    PlanSummary summary;
};

// Called while a plan is issued: commands issued so far and in total.
using Progress = std::function<void(std::size_t done, std::size_t total)>;

// Plans without a board, e.g. for a preview. Throws std::invalid_argument for a job that names a
// pen it does not have or a pen with a speed or frequency that is not positive.
Plan makePlan(const Job& job, const PlanOptions& options = {});

// Issues a plan to an executor that is initialised and bound: the lens once, each pen as it comes,
// then the moves and delays, streaming as it goes (see PlanOptions::streamEvery). The caller starts
// the run (setStartMark) before and streams the rest after (exeCurCmd). Returns false when
// streaming failed.
bool issuePlan(Executor& executor, const TarnParam& lens, const Job& job, const Plan& plan,
               const PlanOptions& options = {}, const Progress& progress = {});

}  // namespace planner
