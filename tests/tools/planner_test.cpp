#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

#include "executor/planner/planner.h"
#include "executor/sim/sim_board.h"
#include "executor/sim/sim_transfer.h"
#include "support/recorders.h"
#include "support/sim_job.h"

using planner::Job;
using planner::Pen;
using planner::Plan;
using planner::PlanOptions;
using planner::Point;
using planner::Step;
using Kind = planner::Step::Kind;

namespace {

std::vector<Step> stepsOf(const Plan& plan, Kind kind) {
    std::vector<Step> out;
    for (const Step& s : plan.steps)
        if (s.kind == kind) out.push_back(s);
    return out;
}

// The plan in short: P pen, J jump steps, M mark steps, D delay ticks.
std::string describe(const Plan& plan) {
    std::string out;
    for (const Step& s : plan.steps) {
        const std::size_t value = s.kind == Kind::Pen ? s.pen : s.kind == Kind::Delay ? s.ticks : s.steps;
        out += (out.empty() ? "" : " ") + std::string(1, "PJMD"[static_cast<int>(s.kind)]) + std::to_string(value);
    }
    return out;
}

}  // namespace

// Whole ticks at 1 mm/s and 1 s ticks: rounding half away from zero, at least one step, a split
// into near-equal parts exactly when the count passes 16 bits, each part ending where constant
// speed puts it and the last exactly on the target.
TEST(Planner, StepCountsRoundAndSplitAtSixteenBits) {
    const struct {
        double length;
        std::vector<std::uint16_t> parts;
    } cases[] = {{2.5, {3}},
                 {2.4999, {2}},
                 {0.4, {1}},
                 {65535, {65535}},
                 {65535.7, {32768, 32768}},
                 {131070, {65535, 65535}},
                 {131071, {43691, 43690, 43690}}};
    for (const auto& c : cases) {
        Pen pen;
        pen.markSpeed = 1;
        const Point end{c.length * 0.6, -c.length * 0.8};
        const Plan plan = planner::makePlan({{pen}, {{{{0, 0}, end}, 0}}}, {1.0, 0});
        const std::vector<Step> marks = stepsOf(plan, Kind::Mark);
        std::vector<std::uint16_t> counts;
        for (const Step& s : marks) counts.push_back(s.steps);
        ASSERT_EQ(counts, c.parts) << c.length;
        double done = 0;
        const double total = std::accumulate(counts.begin(), counts.end(), 0.0);
        for (const Step& s : marks) {
            done += s.steps;
            EXPECT_NEAR(s.to.x, end.x * done / total, 1e-9 * c.length) << c.length;
        }
        EXPECT_EQ(marks.back().to.y, end.y) << c.length;
    }
}

// Jump delay after the jump, polygon delay at inner corners only, mark delay after the last
// mark; a repeated point adds nothing; a lone point is a one-step dot; the pen is sent only when
// it changes; the duration sums every count.
TEST(Planner, DelaysPenChangesAndDuration) {
    Pen a;  // 200, 100, 50 us: 20, 10, 5 ticks
    a.markSpeed = 1000;
    Pen b = a;
    b.polygonDelay = 4;  // 0.4 ticks: left out
    const Job job{{a, b},
                  {{{{0, 0}, {1, 0}, {1, 0}, {1, 1}}, 0}, {{{2, 2}}, 0}, {{{0, 0}, {1, 0}, {0, 0}}, 1}, {{}, 0}}};
    const Plan plan = planner::makePlan(job);
    // Jumps at 2000 mm/s: 0 mm (still one step), 1.414 mm (70.7 ticks), 2.828 mm (141.4); marks
    // 100 ticks per millimetre, the dot one step.
    EXPECT_EQ(describe(plan), "P0 J1 D20 M100 D5 M100 D10 J71 D20 M1 D10 P1 J141 D20 M100 M100 D10");
    EXPECT_EQ(plan.steps[9].to.x, 2);  // the dot stays on its point
    const std::uint64_t ticks = 1 + 71 + 141 + 100 + 100 + 1 + 100 + 100 + 20 + 5 + 10 + 20 + 10 + 20 + 10;
    EXPECT_EQ(plan.summary.ticks, ticks);
    EXPECT_DOUBLE_EQ(plan.summary.seconds, ticks * 10e-6);
    EXPECT_EQ(plan.summary.segments, 8u);
    EXPECT_DOUBLE_EQ(plan.summary.markLength, 4);
}

TEST(Planner, BadInputIsRefusedWithAClearMessage) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        std::function<void(Job&, PlanOptions&)> spoil;
        const char* message;
    } cases[] = {
        {[](Job& j, PlanOptions&) { j.polylines[0].pen = 2; }, "polyline 0 uses pen 2 but the job has 1 pen|"},
        {[](Job& j, PlanOptions&) { j.pens[0].markSpeed = 0; }, "pen 0 (\"fine\"): mark speed (mm/s) is 0"},
        {[](Job& j, PlanOptions&) { j.pens[0].jumpSpeed = -5; }, "jump speed (mm/s) is -5"},
        {[](Job& j, PlanOptions&) { j.pens[0].frequency = 0; }, "frequency (kHz) is 0"},
        {[](Job& j, PlanOptions&) { j.pens[0].power = 101; }, "power (%) is 101"},
        {[](Job& j, PlanOptions&) { j.pens[0].laserOnDelay = 70000; }, "laser on delay (us)"},
        {[=](Job& j, PlanOptions&) { j.polylines[0].points[1].y = nan; }, "polyline 0, point 1 is not a finite"},
        {[](Job&, PlanOptions& o) { o.tickSeconds = 0; }, "tick length"},
        {[](Job& j, PlanOptions&) { j.pens[0].markSpeed = 1e-9; }, "takes too long"},
    };
    for (const auto& c : cases) {
        Pen pen;
        pen.name = "fine";
        Job job{{pen}, {{{{0, 0}, {1, 1}}, 0}}};
        PlanOptions options;
        c.spoil(job, options);
        try {
            planner::makePlan(job, options);
            ADD_FAILURE() << "accepted: " << c.message;
        } catch (const std::invalid_argument& e) {
            EXPECT_THAT(std::string(e.what()) + "|", ::testing::HasSubstr(c.message));  // "|": the end
        }
    }
}

TEST(Planner, PenBecomesTheLibraryPenRecord) {
    Pen pen;
    pen.power = 49.5;
    pen.frequency = 30;
    pen.pulseWidth = 4;
    pen.laserOnDelay = 120.4;
    pen.laserOffDelay = 80;
    const PenParam p = planner::penParam(pen);
    EXPECT_EQ(p.power, 50);
    EXPECT_EQ(p.frequency, 30.0f);
    EXPECT_EQ(p.pulseWidth, 4.0f);
    EXPECT_EQ(p.lightDelayA, 120);
    EXPECT_EQ(p.lightDelayB, 80);
}

namespace {

// A simulated board link that can start refusing frames.
class BreakableLink : public sim::SimTransfer {
public:
    using SimTransfer::SimTransfer;
    bool broken = false;
    bool ReadAndWriteData(const uint8_t* frame, uint32_t length, uint8_t* reply, uint32_t* replyLength,
                          bool flag) override {
        return !broken && SimTransfer::ReadAndWriteData(frame, length, reply, replyLength, flag);
    }
};

struct Rig {
    explicit Rig(BOARD_PROTOCOL protocol) : board(sim::SimConfig{protocol}), link(board) {
        executor.reset(Executor::create(BOARD_TYPE_PROTOCOL7, protocol));
        executor->setTransfer(&link);
        EXPECT_EQ(executor->init(DevPar(), false, false), SDK_OK);
        EXPECT_TRUE(executor->setStartMark());
    }
    LogRecorder log;
    SleepRecorder sleeps;
    sim::SimBoard board;
    BreakableLink link;
    std::unique_ptr<Executor> executor;
};

// A square, a dot, a slow line split into many parts and a mark delay too long for a vector
// command, with two pens.
Job boardJob() {
    Pen fast;
    Pen slow;
    slow.power = 80;
    slow.markSpeed = 10;      // 60 mm: 600000 ticks, 10 parts
    slow.markDelay = 800000;  // 80000 ticks: a delay command of its own
    return {{fast, slow},
            {{{{-10, -10}, {10, -10}, {10, 10}, {-10, 10}, {-10, -10}}, 0},
             {{{5, 5}}, 0},
             {{{-30, 20}, {30, 20}}, 1},
             {{{0, -45}, {45, -45}}, 0}}};
}

}  // namespace

class PlanOnBoard : public ::testing::TestWithParam<BOARD_PROTOCOL> {};

// The board marks what the plan says, within one device unit and with each pen's power, and its
// clock runs for exactly the planned ticks.
TEST_P(PlanOnBoard, MarksMatchThePlanAndTheClockItsDuration) {
    Rig rig(GetParam());
    const Job job = boardJob();
    PlanOptions options;
    options.streamEvery = 3;
    const Plan plan = planner::makePlan(job, options);
    std::vector<std::size_t> progress;
    ASSERT_TRUE(planner::issuePlan(*rig.executor, sim_job::lens(), job, plan, options,
                                   [&](std::size_t done, std::size_t total) {
                                       EXPECT_EQ(total, plan.steps.size());
                                       progress.push_back(done);
                                   }));
    ASSERT_TRUE(rig.executor->exeCurCmd(true));

    EXPECT_EQ(rig.board.errors().total(), 0u);
    EXPECT_EQ(rig.board.clock(), plan.summary.ticks);
    std::vector<sim::TraceEvent> marks;
    for (const sim::TraceEvent& e : rig.board.trace().events)
        if (e.kind == sim::TraceEvent::kMark) marks.push_back(e);
    const std::vector<Step> planned = stepsOf(plan, Kind::Mark);
    ASSERT_EQ(marks.size(), planned.size());
    for (std::size_t i = 0; i < marks.size(); ++i) {
        EXPECT_NEAR(marks[i].x1, 32768 + planned[i].to.x * 655.35, 1.0) << i;
        EXPECT_NEAR(marks[i].y1, 32768 + planned[i].to.y * 655.35, 1.0) << i;
        EXPECT_EQ(marks[i].laser.pwmWidth == marks[0].laser.pwmWidth, planned[i].pen == 0) << i;
    }
    EXPECT_EQ(progress.size(), plan.summary.segments / 3 + 1);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_EQ(progress.back(), plan.steps.size());
}

INSTANTIATE_TEST_SUITE_P(Protocols, PlanOnBoard, ::testing::Values(BOARD_PROTOCOL_7, BOARD_PROTOCOL_5));

TEST(PlanOnBoard, StreamingFailureIsReported) {
    Rig rig(BOARD_PROTOCOL_7);
    const Job job = boardJob();
    const Plan plan = planner::makePlan(job);
    rig.link.broken = true;
    EXPECT_FALSE(planner::issuePlan(*rig.executor, sim_job::lens(), job, plan, {10e-6, 1}));
}
