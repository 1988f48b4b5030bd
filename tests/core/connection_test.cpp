#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "cmd/packet_writer.h"
#include "core/identity_opcodes.h"
#include "proto5/executor5.h"
#include "support/bytes.h"
#include "support/harness.h"

using ::testing::ElementsAre;
using ::testing::Pair;

namespace {

// A protocol 5 executor whose board always runs its application, so init completes.
struct RunningExecutor5 : Executor5 {
    BoardMode getBoardMode() override { return BOARD_MODE_APPLICATION; }
};

// A board that reports it can run offline, as only protocol 5 boards do today.
struct OfflineCapable7 : Executor7 {
    bool getDevType(BOARD_TYPE& type, BOARD_TYPE_SUB& subType, DevSysInfo& info) override {
        const bool ok = Executor7::getDevType(type, subType, info);
        info.offlineSupport = true;
        return ok;
    }
};

const Bytes kMode1 = replyWith(4, {{2, 0x01}});
const Bytes kOffline = replyWith(32, {{5, 0x01}, {12, 0x01}});
const Bytes kOnline = replyWith(32, {{12, 0x01}});
using Opcodes = std::vector<uint16_t>;
const Opcodes kNone, kHealthy = {0xFFF1, 0xF0F0, 0xAA10, 0xAA34, 0xAA05};
const Opcodes kThirdRead = {0xFFF1, 0xFFF1, 0xFFF1, 0xF0F0, 0xAA10, 0xAA34, 0xAA05};
const Opcodes kSwitched = {0xFFF1, 0xF0F0, 0xAA10, 0xAA34, 0xAA05, 0xAAA6, 0xAA10, 0xAA05};
const Opcodes kFactory = {0xFFF1, 0xFFF1, 0xFFF1, 0xF0F0};
using Pauses = std::vector<uint32_t>;
const Pauses kNoPause, kReset = {2}, kThirdReset = {1000, 1000, 2}, kModeReads = {1000, 1000, 1000};
const Pauses kResetOnline = {2, 100};

}  // namespace

// What init sends, how long it pauses, what it answers and logs.
TEST(Init, Scenarios) {
    struct Row {
        const char* name;
        bool offlineCapable;
        std::function<void(Harness&)> script;
        bool goOnline;
        SdkError result;
        Opcodes requests;
        Pauses pauses;
        size_t opens;
        const char* logged;  // nullptr: nothing expected
    };
    const Row rows[] = {
        {"healthy", false, [](Harness&) {}, false, SDK_OK, kHealthy, kReset, 0, nullptr},
        {"application on the third mode read", false,
         [](Harness& h) {
             h.transfer.answerSequence(op7::kBoardMode, {kMode1, kMode1, replyWith(4, {{2, 4}})});
         },
         false, SDK_OK, kThirdRead, kThirdReset, 0, nullptr},
        {"stuck in factory mode: type read, no reset, no status", false,
         [](Harness& h) { h.transfer.answer(op7::kBoardMode, kMode1); }, false, SDK_NOT_ENABLED, kFactory, kModeReads,
         0, "板卡异常,初始化时仍然处于工厂模式 uMode=1"},
        {"unanswered mode reads count as mode 0", false, [](Harness& h) { h.transfer.failOpcode(op7::kBoardMode); },
         false, SDK_NOT_ENABLED, kFactory, kModeReads, 0, "板卡异常,初始化时仍然处于工厂模式 uMode=0"},
        {"no transport", false, [](Harness& h) { h.executor->setTransfer(nullptr); }, false, SDK_TRANSFER_NULL, kNone,
         kNoPause, 0, "Executor::init m_transfer null"},
        {"transport that does not open", false, [](Harness& h) { h.transfer.open = h.transfer.openResult = false; },
         false, SDK_OPEN_FAIL, kNone, kNoPause, 1, "Executor::init openDev fail"},
        {"closed transport is opened", false, [](Harness& h) { h.transfer.open = false; }, false, SDK_OK, kHealthy,
         kReset, 1, nullptr},
        {"protocol 7 boards are never switched online", false,
         [](Harness& h) { h.transfer.answer(op7::kDevState, kOffline); }, true, SDK_OK, kHealthy, kReset, 0, nullptr},
        {"offline board switched online", true,
         [](Harness& h) {
             h.transfer.answerSequence(op7::kDevState, {kOffline, kOnline});
         },
         true, SDK_OK, kSwitched, kResetOnline, 0, nullptr},
        {"offline board that stays offline", true, [](Harness& h) { h.transfer.answer(op7::kDevState, kOffline); },
         true, SDK_OK, kSwitched, kResetOnline, 0, "板卡异常,切换在线模式失败"},
        {"online board left alone", true, [](Harness& h) { h.transfer.answer(op7::kDevState, kOnline); }, true, SDK_OK,
         kHealthy, kReset, 0, nullptr},
        {"offline board not asked to switch", true, [](Harness& h) { h.transfer.answer(op7::kDevState, kOffline); },
         false, SDK_OK, kHealthy, kReset, 0, nullptr},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Harness h = r.offlineCapable ? Harness(std::make_unique<OfflineCapable7>()) : Harness();
        h.healthyBoard7();
        r.script(h);
        EXPECT_EQ(h.connect(r.goOnline, false), r.result);
        Opcodes opcodes;
        for (const Bytes& q : h.transfer.requests()) opcodes.push_back(FakeTransfer::opcodeOf(q));
        EXPECT_EQ(opcodes, r.requests);
        EXPECT_EQ(h.sleeps.pauses, r.pauses);
        EXPECT_EQ(h.transfer.count("openDev"), r.opens);
        EXPECT_EQ(h.executor->isEnable(), r.result == SDK_OK);
        EXPECT_TRUE(r.logged == nullptr || h.log.contains(r.logged));
    }
}

TEST(Init, FrameSizeFollowsTheLink) {
    struct Row {
        int protocol;
        bool net;
        bool fast;
        int32_t linkType;
        uint16_t frame;
    };
    const Row rows[] = {{7, false, false, 0, 500},  {7, true, false, 0, 1464},   {5, true, true, 1, 1464},
                        {5, false, true, 0, 23040}, {5, false, false, 1, 23040}, {5, false, false, 0, 2880}};
    for (const Row& r : rows) {
        Harness h = r.protocol == 7 ? Harness() : Harness(std::make_unique<RunningExecutor5>());
        h.healthyBoard7();
        h.transfer.netLink = r.net;
        h.transfer.fastLink = r.fast;
        h.transfer.linkType = r.linkType;
        ASSERT_EQ(h.connect(), SDK_OK);
        // A packet of the frame size fits, one byte more does not.
        EXPECT_FALSE(h.executor->addCmd(makeListPacket(0x0100, static_cast<uint16_t>(r.frame + 1)).release()));
        EXPECT_TRUE(h.executor->addCmd(makeListPacket(0x0100, r.frame).release())) << r.frame;
    }
}

TEST(Init, MoveToCenterStartsMarksAndResetsAgain) {
    Harness h;
    h.healthyBoard7();
    ASSERT_EQ(h.connect(false, true), SDK_OK);
    std::vector<uint8_t> runStates;
    for (const Bytes& r : h.transfer.requestsFor(op7::kRunState)) runStates.push_back(r[3]);
    EXPECT_THAT(runStates, ElementsAre(1, 3, 1));  // reset, run for the jump, reset
    EXPECT_THAT(h.transfer.frames(),
                ElementsAre(pkt(0x0241, {18, 0, 0x27, 0x10, 0x01, 0xF4, 0x00, 0x80, 0x00, 0x00, 0x80, 0x00}, 18)));
    EXPECT_EQ(Executor::create(BOARD_TYPE_PROTOCOL7, 2), nullptr);  // no such protocol
}

// Only an echo of the probe's opcode means protocol 5; the link mode follows the answer.
TEST(GetProtocol, ProbeReplies) {
    struct Row {
        Bytes reply;
        bool net;
        BOARD_PROTOCOL protocol;
        std::pair<bool, bool> mode;
    };
    const Row rows[] = {
        {{0x01, 0x23, 0x00}, false, BOARD_PROTOCOL_5, {false, false}},
        {{0x01, 0x23}, true, BOARD_PROTOCOL_5, {true, false}},
        {{0x01, 0x24, 0x00}, false, BOARD_PROTOCOL_7, {true, true}},
        {{0x23, 0x01}, false, BOARD_PROTOCOL_7, {true, true}},
        {{}, false, BOARD_PROTOCOL_7, {true, true}},
    };
    for (const Row& r : rows) {
        FakeTransfer t;
        t.netLink = r.net;
        t.answer(identity::kProbe, r.reply);
        BOARD_PROTOCOL found = -1;
        ASSERT_TRUE(Executor::getProtocol(&t, found));
        EXPECT_EQ(found, r.protocol);
        EXPECT_THAT(t.requests(), ElementsAre(pkt(identity::kProbe)));
        EXPECT_FALSE(t.exchanges[0].flag);
        EXPECT_EQ(t.exchanges[0].replyCapacity, 256u);
        EXPECT_THAT(t.linkModes, ElementsAre(Pair(false, false), Pair(r.mode.first, r.mode.second)));
        EXPECT_EQ(t.count("openDev"), 0u);
    }
}

TEST(GetProtocol, OpensAClosedTransportAndLeavesTheAnswerAloneOnFailure) {
    BOARD_PROTOCOL p = 42;
    EXPECT_FALSE(Executor::getProtocol(nullptr, p));
    FakeTransfer broken;
    broken.open = broken.openResult = false;
    EXPECT_FALSE(Executor::getProtocol(&broken, p));
    EXPECT_TRUE(broken.exchanges.empty());
    FakeTransfer silent;
    silent.failOpcode(identity::kProbe);
    EXPECT_FALSE(Executor::getProtocol(&silent, p));
    EXPECT_EQ(p, 42);
    FakeTransfer closed;
    closed.open = false;
    ASSERT_TRUE(Executor::getProtocol(&closed, p));
    EXPECT_EQ(closed.count("openDev"), 1u);
}

TEST(ExecutorUserPort, PassesBytesThroughTheTransport) {
    Harness h;
    uint8_t out[3] = {1, 2, 3};
    int32_t len = 3;
    EXPECT_TRUE(h.executor->writeUPort(out, len));
    EXPECT_THAT(h.transfer.written, ElementsAre(1, 2, 3));
    h.transfer.toRead = {9, 8, 7, 6};
    uint8_t in[8] = {};
    len = 8;
    EXPECT_TRUE(h.executor->readUPort(in, len));
    EXPECT_EQ(len, 4);
    EXPECT_EQ(in[3], 6);
    len = 0;  // nothing to pass needs no buffer
    EXPECT_TRUE(h.executor->writeUPort(nullptr, len));
    EXPECT_TRUE(h.executor->readUPort(nullptr, len));
    h.executor->setTransfer(nullptr);
    EXPECT_FALSE(h.executor->readUPort(in, len));
    EXPECT_FALSE(h.executor->writeUPort(out, len));
}
