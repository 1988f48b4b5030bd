#include "executor/cmd/kest_cmd_list.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <thread>

#include "cmd/packet_writer.h"
#include "support/fake_transfer.h"

using ::testing::Each;
using ::testing::ElementsAre;

namespace {

// A list packet of `total` bytes whose payload bytes all hold `fill`.
KestCmd* packet(uint16_t opcode, uint16_t total, uint8_t fill = 0) {
    auto cmd = makeListPacket(opcode, total);
    for (int i = 4; i < total; ++i) cmd->m_data[i] = fill;
    return cmd.release();
}

struct Frame {
    std::unique_ptr<uint8_t[]> bytes;
    uint32_t length = 0;
    Bytes view() const { return bytes ? Bytes(bytes.get(), bytes.get() + length) : Bytes(); }
};

Frame pack(KestCmdList& list, uint32_t maxLen) {
    Frame f;
    f.bytes.reset(list.packFrame(&f.length, maxLen));
    return f;
}

}  // namespace

TEST(KestCmdList, PushKeepsARunningTotalOfWholeLengths) {
    KestCmdList list;
    EXPECT_EQ(list.push(packet(0x0100, 8)), 8u);
    EXPECT_EQ(list.push(packet(0x0101, 300)), 308u);  // the header byte says 44, the list counts 300
    EXPECT_EQ(list.size(), 2);
    EXPECT_EQ(list.totalBytes(), 308u);
    EXPECT_EQ(list.push(nullptr), 308u);
    EXPECT_EQ(list.size(), 2);
}

TEST(KestCmdList, AtThrowsForIndicesOutsideTheQueue) {
    KestCmdList list;
    list.push(packet(0x0100, 8));
    EXPECT_EQ(list.at(0)->m_cmd, 0x0100);
    for (int32_t bad : {1, -1, 1000}) {
        try {
            list.at(bad);
            FAIL() << "index " << bad << " accepted";
        } catch (const std::out_of_range& e) {
            EXPECT_STREQ(e.what(), "invalid vector<T> subscript");
        }
    }
}

TEST(KestCmdList, PackTakesWholePacketsInOrderUntilOneDoesNotFit) {
    KestCmdList list;
    list.push(packet(0x0101, 8, 0x11));
    list.push(packet(0x0102, 8, 0x22));
    list.push(packet(0x0103, 10, 0x33));
    Frame f = pack(list, 20);
    EXPECT_THAT(f.view(),
                ElementsAre(0x01, 0x01, 8, 0, 0x11, 0x11, 0x11, 0x11, 0x01, 0x02, 8, 0, 0x22, 0x22, 0x22, 0x22));
    EXPECT_EQ(list.size(), 1);
    EXPECT_EQ(list.totalBytes(), 10u);
    EXPECT_EQ(list.at(0)->m_cmd, 0x0103);
}

TEST(KestCmdList, FirstPacketThatDoesNotFitEndsTheFrameEvenIfALaterOneWould) {
    KestCmdList list;
    list.push(packet(0x0101, 8));
    list.push(packet(0x0102, 16));
    list.push(packet(0x0103, 4));
    uint32_t packed = 99;
    uint32_t length = 0;
    std::unique_ptr<uint8_t[]> frame(list.packFrame(&length, 20, &packed));
    EXPECT_EQ(packed, 1u);
    EXPECT_EQ(length, 12u);  // 8 bytes raised to the minimum
    EXPECT_EQ(list.size(), 2);
}

TEST(KestCmdList, ShortFramesArePaddedWithZerosToTwelve) {
    KestCmdList list;
    list.push(packet(0x0205, 8, 0xEE));
    Frame f = pack(list, 500);
    EXPECT_EQ(f.length, 12u);
    EXPECT_THAT(f.view(), ElementsAre(0x02, 0x05, 8, 0, 0xEE, 0xEE, 0xEE, 0xEE, 0, 0, 0, 0));
    EXPECT_EQ(f.bytes[12], 0);  // the spare byte behind the frame
}

TEST(KestCmdList, OversizedHeadYieldsAZeroFrameAndStaysQueued) {
    KestCmdList list;
    list.push(packet(0x0100, 30));
    uint32_t packed = 99;
    uint32_t length = 0;
    std::unique_ptr<uint8_t[]> frame(list.packFrame(&length, 20, &packed));
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(packed, 0u);
    EXPECT_EQ(length, 12u);
    EXPECT_THAT(Bytes(frame.get(), frame.get() + 12), Each(0));
    EXPECT_EQ(list.size(), 1);
    EXPECT_EQ(list.totalBytes(), 30u);
}

TEST(KestCmdList, EmptyListGivesNoFrameAndLeavesTheLengthAlone) {
    KestCmdList list;
    uint32_t length = 1234;
    EXPECT_EQ(list.packFrame(&length, 500), nullptr);
    EXPECT_EQ(length, 1234u);
}

TEST(KestCmdList, DrainingAndClearingEmptyTheList) {
    KestCmdList list;
    for (int i = 0; i < 5; ++i) list.push(packet(0x0100, 10));
    Frame all = pack(list, 1000);
    EXPECT_EQ(all.length, 50u);
    EXPECT_EQ(list.size(), 0);
    EXPECT_EQ(list.totalBytes(), 0u);

    for (int i = 0; i < 5; ++i) list.push(packet(0x0100, 10));
    list.clear();
    EXPECT_EQ(list.size(), 0);
    EXPECT_EQ(list.totalBytes(), 0u);
}

// Counts its own destruction, so ownership can be checked.
struct CountedCmd : KestCmd {
    explicit CountedCmd(int* destroyed) : KestCmd(0x0100, false), m_destroyed(destroyed) { resize(8, true); }
    ~CountedCmd() override { ++*m_destroyed; }
    int* m_destroyed;
};

TEST(KestCmdList, ThePackerClearAndDestructorDestroyEveryPacketOnce) {
    int destroyed = 0;
    auto list = std::make_unique<KestCmdList>();
    for (int i = 0; i < 6; ++i) list->push(new CountedCmd(&destroyed));
    Frame f = pack(*list, 24);  // takes two 12-byte packets
    EXPECT_EQ(destroyed, 2);
    list->clear();
    EXPECT_EQ(destroyed, 6);
    for (int i = 0; i < 3; ++i) list->push(new CountedCmd(&destroyed));
    list.reset();
    EXPECT_EQ(destroyed, 9);
}

TEST(KestCmdList, ConcurrentQueueingAndPackingLoseNothing) {
    KestCmdList list;
    constexpr int kPackets = 20000;
    std::thread producer([&] {
        for (int i = 0; i < kPackets; ++i) {
            auto cmd = makeListPacket(static_cast<uint16_t>(i), 8);
            list.push(cmd.release());
        }
    });
    std::vector<uint16_t> seen;
    while (seen.size() < kPackets) {
        Frame f = pack(list, 1000);
        if (!f.bytes) continue;
        for (uint32_t off = 0; off + 8 <= f.length; off += 8) {
            if (f.bytes[off + 2] == 0) break;  // padding
            seen.push_back(static_cast<uint16_t>(f.bytes[off] << 8 | f.bytes[off + 1]));
        }
    }
    producer.join();
    ASSERT_EQ(seen.size(), static_cast<size_t>(kPackets));
    for (int i = 0; i < kPackets; ++i) ASSERT_EQ(seen[static_cast<size_t>(i)], static_cast<uint16_t>(i));
    EXPECT_EQ(list.totalBytes(), 0u);
}
