#pragma once

#include <cstdint>

#include "executor/export.h"

// One command packet for the board: opcode and owned wire bytes.
//
// List form:      [opcode BE:2][length:1][flag:1][payload...]
// Immediate form: [opcode BE:2][param1:2][param2:2][param3:2][param4:2][param5:2], always 12 bytes.
//
// Writes that would not fit inside m_len bytes are skipped silently.
class EXECUTOR_API KestCmd {
public:
    static constexpr uint16_t kHeaderLen = 4;
    static constexpr uint16_t kImmediateLen = 12;

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
    void writeOpcode();
    void setParam(int wireOffset, uint16_t value);
};
