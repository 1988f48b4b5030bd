#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/harness.h"

using ::testing::ElementsAre;

namespace {

// A network board that needs binding, with addresses the requests can be checked against.
struct NetHarness : Harness {
    explicit NetHarness(BOARD_PROTOCOL protocol = BOARD_PROTOCOL_7) : Harness(protocol) {
        transfer.directLink = false;
        transfer.fastLink = false;
        transfer.netLink = true;
        devPar.m_mac = "00-11-22-33-44-55";
        devPar.m_localIp = "192.168.1.2";
        devPar.m_ip = "192.168.1.10";
        healthyBoard7();
    }
};

}  // namespace

TEST(Binding, DirectFastAndVirtualLinksCountAsBoundAndNoTransportAsNot) {
    struct Case {
        const char* name;
        void (*link)(FakeTransfer&);
        bool bound;
    };
    const Case cases[] = {
        {"direct", [](FakeTransfer&) {}, true},
        {"fast", [](FakeTransfer& t) { t.directLink = false, t.fastLink = true; }, true},
        {"virtual", [](FakeTransfer& t) { t.directLink = false, t.netLink = t.virtualLink = true; }, true},
        {"none", nullptr, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Harness h;
        c.link ? c.link(h.transfer) : h.executor->setTransfer(nullptr);
        EXPECT_EQ(h.executor->isBind(), c.bound);
        EXPECT_EQ(h.executor->isBindByMe(), c.bound);
        EXPECT_EQ(h.executor->setBind(true), c.bound);
        if (c.link && !h.transfer.virtualLink) {
            EXPECT_TRUE(h.executor->setBind(false));  // nothing to unbind
        }
        EXPECT_TRUE(h.transfer.exchanges.empty());
    }
}

TEST(Binding, Protocol7RequestCarriesMacAndLocalAddressOnly) {
    NetHarness h;
    ASSERT_EQ(h.connect(), SDK_OK);
    auto binds = h.transfer.requestsFor(kBindRequest);
    ASSERT_EQ(binds.size(), 1u);
    EXPECT_THAT(binds[0], ElementsAre(0xF0, 0xFA, 0x01, 0x00, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 192, 168, 1, 2));
    EXPECT_TRUE(h.executor->isBind());
    EXPECT_TRUE(h.executor->isBindByMe());
    DevInfo info;
    h.executor->getDevInfo(info);
    EXPECT_EQ(info.devPar.m_bindIp, "192.168.1.2");
    EXPECT_TRUE(info.devPar.m_bound);
}

TEST(Binding, Protocol5RequestAlsoCarriesTheBoardAddress) {
    NetHarness h(BOARD_PROTOCOL_5);
    h.executor->init(h.devPar, false, false);  // the protocol 5 board itself is not scripted here
    auto binds = h.transfer.requestsFor(kBindRequest);
    ASSERT_EQ(binds.size(), 1u);
    EXPECT_THAT(binds[0], ElementsAre(0xF0, 0xFA, 0x01, 0x00, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 192, 168, 1, 2, 192,
                                      168, 1, 10));
}

TEST(Binding, UnparsableAddressesAreSentAsZeros) {
    NetHarness h;
    h.devPar.m_mac = "00-11-zz";
    h.devPar.m_localIp = "not an address";
    ASSERT_EQ(h.connect(), SDK_OK);
    EXPECT_THAT(h.transfer.requestsFor(kBindRequest)[0],
                ElementsAre(0xF0, 0xFA, 0x01, 0x00, 0x00, 0x11, 0, 0, 0, 0, 0, 0, 0, 0));
}

TEST(Binding, RepeatBindIsLoggedAndSendsNothing) {
    NetHarness h;
    ASSERT_EQ(h.connect(), SDK_OK);
    const size_t before = h.transfer.exchanges.size();
    EXPECT_TRUE(h.executor->setBind(true));
    EXPECT_EQ(h.transfer.exchanges.size(), before);
    EXPECT_TRUE(h.log.contains("Executor::setBind repeat bind"));
}

TEST(Binding, UnbindWithoutOwnershipIsRefused) {
    NetHarness h;
    EXPECT_FALSE(h.executor->setBind(false));
    EXPECT_TRUE(h.transfer.exchanges.empty());
    EXPECT_TRUE(h.log.contains("Executor::setBind unbind fail not BindByMe"));
}

TEST(Binding, FailedExchangeLeavesTheStateAlone) {
    NetHarness h;
    h.transfer.failOpcode(kBindRequest);
    EXPECT_EQ(h.connect(), SDK_BIND_FAIL);
    EXPECT_TRUE(h.log.contains("Executor::init setBind fail"));
    EXPECT_FALSE(h.executor->isBind());
    EXPECT_FALSE(h.executor->isBindByMe());
}

TEST(Binding, ChangedLocalAddressLosesOwnershipUntilBoundAgain) {
    NetHarness h;
    ASSERT_EQ(h.connect(), SDK_OK);
    DevInfo info;
    h.executor->getDevInfo(info);
    info.devPar.m_localIp = "192.168.1.3";
    // The parameters say the board is bound, so init sends no new request and refuses.
    EXPECT_EQ(h.executor->init(info.devPar, false, false), SDK_NOT_BIND_BY_ME);
    EXPECT_TRUE(h.log.contains("Executor::init isBindByMe fail"));
    EXPECT_EQ(h.transfer.requestsFor(kBindRequest).size(), 1u);
    EXPECT_TRUE(h.executor->isBind());
    EXPECT_FALSE(h.executor->isBindByMe());
}

TEST(Binding, UnbindClearsOwnershipAndSendsTheUnbindRequest) {
    NetHarness h;
    ASSERT_EQ(h.connect(), SDK_OK);
    EXPECT_TRUE(h.executor->unInit());
    auto binds = h.transfer.requestsFor(kBindRequest);
    ASSERT_EQ(binds.size(), 2u);
    EXPECT_EQ(binds[1][2], 0x00);
    EXPECT_FALSE(h.executor->isBind());
    EXPECT_FALSE(h.executor->isEnable());
    EXPECT_EQ(h.transfer.count("closeDev"), 1u);
}
