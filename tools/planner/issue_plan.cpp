#include <stdexcept>
#include <string>

#include "executor/planner/planner.h"

namespace planner {

namespace {

constexpr std::uint32_t kMaxVectorDelay = 0xFFFF;  // 16-bit delay count of a vector command

void checkPens(const Job& job, const Plan& plan) {
    for (const Step& step : plan.steps) {
        if (step.kind == Step::Kind::Pen && step.pen >= job.pens.size()) {
            throw std::invalid_argument("planner: the plan switches to pen " + std::to_string(step.pen) +
                                        " but the job has " + std::to_string(job.pens.size()));
        }
    }
}

}  // namespace

bool issuePlan(Executor& executor, const TarnParam& lens, const Job& job, const Plan& plan, const PlanOptions& options,
               const Progress& progress) {
    checkPens(job, plan);
    MarkCtrlData linear;
    linear.markType = MARK_TYPE_LINEAR;
    executor.sendMarkPara(lens, false, MARK_TYPE_LINEAR);

    const std::vector<Step>& steps = plan.steps;
    const std::size_t total = steps.size();
    std::size_t queuedSinceStream = 0;
    for (std::size_t i = 0; i < total; ++i) {
        const Step& step = steps[i];
        switch (step.kind) {
            case Step::Kind::Pen:
                executor.sendPenPara(lens.laser, penParam(job.pens[step.pen]));
                break;
            case Step::Kind::Delay:
                executor.sendDelayTime(step.ticks);
                break;
            case Step::Kind::Jump:
            case Step::Kind::Mark: {
                std::uint16_t delay = 0;
                if (i + 1 < total && steps[i + 1].kind == Step::Kind::Delay && steps[i + 1].ticks <= kMaxVectorDelay) {
                    delay = static_cast<std::uint16_t>(steps[++i].ticks);
                }
                const Point2dConcept<double> to(step.to.x, step.to.y);
                if (step.kind == Step::Kind::Jump) {
                    executor.gotoPositionAbs(lens, to, step.steps, delay, linear);
                } else {
                    executor.linetoPositionAbs(lens, to, step.steps, delay, linear);
                }
                if (options.streamEvery != 0 && ++queuedSinceStream == options.streamEvery) {
                    queuedSinceStream = 0;
                    if (!executor.exeCurCmd(false)) return false;
                    if (progress) progress(i + 1, total);
                }
                break;
            }
        }
    }
    if (progress) progress(total, total);
    return true;
}

}  // namespace planner
