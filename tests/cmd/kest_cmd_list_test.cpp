#include "executor/cmd/kest_cmd_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <thread>
#include <utility>
#include <vector>

#include "cmd/packet_writer.h"
#include "support/bytes.h"

namespace {

// A list packet of `total` bytes whose payload bytes all hold `fill`.
KestCmd* packet(uint16_t opcode, uint16_t total, uint8_t fill = 0) {
    auto cmd = makeListPacket(opcode, total);
    for (int i = 4; i < total; ++i) cmd->m_data[i] = fill;
    return cmd.release();
}

// Counts its own destruction, so ownership can be checked.
struct CountedCmd : KestCmd {
    explicit CountedCmd(int* destroyed) : KestCmd(0x0100, false), m_destroyed(destroyed) { resize(8, true); }
    ~CountedCmd() override { ++*m_destroyed; }
    int* m_destroyed;
};

}  // namespace

TEST(KestCmdList, PushCountsWholeLengthsAndAtGuardsItsIndex) {
    KestCmdList list;
    EXPECT_EQ(list.push(packet(0x0100, 8)), 8u);
    EXPECT_EQ(list.push(packet(0x0101, 300)), 308u);  // the header byte says 44, the list counts 300
    EXPECT_EQ(list.push(nullptr), 308u);
    EXPECT_EQ(list.size(), 2);
    EXPECT_EQ(list.at(1)->m_cmd, 0x0101);
    for (int32_t bad : {2, -1}) EXPECT_THROW(list.at(bad), std::out_of_range) << bad;
}

// Packing takes whole packets from the head while they fit, pads short frames with zeros to 12
// bytes, and leaves the rest queued; an empty list gives no frame.
TEST(KestCmdList, PackFrames) {
    struct Row {
        const char* name;
        std::vector<std::pair<uint16_t, uint8_t>> queued;  // opcode, length; payload filled with the opcode's low byte
        uint32_t maxLen, packed, leftBytes;
    };
    const Row rows[] = {
        {"exact fit", {{0x0111, 8}, {0x0122, 12}}, 20, 2, 0},
        {"the first misfit ends the frame", {{0x01EE, 8}, {0x0102, 16}, {0x0103, 4}}, 20, 1, 20},
        {"oversized head: a zero frame, still queued", {{0x0100, 30}}, 20, 0, 30},
        {"empty list", {}, 500, 0, 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        KestCmdList list;
        Bytes expected;  // the first packed packets
        for (const auto& [opcode, total] : r.queued) {
            list.push(packet(opcode, total, static_cast<uint8_t>(opcode)));
            if (static_cast<uint32_t>(list.size()) > r.packed) continue;
            expected.insert(expected.end(), {uint8_t(opcode >> 8), uint8_t(opcode), total, 0});
            expected.insert(expected.end(), total - 4u, uint8_t(opcode));
        }
        expected.resize(r.queued.empty() ? 0 : std::max<size_t>(expected.size(), 12), 0);
        uint32_t length = 1234, packed = 99;
        std::unique_ptr<uint8_t[]> frame(list.packFrame(&length, r.maxLen, &packed));
        if (expected.empty()) {
            EXPECT_EQ(frame, nullptr);
            EXPECT_EQ(length, 1234u);
        } else {
            ASSERT_NE(frame, nullptr);
            EXPECT_EQ(Bytes(frame.get(), frame.get() + length), expected);
            EXPECT_EQ(frame[length], 0);  // the spare byte behind the frame
        }
        EXPECT_EQ(packed, r.packed);
        EXPECT_EQ(list.size(), static_cast<int>(r.queued.size() - r.packed));
        EXPECT_EQ(list.totalBytes(), r.leftBytes);
    }
}

TEST(KestCmdList, ThePackerClearAndDestructorDestroyEveryPacketOnce) {
    int destroyed = 0;
    auto list = std::make_unique<KestCmdList>();
    for (int i = 0; i < 6; ++i) list->push(new CountedCmd(&destroyed));
    uint32_t length = 0;
    std::unique_ptr<uint8_t[]> frame(list->packFrame(&length, 24));  // takes two 12-byte packets
    EXPECT_EQ(destroyed, 2);
    list->clear();
    EXPECT_EQ(std::make_pair(destroyed, list->totalBytes()), std::make_pair(6, 0u));
    for (int i = 0; i < 3; ++i) list->push(new CountedCmd(&destroyed));
    list.reset();
    EXPECT_EQ(destroyed, 9);
}

TEST(KestCmdList, ConcurrentQueueingAndPackingLoseNothing) {
    KestCmdList list;
    constexpr int kPackets = 20000;
    std::thread producer([&] {
        for (int i = 0; i < kPackets; ++i) list.push(makeListPacket(static_cast<uint16_t>(i), 8).release());
    });
    std::vector<uint16_t> seen;
    while (seen.size() < kPackets) {
        uint32_t length = 0;
        std::unique_ptr<uint8_t[]> frame(list.packFrame(&length, 1000));
        for (uint32_t off = 0; frame && off + 8 <= length && frame[off + 2] != 0; off += 8)
            seen.push_back(static_cast<uint16_t>(frame[off] << 8 | frame[off + 1]));
    }
    producer.join();
    for (int i = 0; i < kPackets; ++i) ASSERT_EQ(seen[static_cast<size_t>(i)], static_cast<uint16_t>(i));
    EXPECT_EQ(list.totalBytes(), 0u);
}
