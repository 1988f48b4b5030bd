#include <benchmark/benchmark.h>

#include <chrono>

#include "bench_support.h"
#include "executor/sim/sim_board.h"
#include "executor/sim/sim_transfer.h"

// Figure 4: a job of many short marks in millimetres streamed through the simulated board in
// instant pacing, against the same job on a transport that only takes frames. Peak resident
// memory is only meaningful when each job length runs in a process of its own (scripts/bench
// does that); resident growth is measured across the job either way.

namespace {

// A zigzag of marks across the field with a jump at the start of every row: what a hatch fill
// produces. Every segment is one linetoPositionAbs or gotoPositionAbs call.
void runJob(Executor& e, const TarnParam& lens, int64_t segments) {
    MarkCtrlData linear;
    linear.markType = MARK_TYPE_LINEAR;
    constexpr int kPerRow = 1000;
    for (int64_t i = 0; i < segments; ++i) {
        const int column = static_cast<int>(i % kPerRow);
        const double x = -40.0 + 80.0 * column / kPerRow;
        const double y = -40.0 + 0.01 * static_cast<double>((i / kPerRow) % 8000) + ((column & 1) != 0 ? 0.05 : 0.0);
        if (column == 0) {
            e.gotoPositionAbs(lens, {x, y}, 100, 10, linear);
        } else {
            e.linetoPositionAbs(lens, {x, y}, 20, 0, linear);
        }
    }
    e.exeCurCmd(true);
}

DevPar networkPar() {
    DevPar par;
    par.m_localIp = "192.168.0.2";
    par.m_mac = "02-00-00-00-00-01";
    return par;
}

void report(benchmark::State& state, int64_t segments, long rssBefore) {
    state.SetItemsProcessed(segments * state.iterations());
    state.counters["peakRssKb"] = static_cast<double>(bench::peakRssKb());
    state.counters["rssGrowthKb"] = static_cast<double>(bench::currentRssKb() - rssBefore);
}

void EndToEnd_sim(benchmark::State& state) {
    const int64_t segments = state.range(0);
    const long rssBefore = bench::currentRssKb();
    sim::SimConfig config;
    config.pacing = sim::Pacing::kInstant;
    config.recordTrace = false;
    sim::SimBoard board(config);
    sim::SimTransfer link(board, true);
    auto executor = bench::connect(state, link, networkPar());
    if (!executor) return;
    const TarnParam lens = bench::lens();
    executor->sendMarkPara(lens, false, MARK_TYPE_LINEAR);
    for (auto _ : state) runJob(*executor, lens, segments);
    if (board.errors().total() != 0) state.SkipWithError("the board found errors in the job");
    report(state, segments, rssBefore);
}
BENCHMARK(EndToEnd_sim)->ArgName("segments")->Arg(250000)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);

void EndToEnd_roomy(benchmark::State& state) {
    const int64_t segments = state.range(0);
    const long rssBefore = bench::currentRssKb();
    bench::RoomyTransfer link;
    auto executor = bench::connect(state, link);
    if (!executor) return;
    const TarnParam lens = bench::lens();
    for (auto _ : state) runJob(*executor, lens, segments);
    report(state, segments, rssBefore);
}
BENCHMARK(EndToEnd_roomy)->ArgName("segments")->Arg(250000)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
