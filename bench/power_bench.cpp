#include <benchmark/benchmark.h>

#include "bench_support.h"

// Figure 3: sendPenPara for each laser type, every signal of the type switched on, against
// queuing one vector command.

namespace {

LaserParam laserFor(LaserType type) {
    LaserParam l;
    l.laserType = type;
    l.pwmEnable0 = l.pwmEnable1 = l.pwmEnable4 = l.pwmEnable6 = l.pwm2Enable6 = 1;
    l.daEnable0 = l.daEnable1 = l.daEnable4 = l.daEnable6 = 1;
    l.fpsEnable1 = l.fpsEnable4 = 1;
    l.preionEnable = 1;
    l.preionFreq = 5.0f;
    l.preionWidth = 1;
    for (int i = 0; i <= 10; ++i) {
        const float level = static_cast<float>(10 * i);
        l.powerTable0[i] = l.powerTable2[i] = l.powerTable3[i] = level;
        l.daTable0[i] = l.daTable1[i] = l.daTable4[i] = l.daTable6[i] = level;
    }
    return l;
}

void Power_sendPenPara(benchmark::State& state) {
    bench::RoomyTransfer link;
    auto executor = bench::connect(state, link);
    if (!executor) return;
    Executor& e = *executor;
    const LaserParam laser = laserFor(static_cast<LaserType>(state.range(0)));
    PenParam pen;
    pen.power = 60;
    pen.current = 5.0f;
    pen.mopaValue = 100;
    uint64_t i = 0;
    for (auto _ : state) {
        pen.frequency = 20.0f + static_cast<float>(i & 63);
        e.sendPenPara(laser, pen);
        ++i;
    }
    e.exeCurCmd(false);
    state.SetItemsProcessed(state.iterations());
    state.counters["bytesPerPen"] = benchmark::Counter(static_cast<double>(link.frameBytes) / static_cast<double>(i));
}
BENCHMARK(Power_sendPenPara)->ArgName("laserType")->DenseRange(LASER_TYPE_0, LASER_TYPE_6);

}  // namespace
