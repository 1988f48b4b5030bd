#include "core/eeprom_executor.h"
#include "proto5/executor5.h"
#include "proto5/opcodes5.h"

namespace {

// These boards judge pieces by their busy bit alone; byte 2 is no status byte here.
const eeprom::Layout kLayout5{
    op5::kEepromPreRead,
    op5::kEepromRead,
    op5::kEepromWrite,
    38,  // write request
    2,
    4,  // pre-read: address, count - 1
    2,
    4,  // write: address, piece length - 1
    6,  // write: data
    2,  // busy bit
    2,
    4,      // read reply: piece length, data
    false,  // status byte not judged
};

// The whole block is read with one pre-read.
constexpr uint32_t kNoSplit = 0;

}  // namespace

bool Executor5::setEepromData(uint16_t addr, const uint8_t* data, uint16_t size) {
    return eeprom::write(m_transfer, kLayout5, m_eepromLimit, addr, data, size);
}

bool Executor5::getEepromData(uint16_t addr, uint8_t* data, uint16_t size) {
    return eeprom::read(m_transfer, kLayout5, m_eepromLimit, addr, data, size);
}

bool Executor5::getUserRamInfo(uint32_t& dataAddr, uint32_t& eepromSize) {
    return eeprom::readInfo(eeprom::rawReadOf(*this), m_userDataAddr, m_eepromLimit, dataAddr, eepromSize);
}

bool Executor5::getUserDataSize(uint32_t& size) {
    if (!eeprom::readHeader(eeprom::rawReadOf(*this), m_userDataAddr, m_userDataSize, m_userDataCrc)) return false;
    size = m_userDataSize;
    return true;
}

bool Executor5::setEepromDataSize(uint32_t size, uint32_t crc) {
    return eeprom::writeHeader(eeprom::rawWriteOf(*this), m_userDataAddr, size, crc);
}

bool Executor5::writeUserData(const uint8_t* data, uint32_t size) {
    return eeprom::writeUserData(
        eeprom::rawWriteOf(*this), [this](uint32_t n, uint32_t crc) { return setEepromDataSize(n, crc); },
        m_userDataAddr, data, size);
}

bool Executor5::readUserData(uint8_t* data, uint32_t size) {
    return eeprom::readUserData(eeprom::rawReadOf(*this), m_userDataAddr, kNoSplit, m_userDataCrc, data, size);
}
