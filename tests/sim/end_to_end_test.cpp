#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
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

namespace {

constexpr uint32_t kRoomPollMs = 10;   // waiting for list memory, flash or a busy pre-read
constexpr uint32_t kUserDataLen = 64;  // two pieces of parameter memory
constexpr size_t kHangGuard = 10000;   // sleeps after which a wait counts as hung and is stopped

template <typename List, typename Item>
size_t countOf(const List& list, const Item& item) {
    return static_cast<size_t>(std::count(list.begin(), list.end(), item));
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

// An initialised executor; its square marked, its user data written, sized or read back.
struct Rig : sim_job::SimRig {
    explicit Rig(BOARD_PROTOCOL protocol, bool network = false, sim::SimConfig config = sim::SimConfig())
        : SimRig(protocol, config, network) {
        uint32_t addr = 0, size = 0;
        initialised = init() == SDK_OK && executor->getUserRamInfo(addr, size);
        // Stops the executor once it has slept too often, as another host thread would.
        sleeps.onSleep = [this](uint32_t) {
            if (sleeps.pauses.size() == kHangGuard) executor->setStopMark();
        };
    }
    bool p7() const { return board.config().protocol == BOARD_PROTOCOL_7; }
    bool square() {
        sim_job::markSquare(*executor);
        return executor->exeCurCmd(true);
    }
    bool write() { return executor->writeUserData(userData().data(), kUserDataLen); }
    bool sized() {
        uint32_t size = 0;
        return executor->getUserDataSize(size) && size == kUserDataLen;
    }
    bool readBack() {
        std::vector<uint8_t> back(kUserDataLen);
        return executor->readUserData(back.data(), kUserDataLen) && back == userData();
    }
    bool initialised = false;
};

std::string protocolName(const ::testing::TestParamInfo<BOARD_PROTOCOL>& info) {
    return info.param == BOARD_PROTOCOL_7 ? "Protocol7" : "Protocol5";
}

}  // namespace

class EndToEnd : public ::testing::TestWithParam<BOARD_PROTOCOL> {};

TEST_P(EndToEnd, SquareIsMarkedWhereTheMillimetresSayOnEveryLinkAndOffline) {
    Rig rig(GetParam()), net(GetParam(), true), offline(GetParam());
    ASSERT_TRUE(rig.initialised && rig.square() && net.initialised && net.square() && offline.initialised);
    EXPECT_TRUE(rig.executor->unInit() && net.executor->isBindByMe());
    const sim::Trace trace = rig.board.trace();
    EXPECT_EQ(rig.board.errors().total(), 0u);
    ASSERT_EQ(trace.marks(), 4u);
    const auto shape = geometry(trace);
    // 10 mm * 655.35 = 6553.5, rounded away from zero.
    EXPECT_EQ(std::make_tuple(shape.back().x1, shape.back().y1, shape.back().ticks),
              std::make_tuple(32768 - 6554, 32768 - 6554, 200u));
    EXPECT_NEAR(trace.markedLength(), 4 * 2 * 6554, 8);
    for (const auto& e : shape) EXPECT_TRUE(e.kind != sim::TraceEvent::kMark || e.laser.pwmPeriod != 0u);
    EXPECT_EQ(geometry(net.board.trace()), shape);

    // The flash reports busy for a few polls after each erase and page write; each is waited out.
    offline.board.faults().busyPolls = 4;
    offline.executor->setOfflineMode(true);
    sim_job::markSquare(*offline.executor);
    offline.sleeps.pauses.clear();
    SdkError err = SDK_OK;
    ASSERT_TRUE(offline.executor->OfflineDownload(err));
    EXPECT_EQ(err, SDK_OK);
    EXPECT_EQ(offline.board.trace().marks(), 0u);                    // nothing ran while downloading
    EXPECT_EQ(countOf(offline.sleeps.pauses, kRoomPollMs), 2u * 4);  // one sector erase, one page write
    ASSERT_TRUE(offline.board.runOfflineProgram());
    EXPECT_EQ(geometry(offline.board.trace()), shape);
}

TEST_P(EndToEnd, UserPortLoopsBackWhatWasWritten) {
    sim_job::SimRig rig(GetParam());
    const uint8_t out[3] = {1, 2, 3};
    uint8_t in[8] = {};
    int32_t length = 0;
    EXPECT_FALSE(rig.link.writeData(out, 3, 0));  // not open yet
    ASSERT_TRUE(rig.link.openDev() && rig.link.writeData(out, 3, 0));
    ASSERT_TRUE(rig.link.readData(0, in, 2, &length, nullptr, nullptr, false));
    ASSERT_TRUE(rig.link.readData(0, in + 2, 6, &length, nullptr, nullptr, false));
    EXPECT_EQ(length, 1);
    EXPECT_EQ(Bytes(in, in + 4), (Bytes{1, 2, 3, 0}));
}

INSTANTIATE_TEST_SUITE_P(BothProtocols, EndToEnd, ::testing::Values(BOARD_PROTOCOL_7, BOARD_PROTOCOL_5), protocolName);

class FaultInjection : public ::testing::TestWithParam<BOARD_PROTOCOL> {};

TEST_P(FaultInjection, LostExchangesAroundAFrame) {
    // The exchange after the queued line is the room check, the one after it the frame. A lost
    // frame never marks; a lost acknowledgement leaves the frame marked all the same.
    const std::tuple<int, bool, bool, const char*, size_t> cases[] = {
        {1, false, true, "Executor::waitForEnoughCache getDevState fail", 2},
        {1, true, true, "Executor::waitForEnoughCache getDevState fail", 2},
        {2, false, false, "Executor::exeCurCmd ReadAndWriteData fail", 1},
        {2, true, false, "Executor::exeCurCmd ReadAndWriteData fail", 2},
    };
    for (const auto& [offset, dropReply, sent, message, marks] : cases) {
        SCOPED_TRACE(offset + 2 * dropReply);
        Rig rig(GetParam());
        ASSERT_TRUE(rig.initialised && rig.executor->setStartMark());
        rig.executor->linetoPositionAbs(sim_job::lens(), {1, 1}, 10, 0, sim_job::linear());
        (dropReply ? rig.board.faults().dropReply : rig.board.faults().failExchange) = rig.board.exchanges() + offset;
        EXPECT_EQ(rig.executor->exeCurCmd(false), sent);
        EXPECT_EQ(countOf(rig.log.lines(), message), 1u);
        rig.executor->linetoPositionAbs(sim_job::lens(), {2, 2}, 10, 0, sim_job::linear());
        EXPECT_TRUE(rig.executor->exeCurCmd(true));
        EXPECT_EQ(rig.board.trace().marks(), marks);
    }
}

TEST_P(FaultInjection, BootLoaderReportedForSomeModeReads) {
    // init reads the mode up to three times, a second apart; a corrupt reply reads as the boot loader.
    for (const auto& [factoryReads, corruptReply, started] : {std::tuple{2, 0, true}, {3, 0, false}, {0, 1, true}}) {
        SCOPED_TRACE(factoryReads);
        sim_job::SimRig rig(GetParam());
        rig.board.faults().factoryModeReads = factoryReads;
        rig.board.faults().corruptReply = corruptReply;  // a direct link starts with the mode read
        EXPECT_EQ(rig.init(), started ? SDK_OK : SDK_NOT_ENABLED);
        EXPECT_EQ(rig.executor->isEnable(), started);
        EXPECT_EQ(countOf(rig.sleeps.pauses, 1000u), static_cast<size_t>(std::max(factoryReads, corruptReply)));
        EXPECT_EQ(rig.log.contains("板卡异常,初始化时仍然处于工厂模式 uMode=1"), !started);
    }
}

TEST_P(FaultInjection, RefusedRunLeavesTheJobUnmarkedWithoutHanging) {
    Rig rig(GetParam());
    ASSERT_TRUE(rig.initialised);
    rig.board.faults().refuseOpcode = rig.p7() ? op7::kRunState : op5::kRun;
    rig.board.faults().refuseStatus = 0x02;
    // Protocol 5 judges run control by the transport alone and believes the board runs.
    EXPECT_EQ(rig.executor->setStartMark(), !rig.p7());
    EXPECT_EQ(rig.executor->isStopRun(), rig.p7());
    const int before = rig.board.exchanges();
    EXPECT_TRUE(rig.square());
    EXPECT_EQ(rig.board.trace().marks(), 0u);
    EXPECT_LT(rig.sleeps.pauses.size(), kHangGuard);
    // A stopped executor sends nothing but the run requests markSquare makes.
    EXPECT_TRUE(!rig.p7() || rig.board.exchanges() == before + 1);
    rig.board.faults().refuseOpcode = rig.p7() ? op7::kSoftTrigger : op5::kSoftTrigger;
    EXPECT_FALSE(rig.executor->setSoftTiggerMark());  // judged by its status byte on both
}

// Parameter memory that refuses, stays busy or spoils a piece. Protocol 5 reads a refusal's
// status byte 1 as its busy bit and so gives up on the count. The board stays busy for so many
// polls after each piece: 101 busy replies per write are tolerated, the 102nd ends it. A busy
// pre-read is tried three times, and the next read passes. A spoiled piece makes protocol 7 ask
// again while the board has moved on, so the read runs dry; protocol 5 sees a piece too long.
TEST_P(FaultInjection, ParameterMemoryFailsInTheLibrarysOwnWay) {
    using Act = std::function<bool(Rig&)>;
    const auto refuse = [](uint16_t opcode7, uint16_t opcode5, Act act) {
        return [=](Rig& r) { return (r.board.faults().refuseOpcode = r.p7() ? opcode7 : opcode5), act(r); };
    };
    const auto busy = [](int polls, Act act) {
        return [=](Rig& r) { return (r.board.faults().busyPolls = polls), act(r); };
    };
    const Act ramInfo = [](Rig& r) {
        uint32_t addr = 0, size = 0;
        return r.executor->getUserRamInfo(addr, size);
    };
    const Act write = &Rig::write;
    const char* const kPreRead = "EEPROM pre read fail";
    const char* const kTooMany = "EEPROM write fail too many count";
    const struct {
        Act act;
        bool ok;
        size_t times;  // the log line is written, the protocol 5 one if it differs
        const char *line, *line5 = nullptr;
        size_t waits = std::string::npos;  // for room; any number for npos
    } rows[] = {
        {refuse(op7::kEepromPreRead, op5::kEepromPreRead, ramInfo), false, 1, kPreRead, nullptr, 3},
        {refuse(op7::kEepromWrite, op5::kEepromWrite, write), false, 1, "EEPROM write transfer fail", kTooMany},
        {busy(101, write), true, 2, "EEPROM write fail count:101"},
        {busy(102, write), false, 1, kTooMany},
        {busy(2, [](Rig& r) { return r.write() && r.sized() && r.readBack(); }), true, 0, kPreRead},
        {busy(3, [](Rig& r) { return r.write() && !r.sized() && r.sized() && r.readBack(); }), true, 1, kPreRead},
        {[](Rig& r) {  // the first piece after the pre-read comes back spoiled
             return r.write() && r.sized() && (r.board.faults().corruptReply = r.board.exchanges() + 2, !r.readBack());
         },
         true, 1, "EEPROM read fail too many", "EEPROM return data size too max"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(&row - rows);
        Rig rig(GetParam());
        ASSERT_TRUE(rig.initialised);
        rig.sleeps.pauses.clear();
        EXPECT_EQ(row.act(rig), row.ok);
        EXPECT_EQ(countOf(rig.log.lines(), rig.p7() || !row.line5 ? row.line : row.line5), row.times);
        EXPECT_TRUE(row.waits == std::string::npos || countOf(rig.sleeps.pauses, kRoomPollMs) == row.waits);
    }
}

TEST_P(FaultInjection, StalledMemoryWaitsUntilReleasedOrStopped) {
    // Stopping from the sleep hook is what another host thread would do.
    for (bool release : {false, true}) {
        sim::SimConfig config;
        config.commandMemory = 16 * 1024;
        Rig rig(GetParam(), false, config);
        ASSERT_TRUE(rig.initialised);
        rig.board.faults().stallMemory = true;
        int waits = 0;
        rig.sleeps.onSleep = [&](uint32_t ms) {
            if (ms == kRoomPollMs && ++waits == 25 && release) rig.board.faults().stallMemory = false;
            if ((ms == kRoomPollMs && waits == 25 && !release) || rig.sleeps.pauses.size() == kHangGuard)
                rig.executor->setStopMark();
        };
        sim_job::markSpiral(*rig.executor);
        EXPECT_TRUE(rig.executor->exeCurCmd(true));
        EXPECT_EQ(rig.executor->isStopRun(), !release);
        EXPECT_EQ(rig.board.trace().marks(), release ? size_t(sim_job::kSpiralMarks) : 0u);
        EXPECT_EQ(rig.board.errors().total(), 0u);
        DevBaseState state;
        ASSERT_TRUE(release || rig.executor->getDevState(state, true));
        EXPECT_TRUE(release || (waits == 25 && state.freeCacheKb == 16u));  // the reset emptied the board's memory
    }
}

INSTANTIATE_TEST_SUITE_P(BothProtocols, FaultInjection, ::testing::Values(BOARD_PROTOCOL_7, BOARD_PROTOCOL_5),
                         protocolName);
