#include "executor/planner/run.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <thread>

#include "executor/proto7/executor7.h"
#include "job_link.h"
#include "plan_issuer.h"

namespace planner {

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t kPageBytes = 256;
constexpr uint32_t kImageTail = 24;         // protocol 7 images end in 24 bytes of 0xFF
constexpr uint32_t kFlashLimit = 0x800000;  // 24-bit page addresses: no board holds more
constexpr int kLostAfterSilentPolls = 3;    // status reads in a row without an answer
constexpr double kStepMargin = 1.5;         // a single step may take this much longer than planned

Clock::duration toDuration(double seconds) {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The board's execution time of the longest single command of the plan.
double longestStepSeconds(const Plan& plan, double tickSeconds) {
    std::uint64_t longest = 0;
    for (const Step& step : plan.steps) {
        longest = std::max<std::uint64_t>(longest, step.kind == Step::Kind::Delay ? step.ticks : step.steps);
    }
    return static_cast<double>(longest) * tickSeconds;
}

// The board's mark counter, 16 bits on the wire, followed across wraps from a base.
class BoardCounter {
public:
    explicit BoardCounter(uint32_t raw) : m_last(static_cast<uint16_t>(raw)) {}
    // False when the counter went back: the board was reset under the job.
    bool update(uint32_t raw) {
        const auto delta = static_cast<uint16_t>(static_cast<uint16_t>(raw) - m_last);
        if (delta > 0x8000) return false;
        m_last = static_cast<uint16_t>(raw);
        m_total += delta;
        return true;
    }
    std::size_t total() const { return m_total; }

private:
    uint16_t m_last;
    std::size_t m_total = 0;
};

// Accepts everything and counts flash pages: the flash image of a job without a board.
class SizingLink : public Transfer {
public:
    uint64_t pages = 0;

    bool isOpen() override { return true; }
    bool openDev() override { return true; }
    void closeDev() override {}
    bool readData(uint32_t, uint8_t*, uint32_t, int32_t*, uint8_t*, uint8_t*, bool) override { return false; }
    bool writeData(const uint8_t*, uint32_t, uint32_t) override { return false; }
    bool isVirtual() override { return true; }
    bool ReadAndWriteCmd(const uint8_t*, uint32_t requestLen, uint8_t* reply, uint32_t* replyLen, bool) override {
        if (requestLen >= kPageBytes) ++pages;
        if (reply != nullptr && replyLen != nullptr) std::fill(reply, reply + *replyLen, uint8_t{0});
        return true;
    }
    bool ReadAndWriteData(const uint8_t*, uint32_t, uint8_t*, uint32_t*, bool) override { return true; }
    int32_t getLinkType() override { return 0; }
    bool isDirectLink() override { return true; }
    bool isNetLink() override { return false; }
    bool isFastLink() override { return false; }
    void setLinkMode(bool, bool) override {}
};

BOARD_PROTOCOL protocolOf(Executor& executor) {
    return dynamic_cast<Executor7*>(&executor) != nullptr ? BOARD_PROTOCOL_7 : BOARD_PROTOCOL_5;
}

// Flash pages the job takes, found by downloading it to a board that only counts.
uint64_t imagePages(BOARD_PROTOCOL protocol, const TarnParam& lens, const Job& job, const Plan& plan,
                    std::size_t perCount) {
    SizingLink sizing;
    std::unique_ptr<Executor> scratch(Executor::create(BOARD_TYPE_PROTOCOL7, protocol));
    scratch->setTransfer(&sizing);
    scratch->setOfflineMode(true);
    scratch->setSRamMaxSize(kFlashLimit);
    PlanIssuer issuer(*scratch, lens, job, plan, perCount);
    issuer.begin();
    issuer.issue(plan.steps.size());
    SdkError error = SDK_OK;
    // A job past the flash limit is refused before a page is counted: report it as the limit.
    if (!scratch->OfflineDownload(error)) return error == SDK_OFFLINE_NO_DATA ? 0 : kFlashLimit / kPageBytes + 1;
    return sizing.pages;
}

// One run: the watcher installed in front of the host's link and taken out again at the end.
class Session {
public:
    Session(Executor& executor, Transfer& link, const RunOptions& options, const Plan& plan, RunResult& result)
        : m_executor(executor),
          m_link(link),
          m_result(result),
          m_start(Clock::now()),
          m_deadline(options.deadlineSeconds > 0 ? options.deadlineSeconds
                                                 : plan.summary.seconds * kStepMargin + options.noProgressSeconds),
          m_noProgress(std::max(options.noProgressSeconds,
                                longestStepSeconds(plan, options.plan.tickSeconds) * kStepMargin + 1)),
          m_guard(link, options.cancel, toDuration(m_noProgress), m_start + toDuration(m_deadline)) {
        m_executor.setTransfer(&m_guard);
    }
    ~Session() { m_executor.setTransfer(&m_link); }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    JobLink& guard() { return m_guard; }
    // After a stop, the board's counter is read once more for the marks it confirmed.
    void track(BoardCounter& counter, const PlanIssuer& issuer) {
        m_counter = &counter;
        m_issuer = &issuer;
    }

    // Ends the run with an outcome; stops the board first unless it finished or never started.
    RunResult& end(Outcome outcome, std::string detail, bool stopBoard) {
        if (stopBoard) {
            m_guard.release();
            if (!m_executor.setStopMark()) {
                detail += detail.empty() ? "the board did not take the stop command"
                                         : "; the board did not take the stop command";
            } else if (m_counter != nullptr) {
                DevBaseState state;
                if (m_executor.getDevState(state, true) && m_counter->update(state.markCount))
                    m_result.marksDone = m_issuer->marksAtCount(std::min(m_counter->total(), m_issuer->counts()));
            }
        }
        m_result.outcome = outcome;
        m_result.detail = std::move(detail);
        m_result.seconds = secondsSince(m_start);
        return m_result;
    }

    // Outcome after a library call failed or the watcher stepped in.
    // A board that stopped answering explains a stall, so it is named first; a cancel by the
    // host comes before either.
    RunResult& fail(const std::string& refusal, bool stopBoard) {
        const JobLink::Trip trip = m_guard.trip();
        if (trip == JobLink::Trip::Cancelled) return end(Outcome::Stopped, "", stopBoard);
        if (m_guard.failures() != 0) return end(Outcome::BoardLost, m_guard.firstFailure(), stopBoard);
        switch (trip) {
            case JobLink::Trip::Stalled:
                return end(Outcome::TimedOut, "no progress for " + seconds(m_noProgress), stopBoard);
            case JobLink::Trip::PastDeadline:
                return end(Outcome::TimedOut, "still running after the deadline of " + seconds(m_deadline), stopBoard);
            default:
                return end(Outcome::Refused, refusal, stopBoard);
        }
    }

    bool troubled() { return m_guard.failures() != 0 || m_guard.trip() != JobLink::Trip::None; }

    static std::string seconds(double value) {
        char text[32];
        std::snprintf(text, sizeof(text), "%g s", value);
        return text;
    }

private:
    Executor& m_executor;
    Transfer& m_link;
    RunResult& m_result;
    Clock::time_point m_start;
    double m_deadline;    // seconds from the start
    double m_noProgress;  // seconds
    JobLink m_guard;
    BoardCounter* m_counter = nullptr;
    const PlanIssuer* m_issuer = nullptr;
};

const char* checkExecutor(Executor& executor, Outcome& outcome) {
    if (!executor.isEnable()) {
        outcome = Outcome::NotConnected;
        return "the executor has no board: set a transport and call init first";
    }
    if (!executor.isBindByMe()) {
        outcome = Outcome::NotBound;
        return "the board is not bound to this host";
    }
    return nullptr;
}

// Watches the board until it reports the job done, then checks its counter.
RunResult& awaitFinish(Executor& executor, Session& session, PlanIssuer& issuer, BoardCounter& counter,
                       const RunOptions& options, const RunObserver& observer, RunResult& result) {
    DevBaseState last;
    int silent = 0;
    for (;;) {
        DevBaseState state;
        if (!executor.getDevState(state, true)) {
            // A lost status read loses nothing of the job; only a board that stays silent is lost.
            if (session.guard().trip() != JobLink::Trip::None) return session.fail("", true);
            if (++silent >= kLostAfterSilentPolls)
                return session.end(Outcome::BoardLost, session.guard().firstFailure(), true);
            continue;
        }
        silent = 0;
        if (!counter.update(state.markCount)) {
            return session.end(Outcome::BoardLost, "the board was reset during the job (its counter went back)", false);
        }
        result.marksDone = issuer.marksAtCount(std::min(counter.total(), issuer.counts()));
        if (state.workState != last.workState || state.freeCacheKb != last.freeCacheKb ||
            state.markCount != last.markCount || state.finished != last.finished) {
            session.guard().progress();
        }
        last = state;
        if (observer) observer({result.marksDone, result.marksPlanned, issuer.stepsIssued()});
        if (state.finished || state.workState < 2) break;
        if (session.guard().trip() != JobLink::Trip::None) return session.fail("", true);
        std::this_thread::sleep_for(toDuration(options.pollSeconds));
    }
    if (counter.total() < issuer.counts()) {
        return session.end(Outcome::CutShort,
                           "the board counted " + std::to_string(counter.total()) + " of " +
                               std::to_string(issuer.counts()) + " checkpoints",
                           false);
    }
    result.marksDone = result.marksPlanned;
    return session.end(Outcome::Finished, "", false);
}

}  // namespace

std::size_t planCounts(const Job&, const Plan& plan, const RunOptions& options) {
    return countPositions(plan, marksPerCount(plan.summary.marks, options.marksPerCount)).size();
}

RunResult runPlan(Executor& executor, Transfer& link, const TarnParam& lens, const Job& job, const Plan& plan,
                  const RunOptions& options, const RunObserver& observer) {
    RunResult result;
    result.marksPlanned = plan.summary.marks;
    PlanIssuer issuer(executor, lens, job, plan, marksPerCount(plan.summary.marks, options.marksPerCount));
    if (const char* why = checkExecutor(executor, result.outcome)) {
        result.detail = why;
        return result;
    }
    Session session(executor, link, options, plan, result);
    DevBaseState state;
    if (!executor.getDevState(state, true)) return session.fail("the board did not report its status", false);
    BoardCounter counter(state.markCount);
    session.track(counter, issuer);
    if (!executor.setStartMark()) return session.fail("the board refused to start", false);

    const std::size_t chunk = options.plan.streamEvery == 0 ? plan.steps.size() : options.plan.streamEvery;
    Clock::time_point nextPoll = Clock::now();
    issuer.begin();
    bool more = true;
    while (more) {
        more = issuer.issue(chunk);
        // A frame that failed inside a queueing call is gone: the job cannot go on as drawn.
        if (!executor.exeCurCmd(false) || session.troubled()) return session.fail("the board refused a frame", true);
        // Stopped by a run-control call from elsewhere: the library now drops what is queued.
        if (executor.isStopRun()) return session.end(Outcome::Stopped, "by another caller", false);
        if (Clock::now() >= nextPoll && executor.getDevState(state, true)) {
            nextPoll = Clock::now() + toDuration(options.pollSeconds * 10);
            if (!counter.update(state.markCount)) {
                return session.end(Outcome::BoardLost, "the board was reset during the job (its counter went back)",
                                   true);
            }
            result.marksDone = issuer.marksAtCount(std::min(counter.total(), issuer.counts()));
            if (observer) observer({result.marksDone, result.marksPlanned, issuer.stepsIssued()});
        }
        if (session.guard().trip() != JobLink::Trip::None) return session.fail("", true);
    }
    return awaitFinish(executor, session, issuer, counter, options, observer, result);
}

RunResult downloadPlan(Executor& executor, Transfer& link, const TarnParam& lens, const Job& job, const Plan& plan,
                       const RunOptions& options, const RunObserver& observer) {
    RunResult result;
    result.marksPlanned = plan.summary.marks;
    const std::size_t perCount = marksPerCount(plan.summary.marks, options.marksPerCount);
    PlanIssuer issuer(executor, lens, job, plan, perCount);
    if (const char* why = checkExecutor(executor, result.outcome)) {
        result.detail = why;
        return result;
    }
    const uint64_t pages = imagePages(protocolOf(executor), lens, job, plan, perCount);
    result.pagesPlanned = pages;
    result.imageBytes = pages * kPageBytes;

    Session session(executor, link, options, plan, result);
    uint32_t flash = 0;
    if (!executor.getOfflineRamSize(flash)) return session.fail("the board did not report its flash size", false);
    result.flashBytes = std::min(flash, kFlashLimit);
    if (result.imageBytes > result.flashBytes) return session.end(Outcome::TooBig, "", false);
    if (pages == 0) return session.end(Outcome::Refused, "nothing to store", false);

    executor.setSRamMaxSize(static_cast<uint32_t>(result.flashBytes - kImageTail));
    executor.setOfflineMode(true);
    issuer.begin();
    issuer.issue(plan.steps.size());
    session.guard().pageObserver = [&](uint64_t stored) {
        result.pagesStored = stored;
        if (observer)
            observer({static_cast<std::size_t>(stored), static_cast<std::size_t>(pages), issuer.stepsIssued()});
    };
    SdkError error = SDK_OK;
    const bool downloaded = executor.OfflineDownload(error);
    session.guard().pageObserver = nullptr;
    executor.setOfflineMode(false);
    result.pagesStored = session.guard().pagesWritten();
    if (!downloaded && error == SDK_OFFLINE_TOO_BIG) return session.end(Outcome::TooBig, "", false);
    if (!downloaded) return session.end(Outcome::Refused, sdkErrorText(error), false);
    if (session.troubled()) return session.fail("", false);
    if (session.guard().flashRefusals() != 0) {
        return session.end(Outcome::Refused,
                           "the board refused " + std::to_string(session.guard().flashRefusals()) + " flash writes",
                           false);
    }
    if (result.pagesStored != pages) return session.end(Outcome::CutShort, "", false);
    return session.end(Outcome::Finished, "", false);
}

}  // namespace planner
