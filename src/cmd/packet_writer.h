#pragma once

#include <cstdint>
#include <memory>

#include "executor/cmd/kest_cmd.h"

// Writes fields at wire offsets (counted from the first byte of the packet) into a packet.
// A field that would not fit inside the packet's length is skipped, like every KestCmd write.
class PacketWriter {
public:
    explicit PacketWriter(KestCmd& cmd) : m_cmd(cmd) {}

    PacketWriter& u8(int offset, uint8_t value);
    PacketWriter& be16(int offset, uint16_t value);
    PacketWriter& be24(int offset, uint32_t value);  // bits 23..0
    PacketWriter& be32(int offset, uint32_t value);
    PacketWriter& le32(int offset, uint32_t value);
    PacketWriter& bit(int offset, uint8_t bit, bool on);
    PacketWriter& bytes(int offset, const uint8_t* src, int count);

private:
    uint8_t* field(int offset, int width);

    KestCmd& m_cmd;
};

// A list packet of totalLen bytes (header included) with its header written.
std::unique_ptr<KestCmd> makeListPacket(uint16_t opcode, uint16_t totalLen);
// An immediate packet; longer than 12 bytes when totalLen says so (bytes 2 and 3 stay parameters).
std::unique_ptr<KestCmd> makeImmediatePacket(uint16_t opcode, uint16_t totalLen = KestCmd::kImmediateLen);
