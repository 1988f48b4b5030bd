#pragma once

#include <cmath>
#include <memory>

#include "executor/executor.h"
#include "executor/sim/sim_board.h"
#include "executor/sim/sim_transfer.h"
#include "support/recorders.h"

// The jobs that the end-to-end tests run on every link: a 100 mm lens with a linear power
// table, one pen, a 20 mm square around the centre, and a spiral long enough to fill a small
// list memory several times over.
namespace sim_job {

inline TarnParam lens() {
    TarnParam t;
    t.galvo.fieldSize = 100;
    t.galvo.setResolution(65535);  // 655.35 units per mm around 32768
    t.laser.laserType = LASER_TYPE_0;
    t.laser.pwmEnable0 = 1;
    for (int i = 0; i <= 10; ++i) t.laser.powerTable0[i] = static_cast<float>(10 * i);
    return t;
}

inline PenParam pen() {
    PenParam p;
    p.power = 50;
    p.frequency = 20;
    return p;
}

inline MarkCtrlData linear() {
    MarkCtrlData c;
    c.markType = MARK_TYPE_LINEAR;
    return c;
}

// One jump, four marks.
inline void markSquare(Executor& e) {
    const TarnParam t = lens();
    e.sendMarkPara(t, false, MARK_TYPE_LINEAR);
    e.setStartMark();
    e.sendPenPara(t.laser, pen());
    e.gotoPositionAbs(t, {-10, -10}, 100, 10, linear());
    for (Point2dConcept<double> p : {Point2dConcept<double>{10, -10}, {10, 10}, {-10, 10}, {-10, -10}})
        e.linetoPositionAbs(t, p, 200, 0, linear());
}

constexpr int kSpiralMarks = 2000;

inline void markSpiral(Executor& e) {
    const TarnParam t = lens();
    e.setStartMark();
    for (int i = 0; i < kSpiralMarks; ++i)
        e.linetoPositionAbs(t, {std::sin(i * 0.05) * i / 100.0, std::cos(i * 0.05) * i / 100.0}, 50, 0, linear());
}

inline DevPar devPar() {
    DevPar par;
    par.m_localIp = "192.168.0.2";
    par.m_mac = "02-00-00-00-00-01";
    return par;
}

// init, the job, exeCurCmd(true), unInit; false if any step failed.
inline bool runJob(Transfer& link, BOARD_PROTOCOL protocol, void (*job)(Executor&), SdkError* initResult = nullptr) {
    std::unique_ptr<Executor> executor(Executor::create(BOARD_TYPE_PROTOCOL7, protocol));
    executor->setTransfer(&link);
    const SdkError err = executor->init(devPar(), false, false);
    if (initResult != nullptr) *initResult = err;
    if (err != SDK_OK) return false;
    job(*executor);
    const bool ran = executor->exeCurCmd(true);
    return executor->unInit() && ran;
}

// A board whose list memory fills up: it executes a little with each status poll.
inline sim::SimConfig paced(BOARD_PROTOCOL protocol) {
    sim::SimConfig c;
    c.protocol = protocol;
    c.pacing = sim::Pacing::kSimulated;
    c.ticksPerPoll = 500;
    c.commandMemory = 16 * 1024;
    return c;
}

// An executor on an in-process simulated board, not yet initialised; logs and sleeps recorded.
struct SimRig {
    explicit SimRig(BOARD_PROTOCOL protocol, sim::SimConfig config = sim::SimConfig(), bool network = false)
        : board((config.protocol = protocol, config)),
          link(board, network),
          par(devPar()),
          executor(Executor::create(BOARD_TYPE_PROTOCOL7, protocol)) {
        executor->setTransfer(&link);
    }
    static sim::SimConfig withProtocol(sim::SimConfig c, BOARD_PROTOCOL p) {
        c.protocol = p;
        return c;
    }
    SdkError init() { return executor->init(par, false, false); }

    LogRecorder log;
    SleepRecorder sleeps;
    sim::SimBoard board;
    sim::SimTransfer link;
    DevPar par;
    std::unique_ptr<Executor> executor;
};

}  // namespace sim_job
