#include "executor/cmd/kest_cmd.h"

#include <cstddef>
#include <cstring>
#include <new>

#include "cmd/packet_pool.h"
#include "cmd/packet_writer.h"
#include "cmd/wire.h"
#include "executor/platform/byte_order.h"

static_assert(sizeof(KestCmd) <= packet_pool::kBlockSize, "a packet fits one pool block");

void* KestCmd::operator new(std::size_t size) { return packet_pool::allocate(size); }

void KestCmd::operator delete(void* block, std::size_t size) noexcept { packet_pool::release(block, size); }

KestCmd::KestCmd(uint16_t cmd, bool immediate)
    : m_cmd(cmd),
      m_len(immediate ? kImmediateLen : kHeaderLen),
      m_flag(0),
      m_data(nullptr),
      m_bigEndian(utils::isBigEndian() ? 1 : 0),
      m_immediate(immediate ? 1 : 0) {
    m_data = acquire(m_len);
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

KestCmd::~KestCmd() { releaseData(); }

void KestCmd::resize(uint16_t payloadLen, bool writeHeader) {
    releaseData();
    // The buffer always holds the header, even when the 16-bit length wraps.
    m_data = acquire(static_cast<size_t>(payloadLen) + kHeaderLen);
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

uint8_t* KestCmd::acquire(std::size_t length) {
    if (length > kInlineCapacity) return new (std::nothrow) uint8_t[length]();
    std::memset(m_inline, 0, sizeof(m_inline));  // a fixed size: a few stores, no call
    return m_inline;
}

void KestCmd::releaseData() {
    if (m_data != m_inline) delete[] m_data;
    m_data = nullptr;
}

void KestCmd::writeOpcode() { wire::put16be(m_data, m_cmd); }

void KestCmd::setParam(int wireOffset, uint16_t value) {
    if (m_data == nullptr || wireOffset + 2 > static_cast<int>(m_len)) return;
    wire::put16be(m_data + wireOffset, value);
}

// Here rather than beside PacketWriter, so that the constructor and resize compile into them.
std::unique_ptr<KestCmd> makeListPacket(uint16_t opcode, uint16_t totalLen) {
    auto cmd = std::make_unique<KestCmd>(opcode, false);
    if (totalLen <= KestCmd::kHeaderLen) return cmd;
    if (totalLen <= KestCmd::kInlineCapacity && cmd->m_data != nullptr) {
        // A new packet's bytes are inline and zero behind the header: only the length grows, which
        // saves the second zeroing and opcode write of resize on every packet.
        cmd->m_len = totalLen;
        cmd->m_data[2] = static_cast<uint8_t>(totalLen);
        return cmd;
    }
    cmd->resize(static_cast<uint16_t>(totalLen - KestCmd::kHeaderLen), true);
    return cmd;
}

std::unique_ptr<KestCmd> makeImmediatePacket(uint16_t opcode, uint16_t totalLen) {
    auto cmd = std::make_unique<KestCmd>(opcode, true);
    if (totalLen > KestCmd::kImmediateLen) cmd->resize(static_cast<uint16_t>(totalLen - KestCmd::kHeaderLen), false);
    return cmd;
}
