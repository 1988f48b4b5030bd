#include "core/eeprom_transfer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cmd/packet_writer.h"
#include "cmd/wire.h"
#include "core/exchange.h"
#include "core/log.h"
#include "executor/platform/crc.h"
#include "executor/platform/thread.h"

namespace eeprom {
namespace {

constexpr uint32_t kBusyLimit = 101;  // busy write or empty read replies tolerated per transfer
constexpr uint32_t kReadErrorLimit = 4;
constexpr int kPreReadAttempts = 3;
constexpr uint32_t kPieceMs = 18;  // the board needs this long to take or hand out a piece
constexpr uint32_t kRetryMs = 10;
constexpr uint32_t kAddressSpace = 0x10000;

constexpr uint32_t kBlockLen = 32;
constexpr uint32_t kHeaderOffset = 32;
constexpr uint32_t kDataOffset = 64;

bool inRange(uint32_t limit, uint16_t addr, uint16_t size) {
    // Summed in 32 bits: a transfer running past 0xFFFF is refused instead of wrapping to 0.
    const uint32_t end = static_cast<uint32_t>(addr) + size;
    return end <= limit && end <= kAddressSpace;
}

bool judged(const Layout& layout, const Reply& reply) { return !layout.judgeStatus || reply.accepted(); }

bool busy(const Layout& layout, const Reply& reply) {
    return (reply.at(static_cast<uint32_t>(layout.busyAt)) & 0x01) != 0;
}

bool preRead(Transfer* transfer, const Layout& layout, uint16_t addr, uint16_t size) {
    auto cmd = makeImmediatePacket(layout.preReadOp);
    PacketWriter(*cmd).be16(layout.preReadAddrAt, addr).be16(layout.preReadCountAt, static_cast<uint16_t>(size - 1));
    Reply reply;
    for (int attempt = 0; attempt < kPreReadAttempts; ++attempt) {
        if (!exchange(transfer, *cmd, reply)) {
            logError("EEPROM pre read transfer fail");
            return false;
        }
        if (judged(layout, reply) && !busy(layout, reply)) return true;
        utils::Thread::sleep(kRetryMs);
    }
    logError("EEPROM pre read fail");
    return false;
}

bool userSizeFits(uint32_t size) {
    if (size < kAddressSpace) return true;
    logError("EEPROM user data size too big");
    return false;
}

// The 16-bit address of size bytes at offset in the area; refused rather than wrapped when they
// would run past 0xFFFF, which would otherwise land on the information block.
bool areaAddress(uint32_t areaAddr, uint32_t offset, uint32_t size, uint16_t& addr) {
    if (static_cast<uint64_t>(areaAddr) + offset + size > kAddressSpace) {
        logError("EEPROM user data address too big");
        return false;
    }
    addr = static_cast<uint16_t>(areaAddr + offset);
    return true;
}

}  // namespace

bool write(Transfer* transfer, const Layout& layout, uint32_t limit, uint16_t addr, const uint8_t* data,
           uint16_t size) {
    if (!inRange(limit, addr, size)) {
        logError("EEPROM write range too big");
        return false;
    }
    if (data == nullptr && size > 0) {
        logError("EEPROM write data missing");
        return false;
    }
    static const uint8_t kBlank[kMaxPiece] = {};
    auto cmd = makeImmediatePacket(layout.writeOp, layout.writeLen);
    Reply reply;
    uint32_t written = 0;
    uint32_t busyCount = 0;
    bool ok = true;
    while (written < size) {
        const uint32_t piece = std::min<uint32_t>(size - written, kMaxPiece);
        // The tail of a short last piece is blanked so no bytes of the previous piece go along.
        PacketWriter(*cmd)
            .be16(layout.writeAddrAt, static_cast<uint16_t>(addr + written))
            .u8(layout.writeCountAt, static_cast<uint8_t>(piece - 1))
            .bytes(layout.writeDataAt, kBlank, kMaxPiece)
            .bytes(layout.writeDataAt, data + written, static_cast<int>(piece));
        if (!exchange(transfer, *cmd, reply) || !judged(layout, reply)) {
            logError("EEPROM write transfer fail");
            ok = false;
            break;
        }
        if (!busy(layout, reply)) {
            written += piece;
        } else if (++busyCount > kBusyLimit) {
            logError("EEPROM write fail too many count");
            ok = false;
            break;
        }
        utils::Thread::sleep(kPieceMs);
    }
    Logger(Logger::kInfo, kLogTag).printf("EEPROM write fail count:%d", static_cast<int>(busyCount));
    return ok;
}

bool read(Transfer* transfer, const Layout& layout, uint32_t limit, uint16_t addr, uint8_t* data, uint16_t size) {
    if (!inRange(limit, addr, size)) {
        logError("EEPROM read range too max");
        return false;
    }
    if (data == nullptr && size > 0) {
        logError("EEPROM read data missing");
        return false;
    }
    if (!preRead(transfer, layout, addr, size)) return false;
    utils::Thread::sleep(kPieceMs);

    auto cmd = makeImmediatePacket(layout.readOp);
    Reply reply;
    const auto dataAt = static_cast<uint32_t>(layout.pieceDataAt);
    uint32_t received = 0;
    uint32_t empty = 0;
    uint32_t errors = 0;
    bool got = false;
    while (received < size) {
        if (!exchange(transfer, *cmd, reply) || !judged(layout, reply)) {
            if (++errors > kReadErrorLimit) {
                logError("EEPROM read transfer err too many");
                return false;
            }
            utils::Thread::sleep(kPieceMs);
            continue;
        }
        const uint32_t n = reply.at(static_cast<uint32_t>(layout.pieceLenAt));
        if (n == 0) {
            if (++empty > kBusyLimit) {
                logError("EEPROM read fail too many");
                return false;
            }
            utils::Thread::sleep(kRetryMs);
            continue;
        }
        if (n + dataAt > reply.length()) {
            logError("EEPROM return data size too max");
            return false;
        }
        const uint32_t take = std::min<uint32_t>(n, size - received);
        std::memcpy(data + received, reply.data() + dataAt, take);
        received += take;
        got = true;
        utils::Thread::sleep(kPieceMs);
    }
    return got;
}

bool readInfo(const RawRead& rawRead, uint32_t& areaAddr, uint32_t& limit, uint32_t& dataAddr, uint32_t& eepromSize) {
    uint8_t block[kBlockLen] = {};
    if (!rawRead(0, block, kBlockLen)) return false;
    areaAddr = wire::get32be(block);
    dataAddr = areaAddr + kDataOffset;
    eepromSize = wire::get32be(block + 4);
    // A blank block (all 0xFF) wraps the limit to 0, which refuses every transfer.
    limit = eepromSize + 1;
    return true;
}

bool readHeader(const RawRead& rawRead, uint32_t areaAddr, uint32_t& size, uint32_t& crc) {
    uint16_t at = 0;
    if (!areaAddress(areaAddr, kHeaderOffset, kBlockLen, at)) return false;
    uint8_t block[kBlockLen] = {};
    if (!rawRead(at, block, kBlockLen)) return false;
    size = wire::get32be(block);
    crc = wire::get32be(block + 4);
    return true;
}

bool writeHeader(const RawWrite& rawWrite, uint32_t areaAddr, uint32_t size, uint32_t crc) {
    uint16_t at = 0;
    if (!areaAddress(areaAddr, kHeaderOffset, kBlockLen, at)) return false;
    uint8_t block[kBlockLen] = {};
    wire::put32be(block, size);
    wire::put32be(block + 4, crc);
    return rawWrite(at, block, kBlockLen);
}

bool writeUserData(const RawWrite& rawWrite, const HeaderWrite& storeHeader, uint32_t areaAddr, const uint8_t* data,
                   uint32_t size) {
    uint16_t at = 0;
    if (!userSizeFits(size) || !areaAddress(areaAddr, kDataOffset, size, at)) return false;
    if (!rawWrite(at, data, static_cast<uint16_t>(size))) return false;
    return storeHeader(size, checksum(data, size));
}

bool readUserData(const RawRead& rawRead, uint32_t areaAddr, uint32_t splitAt, uint32_t crc, uint8_t* data,
                  uint32_t size) {
    uint16_t at = 0;
    if (!userSizeFits(size) || !areaAddress(areaAddr, kDataOffset, size, at)) return false;
    const uint32_t first = (splitAt > 0 && size > splitAt) ? splitAt : size;
    if (!rawRead(at, data, static_cast<uint16_t>(first))) return false;
    if (first < size && !rawRead(static_cast<uint16_t>(at + first), data + first, static_cast<uint16_t>(size - first)))
        return false;
    if (checksum(data, size) != crc) {
        logError("EEPROM read data crc fail");
        return false;
    }
    logError("EEPROM read data crc OK");
    return true;
}

uint32_t checksum(const uint8_t* data, uint32_t size) {
    using namespace utils::algorithm::crc;
    const std::string hex = crcHexString(CRC32_STANDARD, data, size);
    // Stored checksums went through a signed 32-bit conversion, so they saturate the same way.
    const unsigned long long value = std::strtoull(hex.c_str(), nullptr, 16);
    return value > 0x7FFFFFFFu ? 0x7FFFFFFFu : static_cast<uint32_t>(value);
}

}  // namespace eeprom
