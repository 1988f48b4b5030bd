#include "executor/cmd/kest_cmd.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "cmd/packet_pool.h"
#include "cmd/packet_writer.h"
#include "support/bytes.h"

namespace {

Bytes wireOf(const KestCmd& cmd) { return Bytes(cmd.m_data, cmd.m_data + cmd.m_len); }

const uint8_t kSrc[3] = {1, 2, 3};

}  // namespace

TEST(KestCmd, HeadersAndResizing) {
    EXPECT_EQ(wireOf(KestCmd(0x0205, false)), (Bytes{0x02, 0x05, 4, 0}));
    EXPECT_EQ(wireOf(KestCmd(0xAA10, true)), pkt(0xAA10));                      // immediate: no length byte
    EXPECT_EQ(wireOf(*makeListPacket(0xAAC0, 304)), pkt(0xAAC0, {0x30}, 304));  // the length byte keeps the low bits
    EXPECT_EQ(wireOf(*makeImmediatePacket(0xAA23, 16)), pkt(0xAA23, {}, 16));
    KestCmd list(0x0241, false);
    list.m_flag = 0x5A;
    list.resize(14, true);
    list.setBytes(0, kSrc, 1, true);
    list.resize(14, true);  // drops the payload, keeps the flag
    EXPECT_EQ(wireOf(list), pkt(0x0241, {18, 0x5A}, 18));
    list.resize(0, true);
    EXPECT_EQ(wireOf(list), (Bytes{0x02, 0x41, 4, 0x5A}));
    KestCmd immediate(0xAAD3, true);
    immediate.resize(36, false);
    EXPECT_EQ(wireOf(immediate), pkt(0xAAD3, {}, 40));
}

// Writes stay inside the packet; host numbers turn big-endian unless raw.
TEST(KestCmd, FieldsLandAtTheirOffsets) {
    const uint32_t value = 0x12345678;
    const auto* raw = reinterpret_cast<const uint8_t*>(&value);
    auto c = makeListPacket(0x0100, 12);
    c->setBytes(0, raw, 4, false);
    c->setBytes(4, raw, 4, true);
    EXPECT_EQ(slice(wireOf(*c), 4, 8), (Bytes{0x12, 0x34, 0x56, 0x78, raw[0], raw[1], raw[2], raw[3]}));

    c = makeListPacket(0x0100, 8);
    c->setBytes(2, kSrc, 3, true);   // would end at 9
    c->setBytes(-1, kSrc, 1, true);  // before the payload
    c->setBytes(1, kSrc, 3, false);  // ends exactly at 8
    c->setParam3(0x1111);            // bytes 6-7 fit
    c->setParam4(0x2222);            // bytes 8-9 do not
    EXPECT_EQ(wireOf(*c), (Bytes{0x01, 0x00, 8, 0, 0, 3, 0x11, 0x11}));

    c = makeListPacket(0x0100, 6);
    c->setBit(1, 7, true);
    c->setBit(1, 0, true);
    c->setBit(1, 0, false);
    c->setBit(2, 0, true);  // beyond the packet
    c->setBit(0, 8, true);  // no such bit
    EXPECT_EQ(wireOf(*c), (Bytes{0x01, 0x00, 6, 0, 0x00, 0x80}));
    EXPECT_EQ(c->m_data[6], 0);  // the inline buffer behind the packet stays untouched

    KestCmd params(0xAA10, true);
    params.setParam2(0x0203);
    params.setParam4(0x0607);
    EXPECT_EQ(wireOf(params), pkt(0xAA10, {0, 0, 2, 3, 0, 0, 6, 7}));

    c = makeListPacket(0x0241, 18);
    PacketWriter(*c).be16(4, 0x2710).be24(8, 0xFFFFFFFF).be32(11, 0x01020304).le32(14, 0xA1B2C3D4).bit(17, 3, true);
    PacketWriter(*c).be32(16, 0xDEADBEEF);  // overrun: skipped
    EXPECT_EQ(wireOf(*c),
              (Bytes{0x02, 0x41, 18, 0, 0x27, 0x10, 0, 0, 0xFF, 0xFF, 0xFF, 1, 2, 3, 0xD4, 0xC3, 0xB2, 0xA9}));
}

// A recycled packet or a buffer reused across resizes must not leak bytes of its past life.
TEST(KestCmd, ResizingAcrossTheInlineCapacityStartsFromZeros) {
    const Bytes ones(64, 0xFF);
    const int inlinePayload = KestCmd::kInlineCapacity - KestCmd::kHeaderLen;
    for (int payload : {inlinePayload, inlinePayload + 1, 4, inlinePayload + 1, inlinePayload}) {
        auto cmd = makeListPacket(0x0100, 4);
        cmd->resize(static_cast<uint16_t>(payload), true);
        EXPECT_EQ(wireOf(*cmd), pkt(0x0100, {static_cast<uint8_t>(payload + 4)}, static_cast<size_t>(payload) + 4));
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
    EXPECT_EQ(makeListPacket(0x0200, 18).get(), address);
    std::vector<std::unique_ptr<KestCmd>> many;
    for (size_t i = 0; i < packet_pool::kMaxCached + 10; ++i) many.push_back(makeListPacket(0x0100, 8));
    many.clear();
    EXPECT_EQ(packet_pool::cachedBlocks(), packet_pool::kMaxCached);
}
