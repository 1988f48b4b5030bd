#include "plan_issuer.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace planner {

namespace {

constexpr std::uint32_t kMaxVectorDelay = 0xFFFF;  // 16-bit delay count of a vector command
// A protocol 7 board reports 16 bits of its counter; the counts of one job stay below a wrap.
constexpr std::size_t kMaxCounts = 60000;

// A delay that fits 16 bits rides as the delay count of the jump or mark just before it.
bool foldsIntoVector(const std::vector<Step>& steps, std::size_t index) {
    if (index == 0 || steps[index].kind != Step::Kind::Delay || steps[index].ticks > kMaxVectorDelay) return false;
    const Step::Kind before = steps[index - 1].kind;
    return before == Step::Kind::Jump || before == Step::Kind::Mark;
}

}  // namespace

std::size_t marksPerCount(std::size_t marks, std::size_t wanted) {
    if (wanted == 0) return 0;
    return std::max(wanted, (marks + kMaxCounts - 1) / kMaxCounts);
}

PlanIssuer::PlanIssuer(Executor& executor, const TarnParam& lens, const Job& job, const Plan& plan,
                       std::size_t marksPerCount)
    : m_executor(executor), m_lens(lens), m_job(job), m_plan(plan), m_marksPerCount(marksPerCount) {
    for (const Step& step : plan.steps) {
        if (step.kind == Step::Kind::Pen && step.pen >= job.pens.size()) {
            throw std::invalid_argument("planner: the plan switches to pen " + std::to_string(step.pen) +
                                        " but the job has " + std::to_string(job.pens.size()));
        }
    }
    m_countMarks = countPositions(plan, marksPerCount);
}

std::vector<std::size_t> countPositions(const Plan& plan, std::size_t marksPerCount) {
    std::vector<std::size_t> positions;
    if (marksPerCount == 0) return positions;
    std::size_t marks = 0;
    bool countedLast = false;
    for (std::size_t i = 0; i < plan.steps.size(); ++i) {
        if (foldsIntoVector(plan.steps, i)) continue;
        countedLast = false;
        if (plan.steps[i].kind == Step::Kind::Mark && ++marks % marksPerCount == 0) {
            positions.push_back(marks);
            countedLast = true;
        }
    }
    if (!countedLast) positions.push_back(marks);
    return positions;
}

void PlanIssuer::begin() { m_executor.sendMarkPara(m_lens, false, MARK_TYPE_LINEAR); }

bool PlanIssuer::issue(std::size_t vectors) {
    const std::vector<Step>& steps = m_plan.steps;
    MarkCtrlData linear;
    linear.markType = MARK_TYPE_LINEAR;
    std::size_t queued = 0;
    while (m_next < steps.size() && queued < vectors) {
        const Step& step = steps[m_next++];
        m_countedLast = false;
        switch (step.kind) {
            case Step::Kind::Pen:
                m_executor.sendPenPara(m_lens.laser, penParam(m_job.pens[step.pen]));
                break;
            case Step::Kind::Delay:
                m_executor.sendDelayTime(step.ticks);
                break;
            case Step::Kind::Jump:
            case Step::Kind::Mark: {
                std::uint16_t delay = 0;
                if (m_next < steps.size() && foldsIntoVector(steps, m_next)) {
                    delay = static_cast<std::uint16_t>(steps[m_next++].ticks);
                }
                const Point2dConcept<double> to(step.to.x, step.to.y);
                if (step.kind == Step::Kind::Jump) {
                    m_executor.gotoPositionAbs(m_lens, to, step.steps, delay, linear);
                } else {
                    m_executor.linetoPositionAbs(m_lens, to, step.steps, delay, linear);
                    ++m_marks;
                    if (m_marksPerCount != 0 && m_marks % m_marksPerCount == 0) {
                        m_executor.sendCountOnce();
                        ++m_countsIssued;
                        m_countedLast = true;
                    }
                }
                ++queued;
                break;
            }
        }
    }
    if (m_next < steps.size()) return true;
    if (!m_ended && m_marksPerCount != 0 && !m_countedLast) {
        m_executor.sendCountOnce();
        ++m_countsIssued;
    }
    m_ended = true;
    return false;
}

}  // namespace planner
