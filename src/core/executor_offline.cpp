#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "core/log.h"
#include "executor/core/executor.h"
#include "executor/platform/thread.h"

namespace {

constexpr size_t kDocEntries = 8;
constexpr uint32_t kPageSize = 256;
constexpr uint32_t kSectorSize = 4096;
constexpr uint32_t kFlashPollMs = 10;
// Protocol 7 images end in erased-flash bytes so the board finds the end of the program.
constexpr uint32_t kProto7Tail = 24;
constexpr uint8_t kErased = 0xFF;

}  // namespace

void Executor::setOfflineDocIndex(uint8_t index) {
    uint32_t size = 0;
    if (!getOfflineCmdSize(size)) size = 0;
    if (m_offlineDocAddr.size() == kDocEntries) m_offlineDocAddr[index & 7] = size;
}

bool Executor::OfflineDownload(SdkError& err) {
    if (!m_offlineMode) {
        err = SDK_NOT_OFFLINE;
        return false;
    }
    if (m_transfer == nullptr || !isEnable()) return true;
    if (!isBindByMe()) {
        logError("Executor::OfflineDownload not bind");
        err = SDK_BIND_FAIL;
        return false;
    }

    // Document addresses are only known now that the whole program is queued.
    const int32_t queued = m_offlineCmdList.size();
    for (int32_t i = 0; i < queued; ++i) modifyOfflineAddr(m_offlineCmdList.at(i), m_offlineDocAddr);

    if (m_offlineCmdList.totalBytes() > m_sramMaxSize) {
        logError("Executor::OfflineDownload cmdlist size big than sram size");
        err = SDK_OFFLINE_TOO_BIG;
        return false;
    }
    uint32_t length = 0;
    std::unique_ptr<uint8_t[]> packed(m_offlineCmdList.packFrame(&length, m_sramMaxSize));
    if (!packed) {
        logError("Executor::OfflineDownload no data to download");
        err = SDK_OFFLINE_NO_DATA;
        return false;
    }
    std::vector<uint8_t> image(packed.get(), packed.get() + length);
    if (m_protVer == 7) image.insert(image.end(), kProto7Tail, kErased);

    const uint32_t total = static_cast<uint32_t>(image.size());
    const uint32_t pages = total / kPageSize + (total % kPageSize != 0 ? 1 : 0);
    auto waitWhileFlashBusy = [this] {
        // A failed status read counts as idle, so a lost board cannot hold the download.
        while (getDevFlashState(true)) utils::Thread::sleep(kFlashPollMs);
    };
    uint8_t page[kPageSize];
    for (uint32_t p = 1; p <= pages; ++p) {
        const uint32_t addr = (p - 1) * kPageSize;
        if (addr % kSectorSize == 0) {
            setOfflineClearFile(addr);
            waitWhileFlashBusy();
        }
        const uint32_t chunk = std::min(kPageSize, total - addr);
        std::memset(page, kErased, sizeof(page));
        std::memcpy(page, image.data() + addr, chunk);
        setOfflineWriteOnePage(static_cast<uint16_t>(pages), static_cast<uint16_t>(p), addr, page, kPageSize);
        waitWhileFlashBusy();
    }
    return true;
}
