#pragma once

#include <cstdint>
#include <functional>

#include "executor/transfer/transfer.h"

// Raw EEPROM transfers and the user data area kept on top of them. The loops, limits and pauses
// are the same on every board; each protocol only says where its commands carry their fields.
namespace eeprom {

// Field offsets (from the first byte of a request or reply) and reply judging of one protocol.
struct Layout {
    uint16_t preReadOp;
    uint16_t readOp;
    uint16_t writeOp;
    uint16_t writeLen;   // whole write request
    int preReadAddrAt;   // 16-bit start address
    int preReadCountAt;  // 16-bit byte count - 1
    int writeAddrAt;     // 16-bit address of the piece
    int writeCountAt;    // piece length - 1
    int writeDataAt;     // up to kMaxPiece data bytes
    int busyAt;          // bit 0 set: busy (pre-read and write replies)
    int pieceLenAt;      // read reply: number of data bytes
    int pieceDataAt;     // read reply: the data
    bool judgeStatus;    // reply byte 2 must also be 0
};

constexpr uint32_t kMaxPiece = 32;

// Writes size bytes at addr in pieces of kMaxPiece, repeating a piece while the board is busy.
// Refused without traffic when addr + size passes limit (or the 16-bit address space) or data
// is null with size > 0.
bool write(Transfer* transfer, const Layout& layout, uint32_t limit, uint16_t addr, const uint8_t* data, uint16_t size);
// Announces the read, then collects the pieces the board hands out until size bytes arrived.
// Bytes a board hands out beyond size are dropped: the caller's buffer holds exactly size and
// the announced bytes did arrive. Size 0 pre-reads and then fails.
bool read(Transfer* transfer, const Layout& layout, uint32_t limit, uint16_t addr, uint8_t* data, uint16_t size);

// The user data area. Information block at 0 (area address, highest EEPROM address); at the
// area address a 32-byte header (data size, checksum); the data 64 bytes into the area. It works
// through the executor's own raw operations, so a protocol that replaces them reuses this.
using RawRead = std::function<bool(uint16_t addr, uint8_t* data, uint16_t size)>;
using RawWrite = std::function<bool(uint16_t addr, const uint8_t* data, uint16_t size)>;
using HeaderWrite = std::function<bool(uint32_t size, uint32_t crc)>;

// On success sets the area address and the transfer limit (highest address + 1).
bool readInfo(const RawRead& rawRead, uint32_t& areaAddr, uint32_t& limit, uint32_t& dataAddr, uint32_t& eepromSize);
bool readHeader(const RawRead& rawRead, uint32_t areaAddr, uint32_t& size, uint32_t& crc);
bool writeHeader(const RawWrite& rawWrite, uint32_t areaAddr, uint32_t size, uint32_t crc);
// Writes the data, then its size and checksum through storeHeader; a failed data write keeps the
// old header.
bool writeUserData(const RawWrite& rawWrite, const HeaderWrite& storeHeader, uint32_t areaAddr, const uint8_t* data,
                   uint32_t size);
// Reads the data and compares its checksum with crc. With splitAt > 0, a longer block is read
// as splitAt bytes and then the rest.
bool readUserData(const RawRead& rawRead, uint32_t areaAddr, uint32_t splitAt, uint32_t crc, uint8_t* data,
                  uint32_t size);

// CRC-32 of the data, saturated at 0x7FFFFFFF as a signed 32-bit hex conversion would.
uint32_t checksum(const uint8_t* data, uint32_t size);

}  // namespace eeprom
