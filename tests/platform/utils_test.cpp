#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "executor/platform/byte_order.h"
#include "executor/platform/crc.h"
#include "executor/platform/ipv4_helper.h"
#include "executor/platform/param.h"
#include "executor/platform/text.h"
#include "executor/platform/thread.h"

namespace {

using Bytes = std::vector<uint8_t>;

template <typename T>
Bytes memoryBytes(T value) {
    Bytes bytes(sizeof value);
    std::memcpy(bytes.data(), &value, sizeof value);
    return bytes;
}

// Every byte distinct, so a wrong shift or mask shows.
TEST(ByteOrder, NetworkOrderPutsTheMostSignificantByteFirst) {
    EXPECT_EQ(utils::isBigEndian(), __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__);
    EXPECT_EQ(memoryBytes(utils::ut_htons(0x12AB)), (Bytes{0x12, 0xAB}));
    EXPECT_EQ(memoryBytes(utils::ut_htonl(0xA1B2C3D4)), (Bytes{0xA1, 0xB2, 0xC3, 0xD4}));
}

TEST(IPv4Helper, DottedQuadsParseIntoNetworkOrderOrLeaveTheOutputAlone) {
    const std::pair<const char*, Bytes> good[] = {{"0.0.0.0", {0, 0, 0, 0}}, {"010.001.000.0255", {10, 1, 0, 255}}};
    for (const auto& [text, bytes] : good) {
        uint32_t out = 0;
        EXPECT_TRUE(IPv4Helper::strIP2NetworkInt(text, out)) << text;
        EXPECT_EQ(memoryBytes(out), bytes) << text;
    }
    for (const char* text : {"1.2.3", "1.2.3.4.5", "1.2.3.256", "4294967297.1.1.1", "1..2.3", "1.2.3.4.", " 1.2.3.4",
                             "+1.2.3.4", "1.2.3./", "1.2.3.:"}) {
        uint32_t out = 0xDEADBEEF;
        EXPECT_FALSE(IPv4Helper::strIP2NetworkInt(text, out)) << '"' << text << '"';
        EXPECT_EQ(out, 0xDEADBEEFu) << '"' << text << '"';
    }
}

TEST(IPv4Helper, ExistenceAsksTheInstalledProbe) {
    EXPECT_FALSE(IPv4Helper::isIPAddressExist(1, 2));
    uint32_t seen[2] = {};
    IPv4Helper::setExistProbe([&](uint32_t ip, uint32_t localIp) {
        seen[0] = ip;
        seen[1] = localIp;
        return ip == 1;
    });
    EXPECT_TRUE(IPv4Helper::isIPAddressExist(1, 2));
    EXPECT_EQ(seen[1], 2u);
    EXPECT_FALSE(IPv4Helper::isIPAddressExist(3, 2));
    IPv4Helper::setExistProbe(nullptr);
    EXPECT_FALSE(IPv4Helper::isIPAddressExist(1, 2));
}

TEST(Crc, StandardCrc32AsEightHexDigits) {
    using namespace utils::algorithm::crc;
    const std::pair<std::string, const char*> cases[] = {
        {"123456789", "CBF43926"}, {"", "00000000"}, {"&", "000F6A70"}};  // leading zeros kept
    for (const auto& [data, hex] : cases) {
        EXPECT_EQ(crcHexString(CRC32_STANDARD, reinterpret_cast<const uint8_t*>(data.data()), data.size()), hex);
    }
    EXPECT_EQ(crcHexString(CRC32_STANDARD, nullptr, 5), "00000000");
}

TEST(Text, FormatIsNotTruncatedAndScanCountsAssignments) {
    const std::string longText(3000, 'y');
    EXPECT_EQ(utils::format("<%s>%02X", longText.c_str(), 10), "<" + longText + ">0A");
    EXPECT_EQ(utils::format("%s", ""), "");
    unsigned char mac[3] = {};
    EXPECT_EQ(utils::sscanf("00-1f-A2", "%02hhx-%02hhx-%02hhx", &mac[0], &mac[1], &mac[2]), 3);
    EXPECT_EQ(Bytes(mac, mac + 3), (Bytes{0x00, 0x1F, 0xA2}));
    int value = 0;
    EXPECT_EQ(utils::sscanf("", "%d", &value), EOF);
    EXPECT_EQ(utils::sscanf("x", "%d", &value), 0);
}

// The centre rounds half up, the largest resolution without overflow; no field size keeps the scale.
TEST(GalvoParam, SetResolutionDerivesCentreAndScale) {
    const std::tuple<double, int32_t, int32_t, double> cases[] = {{100.0, 65535, 32768, 655.35},
                                                                  {160.0, 1, 1, 0.00625},
                                                                  {50.0, INT32_MAX, 1073741824, INT32_MAX / 50.0},
                                                                  {0.0, 1000, 500, 12.5},
                                                                  {-10.0, 1000, 500, 12.5}};
    for (const auto& [fieldSize, resolution, center, scale] : cases) {
        GalvoParam galvo;
        galvo.fieldSize = fieldSize;
        galvo.scale = 12.5;
        galvo.setResolution(resolution);
        EXPECT_EQ(std::make_tuple(galvo.resolution, galvo.center, galvo.scale),
                  std::make_tuple(resolution, center, scale));
    }
}

// An hour of real sleeping would stall the run visibly; after the hook is removed, sleep is real.
TEST(Thread, HookReceivesEveryPauseInsteadOfSleeping) {
    std::vector<uint32_t> pauses;
    utils::Thread::setSleepHook([&pauses](uint32_t ms) { pauses.push_back(ms); });
    utils::Thread::sleep(3600000);
    utils::Thread::sleep(0);
    utils::Thread::setSleepHook(nullptr);
    utils::Thread::sleep(1);
    EXPECT_EQ(pauses, (std::vector<uint32_t>{3600000, 0}));
}

}  // namespace
