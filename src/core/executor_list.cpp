#include <cstdint>
#include <memory>
#include <mutex>
#include <new>

#include "core/exchange.h"
#include "core/log.h"
#include "executor/core/executor.h"
#include "executor/platform/thread.h"

namespace {

// The board is asked for room for twice the frame plus this margin.
constexpr uint32_t kCacheMargin = 10000;
// Frames one exeCurCmd call may wait for, counted over the whole call.
constexpr int kWaitBudget = 3;
constexpr uint32_t kCachePollMs = 10;
constexpr uint32_t kMovePollMs = 20;
constexpr uint32_t kFinishPollMs = 5;
constexpr uint32_t kVirtualPauseMs = 5;
constexpr uint8_t kAxisSlots = 4;

}  // namespace

bool Executor::addCmd(KestCmd* cmd) {
    std::unique_ptr<KestCmd> packet(cmd);  // refused packets are destroyed here
    if (!packet || !enabledForList()) return false;

    if (m_offlineMode) {
        if (static_cast<uint64_t>(packet->m_len) + m_offlineCmdList.totalBytes() > m_sramMaxSize) return false;
        m_offlineCmdList.push(packet.release());
        return true;
    }

    // A packet longer than a frame could never be packed and would block the list for good.
    if (m_frameSize != 0 && packet->m_len > m_frameSize) {
        logError("Executor::addCmd packet longer than frame");
        return false;
    }
    if (static_cast<uint64_t>(packet->m_len) + m_cmdList.totalBytes() > m_bufferSize) {
        if (!exeCurCmd(false)) return false;
    }
    const uint16_t length = packet->m_len;
    const uint32_t total = m_cmdList.push(packet.release());
    if (static_cast<uint64_t>(length) + total == m_bufferSize) return exeCurCmd(false);
    return true;
}

bool Executor::exeCurCmd(bool waitFinish) {
    if (m_offlineMode) return true;
    if (m_stopRun || m_transfer == nullptr || !isEnable()) return true;
    if (!isBindByMe()) {
        logError("Executor::exeCurCmd not bind");
        return false;
    }

    std::lock_guard<std::mutex> streaming(m_streamMutex);
    // A stop that came while another thread streamed ends this call before it packs anything.
    if (m_stopRun) return true;
    const size_t capacity = KestCmdList::frameCapacity(m_frameSize);
    if (m_frame.size() != capacity) {
        try {
            m_frame.assign(capacity, 0);
        } catch (const std::bad_alloc&) {
            logError("Executor::exeCurCmd frame allocation fail");
            return false;
        }
    }
    int budget = kWaitBudget;
    bool result = true;
    for (;;) {
        uint32_t packed = 0;
        const uint32_t length = m_cmdList.packFrameInto(m_frame.data(), m_frameSize, &packed);
        if (length == 0) break;  // nothing queued
        if (packed == 0) {
            // Only padding would go out: the packet at the front is longer than a frame.
            logError("Executor::exeCurCmd packet longer than frame");
            result = false;
            break;
        }

        if (budget == 0) {
            logError("Executor::exeCurCmd waitForEnoughCache fail");
            return false;
        }
        for (;;) {
            --budget;
            if (waitForEnoughCache(2 * length)) break;
            if (budget == 0) {
                logError("Executor::exeCurCmd waitForEnoughCache fail");
                return false;
            }
        }

        // Stopped meanwhile: the frame in hand is dropped, the packets behind it stay queued.
        if (m_stopRun) break;
        Reply reply;
        reply.reset();
        if (!m_transfer->ReadAndWriteData(m_frame.data(), length, reply.data(), reply.lengthPtr(), false)) {
            logError("Executor::exeCurCmd ReadAndWriteData fail");
            result = false;
            break;
        }
    }

    if (waitFinish) waitForFinish();
    return result;
}

void Executor::clearCmdList() { m_cmdList.clear(); }

bool Executor::waitForEnoughCache(uint32_t bytes) {
    if (m_transfer == nullptr || m_transfer->isVirtual() || m_stopRun) return true;
    const uint32_t needed = bytes + kCacheMargin;
    // Read from a copy: a second thread may refresh the cached record meanwhile.
    DevBaseState state;
    for (;;) {
        if (!isEnable()) return true;
        if (!getDevState(state, true)) {
            logError("Executor::waitForEnoughCache getDevState fail");
            return false;
        }
        if (state.freeCacheKb * 1024u >= needed) return true;
        if (m_stopRun) return true;
        utils::Thread::sleep(kCachePollMs);
        if (m_stopRun) return true;
    }
}

bool Executor::waitForMoveFinish(uint8_t axis) {
    if (isVirtual()) {
        utils::Thread::sleep(kVirtualPauseMs);
        return true;
    }
    if (m_offlineMode || m_reMark) return true;
    if (m_stopRun) return isEnable();
    // There are four axis slots; any other number names no axis that could be moving.
    if (axis >= kAxisSlots) return isEnable();
    DevExtState state;
    for (;;) {
        if (!isEnable()) break;
        if (getDevExtState(state, true) && (state.axisState[axis] & 0x01) == 0) break;
        if (m_stopRun) break;
        utils::Thread::sleep(kMovePollMs);
        if (m_stopRun) break;
    }
    return isEnable();
}

bool Executor::waitForFinish() {
    if (isVirtual()) {
        utils::Thread::sleep(kVirtualPauseMs);
        return true;
    }
    if (m_offlineMode || m_reMark) return true;
    if (m_stopRun) return isEnable();
    DevBaseState state;
    for (;;) {
        if (!isEnable()) break;
        if (getDevState(state, true) && (state.finished || state.workState < 2)) break;
        if (m_stopRun) break;
        if (!state.valid) break;
        utils::Thread::sleep(kFinishPollMs);
        if (m_stopRun) break;
    }
    return isEnable();
}
