#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "executor/executor.h"
#include "executor/sim/sim_board.h"
#include "proto5/opcodes5.h"
#include "proto7/opcodes7.h"
#include "support/sim_job.h"

// Every fault the simulated board can be switched into, driven through the real library: each
// must end in the library's own failure path (result, log line) and none may hang it.

using sim_job::SimRig;

namespace {

constexpr uint32_t kRoomPollMs = 10;     // waiting for list memory, flash or a busy pre-read
constexpr uint32_t kModeRetryMs = 1000;  // init reading the board mode again
constexpr uint32_t kUserDataLen = 64;    // two pieces of parameter memory
constexpr int kHangGuard = 10000;        // sleeps after which a wait counts as hung and is stopped

size_t pausesOf(const SleepRecorder& sleeps, uint32_t ms) {
    return static_cast<size_t>(std::count(sleeps.pauses.begin(), sleeps.pauses.end(), ms));
}

size_t linesOf(const LogRecorder& log, const std::string& line) {
    const std::vector<std::string> lines = log.lines();
    return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
}

std::vector<uint8_t> userData() {
    std::vector<uint8_t> data(kUserDataLen);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 13 + 1);
    return data;
}

// An initialised executor whose user data area is known.
struct EepromRig : SimRig {
    explicit EepromRig(BOARD_PROTOCOL protocol) : SimRig(protocol) {
        uint32_t addr = 0, size = 0;
        initialised = init() == SDK_OK && executor->getUserRamInfo(addr, size);
    }
    bool write() {
        const std::vector<uint8_t> data = userData();
        return executor->writeUserData(data.data(), kUserDataLen);
    }
    bool initialised = false;
};

}  // namespace

class SimFaults : public ::testing::TestWithParam<BOARD_PROTOCOL> {
protected:
    bool proto7() const { return GetParam() == BOARD_PROTOCOL_7; }
    uint16_t opcode(uint16_t op7, uint16_t op5) const { return proto7() ? op7 : op5; }
};

TEST_P(SimFaults, LostExchangesAroundAFrame) {
    // The exchange after the queued line is the room check, the one after it the frame. A lost
    // frame never marks; a lost acknowledgement leaves the frame marked all the same.
    struct Case {
        const char* name;
        int offset;
        bool dropReply;
        bool sent;
        const char* message;
        size_t marks;
    };
    const Case cases[] = {
        {"room check fails", 1, false, true, "Executor::waitForEnoughCache getDevState fail", 2},
        {"room check unanswered", 1, true, true, "Executor::waitForEnoughCache getDevState fail", 2},
        {"frame fails", 2, false, false, "Executor::exeCurCmd ReadAndWriteData fail", 1},
        {"frame unacknowledged", 2, true, false, "Executor::exeCurCmd ReadAndWriteData fail", 2},
    };
    const TarnParam t = sim_job::lens();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SimRig rig(GetParam());
        ASSERT_EQ(rig.init(), SDK_OK);
        ASSERT_TRUE(rig.executor->setStartMark());
        rig.executor->linetoPositionAbs(t, {1, 1}, 10, 0, sim_job::linear());
        const int number = rig.board.exchanges() + c.offset;
        (c.dropReply ? rig.board.faults().dropReply : rig.board.faults().failExchange) = number;
        EXPECT_EQ(rig.executor->exeCurCmd(false), c.sent);
        EXPECT_EQ(linesOf(rig.log, c.message), 1u);
        rig.executor->linetoPositionAbs(t, {2, 2}, 10, 0, sim_job::linear());
        EXPECT_TRUE(rig.executor->exeCurCmd(true));
        EXPECT_EQ(rig.board.trace().marks(), c.marks);
    }
}

TEST_P(SimFaults, BootLoaderReportedForSomeModeReads) {
    // init reads the mode up to three times, a second apart; a corrupt reply reads as the boot loader.
    struct Case {
        int factoryReads, corruptReply;
        bool started;
    };
    for (const Case& c : {Case{2, 0, true}, Case{3, 0, false}, Case{0, 1, true}}) {
        SCOPED_TRACE(c.factoryReads);
        SimRig rig(GetParam());
        rig.board.faults().factoryModeReads = c.factoryReads;
        rig.board.faults().corruptReply = c.corruptReply;  // a direct link starts with the mode read
        EXPECT_EQ(rig.init(), c.started ? SDK_OK : SDK_NOT_ENABLED);
        EXPECT_EQ(rig.executor->isEnable(), c.started);
        EXPECT_EQ(pausesOf(rig.sleeps, kModeRetryMs), static_cast<size_t>(std::max(c.factoryReads, c.corruptReply)));
        EXPECT_EQ(rig.log.contains("板卡异常,初始化时仍然处于工厂模式 uMode=1"), !c.started);
    }
}

TEST_P(SimFaults, RefusedRunLeavesTheJobUnmarkedWithoutHanging) {
    SimRig rig(GetParam());
    ASSERT_EQ(rig.init(), SDK_OK);
    rig.board.faults().refuseOpcode = opcode(op7::kRunState, op5::kRun);
    rig.board.faults().refuseStatus = 0x02;
    // Protocol 5 judges run control by the transport alone and believes the board runs.
    EXPECT_EQ(rig.executor->setStartMark(), !proto7());
    EXPECT_EQ(rig.executor->isStopRun(), proto7());
    rig.sleeps.onSleep = [&](uint32_t) {
        if (rig.sleeps.pauses.size() == kHangGuard) rig.executor->setStopMark();
    };
    const int before = rig.board.exchanges();
    sim_job::markSquare(*rig.executor);
    EXPECT_TRUE(rig.executor->exeCurCmd(true));
    EXPECT_EQ(rig.board.trace().marks(), 0u);
    EXPECT_LT(rig.sleeps.pauses.size(), static_cast<size_t>(kHangGuard));
    if (proto7()) {
        // A stopped executor sends nothing but the run requests markSquare makes.
        EXPECT_EQ(rig.board.exchanges(), before + 1);
    }
    rig.board.faults().refuseOpcode = opcode(op7::kSoftTrigger, op5::kSoftTrigger);
    EXPECT_FALSE(rig.executor->setSoftTiggerMark());  // judged by its status byte on both
}

TEST_P(SimFaults, RefusedParameterMemory) {
    struct Case {
        const char* name;
        uint16_t opcode;
        bool write;  // else the information block read
        const char* message;
    };
    // Protocol 5 reads the refusal's status byte 1 as its busy bit and so gives up on the count.
    const Case cases[] = {
        {"pre-read", opcode(op7::kEepromPreRead, op5::kEepromPreRead), false, "EEPROM pre read fail"},
        {"write", opcode(op7::kEepromWrite, op5::kEepromWrite), true,
         proto7() ? "EEPROM write transfer fail" : "EEPROM write fail too many count"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EepromRig rig(GetParam());
        ASSERT_TRUE(rig.initialised);
        rig.board.faults().refuseOpcode = c.opcode;
        rig.sleeps.pauses.clear();
        uint32_t addr = 0, size = 0;
        EXPECT_FALSE(c.write ? rig.write() : rig.executor->getUserRamInfo(addr, size));
        EXPECT_TRUE(rig.log.contains(c.message));
        if (!c.write) {
            EXPECT_EQ(pausesOf(rig.sleeps, kRoomPollMs), 3u);  // three attempts, each followed by a pause
        }
    }
}

TEST_P(SimFaults, BusyParameterMemoryDelaysEveryPieceUpToTheLimit) {
    // The board stays busy for this many polls after each piece; 101 busy replies per write
    // are tolerated, the 102nd ends it.
    for (int polls : {101, 102}) {
        SCOPED_TRACE(polls);
        EepromRig rig(GetParam());
        ASSERT_TRUE(rig.initialised);
        rig.board.faults().busyPolls = polls;
        const bool ok = polls <= 101;
        EXPECT_EQ(rig.write(), ok);
        const std::string count = "EEPROM write fail count:" + std::to_string(polls);
        // The data's second piece waits, then the header's only one.
        EXPECT_EQ(linesOf(rig.log, count), ok ? 2u : 1u);
        EXPECT_EQ(rig.log.contains("EEPROM write fail too many count"), !ok);
    }
}

TEST_P(SimFaults, BusyPreReadGivesUpAfterThreeAttemptsAndTheNextReadPasses) {
    for (int polls : {2, 3}) {
        SCOPED_TRACE(polls);
        EepromRig rig(GetParam());
        ASSERT_TRUE(rig.initialised);
        rig.board.faults().busyPolls = polls;
        ASSERT_TRUE(rig.write());
        uint32_t size = 0;
        const bool firstRead = polls < 3;
        EXPECT_EQ(rig.executor->getUserDataSize(size), firstRead);
        EXPECT_EQ(rig.log.contains("EEPROM pre read fail"), !firstRead);
        if (!firstRead) {
            ASSERT_TRUE(rig.executor->getUserDataSize(size));  // the busy spell is over
        }
        EXPECT_EQ(size, kUserDataLen);
        std::vector<uint8_t> back(kUserDataLen);
        EXPECT_TRUE(rig.executor->readUserData(back.data(), kUserDataLen));
        EXPECT_EQ(back, userData());
    }
}

TEST_P(SimFaults, CorruptPieceOfAReadFailsTheRead) {
    EepromRig rig(GetParam());
    ASSERT_TRUE(rig.initialised);
    ASSERT_TRUE(rig.write());
    uint32_t size = 0;
    ASSERT_TRUE(rig.executor->getUserDataSize(size));
    rig.board.faults().corruptReply = rig.board.exchanges() + 2;  // the first piece after the pre-read
    std::vector<uint8_t> back(kUserDataLen);
    EXPECT_FALSE(rig.executor->readUserData(back.data(), kUserDataLen));
    // Protocol 7 sees a refusal and asks again, but the board has moved on to the next piece,
    // so the read runs dry; protocol 5 sees a piece longer than its reply.
    EXPECT_TRUE(rig.log.contains(proto7() ? "EEPROM read fail too many" : "EEPROM return data size too max"));
}

TEST_P(SimFaults, BusyFlashIsWaitedOutDuringADownload) {
    constexpr int kPolls = 4;
    SimRig online(GetParam());
    ASSERT_EQ(online.init(), SDK_OK);
    sim_job::markSquare(*online.executor);
    ASSERT_TRUE(online.executor->exeCurCmd(true));

    SimRig rig(GetParam());
    ASSERT_EQ(rig.init(), SDK_OK);
    rig.board.faults().busyPolls = kPolls;
    rig.executor->setOfflineMode(true);
    sim_job::markSquare(*rig.executor);
    rig.sleeps.pauses.clear();
    SdkError err = SDK_OK;
    ASSERT_TRUE(rig.executor->OfflineDownload(err));
    EXPECT_EQ(err, SDK_OK);
    // The square fits one page: one sector erase and one page write, each waited out.
    EXPECT_EQ(pausesOf(rig.sleeps, kRoomPollMs), 2u * kPolls);
    ASSERT_TRUE(rig.board.runOfflineProgram());
    EXPECT_EQ(rig.board.trace().marks(), 4u);
    EXPECT_EQ(rig.board.trace().markedLength(), online.board.trace().markedLength());
}

TEST_P(SimFaults, StalledMemoryWaitsUntilReleasedOrStopped) {
    // Stopping from the sleep hook is what another host thread would do.
    constexpr int kWaits = 25;
    for (bool release : {false, true}) {
        SCOPED_TRACE(release);
        sim::SimConfig config;
        config.commandMemory = 16 * 1024;
        SimRig rig(GetParam(), config);
        ASSERT_EQ(rig.init(), SDK_OK);
        rig.board.faults().stallMemory = true;
        int waits = 0;
        rig.sleeps.onSleep = [&](uint32_t ms) {
            if (ms != kRoomPollMs) return;
            if (++waits == kWaits) {
                if (release) rig.board.faults().stallMemory = false;
                if (!release) rig.executor->setStopMark();
            }
            if (waits == kHangGuard) rig.executor->setStopMark();
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

INSTANTIATE_TEST_SUITE_P(BothProtocols, SimFaults, ::testing::Values(BOARD_PROTOCOL_7, BOARD_PROTOCOL_5),
                         [](const ::testing::TestParamInfo<BOARD_PROTOCOL>& info) {
                             return std::string(info.param == BOARD_PROTOCOL_7 ? "Protocol7" : "Protocol5");
                         });
