#pragma once

#include <cstddef>
#include <cstdint>

#include "executor/export.h"

// One command packet for the board: opcode and owned wire bytes.
//
// List form:      [opcode BE:2][length:1][flag:1][payload...]
// Immediate form: [opcode BE:2][param1:2][param2:2][param3:2][param4:2][param5:2], always 12 bytes.
//
// Writes that would not fit inside m_len bytes are skipped silently.
//
// Packets are made and destroyed by the million in a job, so their memory is recycled: wire bytes
// of up to kInlineCapacity (every list command and the usual immediate one) live inside the packet,
// and the packet itself comes from a per-thread pool. new and delete work as usual.
class EXECUTOR_API KestCmd {
public:
    static constexpr uint16_t kHeaderLen = 4;
    static constexpr uint16_t kImmediateLen = 12;
    static constexpr uint16_t kInlineCapacity = 32;

    static void* operator new(std::size_t size);
    static void operator delete(void* block, std::size_t size) noexcept;

    KestCmd(uint16_t cmd, bool immediate);
    virtual ~KestCmd();

    KestCmd(const KestCmd&) = delete;
    KestCmd& operator=(const KestCmd&) = delete;

    // Reallocates to payloadLen + 4 zero bytes and rewrites the opcode; with writeHeader also
    // the length and flag bytes. Any payload written before is lost.
    void resize(uint16_t payloadLen, bool writeHeader);
    // Copies count bytes to payload offset offset. Unless raw, a little-endian host stores
    // them reversed, so a host-order number becomes big-endian.
    void setBytes(int offset, const uint8_t* src, int count, bool raw);
    // Sets or clears one bit of the payload byte at offset.
    void setBit(int offset, uint8_t bit, bool on);
    // Parameter words of the immediate form, big-endian at wire offsets 2, 4, 6, 8 and 10.
    void setParam1(uint16_t value);
    void setParam2(uint16_t value);
    void setParam3(uint16_t value);
    void setParam4(uint16_t value);
    void setParam5(uint16_t value);

    uint16_t m_cmd;
    uint16_t m_len;
    uint8_t m_flag;
    uint8_t* m_data;
    uint8_t m_bigEndian;
    uint8_t m_immediate;

private:
    // Zeroed wire bytes of length bytes, inline when they fit; null when none could be had.
    uint8_t* acquire(std::size_t length);
    void releaseData();
    void writeOpcode();
    void setParam(int wireOffset, uint16_t value);

    uint8_t m_inline[kInlineCapacity];
};
