#include "executor/sim/sim_transfer.h"

#include <algorithm>
#include <cstring>
#include <mutex>

namespace sim {

bool SimTransfer::readData(uint32_t /*channel*/, uint8_t* buffer, uint32_t bufferSize, int32_t* length, uint8_t* /*a*/,
                           uint8_t* /*b*/, bool /*flag*/) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_open || buffer == nullptr || length == nullptr) return false;
    // The simulated user port loops back what was written.
    const uint32_t n = std::min<uint32_t>(bufferSize, static_cast<uint32_t>(m_userPort.size()));
    if (n > 0) std::memcpy(buffer, m_userPort.data(), n);
    m_userPort.erase(m_userPort.begin(), m_userPort.begin() + n);
    *length = static_cast<int32_t>(n);
    return true;
}

bool SimTransfer::writeData(const uint8_t* data, uint32_t length, uint32_t /*channel*/) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_open || (data == nullptr && length != 0)) return false;
    m_userPort.insert(m_userPort.end(), data, data + length);
    return true;
}

bool SimTransfer::ReadAndWriteCmd(const uint8_t* request, uint32_t requestLen, uint8_t* reply, uint32_t* replyLen,
                                  bool /*flag*/) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_open && m_board.exchange(request, requestLen, reply, replyLen);
}

bool SimTransfer::ReadAndWriteData(const uint8_t* frame, uint32_t frameLen, uint8_t* reply, uint32_t* replyLen,
                                   bool /*flag*/) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_open || !m_board.deliverFrame(frame, frameLen)) return false;
    if (reply != nullptr && replyLen != nullptr) {
        const uint32_t n = std::min<uint32_t>(*replyLen, 4);
        std::memset(reply, 0, n);
        *replyLen = n;
    }
    return true;
}

}  // namespace sim
