#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "executor/transfer/forwarding_transfer.h"

// A transport in front of another one that numbers the calls reaching the board (opening, requests,
// frames, user port traffic), records them, and can fail one chosen call or spoil its reply.
// Thread-safe, so several host threads may share it.
class CountingTransfer : public ForwardingTransfer {
public:
    using Bytes = std::vector<uint8_t>;

    enum class Fault {
        kNone,
        kFail,      // the call reports failure
        kFlip,      // the reply arrives with every byte from the status byte on flipped
        kTruncate,  // only the first two reply bytes arrive
    };
    enum class Kind { kOpen, kRequest, kFrame, kUserPort };

    struct Call {
        std::string phase;
        Kind kind;
        uint16_t opcode;  // requests only: the first two bytes
    };

    explicit CountingTransfer(Transfer& inner) : ForwardingTransfer(inner) {}

    // Call number n (from 1) gets the fault.
    void inject(int n, Fault fault) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_faultAt = n;
        m_fault = fault;
    }
    // From now on every call fails: ends any wait that would otherwise go on.
    void failEverything() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_failAll = true;
    }
    void setPhase(const std::string& phase) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_phase = phase;
    }
    std::vector<Call> calls() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_calls;
    }
    std::vector<Bytes> frames() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_frames;
    }

    bool openDev() override { return count(Kind::kOpen, 0) == Fault::kFail ? false : inner().openDev(); }
    bool readData(uint32_t channel, uint8_t* buffer, uint32_t bufferSize, int32_t* length, uint8_t* a, uint8_t* b,
                  bool flag) override {
        if (count(Kind::kUserPort, 0) == Fault::kFail) return false;
        return inner().readData(channel, buffer, bufferSize, length, a, b, flag);
    }
    bool writeData(const uint8_t* data, uint32_t length, uint32_t channel) override {
        if (count(Kind::kUserPort, 0) == Fault::kFail) return false;
        return inner().writeData(data, length, channel);
    }
    bool ReadAndWriteCmd(const uint8_t* request, uint32_t requestLen, uint8_t* reply, uint32_t* replyLen,
                         bool flag) override {
        const uint16_t opcode = requestLen >= 2 ? static_cast<uint16_t>(request[0] << 8 | request[1]) : 0;
        const Fault fault = count(Kind::kRequest, opcode);
        if (fault == Fault::kFail) return false;
        if (!inner().ReadAndWriteCmd(request, requestLen, reply, replyLen, flag)) return false;
        if (fault == Fault::kFlip) {
            for (uint32_t i = 2; i < *replyLen; ++i) reply[i] = static_cast<uint8_t>(~reply[i]);
        } else if (fault == Fault::kTruncate) {
            const uint32_t kept = std::min<uint32_t>(*replyLen, kTruncatedLen);
            std::memset(reply + kept, 0, *replyLen - kept);
            *replyLen = kept;
        }
        return true;
    }
    bool ReadAndWriteData(const uint8_t* frame, uint32_t frameLen, uint8_t* reply, uint32_t* replyLen,
                          bool flag) override {
        if (count(Kind::kFrame, 0) == Fault::kFail) return false;
        if (!inner().ReadAndWriteData(frame, frameLen, reply, replyLen, flag)) return false;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_frames.emplace_back(frame, frame + frameLen);
        return true;
    }

private:
    static constexpr uint32_t kTruncatedLen = 2;

    Fault count(Kind kind, uint16_t opcode) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_calls.push_back(Call{m_phase, kind, opcode});
        if (m_failAll) return Fault::kFail;
        return static_cast<int>(m_calls.size()) == m_faultAt ? m_fault : Fault::kNone;
    }

    mutable std::mutex m_mutex;
    std::string m_phase;
    std::vector<Call> m_calls;
    std::vector<Bytes> m_frames;  // delivered frames, in order
    int m_faultAt = 0;
    Fault m_fault = Fault::kNone;
    bool m_failAll = false;
};
