#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "executor/platform/byte_order.h"
#include "executor/platform/crc.h"
#include "executor/platform/ipv4_helper.h"
#include "executor/platform/text.h"

namespace {

std::vector<uint8_t> memoryBytes(uint32_t value) {
    std::vector<uint8_t> bytes(4);
    std::memcpy(bytes.data(), &value, 4);
    return bytes;
}

TEST(ByteOrderTest, NetworkOrderPutsMostSignificantByteFirst) {
    EXPECT_EQ(utils::isBigEndian(), __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__);

    uint16_t shortValue = utils::ut_htons(0x1234);
    uint8_t shortBytes[2];
    std::memcpy(shortBytes, &shortValue, 2);
    EXPECT_EQ(shortBytes[0], 0x12);
    EXPECT_EQ(shortBytes[1], 0x34);

    EXPECT_EQ(memoryBytes(utils::ut_htonl(0x01020304)), (std::vector<uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(memoryBytes(utils::ut_htonl(0xA0B0C0D0)), (std::vector<uint8_t>{0xA0, 0xB0, 0xC0, 0xD0}));
}

TEST(IPv4HelperTest, ParsesDottedQuadsIntoNetworkOrder) {
    struct Case {
        const char* text;
        std::vector<uint8_t> bytes;
    };
    const Case cases[] = {
        {"192.168.1.10", {192, 168, 1, 10}},
        {"0.0.0.0", {0, 0, 0, 0}},
        {"255.255.255.255", {255, 255, 255, 255}},
        {"010.001.000.0255", {10, 1, 0, 255}},
    };
    for (const Case& c : cases) {
        uint32_t out = 0;
        ASSERT_TRUE(IPv4Helper::strIP2NetworkInt(c.text, out)) << c.text;
        EXPECT_EQ(memoryBytes(out), c.bytes) << c.text;
    }
    if (!utils::isBigEndian()) {
        uint32_t out = 0;
        ASSERT_TRUE(IPv4Helper::strIP2NetworkInt("192.168.1.10", out));
        EXPECT_EQ(out, 0x0A01A8C0u);
    }
}

TEST(IPv4HelperTest, RejectsMalformedTextAndLeavesOutputAlone) {
    const char* bad[] = {"1.2.3",    "1.2.3.4.5", "256.1.1.1", "a.b.c.d",   "",
                         "1..2.3",   "1.2.3.4.",  ".1.2.3.4",  " 1.2.3.4",  "1.2.3.4 ",
                         "+1.2.3.4", "1.2.3.-4",  "1.2.3.4x",  "1.2.3.256", "4294967297.1.1.1"};
    for (const char* text : bad) {
        uint32_t out = 0xDEADBEEF;
        EXPECT_FALSE(IPv4Helper::strIP2NetworkInt(text, out)) << '"' << text << '"';
        EXPECT_EQ(out, 0xDEADBEEFu) << '"' << text << '"';
    }
}

TEST(IPv4HelperTest, ExistenceGoesThroughTheInstalledProbe) {
    EXPECT_FALSE(IPv4Helper::isIPAddressExist(0x0A01A8C0, 0x0101A8C0));

    uint32_t seenIp = 0;
    uint32_t seenLocal = 0;
    IPv4Helper::setExistProbe([&](uint32_t ip, uint32_t localIp) {
        seenIp = ip;
        seenLocal = localIp;
        return ip == 0x0A01A8C0;
    });
    EXPECT_TRUE(IPv4Helper::isIPAddressExist(0x0A01A8C0, 0x0101A8C0));
    EXPECT_EQ(seenIp, 0x0A01A8C0u);
    EXPECT_EQ(seenLocal, 0x0101A8C0u);
    EXPECT_FALSE(IPv4Helper::isIPAddressExist(0x0B01A8C0, 0x0101A8C0));

    IPv4Helper::setExistProbe(nullptr);
    EXPECT_FALSE(IPv4Helper::isIPAddressExist(0x0A01A8C0, 0x0101A8C0));
}

TEST(CrcTest, StandardCrc32Vectors) {
    using utils::algorithm::crc::CRC32_STANDARD;
    using utils::algorithm::crc::crcHexString;
    struct Case {
        std::string data;
        const char* hex;
    };
    const Case cases[] = {
        {"123456789", "CBF43926"},
        {"", "00000000"},
        {"a", "E8B7BE43"},
        {"The quick brown fox jumps over the lazy dog", "414FA339"},
        {std::string(1, '\0'), "D202EF8D"},
        {"&", "000F6A70"},  // leading zeros kept
        {std::string(4, '\xFF'), "FFFFFFFF"},
    };
    for (const Case& c : cases) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(c.data.data());
        EXPECT_EQ(crcHexString(CRC32_STANDARD, bytes, c.data.size()), c.hex) << '"' << c.data << '"';
    }
    EXPECT_EQ(crcHexString(CRC32_STANDARD, nullptr, 0), "00000000");
}

TEST(TextTest, FormatAndScanRoundTripAMacAddress) {
    const uint8_t mac[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    const std::string text =
        utils::format("%02X-%02X-%02X-%02X-%02X-%02X", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    EXPECT_EQ(text, "00-11-22-33-44-55");

    unsigned char parsed[6] = {};
    ASSERT_EQ(utils::sscanf(text.c_str(), "%02hhx-%02hhx-%02hhx-%02hhx-%02hhx-%02hhx", &parsed[0], &parsed[1],
                            &parsed[2], &parsed[3], &parsed[4], &parsed[5]),
              6);
    EXPECT_EQ(std::memcmp(parsed, mac, 6), 0);

    int value = 0;
    EXPECT_EQ(utils::sscanf("", "%d", &value), EOF);
    EXPECT_EQ(utils::sscanf("x", "%d", &value), 0);
}

TEST(TextTest, FormatIsNotTruncated) {
    const std::string longText(3000, 'y');
    EXPECT_EQ(utils::format("<%s>%d", longText.c_str(), -7), "<" + longText + ">-7");
    EXPECT_EQ(utils::format("%s", ""), "");
}

}  // namespace
