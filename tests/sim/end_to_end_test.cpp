#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "executor/executor.h"
#include "executor/sim/sim_board.h"
#include "proto5/opcodes5.h"
#include "proto7/opcodes7.h"
#include "support/bytes.h"
#include "support/sim_job.h"

// Jobs through the real library onto the simulated board, and every fault the board can be
// switched into: each must end in the library's own failure path (result, log line) and none
// may hang it.

using sim_job::markSquare;
using sim_job::SimRig;

namespace {

constexpr uint32_t kRoomPollMs = 10;     // waiting for list memory, flash or a busy pre-read
constexpr uint32_t kModeRetryMs = 1000;  // init reading the board mode again
constexpr uint32_t kUserDataLen = 64;    // two pieces of parameter memory
constexpr size_t kHangGuard = 10000;     // sleeps after which a wait counts as hung and is stopped

size_t pausesOf(const SleepRecorder& sleeps, uint32_t ms) {
    return static_cast<size_t>(std::count(sleeps.pauses.begin(), sleeps.pauses.end(), ms));
}

size_t linesOf(const LogRecorder& log, const std::string& line) {
    const std::vector<std::string> lines = log.lines();
    return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
}

// Jumps and marks only, without their start times: what a person would see marked.
std::vector<sim::TraceEvent> geometry(const sim::Trace& trace) {
    std::vector<sim::TraceEvent> out;
    for (sim::TraceEvent e : trace.events) {
        if (e.kind != sim::TraceEvent::kJump && e.kind != sim::TraceEvent::kMark) continue;
        e.startTick = 0;
        out.push_back(e);
    }
    return out;
}

std::vector<uint8_t> userData() {
    std::vector<uint8_t> data(kUserDataLen);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 13 + 1);
    return data;
}

// An initialised executor, its square marked unless offline, or its user data area known.
struct Rig : SimRig {
    explicit Rig(BOARD_PROTOCOL protocol, bool network = false) : SimRig(protocol, sim::SimConfig(), network) {
        uint32_t addr = 0, size = 0;
        initialised = init() == SDK_OK && executor->getUserRamInfo(addr, size);
    }
    bool square() {
        markSquare(*executor);
        return executor->exeCurCmd(true);
    }
    bool write() {
        const std::vector<uint8_t> data = userData();
        return executor->writeUserData(data.data(), kUserDataLen);
    }
    // Stops the executor once it has slept too often, as another host thread would.
    void guard() {
        sleeps.onSleep = [this](uint32_t) {
            if (sleeps.pauses.size() == kHangGuard) executor->setStopMark();
        };
    }
    bool initialised = false;
};

std::string protocolName(const ::testing::TestParamInfo<BOARD_PROTOCOL>& info) {
    return info.param == BOARD_PROTOCOL_7 ? "Protocol7" : "Protocol5";
}

}  // namespace

class EndToEnd : public ::testing::TestWithParam<BOARD_PROTOCOL> {};

TEST_P(EndToEnd, SquareIsMarkedWhereTheMillimetresSayOnEveryLink) {
    Rig rig(GetParam());
    ASSERT_TRUE(rig.initialised && rig.square());
    EXPECT_TRUE(rig.executor->unInit());
    const sim::Trace trace = rig.board.trace();
    EXPECT_EQ(rig.board.errors().total(), 0u);
    ASSERT_EQ(trace.marks(), 4u);
    const auto shape = geometry(trace);
    // 10 mm * 655.35 = 6553.5, rounded away from zero.
    EXPECT_EQ(std::make_tuple(shape.back().x1, shape.back().y1, shape.back().ticks),
              std::make_tuple(32768 - 6554, 32768 - 6554, 200u));
    EXPECT_NEAR(trace.markedLength(), 4 * 2 * 6554, 8);
    for (const auto& e : shape) EXPECT_TRUE(e.kind != sim::TraceEvent::kMark || e.laser.pwmPeriod != 0u);

    Rig net(GetParam(), true);
    ASSERT_TRUE(net.initialised && net.square());
    EXPECT_TRUE(net.executor->isBindByMe());
    EXPECT_EQ(geometry(net.board.trace()), shape);
}

// The flash reports busy for a few polls after each erase and page write; each is waited out.
TEST_P(EndToEnd, OfflineProgramRunsLikeTheOnlineJob) {
    constexpr int kPolls = 4;
    Rig online(GetParam());
    ASSERT_TRUE(online.initialised && online.square());
    Rig rig(GetParam());
    ASSERT_TRUE(rig.initialised);
    rig.board.faults().busyPolls = kPolls;
    rig.executor->setOfflineMode(true);
    markSquare(*rig.executor);
    rig.sleeps.pauses.clear();
    SdkError err = SDK_OK;
    ASSERT_TRUE(rig.executor->OfflineDownload(err));
    EXPECT_EQ(err, SDK_OK);
    EXPECT_EQ(rig.board.trace().marks(), 0u);  // nothing ran while downloading
    // The square fits one page: one sector erase and one page write.
    EXPECT_EQ(pausesOf(rig.sleeps, kRoomPollMs), 2u * kPolls);
    ASSERT_TRUE(rig.board.runOfflineProgram());
    EXPECT_EQ(geometry(rig.board.trace()), geometry(online.board.trace()));
}

TEST_P(EndToEnd, UserPortLoopsBackWhatWasWritten) {
    SimRig rig(GetParam());
    const uint8_t out[3] = {1, 2, 3};
    EXPECT_FALSE(rig.link.writeData(out, 3, 0));  // not open yet
    ASSERT_TRUE(rig.link.openDev());
    ASSERT_TRUE(rig.link.writeData(out, 3, 0));
    uint8_t in[8] = {};
    int32_t length = 0;
    ASSERT_TRUE(rig.link.readData(0, in, 2, &length, nullptr, nullptr, false));
    ASSERT_TRUE(rig.link.readData(0, in + 2, 6, &length, nullptr, nullptr, false));
    EXPECT_EQ(length, 1);
    EXPECT_EQ(Bytes(in, in + 4), (Bytes{1, 2, 3, 0}));
}

INSTANTIATE_TEST_SUITE_P(BothProtocols, EndToEnd, ::testing::Values(BOARD_PROTOCOL_7, BOARD_PROTOCOL_5), protocolName);

class SimFaults : public ::testing::TestWithParam<BOARD_PROTOCOL> {
protected:
    bool proto7() const { return GetParam() == BOARD_PROTOCOL_7; }
};

TEST_P(SimFaults, LostExchangesAroundAFrame) {
    // The exchange after the queued line is the room check, the one after it the frame. A lost
    // frame never marks; a lost acknowledgement leaves the frame marked all the same.
    const std::tuple<int, bool, bool, const char*, size_t> cases[] = {
        {1, false, true, "Executor::waitForEnoughCache getDevState fail", 2},
        {1, true, true, "Executor::waitForEnoughCache getDevState fail", 2},
        {2, false, false, "Executor::exeCurCmd ReadAndWriteData fail", 1},
        {2, true, false, "Executor::exeCurCmd ReadAndWriteData fail", 2},
    };
    const TarnParam t = sim_job::lens();
    for (const auto& [offset, dropReply, sent, message, marks] : cases) {
        SCOPED_TRACE(offset + 2 * dropReply);
        Rig rig(GetParam());
        ASSERT_TRUE(rig.initialised && rig.executor->setStartMark());
        rig.executor->linetoPositionAbs(t, {1, 1}, 10, 0, sim_job::linear());
        (dropReply ? rig.board.faults().dropReply : rig.board.faults().failExchange) = rig.board.exchanges() + offset;
        EXPECT_EQ(rig.executor->exeCurCmd(false), sent);
        EXPECT_EQ(linesOf(rig.log, message), 1u);
        rig.executor->linetoPositionAbs(t, {2, 2}, 10, 0, sim_job::linear());
        EXPECT_TRUE(rig.executor->exeCurCmd(true));
        EXPECT_EQ(rig.board.trace().marks(), marks);
    }
}

TEST_P(SimFaults, BootLoaderReportedForSomeModeReads) {
    // init reads the mode up to three times, a second apart; a corrupt reply reads as the boot loader.
    for (const auto& [factoryReads, corruptReply, started] : {std::tuple{2, 0, true}, {3, 0, false}, {0, 1, true}}) {
        SCOPED_TRACE(factoryReads);
        SimRig rig(GetParam());
        rig.board.faults().factoryModeReads = factoryReads;
        rig.board.faults().corruptReply = corruptReply;  // a direct link starts with the mode read
        EXPECT_EQ(rig.init(), started ? SDK_OK : SDK_NOT_ENABLED);
        EXPECT_EQ(rig.executor->isEnable(), started);
        EXPECT_EQ(pausesOf(rig.sleeps, kModeRetryMs), static_cast<size_t>(std::max(factoryReads, corruptReply)));
        EXPECT_EQ(rig.log.contains("板卡异常,初始化时仍然处于工厂模式 uMode=1"), !started);
    }
}

TEST_P(SimFaults, RefusedRunLeavesTheJobUnmarkedWithoutHanging) {
    Rig rig(GetParam());
    ASSERT_TRUE(rig.initialised);
    rig.board.faults().refuseOpcode = proto7() ? op7::kRunState : op5::kRun;
    rig.board.faults().refuseStatus = 0x02;
    // Protocol 5 judges run control by the transport alone and believes the board runs.
    EXPECT_EQ(rig.executor->setStartMark(), !proto7());
    EXPECT_EQ(rig.executor->isStopRun(), proto7());
    rig.guard();
    const int before = rig.board.exchanges();
    EXPECT_TRUE(rig.square());
    EXPECT_EQ(rig.board.trace().marks(), 0u);
    EXPECT_LT(rig.sleeps.pauses.size(), kHangGuard);
    // A stopped executor sends nothing but the run requests markSquare makes.
    EXPECT_TRUE(!proto7() || rig.board.exchanges() == before + 1);
    rig.board.faults().refuseOpcode = proto7() ? op7::kSoftTrigger : op5::kSoftTrigger;
    EXPECT_FALSE(rig.executor->setSoftTiggerMark());  // judged by its status byte on both
}

TEST_P(SimFaults, RefusedParameterMemory) {
    // Protocol 5 reads the refusal's status byte 1 as its busy bit and so gives up on the count.
    for (const bool write : {false, true}) {
        Rig rig(GetParam());
        ASSERT_TRUE(rig.initialised);
        const uint16_t pre = proto7() ? op7::kEepromPreRead : op5::kEepromPreRead;
        rig.board.faults().refuseOpcode = write ? (proto7() ? op7::kEepromWrite : op5::kEepromWrite) : pre;
        rig.sleeps.pauses.clear();
        uint32_t addr = 0, size = 0;
        EXPECT_FALSE(write ? rig.write() : rig.executor->getUserRamInfo(addr, size));
        EXPECT_TRUE(
            rig.log.contains(!write ? "EEPROM pre read fail"
                                    : (proto7() ? "EEPROM write transfer fail" : "EEPROM write fail too many count")));
        // Three attempts, each followed by a pause.
        EXPECT_TRUE(write || pausesOf(rig.sleeps, kRoomPollMs) == 3u);
    }
}

TEST_P(SimFaults, BusyParameterMemoryDelaysEveryPieceUpToTheLimit) {
    // The board stays busy for this many polls after each piece; 101 busy replies per write
    // are tolerated, the 102nd ends it. The data's second piece waits, then the header's only one.
    for (int polls : {101, 102}) {
        Rig rig(GetParam());
        ASSERT_TRUE(rig.initialised);
        rig.board.faults().busyPolls = polls;
        const bool ok = polls <= 101;
        EXPECT_EQ(rig.write(), ok);
        EXPECT_EQ(linesOf(rig.log, "EEPROM write fail count:" + std::to_string(polls)), ok ? 2u : 1u);
        EXPECT_EQ(rig.log.contains("EEPROM write fail too many count"), !ok);
    }
}

TEST_P(SimFaults, BusyPreReadGivesUpAfterThreeAttemptsAndTheNextReadPasses) {
    for (int polls : {2, 3}) {
        Rig rig(GetParam());
        rig.board.faults().busyPolls = polls;
        ASSERT_TRUE(rig.initialised && rig.write());
        uint32_t size = 0;
        const bool firstRead = polls < 3;
        EXPECT_EQ(rig.executor->getUserDataSize(size), firstRead);
        EXPECT_EQ(rig.log.contains("EEPROM pre read fail"), !firstRead);
        ASSERT_TRUE(firstRead || rig.executor->getUserDataSize(size));  // the busy spell is over
        EXPECT_EQ(size, kUserDataLen);
        std::vector<uint8_t> back(kUserDataLen);
        EXPECT_TRUE(rig.executor->readUserData(back.data(), kUserDataLen));
        EXPECT_EQ(back, userData());
    }
}

TEST_P(SimFaults, CorruptPieceOfAReadFailsTheRead) {
    Rig rig(GetParam());
    uint32_t size = 0;
    ASSERT_TRUE(rig.initialised && rig.write() && rig.executor->getUserDataSize(size));
    rig.board.faults().corruptReply = rig.board.exchanges() + 2;  // the first piece after the pre-read
    std::vector<uint8_t> back(kUserDataLen);
    EXPECT_FALSE(rig.executor->readUserData(back.data(), kUserDataLen));
    // Protocol 7 sees a refusal and asks again, but the board has moved on to the next piece,
    // so the read runs dry; protocol 5 sees a piece longer than its reply.
    EXPECT_TRUE(rig.log.contains(proto7() ? "EEPROM read fail too many" : "EEPROM return data size too max"));
}

TEST_P(SimFaults, StalledMemoryWaitsUntilReleasedOrStopped) {
    // Stopping from the sleep hook is what another host thread would do.
    constexpr int kWaits = 25;
    for (bool release : {false, true}) {
        sim::SimConfig config;
        config.commandMemory = 16 * 1024;
        SimRig rig(GetParam(), config);
        ASSERT_EQ(rig.init(), SDK_OK);
        rig.board.faults().stallMemory = true;
        int waits = 0;
        rig.sleeps.onSleep = [&](uint32_t ms) {
            if (ms == kRoomPollMs && ++waits == kWaits) {
                if (release) rig.board.faults().stallMemory = false;
                if (!release) rig.executor->setStopMark();
            }
            if (rig.sleeps.pauses.size() == kHangGuard) rig.executor->setStopMark();
        };
        sim_job::markSpiral(*rig.executor);
        EXPECT_TRUE(rig.executor->exeCurCmd(true));
        EXPECT_EQ(rig.executor->isStopRun(), !release);
        EXPECT_EQ(rig.board.trace().marks(), release ? size_t(sim_job::kSpiralMarks) : 0u);
        EXPECT_EQ(rig.board.errors().total(), 0u);
        if (release) continue;
        EXPECT_EQ(waits, kWaits);
        DevBaseState state;
        ASSERT_TRUE(rig.executor->getDevState(state, true));
        EXPECT_EQ(state.freeCacheKb, 16u);  // the reset emptied the board's memory
    }
}

INSTANTIATE_TEST_SUITE_P(BothProtocols, SimFaults, ::testing::Values(BOARD_PROTOCOL_7, BOARD_PROTOCOL_5), protocolName);
