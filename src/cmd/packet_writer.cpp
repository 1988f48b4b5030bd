#include "cmd/packet_writer.h"

#include <cstring>

#include "cmd/wire.h"

uint8_t* PacketWriter::field(int offset, int width) {
    if (m_cmd.m_data == nullptr || offset < 0 || width < 0) return nullptr;
    if (offset + width > static_cast<int>(m_cmd.m_len)) return nullptr;
    return m_cmd.m_data + offset;
}

PacketWriter& PacketWriter::u8(int offset, uint8_t value) {
    if (uint8_t* p = field(offset, 1)) *p = value;
    return *this;
}

PacketWriter& PacketWriter::be16(int offset, uint16_t value) {
    if (uint8_t* p = field(offset, 2)) wire::put16be(p, value);
    return *this;
}

PacketWriter& PacketWriter::be24(int offset, uint32_t value) {
    if (uint8_t* p = field(offset, 3)) wire::put24be(p, value);
    return *this;
}

PacketWriter& PacketWriter::be32(int offset, uint32_t value) {
    if (uint8_t* p = field(offset, 4)) wire::put32be(p, value);
    return *this;
}

PacketWriter& PacketWriter::le32(int offset, uint32_t value) {
    if (uint8_t* p = field(offset, 4)) wire::put32le(p, value);
    return *this;
}

PacketWriter& PacketWriter::bit(int offset, uint8_t bit, bool on) {
    uint8_t* p = field(offset, 1);
    if (p == nullptr || bit > 7) return *this;
    const uint8_t mask = static_cast<uint8_t>(1u << bit);
    *p = on ? static_cast<uint8_t>(*p | mask) : static_cast<uint8_t>(*p & ~mask);
    return *this;
}

PacketWriter& PacketWriter::bytes(int offset, const uint8_t* src, int count) {
    uint8_t* p = field(offset, count);
    if (p != nullptr && src != nullptr && count > 0) std::memcpy(p, src, static_cast<size_t>(count));
    return *this;
}

std::unique_ptr<KestCmd> makeListPacket(uint16_t opcode, uint16_t totalLen) {
    auto cmd = std::make_unique<KestCmd>(opcode, false);
    if (totalLen > KestCmd::kHeaderLen) cmd->resize(static_cast<uint16_t>(totalLen - KestCmd::kHeaderLen), true);
    return cmd;
}

std::unique_ptr<KestCmd> makeImmediatePacket(uint16_t opcode, uint16_t totalLen) {
    auto cmd = std::make_unique<KestCmd>(opcode, true);
    if (totalLen > KestCmd::kImmediateLen) cmd->resize(static_cast<uint16_t>(totalLen - KestCmd::kHeaderLen), false);
    return cmd;
}
