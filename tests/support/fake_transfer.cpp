#include "support/fake_transfer.h"

#include <algorithm>
#include <cstring>

void FakeTransfer::answer(uint16_t opcode, Bytes reply) {
    m_rules[opcode] = [reply](const Bytes&) { return reply; };
}

void FakeTransfer::answer(uint16_t opcode, Rule rule) { m_rules[opcode] = std::move(rule); }

void FakeTransfer::answerSequence(uint16_t opcode, std::vector<Bytes> replies) {
    m_sequences[opcode] = std::deque<Bytes>(replies.begin(), replies.end());
}

void FakeTransfer::failExchange(int n) { m_failExchanges.insert(n); }

void FakeTransfer::failOpcode(uint16_t opcode) { m_failOpcodes.insert(opcode); }

std::vector<Bytes> FakeTransfer::requests() const {
    std::vector<Bytes> out;
    for (const Exchange& e : exchanges)
        if (!e.frame) out.push_back(e.bytes);
    return out;
}

std::vector<Bytes> FakeTransfer::requestsFor(uint16_t opcode) const {
    std::vector<Bytes> out;
    for (const Exchange& e : exchanges)
        if (!e.frame && opcodeOf(e.bytes) == opcode) out.push_back(e.bytes);
    return out;
}

std::vector<Bytes> FakeTransfer::frames() const {
    std::vector<Bytes> out;
    for (const Exchange& e : exchanges)
        if (e.frame) out.push_back(e.bytes);
    return out;
}

size_t FakeTransfer::count(const std::string& call) const {
    return static_cast<size_t>(std::count(calls.begin(), calls.end(), call));
}

uint16_t FakeTransfer::opcodeOf(const Bytes& request) {
    if (request.size() < 2) return 0;
    return static_cast<uint16_t>(request[0] << 8 | request[1]);
}

bool FakeTransfer::isOpen() {
    calls.push_back("isOpen");
    return open;
}

bool FakeTransfer::openDev() {
    calls.push_back("openDev");
    if (openResult) open = true;
    return openResult;
}

void FakeTransfer::closeDev() {
    calls.push_back("closeDev");
    open = false;
}

bool FakeTransfer::readData(uint32_t channel, uint8_t* buffer, uint32_t bufferSize, int32_t* length, uint8_t* a,
                            uint8_t* b, bool flag) {
    calls.push_back("readData");
    if (channel != 0 || a == nullptr || b == nullptr || *a != 0 || *b != 1 || !flag) return false;
    const size_t n = std::min<size_t>(bufferSize, toRead.size());
    if (n > 0) std::memcpy(buffer, toRead.data(), n);
    *length = static_cast<int32_t>(n);
    return true;
}

bool FakeTransfer::writeData(const uint8_t* data, uint32_t length, uint32_t channel) {
    calls.push_back("writeData");
    if (channel != 0) return false;
    written.assign(data, data + length);
    return true;
}

bool FakeTransfer::isVirtual() {
    calls.push_back("isVirtual");
    return virtualLink;
}

bool FakeTransfer::failNext(uint16_t opcode, bool frame) {
    const int number = static_cast<int>(exchanges.size());
    if (m_failExchanges.count(number) != 0) return true;
    if (frame) return m_failFrames;
    return m_failOpcodes.count(opcode) != 0;
}

bool FakeTransfer::ReadAndWriteCmd(const uint8_t* request, uint32_t requestLen, uint8_t* reply, uint32_t* replyLen,
                                   bool flag) {
    calls.push_back("ReadAndWriteCmd");
    Bytes bytes(request, request + requestLen);
    exchanges.push_back(Exchange{false, bytes, *replyLen, flag});
    const uint16_t opcode = opcodeOf(bytes);
    if (failNext(opcode, false)) return false;

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

bool FakeTransfer::ReadAndWriteData(const uint8_t* frame, uint32_t frameLen, uint8_t* reply, uint32_t* replyLen,
                                    bool flag) {
    calls.push_back("ReadAndWriteData");
    Bytes bytes(frame, frame + frameLen);
    exchanges.push_back(Exchange{true, bytes, *replyLen, flag});
    if (onFrame) onFrame(bytes);
    if (failNext(0, true)) return false;
    std::memset(reply, 0, std::min<uint32_t>(*replyLen, 4));
    *replyLen = std::min<uint32_t>(*replyLen, 4);
    return true;
}

int32_t FakeTransfer::getLinkType() {
    calls.push_back("getLinkType");
    return linkType;
}

bool FakeTransfer::isDirectLink() {
    calls.push_back("isDirectLink");
    return directLink;
}

bool FakeTransfer::isNetLink() {
    calls.push_back("isNetLink");
    return netLink;
}

bool FakeTransfer::isFastLink() {
    calls.push_back("isFastLink");
    return fastLink;
}

void FakeTransfer::setLinkMode(bool a, bool b) {
    calls.push_back("setLinkMode");
    linkModes.emplace_back(a, b);
}

Bytes replyWith(size_t length, std::initializer_list<std::pair<size_t, uint8_t>> bytes) {
    Bytes out(length, 0);
    for (const auto& [offset, value] : bytes)
        if (offset < length) out[offset] = value;
    return out;
}

Bytes stateReply7(uint32_t freeCacheKb, bool finished, uint8_t workState) {
    return replyWith(32, {{4, workState},
                          {12, static_cast<uint8_t>(finished ? 1 : 0)},
                          {13, static_cast<uint8_t>(freeCacheKb >> 16)},
                          {14, static_cast<uint8_t>(freeCacheKb >> 8)},
                          {15, static_cast<uint8_t>(freeCacheKb)}});
}
