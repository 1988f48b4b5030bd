#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/identity_opcodes.h"
#include "executor/platform/ipv4_helper.h"
#include "support/harness.h"

using ::testing::ElementsAre;

namespace {

struct NetBoard : Harness {
    NetBoard() {
        transfer.directLink = false;
        transfer.netLink = true;
        devPar.m_mac = "00-11-22-33-44-55";
        devPar.m_localIp = "192.168.1.2";
        devPar.m_ip = "192.168.1.9";
        devPar.m_gateway = "192.168.1.1";
        healthyBoard7();
        connect();
        transfer.exchanges.clear();
    }
    ~NetBoard() { IPv4Helper::setExistProbe({}); }
    DevPar par() {
        DevInfo info;
        executor->getDevInfo(info);
        return info.devPar;
    }
};

}  // namespace

TEST(Network, NewAddressRequestAndBookkeeping) {
    NetBoard h;
    ASSERT_TRUE(h.executor->setIPAddr("192.168.1.10"));
    EXPECT_THAT(h.transfer.requests(),
                ElementsAre(ElementsAre(0xF0, 0x10, 0, 0, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0xC0, 0xA8, 0x01, 0x0A,
                                        0xFF, 0xFF, 0xFF, 0x00, 0xC0, 0xA8, 0x01, 0x01)));
    EXPECT_EQ(h.par().m_ip, "192.168.1.10");

    h.transfer.failOpcode(identity::kSetIp);
    EXPECT_FALSE(h.executor->setIPAddr("192.168.1.11"));
    EXPECT_EQ(h.par().m_ip, "192.168.1.10");
}

TEST(Network, AddressInUseIsRefusedWithoutTraffic) {
    NetBoard h;
    uint32_t asked = 0;
    IPv4Helper::setExistProbe([&](uint32_t ip, uint32_t) {
        asked = ip;
        return true;
    });
    EXPECT_FALSE(h.executor->setIPAddr("192.168.1.10"));
    EXPECT_TRUE(h.log.contains("Executor::setIPAddr fail 目标IP:192.168.1.10存在"));
    EXPECT_TRUE(h.transfer.exchanges.empty());
    const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&asked);
    EXPECT_THAT(std::vector<uint8_t>(bytes, bytes + 4), ElementsAre(192, 168, 1, 10));
}

TEST(Network, NewMacRequestAndBookkeeping) {
    NetBoard h;
    ASSERT_TRUE(h.executor->setMacAddr("AA-BB-CC-DD-EE-0F"));
    EXPECT_THAT(h.transfer.requests(), ElementsAre(ElementsAre(0xF0, 0x11, 0, 0, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55,
                                                               0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0x0F)));
    EXPECT_EQ(h.par().m_mac, "AA-BB-CC-DD-EE-0F");
}

TEST(Network, RefusedWhenNotOursAndSkippedOnDirectLinks) {
    NetBoard h;
    h.executor->unInit();
    h.executor->setTransfer(&h.transfer);
    h.transfer.exchanges.clear();
    EXPECT_FALSE(h.executor->setIPAddr("10.0.0.1"));
    EXPECT_FALSE(h.executor->setMacAddr("00-00-00-00-00-01"));
    EXPECT_TRUE(h.log.contains("Executor::setIPAddr fail not BindByMe"));
    EXPECT_TRUE(h.log.contains("Executor::setMacAddr fail not BindByMe"));

    h.transfer.directLink = true;
    EXPECT_TRUE(h.executor->setMacAddr("00-00-00-00-00-01"));
    EXPECT_TRUE(h.executor->setIPAddr("10.0.0.1"));
    EXPECT_TRUE(h.transfer.exchanges.empty());
    EXPECT_EQ(h.par().m_mac, "00-11-22-33-44-55");

    h.executor->setTransfer(nullptr);
    EXPECT_FALSE(h.executor->setIPAddr("10.0.0.1"));
}
