#pragma once
// A transport whose board is the fuzz input: every exchange takes the next reply chunk.
//
// Chunk layout: two header bytes, then the reply bytes.
//   byte 0 bit 7   the transport reports failure for this exchange
//   byte 0 bits 0-3, byte 1   the reply length the transport reports (0 to 4095), which may be
//                  more than the caller's capacity: a link that lies about its length
//   then min(reported length, capacity, what is left) bytes copied into the reply area
// When the input runs out, every further exchange fails, so polling and retry loops end.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "executor/transfer/transfer.h"

namespace fuzz {

constexpr uint8_t kChunkFail = 0x80;
constexpr uint32_t kChunkLengthMax = 0x0FFF;

// Reads a fuzz input front to back; reads past the end give zeros.
class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    uint8_t u8() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    uint16_t u16() { return static_cast<uint16_t>(u8() << 8 | u8()); }
    uint32_t u32() { return static_cast<uint32_t>(u16()) << 16 | u16(); }
    size_t left() const { return m_size - m_pos; }
    const uint8_t* here() const { return m_data + m_pos; }
    void skip(size_t n) { m_pos += std::min(n, left()); }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

// Appends one chunk; the generator of the seed corpus writes real replies this way.
inline void appendChunk(std::vector<uint8_t>& out, bool fail, const uint8_t* reply, uint32_t length) {
    length = std::min(length, kChunkLengthMax);
    out.push_back(static_cast<uint8_t>((fail ? kChunkFail : 0) | (length >> 8)));
    out.push_back(static_cast<uint8_t>(length));
    if (!fail) out.insert(out.end(), reply, reply + length);
}

class ScriptTransfer : public Transfer {
public:
    explicit ScriptTransfer(ByteReader& script) : m_script(script) {}

    bool networkLink = false;
    bool virtualLink = false;

    bool isOpen() override { return true; }
    bool openDev() override { return true; }
    void closeDev() override {}
    bool readData(uint32_t, uint8_t* buffer, uint32_t bufferSize, int32_t* length, uint8_t*, uint8_t*, bool) override {
        uint32_t got = bufferSize;
        const bool ok = answer(buffer, &got);
        *length = static_cast<int32_t>(std::min(got, bufferSize));
        return ok;
    }
    bool writeData(const uint8_t*, uint32_t, uint32_t) override { return true; }
    bool isVirtual() override { return virtualLink; }
    bool ReadAndWriteCmd(const uint8_t*, uint32_t, uint8_t* reply, uint32_t* replyLen, bool) override {
        return answer(reply, replyLen);
    }
    bool ReadAndWriteData(const uint8_t*, uint32_t, uint8_t* reply, uint32_t* replyLen, bool) override {
        return answer(reply, replyLen);
    }
    int32_t getLinkType() override { return 0; }
    bool isDirectLink() override { return !networkLink; }
    bool isNetLink() override { return networkLink; }
    bool isFastLink() override { return false; }
    void setLinkMode(bool, bool) override {}

private:
    bool answer(uint8_t* reply, uint32_t* replyLen) {
        if (m_script.left() < 2) return false;
        const uint8_t head = m_script.u8();
        const uint32_t reported = static_cast<uint32_t>(head & 0x0F) << 8 | m_script.u8();
        if ((head & kChunkFail) != 0) return false;
        const size_t copied = std::min<size_t>({reported, *replyLen, m_script.left()});
        if (copied > 0) std::memcpy(reply, m_script.here(), copied);
        m_script.skip(copied);
        *replyLen = reported;
        return true;
    }

    ByteReader& m_script;
};

}  // namespace fuzz
