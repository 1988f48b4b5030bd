#pragma once
// Issues a plan's steps to an executor a few vector commands at a time, so a caller can stream,
// poll and give up between the pieces. With count marks on, a count command follows every few
// marks and the last step: the board's mark counter then tells how far it got.

#include <cstddef>
#include <vector>

#include "executor/executor.h"
#include "executor/planner/planner.h"

namespace planner {

class PlanIssuer {
public:
    // marksPerCount 0 queues no count command.
    PlanIssuer(Executor& executor, const TarnParam& lens, const Job& job, const Plan& plan, std::size_t marksPerCount);

    // The lens, with the linear mapping the plan's millimetres are meant for.
    void begin();
    // Queues steps until `vectors` vector commands went out or the plan ended; false once ended.
    bool issue(std::size_t vectors);

    bool done() const { return m_next >= m_plan.steps.size() && m_ended; }
    std::size_t stepsIssued() const { return m_next; }
    std::size_t marksIssued() const { return m_marks; }
    // Count commands the whole plan carries, and those queued so far.
    std::size_t counts() const { return m_countMarks.size(); }
    std::size_t countsIssued() const { return m_countsIssued; }
    // Marks the board has executed once it counted n of them (n <= counts()).
    std::size_t marksAtCount(std::size_t n) const { return n == 0 ? 0 : m_countMarks[n - 1]; }

private:
    Executor& m_executor;
    const TarnParam& m_lens;
    const Job& m_job;
    const Plan& m_plan;
    std::size_t m_marksPerCount;
    std::size_t m_next = 0;
    std::size_t m_marks = 0;
    std::size_t m_countsIssued = 0;
    bool m_ended = false;
    bool m_countedLast = false;             // the last command queued was a count
    std::vector<std::size_t> m_countMarks;  // marks done at each count, worked out in advance
};

// How many marks go between two count commands: as wanted, but never so few that the counts of
// one job outnumber what a 16-bit board counter can tell apart.
std::size_t marksPerCount(std::size_t marks, std::size_t wanted);

// The marks done at each count command of a plan: one after every marksPerCount marks and one
// at the end, unless a count already ends it. Empty for marksPerCount 0.
std::vector<std::size_t> countPositions(const Plan& plan, std::size_t marksPerCount);

}  // namespace planner
