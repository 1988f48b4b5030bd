#include "executor/cmd/kest_cmd.h"

#include <cstddef>
#include <new>

#include "cmd/wire.h"
#include "executor/platform/byte_order.h"

namespace {

uint8_t* allocateZeroed(size_t length) { return new (std::nothrow) uint8_t[length](); }

}  // namespace

KestCmd::KestCmd(uint16_t cmd, bool immediate)
    : m_cmd(cmd),
      m_len(immediate ? kImmediateLen : kHeaderLen),
      m_flag(0),
      m_data(nullptr),
      m_bigEndian(utils::isBigEndian() ? 1 : 0),
      m_immediate(immediate ? 1 : 0) {
    m_data = allocateZeroed(m_len);
    if (m_data == nullptr) {
        m_len = 0;
        return;
    }
    writeOpcode();
    if (!immediate) {
        m_data[2] = static_cast<uint8_t>(m_len);
        m_data[3] = m_flag;
    }
}

KestCmd::~KestCmd() { delete[] m_data; }

void KestCmd::resize(uint16_t payloadLen, bool writeHeader) {
    delete[] m_data;
    // The buffer always holds the header, even when the 16-bit length wraps.
    m_data = allocateZeroed(static_cast<size_t>(payloadLen) + kHeaderLen);
    if (m_data == nullptr) {
        m_len = 0;
        return;
    }
    m_len = static_cast<uint16_t>(payloadLen + kHeaderLen);
    writeOpcode();
    if (writeHeader) {
        m_data[2] = static_cast<uint8_t>(m_len);
        m_data[3] = m_flag;
    }
}

void KestCmd::setBytes(int offset, const uint8_t* src, int count, bool raw) {
    if (m_data == nullptr || src == nullptr || offset < 0 || count < 0) return;
    if (kHeaderLen + offset + count > static_cast<int>(m_len)) return;
    uint8_t* dst = m_data + kHeaderLen + offset;
    if (!m_bigEndian && !raw) {
        for (int i = 0; i < count; ++i) dst[i] = src[count - 1 - i];
    } else {
        for (int i = 0; i < count; ++i) dst[i] = src[i];
    }
}

void KestCmd::setBit(int offset, uint8_t bit, bool on) {
    if (m_data == nullptr || offset < 0 || bit > 7) return;
    if (offset + kHeaderLen + 1 > static_cast<int>(m_len)) return;
    uint8_t& byte = m_data[kHeaderLen + offset];
    const uint8_t mask = static_cast<uint8_t>(1u << bit);
    byte = on ? static_cast<uint8_t>(byte | mask) : static_cast<uint8_t>(byte & ~mask);
}

void KestCmd::setParam1(uint16_t value) { setParam(2, value); }
void KestCmd::setParam2(uint16_t value) { setParam(4, value); }
void KestCmd::setParam3(uint16_t value) { setParam(6, value); }
void KestCmd::setParam4(uint16_t value) { setParam(8, value); }
void KestCmd::setParam5(uint16_t value) { setParam(10, value); }

void KestCmd::writeOpcode() { wire::put16be(m_data, m_cmd); }

void KestCmd::setParam(int wireOffset, uint16_t value) {
    if (m_data == nullptr || wireOffset + 2 > static_cast<int>(m_len)) return;
    wire::put16be(m_data + wireOffset, value);
}
