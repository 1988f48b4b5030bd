#pragma once

#include <cstdint>
#include <cstring>
#include <memory>

#include "cmd/wire.h"
#include "executor/cmd/kest_cmd.h"

// Writes fields at wire offsets (counted from the first byte of the packet) into a packet.
// A field that would not fit inside the packet's length is skipped, like every KestCmd write.
// Inline, so an encoder's chain of writes compiles to a few byte stores.
class PacketWriter {
public:
    explicit PacketWriter(KestCmd& cmd) : m_cmd(cmd) {}

    PacketWriter& u8(int offset, uint8_t value) {
        if (uint8_t* p = field(offset, 1)) *p = value;
        return *this;
    }
    PacketWriter& be16(int offset, uint16_t value) {
        if (uint8_t* p = field(offset, 2)) wire::put16be(p, value);
        return *this;
    }
    PacketWriter& be24(int offset, uint32_t value) {  // bits 23..0
        if (uint8_t* p = field(offset, 3)) wire::put24be(p, value);
        return *this;
    }
    PacketWriter& be32(int offset, uint32_t value) {
        if (uint8_t* p = field(offset, 4)) wire::put32be(p, value);
        return *this;
    }
    PacketWriter& le32(int offset, uint32_t value) {
        if (uint8_t* p = field(offset, 4)) wire::put32le(p, value);
        return *this;
    }
    PacketWriter& bit(int offset, uint8_t bit, bool on) {
        uint8_t* p = field(offset, 1);
        if (p == nullptr || bit > 7) return *this;
        const uint8_t mask = static_cast<uint8_t>(1u << bit);
        *p = on ? static_cast<uint8_t>(*p | mask) : static_cast<uint8_t>(*p & ~mask);
        return *this;
    }
    PacketWriter& bytes(int offset, const uint8_t* src, int count) {
        uint8_t* p = field(offset, count);
        if (p != nullptr && src != nullptr && count > 0) std::memcpy(p, src, static_cast<size_t>(count));
        return *this;
    }

private:
    uint8_t* field(int offset, int width) {
        if (m_cmd.m_data == nullptr || offset < 0 || width < 0) return nullptr;
        if (offset + width > static_cast<int>(m_cmd.m_len)) return nullptr;
        return m_cmd.m_data + offset;
    }

    KestCmd& m_cmd;
};

// A list packet of totalLen bytes (header included) with its header written.
std::unique_ptr<KestCmd> makeListPacket(uint16_t opcode, uint16_t totalLen);
// The same for a catalogue entry: anything with an opcode and a total length.
template <typename ListOp>
std::unique_ptr<KestCmd> makeListPacket(const ListOp& op) {
    return makeListPacket(op.opcode, op.length);
}
// An immediate packet; longer than 12 bytes when totalLen says so (bytes 2 and 3 stay parameters).
std::unique_ptr<KestCmd> makeImmediatePacket(uint16_t opcode, uint16_t totalLen = KestCmd::kImmediateLen);
