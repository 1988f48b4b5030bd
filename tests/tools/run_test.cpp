// A whole job run through the planner on the simulated board in process: each way a board or
// link can fail ends in its own outcome, and the marks it reports are what the board confirmed.

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "executor/planner/run.h"
#include "executor/sim/sim_board.h"
#include "executor/sim/sim_transfer.h"
#include "support/recorders.h"
#include "support/sim_job.h"

using planner::Outcome;

namespace {

// A link that can lose frames: fail them, or (a lying link) report them delivered.
class FrameLink : public sim::SimTransfer {
public:
    using SimTransfer::SimTransfer;
    int frames = 0;
    int failFrom = 0;
    int swallow = 0;
    std::function<void(int frame)> onFrame;
    bool ReadAndWriteData(const uint8_t* frame, uint32_t length, uint8_t* reply, uint32_t* replyLength,
                          bool flag) override {
        ++frames;
        if (onFrame) onFrame(frames);
        if (failFrom != 0 && frames >= failFrom) return false;
        if (frames == swallow) return true;
        return SimTransfer::ReadAndWriteData(frame, length, reply, replyLength, flag);
    }
};

// 600 one-millimetre marks in rows: several frames on either protocol.
planner::Job rows() {
    planner::Job job{{planner::Pen{}}, {}};
    for (int row = 0; row < 20; ++row) {
        planner::Polyline line;
        for (int i = 0; i <= 30; ++i) line.points.push_back({i - 15.0, row - 10.0});
        job.polylines.push_back(line);
    }
    return job;
}

struct Row {
    const char* name;
    BOARD_PROTOCOL protocol;
    bool offline;
    int failFrom;         // frames from this one on fail
    int swallow;          // this frame is reported delivered but dropped
    int cancelAt;         // another thread cancels while this frame is on its way
    bool stall;           // the board's command memory stops draining
    uint32_t flashBytes;  // program flash
    uint32_t memory;      // command memory
    Outcome expected;
};

std::size_t traceMarks(const sim::SimBoard& board) {
    std::size_t n = 0;
    for (const sim::TraceEvent& e : board.trace().events) n += e.kind == sim::TraceEvent::kMark;
    return n;
}

}  // namespace

TEST(RunPlan, EachFailureEndsInItsOwnOutcome) {
    constexpr uint32_t kFlash = 8 * 1024 * 1024, kMemory = 256 * 1024;
    const Row table[] = {
        {"streamed p7", BOARD_PROTOCOL_7, false, 0, 0, 0, false, kFlash, kMemory, Outcome::Finished},
        {"streamed p5", BOARD_PROTOCOL_5, false, 0, 0, 0, false, kFlash, kMemory, Outcome::Finished},
        {"frame lost", BOARD_PROTOCOL_7, false, 3, 0, 0, false, kFlash, kMemory, Outcome::BoardLost},
        {"frame swallowed", BOARD_PROTOCOL_5, false, 0, 2, 0, false, kFlash, kMemory, Outcome::CutShort},
        {"cancelled", BOARD_PROTOCOL_7, false, 0, 0, 2, false, kFlash, kMemory, Outcome::Stopped},
        {"stalled", BOARD_PROTOCOL_7, false, 0, 0, 0, true, kFlash, kMemory, Outcome::TimedOut},
        // Never room for a frame: the library's own wait must end too.
        {"no room", BOARD_PROTOCOL_7, false, 0, 0, 0, false, kFlash, 8192, Outcome::TimedOut},
        {"stored p7", BOARD_PROTOCOL_7, true, 0, 0, 0, false, kFlash, kMemory, Outcome::Finished},
        {"stored p5", BOARD_PROTOCOL_5, true, 0, 0, 0, false, kFlash, kMemory, Outcome::Finished},
        {"flash too small", BOARD_PROTOCOL_7, true, 0, 0, 0, false, 8192, kMemory, Outcome::TooBig},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.name);
        LogRecorder log;
        sim::SimConfig config;
        config.protocol = row.protocol;
        config.flashSize = row.flashBytes;
        config.commandMemory = row.memory;
        sim::SimBoard board(config);
        board.faults().stallMemory = row.stall;
        FrameLink link(board);
        link.failFrom = row.failFrom;
        link.swallow = row.swallow;
        std::atomic<bool> cancel{false};
        link.onFrame = [&](int frame) {
            if (frame == row.cancelAt) std::thread([&cancel] { cancel = true; }).join();
        };
        planner::RunOptions options;
        options.pollSeconds = 0.001;
        options.noProgressSeconds = 0.1;
        options.cancel = &cancel;
        std::unique_ptr<Executor> executor(Executor::create(BOARD_TYPE_PROTOCOL7, row.protocol));
        executor->setTransfer(&link);
        ASSERT_EQ(executor->init(DevPar(), false, false), SDK_OK);

        const planner::Job job = rows();
        const planner::Plan plan = planner::makePlan(job);
        std::size_t confirmedWhileStreaming = 0;  // the board's count, read between streaming passes
        const auto observe = [&](const planner::RunProgress& p) {
            if (p.issued < plan.steps.size()) confirmedWhileStreaming = p.marksDone;
        };
        const planner::RunResult result =
            row.offline ? planner::downloadPlan(*executor, link, sim_job::lens(), job, plan, options)
                        : planner::runPlan(*executor, link, sim_job::lens(), job, plan, options, observe);
        EXPECT_EQ(result.outcome, row.expected) << result.message();
        EXPECT_EQ(result.marksPlanned, plan.summary.marks);
        EXPECT_EQ(result.message().rfind(planner::outcomeName(row.expected), 0), 0u) << result.message();
        if (row.offline && result.ok()) {
            EXPECT_EQ(result.pagesStored, result.pagesPlanned);
            ASSERT_TRUE(board.runOfflineProgram());
            EXPECT_EQ(traceMarks(board), plan.summary.marks);
        } else if (row.offline) {
            EXPECT_GT(result.imageBytes, result.flashBytes);
            EXPECT_EQ(result.pagesStored, 0u);
        } else {
            // What the board confirmed it marked, never more (a gap makes it a bound from above);
            // all of it only when finished.
            if (row.expected == Outcome::CutShort) {
                EXPECT_LT(traceMarks(board), result.marksDone);
            } else {
                EXPECT_LE(result.marksDone, traceMarks(board));
            }
            EXPECT_EQ(result.marksDone == plan.summary.marks, result.ok());
            if (result.ok()) {
                EXPECT_GT(confirmedWhileStreaming, 0u);
            }
        }
    }
}

TEST(RunPlan, NothingIsSentWithoutABoundBoard) {
    std::unique_ptr<Executor> executor(Executor::create(BOARD_TYPE_PROTOCOL7, BOARD_PROTOCOL_7));
    sim::SimBoard board;
    sim::SimTransfer link(board);
    const planner::Job job = rows();
    const planner::RunResult result = planner::runPlan(*executor, link, sim_job::lens(), job, planner::makePlan(job));
    EXPECT_EQ(result.outcome, Outcome::NotConnected);
    EXPECT_EQ(board.exchanges(), 0);
}
