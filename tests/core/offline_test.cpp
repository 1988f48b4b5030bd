#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/bytes.h"
#include "support/harness.h"

using ::testing::Each;
using ::testing::ElementsAre;

// Waiting out a busy flash is walked on the simulated board.

namespace {

// An offline-mode executor on a healthy board, and what it wrote to flash.
struct Offline : ::testing::Test, Running7 {
    Offline() { executor->setOfflineMode(true); }
    Bytes image() {
        Bytes out;
        for (const Bytes& r : transfer.requestsFor(op7::kOfflineWritePage))
            out.insert(out.end(), r.begin() + 8, r.end());
        return out;
    }
    SdkError download() {
        SdkError err = SDK_OK;
        EXPECT_TRUE(executor->OfflineDownload(err));
        return err;
    }
};

}  // namespace

TEST_F(Offline, RefusalsAndTheirCodes) {
    SdkError err = SDK_OK;
    EXPECT_FALSE(executor->OfflineDownload(err));
    EXPECT_EQ(err, SDK_OFFLINE_NO_DATA);
    e7().sendSramBack();
    executor->setSRamMaxSize(4);  // the queued 8 bytes no longer fit
    EXPECT_FALSE(executor->OfflineDownload(err));
    EXPECT_EQ(err, SDK_OFFLINE_TOO_BIG);
    transfer.directLink = false;
    EXPECT_FALSE(executor->OfflineDownload(err));
    EXPECT_EQ(err, SDK_BIND_FAIL);
    executor->setEnable(false);
    EXPECT_EQ(download(), SDK_OK);  // disabled: nothing done, nothing said
    executor->setOfflineMode(false);
    EXPECT_FALSE(executor->OfflineDownload(err));
    EXPECT_EQ(err, SDK_NOT_OFFLINE);
    EXPECT_TRUE(transfer.requestsFor(op7::kOfflineWritePage).empty());
}

// 125 x 8 = 1000 bytes + 24 x FF = 1024: four whole pages after one sector erase.
TEST_F(Offline, ImageIsPagedWithAnErasedTail) {
    for (uint32_t i = 1; i <= 125; ++i) e7().sendDelayTime(i);
    EXPECT_EQ(download(), SDK_OK);
    EXPECT_THAT(transfer.requestsFor(op7::kOfflineClearFile), ElementsAre(pkt(0xAAA4, {0, 0, 0x20})));
    std::vector<Bytes> heads;
    for (const Bytes& r : transfer.requestsFor(op7::kOfflineWritePage)) heads.push_back(slice(r, 4, 4));
    EXPECT_THAT(heads, ElementsAre(Bytes{0, 4, 0, 1}, Bytes{0, 4, 0, 2}, Bytes{0, 4, 0, 3}, Bytes{0, 4, 0, 4}));
    ASSERT_EQ(image().size(), 1024u);
    EXPECT_THAT(slice(image(), 0, 8), ElementsAre(0x0A, 0x00, 8, 0, 0, 0, 0, 2));
    EXPECT_THAT(slice(image(), 1000, 24), Each(0xFF));
}

TEST_F(Offline, DocumentTablePatchesTheDocumentPackets) {
    e7().sendOfflineParam({{0x01020304, 0x1000}});
    executor->setOfflineDocIndex(8);  // entry 0: 80 bytes queued
    e7().sendDelayTime(1);
    executor->setOfflineDocIndex(9);  // entry 1: 88
    e7().sendSramBack();              // back to the body after the table: 80 / 2
    EXPECT_EQ(download(), SDK_OK);
    const Bytes all = image();
    EXPECT_THAT(slice(all, 0, 20),
                ElementsAre(0x02, 0x60, 20, 0, 0x04, 0x03, 0x02, 0x01, 0, 0, 0, 40, 0, 0, 0, 0, 0, 0, 0, 44));
    EXPECT_THAT(slice(all, 20, 4), ElementsAre(0x02, 0x61, 20, 0));
    EXPECT_THAT(slice(all, 88, 8), ElementsAre(0x02, 0x92, 8, 0, 0, 0, 0, 40));
}

TEST(Offline7, ParameterPacketsWithoutADocumentTable) {
    Running7 h;
    std::vector<OfflineParam> ten(10, OfflineParam{7, 2});
    ten[0] = {0x01020304, 0x1000};
    h.e7().sendOfflineParam(ten);
    h.e7().sendOfflineParam({});
    h.e7().sendOfflineBlock(0x0102, 0x0A0B0C0D, true);
    h.e7().sendOfflineStopIo(0x11223344, 5);
    h.e7().sendOfflineWarnIo(1, 2, 3, 0x04030201);
    auto packets = h.flushPackets();
    ASSERT_EQ(packets.size(), 11u);
    EXPECT_EQ(packets[0], pkt(0x0260, {20, 0, 0x04, 0x03, 0x02, 0x01, 0, 0, 0x08, 0x00, 7, 0, 0, 0, 0, 0, 0, 1}, 20));
    EXPECT_EQ(packets[3], pkt(0x0263, {20, 0, 7, 0, 0, 0, 0, 0, 0, 1, 7, 0, 0, 0, 0, 0, 0, 1}, 20));
    EXPECT_THAT(slice(packets[4], 4, 16), Each(0));
    EXPECT_EQ(packets[8], pkt(0x0291, {12, 0, 0x0D, 0x0C, 0x0B, 0x0A, 0x01, 0x02, 0x01}));
    EXPECT_EQ(packets[9], pkt(0x0293, {12, 0, 0x44, 0x33, 0x22, 0x11, 5}));
    EXPECT_EQ(packets[10], pkt(0x0294, {20, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 1, 2, 3, 4}, 20));
}

// Sector alignment of erases is refused with the other input limits.
TEST(Offline7, FlashCommandsCheckAlignmentAndRamSize) {
    struct Probe : Executor7 {
        using Executor7::setOfflineWriteOnePage;
    };
    Harness h(std::make_unique<Probe>());
    auto& probe = static_cast<Probe&>(*h.executor);
    const uint8_t page[256] = {};
    EXPECT_FALSE(probe.setOfflineWriteOnePage(1, 1, 0x80, page, 256));
    EXPECT_FALSE(probe.setOfflineWriteOnePage(1, 1, 0x100, page, 100));
    EXPECT_FALSE(probe.setOfflineWriteOnePage(1, 1, 0x800000, page, 256));
    EXPECT_FALSE(probe.setOfflineWriteOnePage(1, 1, 0, nullptr, 256));
    EXPECT_TRUE(h.transfer.exchanges.empty());
    EXPECT_TRUE(probe.setOfflineClearFile(0x7FF000));
    EXPECT_THAT(h.transfer.requests(), ElementsAre(pkt(0xAAA4, {0, 0, 0x20, 0x7F, 0xF0})));

    h.transfer.answer(op7::kOfflineRamSize, replyWith(8, {{5, 0x10}}));
    uint32_t size = 0;
    EXPECT_TRUE(probe.getOfflineRamSize(size));
    EXPECT_EQ(size, 0x100000u);
    h.transfer.answer(op7::kOfflineRamSize, replyWith(8, {{2, 1}}));
    EXPECT_FALSE(probe.getOfflineRamSize(size));
    EXPECT_EQ(size, 0x100000u);
}
