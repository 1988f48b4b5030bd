#include "core/eeprom_executor.h"
#include "executor/proto7/executor7.h"
#include "proto7/opcodes7.h"

namespace {

const eeprom::Layout kLayout7{
    op7::kEepromPreRead,
    op7::kEepromRead,
    op7::kEepromWrite,
    40,    // write request length
    4,     // pre-read: address
    6,     // pre-read: count - 1
    4,     // write: address
    6,     // write: piece length - 1
    8,     // write: data
    4,     // busy bit
    4,     // read reply: piece length
    6,     // read reply: data
    true,  // status byte judged too
};

// User data beyond this size is fetched with a second pre-read.
constexpr uint32_t kReadSplit = 4096;

}  // namespace

bool Executor7::setEepromData(uint16_t addr, const uint8_t* data, uint16_t size) {
    return eeprom::write(m_transfer, kLayout7, m_eepromLimit, addr, data, size);
}

bool Executor7::getEepromData(uint16_t addr, uint8_t* data, uint16_t size) {
    return eeprom::read(m_transfer, kLayout7, m_eepromLimit, addr, data, size);
}

bool Executor7::getUserRamInfo(uint32_t& dataAddr, uint32_t& eepromSize) {
    return eeprom::readInfo(eeprom::rawReadOf(*this), m_userDataAddr, m_eepromLimit, dataAddr, eepromSize);
}

bool Executor7::getUserDataSize(uint32_t& size) {
    if (!eeprom::readHeader(eeprom::rawReadOf(*this), m_userDataAddr, m_userDataSize, m_userDataCrc)) return false;
    size = m_userDataSize;
    return true;
}

bool Executor7::setEepromDataSize(uint32_t size, uint32_t crc) {
    return eeprom::writeHeader(eeprom::rawWriteOf(*this), m_userDataAddr, size, crc);
}

bool Executor7::writeUserData(const uint8_t* data, uint32_t size) {
    return eeprom::writeUserData(
        eeprom::rawWriteOf(*this), [this](uint32_t n, uint32_t crc) { return setEepromDataSize(n, crc); },
        m_userDataAddr, data, size);
}

bool Executor7::readUserData(uint8_t* data, uint32_t size) {
    return eeprom::readUserData(eeprom::rawReadOf(*this), m_userDataAddr, kReadSplit, m_userDataCrc, data, size);
}
