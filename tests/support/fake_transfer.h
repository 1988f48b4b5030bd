#pragma once

#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <memory>
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
    bool open = true, openResult = true, virtualLink = false, directLink = true, netLink = false, fastLink = false;
    int32_t linkType = 0;
    Bytes defaultReply = Bytes(16, 0);  // to requests no rule covers: accepted, no data

    // What the executor did, user port traffic included.
    std::vector<std::string> calls;
    std::vector<Exchange> exchanges;  // both kinds, in order
    std::vector<std::pair<bool, bool>> linkModes;
    Bytes written, toRead;
    // Called after each frame is recorded (before the reply), e.g. to change the board's answers.
    std::function<void(const Bytes& frame)> onFrame;

    // Answers every later request with this opcode with the given bytes, the result of rule, or
    // successive replies of which the last repeats.
    void answer(uint16_t opcode, Bytes reply) { answerSequence(opcode, {std::move(reply)}); }
    void answer(uint16_t opcode, Rule rule) { m_rules[opcode] = std::move(rule); }
    void answerSequence(uint16_t opcode, std::vector<Bytes> replies) {
        if (replies.empty()) return (void)m_rules.erase(opcode);
        auto left = std::make_shared<std::deque<Bytes>>(replies.begin(), replies.end());
        m_rules[opcode] = [left](const Bytes&) {
            const Bytes reply = left->front();
            if (left->size() > 1) left->pop_front();
            return reply;
        };
    }
    // The n-th exchange (1-based, requests and frames counted together) fails at the transport.
    void failExchange(int n) { m_failExchanges.insert(n); }
    void failOpcode(uint16_t opcode) { m_failOpcodes.insert(opcode); }
    void failFrames(bool fail) { m_failFrames = fail; }

    std::vector<Bytes> requests() const { return pick(false, -1); }
    std::vector<Bytes> requestsFor(uint16_t opcode) const { return pick(false, opcode); }
    std::vector<Bytes> frames() const { return pick(true, -1); }
    size_t count(const std::string& call) const {
        return static_cast<size_t>(std::count(calls.begin(), calls.end(), call));
    }
    static uint16_t opcodeOf(const Bytes& b) { return b.size() < 2 ? 0 : static_cast<uint16_t>(b[0] << 8 | b[1]); }

    // Transfer
    bool isOpen() override { return called("isOpen", open); }
    bool openDev() override { return open = open || openResult, called("openDev", openResult); }
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
        if (called("writeData", channel == 0)) written.assign(data, data + length);
        return channel == 0;
    }
    bool isVirtual() override { return called("isVirtual", virtualLink); }
    bool ReadAndWriteCmd(const uint8_t* request, uint32_t requestLen, uint8_t* reply, uint32_t* replyLen,
                         bool flag) override {
        const Bytes bytes(request, request + requestLen);
        const uint16_t opcode = opcodeOf(bytes);
        if (!record("ReadAndWriteCmd", false, bytes, *replyLen, flag) || m_failOpcodes.count(opcode) != 0) return false;
        const auto rule = m_rules.find(opcode);
        return answerWith(rule == m_rules.end() ? defaultReply : rule->second(bytes), reply, replyLen);
    }
    bool ReadAndWriteData(const uint8_t* frame, uint32_t frameLen, uint8_t* reply, uint32_t* replyLen,
                          bool flag) override {
        if (!record("ReadAndWriteData", true, Bytes(frame, frame + frameLen), *replyLen, flag) || m_failFrames)
            return false;
        return answerWith(Bytes(4, 0), reply, replyLen);
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
    static bool answerWith(const Bytes& bytes, uint8_t* reply, uint32_t* replyLen) {
        *replyLen = std::min<uint32_t>(*replyLen, static_cast<uint32_t>(bytes.size()));
        if (*replyLen > 0) std::memcpy(reply, bytes.data(), *replyLen);
        return true;
    }
    // Frames or requests, of one opcode unless it is -1.
    std::vector<Bytes> pick(bool frames, int opcode) const {
        std::vector<Bytes> out;
        for (const Exchange& e : exchanges)
            if (e.frame == frames && (opcode < 0 || opcodeOf(e.bytes) == opcode)) out.push_back(e.bytes);
        return out;
    }

    std::map<uint16_t, Rule> m_rules;
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
