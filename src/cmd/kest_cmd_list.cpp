#include "executor/cmd/kest_cmd_list.h"

#include <cstring>
#include <new>
#include <stdexcept>

namespace {

// Frames are never shorter than this; the bytes behind the packets are zero.
constexpr uint32_t kMinFrameLen = 12;

}  // namespace

KestCmdList::KestCmdList() : m_totalBytes(0) {}

KestCmdList::~KestCmdList() { clear(); }

uint32_t KestCmdList::push(KestCmd* cmd) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const uint32_t total = m_totalBytes.load(std::memory_order_relaxed);
    if (cmd == nullptr) return total;
    if (m_cmds.capacity() == 0) m_cmds.reserve(m_refillCapacity);
    m_cmds.push_back(cmd);
    return setTotal(total + cmd->m_len);
}

KestCmd* KestCmdList::at(int32_t index) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (index < 0 || static_cast<size_t>(index) >= m_cmds.size()) {
        throw std::out_of_range("invalid vector<T> subscript");
    }
    return m_cmds[static_cast<size_t>(index)];
}

int32_t KestCmdList::size() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<int32_t>(m_cmds.size());
}

uint32_t KestCmdList::totalBytes() { return m_totalBytes.load(std::memory_order_relaxed); }

uint32_t KestCmdList::setTotal(uint32_t total) {
    m_totalBytes.store(total, std::memory_order_relaxed);
    return total;
}

uint8_t* KestCmdList::packFrame(uint32_t* outLen, uint32_t maxLen) { return packFrame(outLen, maxLen, nullptr); }

uint8_t* KestCmdList::packFrame(uint32_t* outLen, uint32_t maxLen, uint32_t* packedCount) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (packedCount != nullptr) *packedCount = 0;
    if (m_cmds.empty() || outLen == nullptr) return nullptr;

    uint32_t length = 0;
    const size_t count = countFitting(maxLen, &length);
    *outLen = length < kMinFrameLen ? kMinFrameLen : length;

    // One spare byte that is never counted or sent.
    uint8_t* frame = new (std::nothrow) uint8_t[*outLen + 1]();
    if (frame == nullptr) return nullptr;
    moveOut(count, length, frame);
    if (packedCount != nullptr) *packedCount = static_cast<uint32_t>(count);
    return frame;
}

uint32_t KestCmdList::packFrameInto(uint8_t* frame, uint32_t maxLen, uint32_t* packedCount) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (packedCount != nullptr) *packedCount = 0;
    if (m_cmds.empty() || frame == nullptr) return 0;

    uint32_t length = 0;
    const size_t count = countFitting(maxLen, &length);
    const uint32_t frameLen = length < kMinFrameLen ? kMinFrameLen : length;
    moveOut(count, length, frame);
    // The buffer holds the previous frame: zero what new[]() would have zeroed.
    std::memset(frame + length, 0, frameLen + 1 - length);
    if (packedCount != nullptr) *packedCount = static_cast<uint32_t>(count);
    return frameLen;
}

uint32_t KestCmdList::frameCapacity(uint32_t maxLen) { return (maxLen < kMinFrameLen ? kMinFrameLen : maxLen) + 1; }

size_t KestCmdList::countFitting(uint32_t maxLen, uint32_t* length) const {
    // Whole packets from the front, in order; the first one that does not fit ends the frame.
    size_t count = 0;
    for (const KestCmd* cmd : m_cmds) {
        if (static_cast<uint64_t>(*length) + cmd->m_len > maxLen) break;
        *length += cmd->m_len;
        ++count;
    }
    return count;
}

void KestCmdList::moveOut(size_t count, uint32_t length, uint8_t* out) {
    for (size_t i = 0; i < count; ++i) {
        KestCmd* cmd = m_cmds[i];
        // A packet without bytes stands for zeros.
        if (cmd->m_data != nullptr) {
            std::memcpy(out, cmd->m_data, cmd->m_len);
        } else {
            std::memset(out, 0, cmd->m_len);
        }
        out += cmd->m_len;
        delete cmd;
    }
    setTotal(m_totalBytes.load(std::memory_order_relaxed) - length);
    m_cmds.erase(m_cmds.begin(), m_cmds.begin() + static_cast<std::ptrdiff_t>(count));
    if (m_cmds.empty()) {
        m_refillCapacity = m_cmds.capacity();
        std::vector<KestCmd*>().swap(m_cmds);
    }
}

void KestCmdList::clear() {
    std::lock_guard<std::mutex> lock(m_mutex);
    for (KestCmd* cmd : m_cmds) delete cmd;
    std::vector<KestCmd*>().swap(m_cmds);
    setTotal(0);
}
