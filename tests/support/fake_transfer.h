#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
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

    // Answers every request with this opcode with the given bytes.
    void answer(uint16_t opcode, Bytes reply);
    // Answers with the result of rule.
    void answer(uint16_t opcode, Rule rule);
    // Answers successive requests with these replies; the last one repeats.
    void answerSequence(uint16_t opcode, std::vector<Bytes> replies);
    // The n-th exchange (1-based, requests and frames counted together) fails at the transport.
    void failExchange(int n);
    // Every request with this opcode fails at the transport.
    void failOpcode(uint16_t opcode);
    // Every frame delivery fails.
    void failFrames(bool fail) { m_failFrames = fail; }
    // Called after each frame is recorded (before the reply), e.g. to change the board's answers.
    std::function<void(const Bytes& frame)> onFrame;

    std::vector<Bytes> requests() const;
    std::vector<Bytes> requestsFor(uint16_t opcode) const;
    std::vector<Bytes> frames() const;
    size_t count(const std::string& call) const;

    static uint16_t opcodeOf(const Bytes& request);

    // Transfer
    bool isOpen() override;
    bool openDev() override;
    void closeDev() override;
    bool readData(uint32_t channel, uint8_t* buffer, uint32_t bufferSize, int32_t* length, uint8_t* a, uint8_t* b,
                  bool flag) override;
    bool writeData(const uint8_t* data, uint32_t length, uint32_t channel) override;
    bool isVirtual() override;
    bool ReadAndWriteCmd(const uint8_t* request, uint32_t requestLen, uint8_t* reply, uint32_t* replyLen,
                         bool flag) override;
    bool ReadAndWriteData(const uint8_t* frame, uint32_t frameLen, uint8_t* reply, uint32_t* replyLen,
                          bool flag) override;
    int32_t getLinkType() override;
    bool isDirectLink() override;
    bool isNetLink() override;
    bool isFastLink() override;
    void setLinkMode(bool a, bool b) override;

    // User port traffic.
    Bytes written;
    Bytes toRead;

private:
    bool failNext(uint16_t opcode, bool frame);

    std::map<uint16_t, Rule> m_rules;
    std::map<uint16_t, std::deque<Bytes>> m_sequences;
    std::set<int> m_failExchanges;
    std::set<uint16_t> m_failOpcodes;
    bool m_failFrames = false;
};

// A reply of the given length whose listed bytes are set (offset, value); the rest is 0.
Bytes replyWith(size_t length, std::initializer_list<std::pair<size_t, uint8_t>> bytes);

// Protocol 7 status reply (0xAA05) with the fields the library acts on.
Bytes stateReply7(uint32_t freeCacheKb, bool finished, uint8_t workState = 1);
