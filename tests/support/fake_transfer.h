#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "executor/transfer/transfer.h"

using Bytes = std::vector<uint8_t>;

// A scriptable transport: records every call, request and frame, answers each request by its
// opcode (first two bytes, big-endian) from rules a test sets, and fails chosen exchanges.
class FakeTransfer : public Transfer {
public:
    using Rule = std::function<Bytes(const Bytes& request)>;

    struct Exchange {
        bool frame = false;  // ReadAndWriteData rather than ReadAndWriteCmd
        Bytes bytes;
        uint32_t replyCapacity = 0;
        bool flag = false;
    };

    // Link properties as the executor sees them.
    bool open = true;
    bool openResult = true;
    bool virtualLink = false;
    bool directLink = true;
    bool netLink = false;
    bool fastLink = false;
    int32_t linkType = 0;

    // Reply to requests that no rule covers: accepted, no data.
    Bytes defaultReply = Bytes(16, 0);

    // What the executor did.
    std::vector<std::string> calls;
    std::vector<Exchange> exchanges;  // both kinds, in order
    std::vector<std::pair<bool, bool>> linkModes;
    // User port traffic.
    Bytes written;
    Bytes toRead;

    // Answers every request with this opcode with the given bytes, or with the result of rule.
    void answer(uint16_t opcode, Bytes reply) {
        m_rules[opcode] = [reply](const Bytes&) { return reply; };
    }
    void answer(uint16_t opcode, Rule rule) { m_rules[opcode] = std::move(rule); }
    // Answers successive requests with these replies; the last one repeats.
    void answerSequence(uint16_t opcode, std::vector<Bytes> replies) {
        m_sequences[opcode] = std::deque<Bytes>(replies.begin(), replies.end());
    }
    // The n-th exchange (1-based, requests and frames counted together) fails at the transport.
    void failExchange(int n) { m_failExchanges.insert(n); }
    // Every request with this opcode fails at the transport.
    void failOpcode(uint16_t opcode) { m_failOpcodes.insert(opcode); }
    // Every frame delivery fails.
    void failFrames(bool fail) { m_failFrames = fail; }
    // Called after each frame is recorded (before the reply), e.g. to change the board's answers.
    std::function<void(const Bytes& frame)> onFrame;

    std::vector<Bytes> requests() const {
        return select([](const Exchange& e) { return !e.frame; });
    }
    std::vector<Bytes> requestsFor(uint16_t opcode) const {
        return select([opcode](const Exchange& e) { return !e.frame && opcodeOf(e.bytes) == opcode; });
    }
    std::vector<Bytes> frames() const {
        return select([](const Exchange& e) { return e.frame; });
    }
    size_t count(const std::string& call) const {
        return static_cast<size_t>(std::count(calls.begin(), calls.end(), call));
    }
    static uint16_t opcodeOf(const Bytes& b) { return b.size() < 2 ? 0 : static_cast<uint16_t>(b[0] << 8 | b[1]); }

    // Transfer
    bool isOpen() override { return called("isOpen", open); }
    bool openDev() override {
        if (openResult) open = true;
        return called("openDev", openResult);
    }
    void closeDev() override { open = called("closeDev", false); }
    bool readData(uint32_t channel, uint8_t* buffer, uint32_t bufferSize, int32_t* length, uint8_t* a, uint8_t* b,
                  bool flag) override {
        if (!called("readData", channel == 0 && a != nullptr && b != nullptr && *a == 0 && *b == 1 && flag))
            return false;
        const size_t n = std::min<size_t>(bufferSize, toRead.size());
        if (n > 0) std::memcpy(buffer, toRead.data(), n);
        *length = static_cast<int32_t>(n);
        return true;
    }
    bool writeData(const uint8_t* data, uint32_t length, uint32_t channel) override {
        if (!called("writeData", channel == 0)) return false;
        written.assign(data, data + length);
        return true;
    }
    bool isVirtual() override { return called("isVirtual", virtualLink); }
    bool ReadAndWriteCmd(const uint8_t* request, uint32_t requestLen, uint8_t* reply, uint32_t* replyLen,
                         bool flag) override {
        const Bytes bytes(request, request + requestLen);
        const uint16_t opcode = opcodeOf(bytes);
        if (!record("ReadAndWriteCmd", false, bytes, *replyLen, flag) || m_failOpcodes.count(opcode) != 0) return false;
        Bytes answerBytes = defaultReply;
        auto seq = m_sequences.find(opcode);
        if (seq != m_sequences.end() && !seq->second.empty()) {
            answerBytes = seq->second.front();
            if (seq->second.size() > 1) seq->second.pop_front();
        } else if (auto rule = m_rules.find(opcode); rule != m_rules.end()) {
            answerBytes = rule->second(bytes);
        }
        const size_t n = std::min<size_t>(*replyLen, answerBytes.size());
        if (n > 0) std::memcpy(reply, answerBytes.data(), n);
        *replyLen = static_cast<uint32_t>(n);
        return true;
    }
    bool ReadAndWriteData(const uint8_t* frame, uint32_t frameLen, uint8_t* reply, uint32_t* replyLen,
                          bool flag) override {
        const Bytes bytes(frame, frame + frameLen);
        if (!record("ReadAndWriteData", true, bytes, *replyLen, flag) || m_failFrames) return false;
        std::memset(reply, 0, std::min<uint32_t>(*replyLen, 4));
        *replyLen = std::min<uint32_t>(*replyLen, 4);
        return true;
    }
    int32_t getLinkType() override { return called("getLinkType", linkType); }
    bool isDirectLink() override { return called("isDirectLink", directLink); }
    bool isNetLink() override { return called("isNetLink", netLink); }
    bool isFastLink() override { return called("isFastLink", fastLink); }
    void setLinkMode(bool a, bool b) override { linkModes.emplace_back(called("setLinkMode", a), b); }

private:
    template <class T>
    T called(const char* name, T result) {
        calls.push_back(name);
        return result;
    }
    // Records an exchange; false when it is one chosen to fail.
    bool record(const char* name, bool frame, const Bytes& bytes, uint32_t capacity, bool flag) {
        calls.push_back(name);
        exchanges.push_back(Exchange{frame, bytes, capacity, flag});
        if (frame && onFrame) onFrame(bytes);
        return m_failExchanges.count(static_cast<int>(exchanges.size())) == 0;
    }
    template <class Pred>
    std::vector<Bytes> select(Pred pred) const {
        std::vector<Bytes> out;
        for (const Exchange& e : exchanges)
            if (pred(e)) out.push_back(e.bytes);
        return out;
    }

    std::map<uint16_t, Rule> m_rules;
    std::map<uint16_t, std::deque<Bytes>> m_sequences;
    std::set<int> m_failExchanges;
    std::set<uint16_t> m_failOpcodes;
    bool m_failFrames = false;
};

// A reply of the given length whose listed bytes are set (offset, value); the rest is 0.
inline Bytes replyWith(size_t length, std::initializer_list<std::pair<size_t, uint8_t>> bytes) {
    Bytes out(length, 0);
    for (const auto& [offset, value] : bytes)
        if (offset < length) out[offset] = value;
    return out;
}

// Protocol 7 status reply (0xAA05) with the fields the library acts on.
inline Bytes stateReply7(uint32_t freeCacheKb, bool finished, uint8_t workState = 1) {
    return replyWith(32, {{4, workState},
                          {12, static_cast<uint8_t>(finished ? 1 : 0)},
                          {13, static_cast<uint8_t>(freeCacheKb >> 16)},
                          {14, static_cast<uint8_t>(freeCacheKb >> 8)},
                          {15, static_cast<uint8_t>(freeCacheKb)}});
}
