#include "executor/cmd/kest_cmd.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "cmd/packet_pool.h"
#include "cmd/packet_writer.h"
#include "cmd/wire.h"
#include "support/fake_transfer.h"

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

namespace {

Bytes wireOf(const KestCmd& cmd) { return Bytes(cmd.m_data, cmd.m_data + cmd.m_len); }

}  // namespace

TEST(KestCmd, FreshListPacketIsBareHeader) {
    KestCmd cmd(0x0205, false);
    EXPECT_EQ(cmd.m_len, 4);
    EXPECT_FALSE(cmd.m_immediate);
    EXPECT_THAT(wireOf(cmd), ElementsAre(0x02, 0x05, 0x04, 0x00));
}

TEST(KestCmd, ImmediatePacketHasNoLengthByte) {
    KestCmd cmd(0xAA10, true);
    EXPECT_EQ(cmd.m_len, 12);
    EXPECT_THAT(wireOf(cmd), ElementsAre(0xAA, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0));
}

TEST(KestCmd, ResizeWritesHeaderAndDropsPayload) {
    KestCmd cmd(0x0241, false);
    cmd.m_flag = 0x5A;
    cmd.resize(14, true);
    const uint8_t v = 0x77;
    cmd.setBytes(0, &v, 1, true);
    cmd.resize(14, true);  // earlier payload is gone
    EXPECT_EQ(cmd.m_len, 18);
    EXPECT_THAT(wireOf(cmd), ElementsAre(0x02, 0x41, 18, 0x5A, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0));

    cmd.resize(0, true);
    EXPECT_THAT(wireOf(cmd), ElementsAre(0x02, 0x41, 4, 0x5A));
}

TEST(KestCmd, ResizeWithoutHeaderKeepsParameterBytesZero) {
    KestCmd cmd(0xAAD3, true);
    cmd.resize(36, false);
    EXPECT_EQ(cmd.m_len, 40);
    EXPECT_EQ(cmd.m_data[2], 0);
    EXPECT_EQ(cmd.m_data[3], 0);
}

TEST(KestCmd, LengthByteCarriesOnlyLowBitsOfLongPackets) {
    KestCmd cmd(0xAAC0, false);
    cmd.resize(300, true);  // 304 bytes in all
    EXPECT_EQ(cmd.m_len, 304);
    EXPECT_EQ(cmd.m_data[2], 304 & 0xFF);
}

TEST(KestCmd, SetBytesTurnsHostNumbersBigEndianUnlessRaw) {
    const uint32_t value = 0x12345678;
    KestCmd cmd(0x0100, false);
    cmd.resize(8, true);
    cmd.setBytes(0, reinterpret_cast<const uint8_t*>(&value), 4, false);
    cmd.setBytes(4, reinterpret_cast<const uint8_t*>(&value), 4, true);
    Bytes wire = wireOf(cmd);
    EXPECT_THAT(Bytes(wire.begin() + 4, wire.begin() + 8), ElementsAre(0x12, 0x34, 0x56, 0x78));
    Bytes inMemory(reinterpret_cast<const uint8_t*>(&value), reinterpret_cast<const uint8_t*>(&value) + 4);
    EXPECT_THAT(Bytes(wire.begin() + 8, wire.end()), ElementsAreArray(inMemory));
}

TEST(KestCmd, SetBytesStopsAtThePacketEnd) {
    const uint8_t src[3] = {1, 2, 3};
    KestCmd cmd(0x0100, false);
    cmd.resize(4, true);             // 8 bytes: payload offsets 0..3
    cmd.setBytes(2, src, 3, true);   // would end at 9: skipped
    cmd.setBytes(-1, src, 1, true);  // before the payload: skipped
    EXPECT_THAT(wireOf(cmd), ElementsAre(0x01, 0x00, 8, 0, 0, 0, 0, 0));
    cmd.setBytes(1, src, 3, true);  // ends exactly at 8
    EXPECT_THAT(wireOf(cmd), ElementsAre(0x01, 0x00, 8, 0, 0, 1, 2, 3));
}

TEST(KestCmd, SetBitTouchesOnlyItsBitInsideThePacket) {
    KestCmd cmd(0x0100, false);
    cmd.resize(2, true);
    cmd.setBit(1, 7, true);
    cmd.setBit(1, 0, true);
    cmd.setBit(1, 0, false);
    cmd.setBit(2, 0, true);  // beyond the packet
    cmd.setBit(0, 8, true);  // no such bit
    EXPECT_THAT(wireOf(cmd), ElementsAre(0x01, 0x00, 6, 0, 0x00, 0x80));
}

TEST(KestCmd, ParameterWordsAreBigEndianAndBoundsChecked) {
    KestCmd cmd(0xAA10, true);
    cmd.setParam1(0x0001);
    cmd.setParam5(0xBEEF);
    EXPECT_THAT(wireOf(cmd), ElementsAre(0xAA, 0x10, 0x00, 0x01, 0, 0, 0, 0, 0, 0, 0xBE, 0xEF));

    KestCmd shortCmd(0x0100, false);
    shortCmd.resize(4, true);    // 8 bytes
    shortCmd.setParam3(0x1111);  // bytes 6-7 fit
    shortCmd.setParam4(0x2222);  // bytes 8-9 do not
    EXPECT_THAT(wireOf(shortCmd), ElementsAre(0x01, 0x00, 8, 0, 0, 0, 0x11, 0x11));
}

TEST(PacketWriter, WritesFieldsAtWireOffsetsAndSkipsOverruns) {
    auto cmd = makeListPacket(0x0241, 18);
    PacketWriter(*cmd)
        .be16(4, 0x2710)
        .be24(8, 0xFFFFFFFF)  // -1 keeps its low 24 bits
        .be32(11, 0x01020304)
        .le32(14, 0xA1B2C3D4)
        .bit(17, 3, true)
        .be32(16, 0xDEADBEEF);  // would pass the end
    EXPECT_THAT(wireOf(*cmd), ElementsAre(0x02, 0x41, 18, 0, 0x27, 0x10, 0, 0, 0xFF, 0xFF, 0xFF, 0x01, 0x02, 0x03, 0xD4,
                                          0xC3, 0xB2, 0xA9));
}

TEST(PacketWriter, ImmediatePacketsLongerThanTwelveKeepParameterBytes) {
    auto cmd = makeImmediatePacket(0xAA23, 16);
    EXPECT_EQ(cmd->m_len, 16);
    EXPECT_TRUE(cmd->m_immediate);
    EXPECT_THAT(Bytes(cmd->m_data, cmd->m_data + 4), ElementsAre(0xAA, 0x23, 0, 0));
}

// A recycled packet or a buffer reused across resizes must not leak bytes of its past life.
TEST(KestCmd, ResizingAcrossTheInlineCapacityStartsFromZeros) {
    const Bytes ones(64, 0xFF);
    const int inlinePayload = KestCmd::kInlineCapacity - KestCmd::kHeaderLen;
    for (int payload : {inlinePayload, inlinePayload + 1, 4, inlinePayload + 1, inlinePayload}) {
        auto cmd = makeListPacket(0x0100, 4);
        cmd->resize(static_cast<uint16_t>(payload), true);
        EXPECT_EQ(wireOf(*cmd), [&] {
            Bytes expected(static_cast<size_t>(payload) + 4, 0);
            expected[0] = 0x01;
            expected[2] = static_cast<uint8_t>(payload + 4);
            return expected;
        }()) << payload;
        cmd->setBytes(0, ones.data(), payload, true);  // dirty it for the next round
    }
}

TEST(PacketPool, DestroyedPacketsAreReusedAndTheCacheIsBounded) {
    if (!packet_pool::kEnabled) GTEST_SKIP() << "the pool is off under AddressSanitizer";
    auto first = makeListPacket(0x0100, 8);
    const KestCmd* address = first.get();
    const size_t cached = packet_pool::cachedBlocks();
    first.reset();
    EXPECT_EQ(packet_pool::cachedBlocks(), cached + 1);
    auto second = makeListPacket(0x0200, 18);
    EXPECT_EQ(second.get(), address);
    EXPECT_EQ(packet_pool::cachedBlocks(), cached);

    std::vector<std::unique_ptr<KestCmd>> many;
    for (size_t i = 0; i < packet_pool::kMaxCached + 10; ++i) many.push_back(makeListPacket(0x0100, 8));
    many.clear();
    EXPECT_EQ(packet_pool::cachedBlocks(), packet_pool::kMaxCached);
}

TEST(Wire, ReadersInvertWriters) {
    uint8_t b[4];
    wire::put24be(b, 0x123456);
    EXPECT_EQ(wire::get24be(b), 0x123456u);
    wire::put32le(b, 0x11223344);
    EXPECT_THAT(b, ElementsAre(0x44, 0x33, 0x22, 0x11));
    EXPECT_EQ(wire::get32le(b), 0x11223344u);
    EXPECT_EQ(wire::get32be(b), 0x44332211u);
    wire::put16le(b, 0xABCD);
    EXPECT_EQ(wire::get16le(b), 0xABCD);
    EXPECT_EQ(wire::get16be(b), 0xCDAB);
}
