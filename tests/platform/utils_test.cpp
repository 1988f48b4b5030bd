#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "executor/platform/byte_order.h"
#include "executor/platform/ipv4_helper.h"
#include "executor/platform/param.h"
#include "executor/platform/text.h"

// CRC, the address probe and the sleep hook are checked where they are used (user data, binding,
// every harness); what is left here nothing else compares.
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
    EXPECT_EQ(memoryBytes(utils::ut_htons(0x12AB)), (Bytes{0x12, 0xAB}));
    EXPECT_EQ(memoryBytes(utils::ut_htonl(0xA1B2C3D4)), (Bytes{0xA1, 0xB2, 0xC3, 0xD4}));
}

TEST(IPv4Helper, DottedQuadsParseIntoNetworkOrderOrLeaveTheOutputAlone) {
    const std::pair<const char*, Bytes> cases[] = {{"0.0.0.0", {0, 0, 0, 0}},
                                                   {"010.001.000.0255", {10, 1, 0, 255}},
                                                   {"1.2.3", {}},
                                                   {"1.2.3.4.5", {}},
                                                   {"1.2.3.256", {}},
                                                   {"4294967297.1.1.1", {}},
                                                   {"1..2.3", {}},
                                                   {"1.2.3.4.", {}},
                                                   {" 1.2.3.4", {}},
                                                   {"+1.2.3.4", {}},
                                                   {"1.2.3./", {}},
                                                   {"1.2.3.:", {}}};
    for (const auto& [text, bytes] : cases) {
        uint32_t out = 0xDEADBEEF;
        EXPECT_EQ(IPv4Helper::strIP2NetworkInt(text, out), !bytes.empty()) << text;
        EXPECT_EQ(memoryBytes(out), bytes.empty() ? memoryBytes(0xDEADBEEF) : bytes) << text;
    }
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
}

// The centre rounds half up, the largest resolution without overflow; no field size keeps the scale.
TEST(GalvoParam, SetResolutionDerivesCentreAndScale) {
    const std::tuple<double, int32_t, int32_t, double> cases[] = {
        {160.0, 1, 1, 0.00625}, {50.0, INT32_MAX, 1073741824, INT32_MAX / 50.0}, {0.0, 1000, 500, 12.5}};
    for (const auto& [fieldSize, resolution, center, scale] : cases) {
        GalvoParam galvo;
        galvo.fieldSize = fieldSize;
        galvo.scale = 12.5;
        galvo.setResolution(resolution);
        EXPECT_EQ(std::make_tuple(galvo.resolution, galvo.center, galvo.scale),
                  std::make_tuple(resolution, center, scale));
    }
}

}  // namespace
