#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/identity_opcodes.h"
#include "executor/platform/ipv4_helper.h"
#include "support/harness.h"

using ::testing::ElementsAre;

namespace {

// A network board that needs binding, with addresses the requests can be checked against.
struct NetHarness : Harness {
    explicit NetHarness(BOARD_PROTOCOL protocol = BOARD_PROTOCOL_7) : Harness(protocol) {
        transfer.directLink = false;
        transfer.netLink = true;
        devPar.m_mac = "00-11-22-33-44-55";
        devPar.m_localIp = "192.168.1.2";
        devPar.m_ip = "192.168.1.10";
        devPar.m_gateway = "192.168.1.1";
        healthyBoard7();
    }
    ~NetHarness() { IPv4Helper::setExistProbe({}); }
    // Connected and bound, traffic so far forgotten.
    void bound() {
        ASSERT_EQ(connect(), SDK_OK);
        transfer.exchanges.clear();
    }
    DevPar par() {
        DevInfo info;
        executor->getDevInfo(info);
        return info.devPar;
    }
    std::vector<Bytes> binds() { return transfer.requestsFor(identity::kBind); }
};

}  // namespace

TEST(Binding, DirectFastAndVirtualLinksCountAsBoundAndNoTransportAsNot) {
    void (*const links[])(FakeTransfer&) = {
        [](FakeTransfer&) {}, [](FakeTransfer& t) { t.directLink = false, t.fastLink = true; },
        [](FakeTransfer& t) { t.directLink = false, t.netLink = t.virtualLink = true; }, nullptr};
    for (auto link : links) {
        Harness h;
        link ? link(h.transfer) : h.executor->setTransfer(nullptr);
        EXPECT_EQ(h.executor->isBind(), link != nullptr);
        EXPECT_EQ(h.executor->isBindByMe(), link != nullptr);
        EXPECT_EQ(h.executor->setBind(true), link != nullptr);
        EXPECT_TRUE(!link || h.transfer.virtualLink || h.executor->setBind(false));  // nothing to unbind
        EXPECT_TRUE(h.transfer.exchanges.empty());
    }
}

// Protocol 5 boards also take their own address; unparsable addresses go out as zeros. unInit
// unbinds and closes once.
TEST(Binding, BindAndUnbindRequests) {
    NetHarness h7;
    ASSERT_EQ(h7.connect(), SDK_OK);
    EXPECT_TRUE(h7.executor->isBindByMe());
    EXPECT_EQ(h7.par().m_bindIp, "192.168.1.2");
    EXPECT_TRUE(h7.executor->unInit());
    EXPECT_TRUE(h7.executor->unInit());
    EXPECT_THAT(h7.binds(),
                ElementsAre(ElementsAre(0xF0, 0xFA, 1, 0, 0, 0x11, 0x22, 0x33, 0x44, 0x55, 192, 168, 1, 2),
                            ElementsAre(0xF0, 0xFA, 0, 0, 0, 0x11, 0x22, 0x33, 0x44, 0x55, 192, 168, 1, 2)));
    EXPECT_FALSE(h7.executor->isBind());
    EXPECT_FALSE(h7.executor->isEnable());
    EXPECT_EQ(h7.transfer.count("closeDev"), 1u);

    NetHarness h5(BOARD_PROTOCOL_5);
    h5.connect();  // the protocol 5 board itself is not scripted here
    EXPECT_THAT(h5.binds(), ElementsAre(ElementsAre(0xF0, 0xFA, 1, 0, 0, 0x11, 0x22, 0x33, 0x44, 0x55, 192, 168, 1, 2,
                                                    192, 168, 1, 10)));
    NetHarness bad;
    bad.devPar.m_mac = "00-11-zz";
    bad.devPar.m_localIp = "not an address";
    bad.connect();
    EXPECT_THAT(bad.binds(), ElementsAre(ElementsAre(0xF0, 0xFA, 1, 0, 0, 0x11, 0, 0, 0, 0, 0, 0, 0, 0)));
}

TEST(Binding, OwnershipRules) {
    NetHarness h;
    EXPECT_FALSE(h.executor->setBind(false));
    EXPECT_TRUE(h.log.contains("Executor::setBind unbind fail not BindByMe"));
    EXPECT_TRUE(h.transfer.exchanges.empty());
    h.bound();
    EXPECT_TRUE(h.executor->setBind(true));
    EXPECT_TRUE(h.log.contains("Executor::setBind repeat bind"));
    EXPECT_TRUE(h.transfer.exchanges.empty());

    // Another local address: the parameters say bound, so init sends nothing and refuses.
    DevPar moved = h.par();
    moved.m_localIp = "192.168.1.3";
    EXPECT_EQ(h.executor->init(moved, false, false), SDK_NOT_BIND_BY_ME);
    EXPECT_TRUE(h.binds().empty());
    EXPECT_TRUE(h.executor->isBind());
    EXPECT_FALSE(h.executor->isBindByMe());

    NetHarness failed;  // a failed exchange leaves the state alone
    failed.transfer.failOpcode(identity::kBind);
    EXPECT_EQ(failed.connect(), SDK_BIND_FAIL);
    EXPECT_FALSE(failed.executor->isBind());
}

// A failed exchange keeps the old address in the parameters.
TEST(Network, NewAddressAndMacRequests) {
    NetHarness h;
    h.bound();
    ASSERT_TRUE(h.executor->setIPAddr("192.168.1.11"));
    ASSERT_TRUE(h.executor->setMacAddr("AA-BB-CC-DD-EE-0F"));
    EXPECT_THAT(h.transfer.requests(), ElementsAre(ElementsAre(0xF0, 0x10, 0, 0, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55,
                                                               192, 168, 1, 11, 0xFF, 0xFF, 0xFF, 0x00, 192, 168, 1, 1),
                                                   ElementsAre(0xF0, 0x11, 0, 0, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55,
                                                               0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0x0F)));
    h.transfer.failOpcode(identity::kSetIp);
    h.transfer.failOpcode(identity::kSetMac);
    EXPECT_FALSE(h.executor->setIPAddr("192.168.1.12"));
    EXPECT_FALSE(h.executor->setMacAddr("AA-BB-CC-DD-EE-10"));
    EXPECT_EQ(h.par().m_ip, "192.168.1.11");
    EXPECT_EQ(h.par().m_mac, "AA-BB-CC-DD-EE-0F");

    // An address already in use is refused without traffic.
    h.transfer.exchanges.clear();
    uint32_t asked = 0;
    IPv4Helper::setExistProbe([&](uint32_t ip, uint32_t) { return asked = ip, true; });
    EXPECT_FALSE(h.executor->setIPAddr("192.168.1.11"));
    EXPECT_TRUE(h.transfer.exchanges.empty());
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&asked);
    EXPECT_THAT(std::vector<uint8_t>(bytes, bytes + 4), ElementsAre(192, 168, 1, 11));
}

TEST(Network, RefusedWhenNotOursAndSkippedOnDirectLinks) {
    NetHarness h;
    EXPECT_FALSE(h.executor->setIPAddr("10.0.0.1"));
    EXPECT_FALSE(h.executor->setMacAddr("00-00-00-00-00-01"));
    h.transfer.directLink = true;
    EXPECT_TRUE(h.executor->setMacAddr("00-00-00-00-00-01"));
    EXPECT_TRUE(h.executor->setIPAddr("10.0.0.1"));
    EXPECT_TRUE(h.transfer.exchanges.empty());
    h.executor->setTransfer(nullptr);
    EXPECT_FALSE(h.executor->setIPAddr("10.0.0.1"));
    EXPECT_FALSE(h.executor->setMacAddr("00-00-00-00-00-01"));
}
