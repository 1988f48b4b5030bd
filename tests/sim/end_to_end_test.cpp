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

TEST_P(EndToEnd, SquareIsMarkedWhereTheMillimetresSayOnEveryLinkAndOfflineUserPortLoopsBack) {
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
    ASSERT_TRUE(offline.executor->OfflineDownload(err) && err == SDK_OK);
    EXPECT_EQ(offline.board.trace().marks(), 0u);                    // nothing ran while downloading
    EXPECT_EQ(countOf(offline.sleeps.pauses, kRoomPollMs), 2u * 4);  // one sector erase, one page write
    ASSERT_TRUE(offline.board.runOfflineProgram());
    EXPECT_EQ(geometry(offline.board.trace()), shape);

    // The user port loops back what was written, once open.
    sim_job::SimRig port(GetParam());
    const uint8_t out[3] = {1, 2, 3};
    uint8_t in[8] = {};
    int32_t length = 0;
    EXPECT_FALSE(port.link.writeData(out, 3, 0));
    ASSERT_TRUE(port.link.openDev() && port.link.writeData(out, 3, 0));
    ASSERT_TRUE(port.link.readData(0, in, 2, &length, nullptr, nullptr, false));
    ASSERT_TRUE(port.link.readData(0, in + 2, 6, &length, nullptr, nullptr, false));
    EXPECT_EQ(length, 1);
    EXPECT_EQ(Bytes(in, in + 4), (Bytes{1, 2, 3, 0}));
    uint32_t ackLength = sizeof(in);  // a frame is acknowledged with four bytes, as over UDP
    EXPECT_TRUE(port.link.ReadAndWriteData(Bytes(12, 0).data(), 12, in, &ackLength, false) && ackLength == 4);
}

INSTANTIATE_TEST_SUITE_P(BothProtocols, EndToEnd, ::testing::Values(BOARD_PROTOCOL_7, BOARD_PROTOCOL_5), protocolName);

// Each fault the board can be switched into, acted on by an initialised executor: the act's
// result, how often the log line comes (the protocol 5 one if it differs), and what else holds.
class FaultInjection : public ::testing::TestWithParam<BOARD_PROTOCOL> {};

TEST_P(FaultInjection, EachFaultEndsInTheLibrarysOwnFailurePath) {
    using Act = std::function<bool(Rig&)>;
    // The exchange after a queued line is the room check, the one after it the frame. A lost frame
    // never marks; a lost acknowledgement leaves the frame marked all the same.
    const auto lost = [](int offset, bool dropReply, size_t marks) {
        return [=](Rig& r) {
            r.executor->setStartMark();
            r.executor->linetoPositionAbs(sim_job::lens(), {1, 1}, 10, 0, sim_job::linear());
            (dropReply ? r.board.faults().dropReply : r.board.faults().failExchange) = r.board.exchanges() + offset;
            const bool sent = r.executor->exeCurCmd(false);
            r.executor->linetoPositionAbs(sim_job::lens(), {2, 2}, 10, 0, sim_job::linear());
            EXPECT_TRUE(r.executor->exeCurCmd(true) && r.board.trace().marks() == marks);
            return sent;
        };
    };
    // init reads the mode up to three times, a second apart; a corrupt reply reads as the boot loader.
    const auto bootLoader = [](int factoryReads, int corruptReply) {
        return [=](Rig& r) {
            r.board.faults().factoryModeReads = factoryReads;
            r.board.faults().corruptReply = r.board.exchanges() + corruptReply;  // the mode read comes first
            r.sleeps.pauses.clear();
            const bool started = r.init() == SDK_OK;
            EXPECT_EQ(countOf(r.sleeps.pauses, 1000u), size_t(std::max(factoryReads, corruptReply)));
            return started && r.executor->isEnable();
        };
    };
    const auto refuse = [](uint16_t opcode7, uint16_t opcode5, Act act) {
        return [=](Rig& r) { return (r.board.faults().refuseOpcode = r.p7() ? opcode7 : opcode5), act(r); };
    };
    // Protocol 5 judges run control by the transport alone and believes the board runs; a stopped
    // protocol 7 executor sends nothing but the run requests markSquare makes.
    const Act refusedRun = [](Rig& r) {
        r.board.faults().refuseStatus = 0x02;
        EXPECT_EQ(r.executor->setStartMark(), !r.p7());
        EXPECT_EQ(r.executor->isStopRun(), r.p7());
        const int before = r.board.exchanges();
        EXPECT_TRUE(r.square() && r.board.trace().marks() == 0 && r.sleeps.pauses.size() < kHangGuard);
        EXPECT_TRUE(!r.p7() || r.board.exchanges() == before + 1);
        r.board.faults().refuseOpcode = r.p7() ? op7::kSoftTrigger : op5::kSoftTrigger;
        return r.executor->setSoftTiggerMark();  // judged by its status byte on both
    };
    // The memory stops draining until released, or until another host thread stops the run.
    const auto stalled = [](bool release) {
        return [=](Rig& r) {
            r.board.faults().stallMemory = true;
            int waits = 0;
            r.sleeps.onSleep = [&](uint32_t ms) {
                if (ms == kRoomPollMs && ++waits == 25 && release) r.board.faults().stallMemory = false;
                if ((ms == kRoomPollMs && waits == 25 && !release) || r.sleeps.pauses.size() == kHangGuard)
                    r.executor->setStopMark();
            };
            sim_job::markSpiral(*r.executor);
            EXPECT_TRUE(r.executor->exeCurCmd(true) && r.board.errors().total() == 0);
            EXPECT_EQ(r.board.trace().marks(), release ? size_t(sim_job::kSpiralMarks) : 0u);
            r.sleeps.onSleep = nullptr;
            DevBaseState state;  // the reset emptied the board's memory
            EXPECT_TRUE(release || (waits == 25 && r.executor->getDevState(state, true) && state.freeCacheKb == 16));
            return !r.executor->isStopRun();
        };
    };
    const auto busy = [](int polls, Act act) {
        return [=](Rig& r) { return (r.board.faults().busyPolls = polls), act(r); };
    };
    const Act ramInfo = [](Rig& r) {
        uint32_t addr = 0, size = 0;
        r.sleeps.pauses.clear();
        const bool ok = r.executor->getUserRamInfo(addr, size);
        EXPECT_EQ(countOf(r.sleeps.pauses, kRoomPollMs), 3u);  // three attempts, each followed by a pause
        return ok;
    };
    const Act write = &Rig::write;
    const char *kPreRead = "EEPROM pre read fail", *kTooMany = "EEPROM write fail too many count";
    const char *kRoom = "Executor::waitForEnoughCache getDevState fail",
               *kFrame = "Executor::exeCurCmd ReadAndWriteData fail";
    const char* kFactory = "板卡异常,初始化时仍然处于工厂模式 uMode=1";
    // Protocol 5 reads a refusal's status byte 1 as its busy bit and so gives up on the count.
    // The board stays busy for so many polls after each piece of a write: 101 busy replies are
    // tolerated, the 102nd ends it. A busy pre-read is tried three times; the next read passes.
    // A spoiled piece makes protocol 7 ask again while the board has moved on, so the read runs
    // dry; protocol 5 sees a piece too long.
    const std::tuple<Act, bool, size_t, const char*, const char*> rows[] = {
        {lost(1, false, 2), true, 1, kRoom, nullptr},
        {lost(2, false, 1), false, 1, kFrame, nullptr},
        {lost(2, true, 2), false, 1, kFrame, nullptr},
        {bootLoader(2, 0), true, 0, kFactory, nullptr},
        {bootLoader(3, 0), false, 1, kFactory, nullptr},
        {bootLoader(0, 1), true, 0, kFactory, nullptr},
        {refuse(op7::kRunState, op5::kRun, refusedRun), false, 0, nullptr, nullptr},
        {stalled(false), false, 0, nullptr, nullptr},
        {stalled(true), true, 0, nullptr, nullptr},
        {refuse(op7::kEepromPreRead, op5::kEepromPreRead, ramInfo), false, 1, kPreRead, nullptr},
        {refuse(op7::kEepromWrite, op5::kEepromWrite, write), false, 1, "EEPROM write transfer fail", kTooMany},
        {busy(101, write), true, 2, "EEPROM write fail count:101", nullptr},
        {busy(102, write), false, 1, kTooMany, nullptr},
        {busy(2, [](Rig& r) { return r.write() && r.sized() && r.readBack(); }), true, 0, kPreRead, nullptr},
        {busy(3, [](Rig& r) { return r.write() && !r.sized() && r.sized() && r.readBack(); }), true, 1, kPreRead,
         nullptr},
        {[](Rig& r) {  // the first piece after the pre-read comes back spoiled
             return r.write() && r.sized() && (r.board.faults().corruptReply = r.board.exchanges() + 2, !r.readBack());
         },
         true, 1, "EEPROM read fail too many", "EEPROM return data size too max"},
    };
    int row = 0;
    for (const auto& [act, ok, times, line, line5] : rows) {
        SCOPED_TRACE(row++);
        sim::SimConfig config;
        config.commandMemory = 16 * 1024;
        Rig rig(GetParam(), false, config);
        ASSERT_TRUE(rig.initialised);
        EXPECT_EQ(act(rig), ok);
        EXPECT_EQ(line ? countOf(rig.log.lines(), std::string(rig.p7() || !line5 ? line : line5)) : 0, times);
    }
}

INSTANTIATE_TEST_SUITE_P(BothProtocols, FaultInjection, ::testing::Values(BOARD_PROTOCOL_7, BOARD_PROTOCOL_5),
                         protocolName);
