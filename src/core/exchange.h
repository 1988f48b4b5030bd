#pragma once

#include <cstdint>
#include <cstring>

#include "cmd/wire.h"
#include "executor/cmd/kest_cmd.h"
#include "executor/transfer/transfer.h"

// Reply area of one immediate exchange, on the caller's stack. Cleared before every exchange,
// so bytes the board did not send read as 0; reads beyond the area also give 0.
template <uint32_t Capacity>
class ReplyBuffer {
public:
    static constexpr uint32_t kCapacity = Capacity;

    void reset() {
        std::memset(m_bytes, 0, sizeof(m_bytes));
        m_length = Capacity;
    }

    uint8_t* data() { return m_bytes; }
    const uint8_t* data() const { return m_bytes; }
    uint32_t* lengthPtr() { return &m_length; }
    // Bytes received, never more than the area holds even if the transport claims more.
    uint32_t length() const { return m_length < Capacity ? m_length : Capacity; }

    uint8_t at(uint32_t i) const { return i < Capacity ? m_bytes[i] : 0; }
    uint16_t be16(uint32_t i) const { return static_cast<uint16_t>(at(i) << 8 | at(i + 1)); }
    uint32_t be24(uint32_t i) const { return static_cast<uint32_t>(at(i)) << 16 | static_cast<uint32_t>(be16(i + 1)); }
    uint32_t be32(uint32_t i) const { return static_cast<uint32_t>(be16(i)) << 16 | be16(i + 2); }
    uint16_t le16(uint32_t i) const { return static_cast<uint16_t>(at(i + 1) << 8 | at(i)); }

    // Status byte of a protocol 7 reply: 0 means the board accepted the command.
    bool accepted() const { return m_bytes[2] == 0; }

private:
    uint8_t m_bytes[Capacity] = {};
    uint32_t m_length = Capacity;
};

using Reply = ReplyBuffer<256>;

// One request and its reply through the transport. No retry, no sleep, no log: the verdict is
// the transport's result; judging the reply is the caller's business.
template <uint32_t Capacity>
bool exchangeBytes(Transfer* transfer, const uint8_t* request, uint32_t requestLen, ReplyBuffer<Capacity>& reply,
                   bool flag = true) {
    reply.reset();
    if (transfer == nullptr || request == nullptr) return false;
    return transfer->ReadAndWriteCmd(request, requestLen, reply.data(), reply.lengthPtr(), flag);
}

template <uint32_t Capacity>
bool exchange(Transfer* transfer, const KestCmd& request, ReplyBuffer<Capacity>& reply, bool flag = true) {
    return exchangeBytes(transfer, request.m_data, request.m_len, reply, flag);
}

// The usual verdict of a protocol 7 command: delivered and accepted by the board.
template <uint32_t Capacity>
bool exchangeAccepted(Transfer* transfer, const KestCmd& request, ReplyBuffer<Capacity>& reply) {
    return exchange(transfer, request, reply) && reply.accepted();
}
