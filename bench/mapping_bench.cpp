#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "bench_support.h"
#include "calib/quorcal.h"
#include "cmd/counts.h"

// Figure 2: linetoPositionAbs on each mapping path, against a reference that fills the complete
// lens record of the calibration library for every point before mapping it.

namespace {

enum Path { kLinear, kBox, kBoxTables, kNinePoint };

TarnParam lensFor(Path path) {
    TarnParam t = bench::lens();
    GalvoParam& g = t.galvo;
    const double box[8] = {1.02, 0.98, 1.01, 0.99, 1.01, 0.99, 99.5, 100.5};
    std::copy(box, box + 8, g.boxCoef);
    if (path == kBoxTables) {
        g.tableEnable = true;
        g.tableCount = quorcal::kTableLen;
        for (int i = 0; i < quorcal::kTableLen; ++i) {
            const double nominal = -50.0 + 100.0 * i / (quorcal::kTableLen - 1);
            const double corrected = nominal * (1.0 + 0.0004 * std::fabs(nominal) / 50.0);
            g.corrTable1.push_back(nominal);
            g.corrTable2.push_back(corrected);
            g.corrTable3.push_back(nominal);
            g.corrTable4.push_back(corrected);
            g.corrTable5.push_back(0.0);
            g.corrTable6.push_back(0.0);
        }
    }
    if (path == kNinePoint) {
        g.use9Point = true;
        g.calPar.gridPitch = 40.0;
        for (int i = 0; i < 9; ++i) {
            const double nx = (i % 3 - 1) * 40.0;
            const double ny = (i / 3 - 1) * 40.0;
            g.calPar.gridPoints[i] = {nx * 1.01 + 0.1 * ny / 40.0, ny * 0.99 - 0.05 * nx / 40.0};
        }
    }
    return t;
}

MarkCtrlData ctrlFor(Path path) {
    MarkCtrlData c;
    c.markType = path == kLinear ? MARK_TYPE_LINEAR : 0;
    return c;
}

std::vector<Point2dConcept<double>> randomPoints() {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> mm(-45.0, 45.0);
    std::vector<Point2dConcept<double>> points(4096);
    for (auto& p : points) p = {mm(random), mm(random)};
    return points;
}

void Mapping_linetoPositionAbs(benchmark::State& state) {
    const Path path = static_cast<Path>(state.range(0));
    bench::RoomyTransfer link;
    auto executor = bench::connect(state, link);
    if (!executor) return;
    Executor& e = *executor;
    const TarnParam lens = lensFor(path);
    const MarkCtrlData ctrl = ctrlFor(path);
    const auto points = randomPoints();
    size_t i = 0;
    for (auto _ : state) {
        e.linetoPositionAbs(lens, points[i], 20, 0, ctrl);
        i = (i + 1) & (points.size() - 1);
    }
    e.exeCurCmd(false);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(Mapping_linetoPositionAbs)->ArgName("path")->DenseRange(kLinear, kNinePoint);

// The straightforward reading: a complete lens record, tables included, filled for each point.
// The benchmark lenses have no offset, rotation or flags, so this is the whole mapping.
Point2dConcept<int> referenceMap(const GalvoParam& galvo, Point2dConcept<double> p) {
    const tagVosPointF in{static_cast<float>(p.x), static_cast<float>(p.y)};
    tagVosPointF out{};
    quorcal::mapWithFullRecord(galvo, in, out);
    const auto clamp = [&](int32_t v) { return v < 0 ? 0 : (v > galvo.resolution ? galvo.resolution : v); };
    return {clamp(counts::truncInt32(roundf(out.x))), clamp(counts::truncInt32(roundf(out.y)))};
}

void Mapping_reference(benchmark::State& state) {
    const Path path = static_cast<Path>(state.range(0));
    bench::RoomyTransfer link;
    auto executor = bench::connect(state, link);
    if (!executor) return;
    Executor& e = *executor;
    const TarnParam lens = lensFor(path);
    const auto points = randomPoints();
    size_t i = 0;
    for (auto _ : state) {
        e.sendLineToAbs(referenceMap(lens.galvo, points[i]), 20, 0);
        i = (i + 1) & (points.size() - 1);
    }
    e.exeCurCmd(false);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(Mapping_reference)->ArgName("path")->DenseRange(kBox, kNinePoint);

}  // namespace
