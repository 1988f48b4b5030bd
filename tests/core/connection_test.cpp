#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "cmd/packet_writer.h"
#include "core/identity_opcodes.h"
#include "support/bytes.h"
#include "support/harness5.h"

using ::testing::ElementsAre;
using ::testing::Pair;

namespace {

// A board that reports it can run offline, as only protocol 5 boards do today.
struct OfflineCapable7 : Executor7 {
    bool getDevType(BOARD_TYPE& type, BOARD_TYPE_SUB& subType, DevSysInfo& info) override {
        const bool ok = Executor7::getDevType(type, subType, info);
        info.offlineSupport = true;
        return ok;
    }
};

const Bytes kOffline = replyWith(32, {{5, 0x01}, {12, 0x01}});
const Bytes kOnline = replyWith(32, {{12, 0x01}});
using Opcodes = std::vector<uint16_t>;
const Opcodes kHealthy = {0xFFF1, 0xF0F0, 0xAA10, 0xAA34, 0xAA05};
const Opcodes kSwitched = {0xFFF1, 0xF0F0, 0xAA10, 0xAA34, 0xAA05, 0xAAA6, 0xAA10, 0xAA05};
using Pauses = std::vector<uint32_t>;
const Pauses kReset = {2}, kResetOnline = {2, 100};

}  // namespace

// What init sends, how long it pauses, what it answers and logs; the mode retries are walked
// on the simulated board.
TEST(Init, Scenarios) {
    enum Link { kOpen, kNone, kUnopenable, kClosed };
    struct Row {
        const char* name;
        Link link;
        bool offlineCapable, goOnline;
        std::vector<Bytes> states;
        SdkError result;
        Opcodes requests;
        Pauses pauses;
        const char* logged;
    };
    const Row rows[] = {
        {"healthy", kOpen, false, false, {}, SDK_OK, kHealthy, kReset, nullptr},
        {"no transport", kNone, false, false, {}, SDK_TRANSFER_NULL, {}, {}, "Executor::init m_transfer null"},
        {"unopenable", kUnopenable, false, false, {}, SDK_OPEN_FAIL, {}, {}, "Executor::init openDev fail"},
        {"closed transport is opened", kClosed, false, false, {}, SDK_OK, kHealthy, kReset, nullptr},
        {"protocol 7 never goes online", kOpen, false, true, {kOffline}, SDK_OK, kHealthy, kReset, nullptr},
        {"switched online", kOpen, true, true, {kOffline, kOnline}, SDK_OK, kSwitched, kResetOnline, nullptr},
        {"stays offline", kOpen, true, true, {kOffline}, SDK_OK, kSwitched, kResetOnline, "板卡异常,切换在线模式失败"},
        {"online left alone", kOpen, true, true, {kOnline}, SDK_OK, kHealthy, kReset, nullptr},
        {"offline not asked", kOpen, true, false, {kOffline}, SDK_OK, kHealthy, kReset, nullptr},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        Harness h = r.offlineCapable ? Harness(std::make_unique<OfflineCapable7>()) : Harness();
        h.healthyBoard7();
        if (!r.states.empty()) h.transfer.answerSequence(op7::kDevState, r.states);
        if (r.link == kNone) h.executor->setTransfer(nullptr);
        h.transfer.open = r.link == kOpen;
        h.transfer.openResult = r.link != kUnopenable;
        EXPECT_EQ(h.connect(r.goOnline, false), r.result);
        Opcodes opcodes;
        for (const Bytes& q : h.transfer.requests()) opcodes.push_back(FakeTransfer::opcodeOf(q));
        EXPECT_EQ(opcodes, r.requests);
        EXPECT_EQ(h.sleeps.pauses, r.pauses);
        EXPECT_EQ(h.transfer.count("openDev"), r.link == kUnopenable || r.link == kClosed ? 1u : 0u);
        EXPECT_EQ(h.executor->isEnable(), r.result == SDK_OK);
        EXPECT_TRUE(r.logged == nullptr || h.log.contains(r.logged));
    }
}

// A packet of the frame size fits, one byte more does not.
TEST(Init, FrameSizeFollowsTheLink) {
    struct Row {
        int protocol;
        bool net, fast;
        int32_t linkType;
        uint16_t frame;
    };
    const Row rows[] = {{7, false, false, 0, 500},  {7, true, false, 0, 1464},   {5, true, true, 1, 1464},
                        {5, false, true, 0, 23040}, {5, false, false, 1, 23040}, {5, false, false, 0, 2880}};
    for (const Row& r : rows) {
        Harness h = r.protocol == 7 ? Harness() : Harness(std::make_unique<Streaming5>());
        h.healthyBoard7();
        h.transfer.netLink = r.net;
        h.transfer.fastLink = r.fast;
        h.transfer.linkType = r.linkType;
        ASSERT_EQ(h.connect(), SDK_OK);
        EXPECT_FALSE(h.executor->addCmd(makeListPacket(0x0100, static_cast<uint16_t>(r.frame + 1)).release()));
        EXPECT_TRUE(h.executor->addCmd(makeListPacket(0x0100, r.frame).release())) << r.frame;
    }
    EXPECT_EQ(Executor::create(BOARD_TYPE_PROTOCOL7, 2), nullptr);  // no such protocol
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
}

// Only an echo of the probe's opcode means protocol 5; the link mode follows the answer. A
// closed transport is opened first; a failed probe leaves the answer alone.
TEST(GetProtocol, ProbeReplies) {
    struct Row {
        Bytes reply;
        bool net;
        BOARD_PROTOCOL protocol;
        std::pair<bool, bool> mode;
    };
    const Row rows[] = {{{0x01, 0x23, 0x00}, false, BOARD_PROTOCOL_5, {false, false}},
                        {{0x01, 0x23}, true, BOARD_PROTOCOL_5, {true, false}},
                        {{0x23, 0x01}, false, BOARD_PROTOCOL_7, {true, true}}};
    for (const Row& r : rows) {
        FakeTransfer t;
        t.netLink = r.net;
        t.open = r.net;
        t.answer(identity::kProbe, r.reply);
        BOARD_PROTOCOL found = -1;
        ASSERT_TRUE(Executor::getProtocol(&t, found));
        EXPECT_EQ(found, r.protocol);
        EXPECT_THAT(t.requests(), ElementsAre(pkt(identity::kProbe)));
        EXPECT_FALSE(t.exchanges[0].flag);
        EXPECT_EQ(t.exchanges[0].replyCapacity, 256u);
        EXPECT_THAT(t.linkModes, ElementsAre(Pair(false, false), Pair(r.mode.first, r.mode.second)));
        EXPECT_EQ(t.count("openDev"), r.net ? 0u : 1u);
    }
    BOARD_PROTOCOL p = 42;
    EXPECT_FALSE(Executor::getProtocol(nullptr, p));
    FakeTransfer broken;
    broken.open = broken.openResult = false;
    EXPECT_FALSE(Executor::getProtocol(&broken, p));
    EXPECT_TRUE(broken.exchanges.empty());
    broken.openResult = true;
    broken.failOpcode(identity::kProbe);
    EXPECT_FALSE(Executor::getProtocol(&broken, p));
    EXPECT_EQ(p, 42);
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
