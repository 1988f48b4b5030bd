#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/bytes.h"
#include "support/harness.h"

using ::testing::Each;
using ::testing::ElementsAre;

namespace {

// Pages written to flash, in order: (page count, page number, data).
struct Page {
    uint16_t count;
    uint16_t number;
    Bytes data;
};

std::vector<Page> pages(const FakeTransfer& t) {
    std::vector<Page> out;
    for (const Bytes& r : t.requestsFor(op7::kOfflineWritePage))
        out.push_back(Page{static_cast<uint16_t>(r[4] << 8 | r[5]), static_cast<uint16_t>(r[6] << 8 | r[7]),
                           Bytes(r.begin() + 8, r.end())});
    return out;
}

Bytes image(const FakeTransfer& t) {
    Bytes out;
    for (const Page& p : pages(t)) out.insert(out.end(), p.data.begin(), p.data.end());
    return out;
}

// An offline-mode executor on a healthy board.
struct OfflineHarness : Harness {
    OfflineHarness() {
        running7();
        executor->setOfflineMode(true);
    }
    bool download(SdkError& err) { return executor->OfflineDownload(err); }
};

}  // namespace

TEST(OfflineDownload, RefusalsAndTheirCodes) {
    Running7 h;
    SdkError err = SDK_OK;
    EXPECT_FALSE(h.executor->OfflineDownload(err));
    EXPECT_EQ(err, SDK_NOT_OFFLINE);

    h.executor->setOfflineMode(true);
    err = SDK_OK;
    EXPECT_FALSE(h.executor->OfflineDownload(err));
    EXPECT_EQ(err, SDK_OFFLINE_NO_DATA);
    EXPECT_TRUE(h.log.contains("Executor::OfflineDownload no data to download"));

    h.e7().sendSramBack();
    h.executor->setSRamMaxSize(4);  // the queued 8 bytes no longer fit
    EXPECT_FALSE(h.executor->OfflineDownload(err));
    EXPECT_EQ(err, SDK_OFFLINE_TOO_BIG);
    EXPECT_TRUE(h.log.contains("Executor::OfflineDownload cmdlist size big than sram size"));

    h.transfer.directLink = false;
    EXPECT_FALSE(h.executor->OfflineDownload(err));
    EXPECT_EQ(err, SDK_BIND_FAIL);
    EXPECT_TRUE(h.log.contains("Executor::OfflineDownload not bind"));

    h.executor->setEnable(false);
    err = SDK_OK;
    EXPECT_TRUE(h.executor->OfflineDownload(err));
    EXPECT_EQ(err, SDK_OK);
    EXPECT_TRUE(h.transfer.requestsFor(op7::kOfflineWritePage).empty());
}

TEST(OfflineDownload, ImageIsPagedWithAnErasedTail) {
    OfflineHarness h;
    for (int i = 0; i < 125; ++i) h.e7().sendDelayTime(static_cast<uint32_t>(i + 1));  // 125 x 8 = 1000 bytes
    SdkError err = SDK_OK;
    ASSERT_TRUE(h.download(err));
    // 1000 bytes + 24 x FF = 1024: four whole pages, one sector erase.
    EXPECT_THAT(h.transfer.requestsFor(op7::kOfflineClearFile),
                ElementsAre(ElementsAre(0xAA, 0xA4, 0, 0, 0x20, 0, 0, 0, 0, 0, 0, 0)));
    auto written = pages(h.transfer);
    ASSERT_EQ(written.size(), 4u);
    for (uint16_t i = 0; i < 4; ++i) {
        EXPECT_EQ(written[i].count, 4);
        EXPECT_EQ(written[i].number, i + 1);
        EXPECT_EQ(written[i].data.size(), 256u);
    }
    const Bytes all = image(h.transfer);
    EXPECT_THAT(slice(all, 0, 8), ElementsAre(0x0A, 0x00, 8, 0, 0, 0, 0, 2));
    EXPECT_THAT(slice(all, 1000, 24), Each(0xFF));
}

TEST(OfflineDownload, WaitsForTheFlashAfterEraseAndEachPage) {
    OfflineHarness h;
    h.e7().sendSramBack();
    const Bytes busy = replyWith(32, {{5, 0x02}, {12, 1}, {15, 0xFF}});
    const Bytes idle = stateReply7(4095, true);
    h.transfer.answerSequence(op7::kDevState, {busy, busy, idle});
    SdkError err = SDK_OK;
    ASSERT_TRUE(h.download(err));
    EXPECT_THAT(h.sleeps.pauses, ElementsAre(10, 10));
    ASSERT_EQ(pages(h.transfer).size(), 1u);
    // The 8-byte packet is padded to the 12-byte minimum; the tail and the rest of the page are erased bytes.
    const Bytes all = image(h.transfer);
    EXPECT_THAT(slice(all, 0, 12), ElementsAre(0x02, 0x92, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0));
    EXPECT_THAT(slice(all, 12, 244), Each(0xFF));
}

TEST(OfflineDownload, DocumentTablePatchesTheDocumentPackets) {
    OfflineHarness h;
    h.e7().sendOfflineParam({{0x01020304, 0x1000}});
    h.executor->setOfflineDocIndex(8);  // entry 0: 80 bytes queued
    h.e7().sendDelayTime(1);
    h.executor->setOfflineDocIndex(9);  // entry 1: 88
    h.e7().sendSramBack();              // back to the body after the table: 80 / 2
    SdkError err = SDK_OK;
    ASSERT_TRUE(h.download(err));
    const Bytes all = image(h.transfer);
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
    EXPECT_THAT(packets[0],
                ElementsAre(0x02, 0x60, 20, 0, 0x04, 0x03, 0x02, 0x01, 0, 0, 0x08, 0x00, 7, 0, 0, 0, 0, 0, 0, 1));
    EXPECT_THAT(packets[3], ElementsAre(0x02, 0x63, 20, 0, 7, 0, 0, 0, 0, 0, 0, 1, 7, 0, 0, 0, 0, 0, 0, 1));
    EXPECT_THAT(slice(packets[4], 4, 16), Each(0));
    EXPECT_THAT(packets[8], ElementsAre(0x02, 0x91, 12, 0, 0x0D, 0x0C, 0x0B, 0x0A, 0x01, 0x02, 0x01, 0));
    EXPECT_THAT(packets[9], ElementsAre(0x02, 0x93, 12, 0, 0x44, 0x33, 0x22, 0x11, 5, 0, 0, 0));
    EXPECT_THAT(packets[10], ElementsAre(0x02, 0x94, 20, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 1, 2, 3, 4));
}

TEST(Offline7, FlashCommandsCheckAlignmentAndRamSize) {
    Harness h;
    const uint8_t page[256] = {};
    EXPECT_FALSE(h.e7().setOfflineClearFile(0x800));
    EXPECT_FALSE(h.e7().setOfflineClearFile(0x800000));
    EXPECT_TRUE(h.e7().setOfflineClearFile(0x7FF000));
    EXPECT_THAT(h.transfer.requests().back(), ElementsAre(0xAA, 0xA4, 0, 0, 0x20, 0x7F, 0xF0, 0x00, 0, 0, 0, 0));
    h.transfer.exchanges.clear();

    struct Probe : Executor7 {
        using Executor7::setOfflineWriteOnePage;
    };
    Harness p(std::make_unique<Probe>());
    auto& probe = static_cast<Probe&>(*p.executor);
    EXPECT_FALSE(probe.setOfflineWriteOnePage(1, 1, 0x80, page, 256));
    EXPECT_FALSE(probe.setOfflineWriteOnePage(1, 1, 0x100, page, 100));
    EXPECT_FALSE(probe.setOfflineWriteOnePage(1, 1, 0x800000, page, 256));
    EXPECT_FALSE(probe.setOfflineWriteOnePage(1, 1, 0, nullptr, 256));  // no page to write
    EXPECT_TRUE(p.transfer.exchanges.empty());

    h.transfer.answer(op7::kOfflineRamSize, replyWith(8, {{4, 0x00}, {5, 0x10}, {6, 0x00}, {7, 0x00}}));
    uint32_t size = 0;
    EXPECT_TRUE(h.e7().getOfflineRamSize(size));
    EXPECT_EQ(size, 0x100000u);
    h.transfer.answer(op7::kOfflineRamSize, replyWith(8, {{2, 1}}));
    EXPECT_FALSE(h.e7().getOfflineRamSize(size));
    EXPECT_EQ(size, 0x100000u);
}
