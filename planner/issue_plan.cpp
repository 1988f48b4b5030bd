#include "executor/planner/planner.h"
#include "plan_issuer.h"

namespace planner {

bool issuePlan(Executor& executor, const TarnParam& lens, const Job& job, const Plan& plan, const PlanOptions& options,
               const Progress& progress) {
    PlanIssuer issuer(executor, lens, job, plan, 0);
    // Queued packets of an executor that is not connected or not bound never reach a board.
    if (!executor.isEnable() || !executor.isBindByMe()) return false;
    issuer.begin();
    const std::size_t total = plan.steps.size();
    if (options.streamEvery == 0) {
        issuer.issue(total);
    } else {
        while (issuer.issue(options.streamEvery)) {
            if (!executor.exeCurCmd(false)) return false;
            if (progress) progress(issuer.stepsIssued(), total);
        }
    }
    if (progress) progress(total, total);
    return true;
}

}  // namespace planner
