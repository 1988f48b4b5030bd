#pragma once

#include "core/eeprom_transfer.h"
#include "executor/core/executor.h"

namespace eeprom {

// The executor's raw transfers, called through its virtual table so that the user data
// operations use whatever transfers the board's protocol provides.
inline RawRead rawReadOf(Executor& e) {
    return [&e](uint16_t addr, uint8_t* data, uint16_t size) { return e.getEepromData(addr, data, size); };
}

inline RawWrite rawWriteOf(Executor& e) {
    return [&e](uint16_t addr, const uint8_t* data, uint16_t size) { return e.setEepromData(addr, data, size); };
}

}  // namespace eeprom
