#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "support/harness.h"
#include "support/harness5.h"

// Sizes, addresses, counts, axes and pointers from the host that do not fit their buffers are
// refused before anything reaches the board.

namespace {

uint8_t g_buffer[64];

int32_t& length(int32_t n) {
    static int32_t held;
    return held = n;
}

struct Limit {
    const char* name;
    std::function<bool(Executor&)> refused;  // makes the call; true when it answered with its refusal
    const char* message;                     // logged with the refusal, when the operation reports one
    bool asks = false;                       // may read from the board
};

const Limit kLimits[] = {
    {"eeprom write past the limit", [](Executor& e) { return !e.setEepromData(8000, g_buffer, 193); },
     "EEPROM write range too big"},
    {"eeprom read past the limit", [](Executor& e) { return !e.getEepromData(8190, g_buffer, 3); },
     "EEPROM read range too max"},
    {"eeprom write without data", [](Executor& e) { return !e.setEepromData(0, nullptr, 1); },
     "EEPROM write data missing"},
    {"eeprom read without buffer", [](Executor& e) { return !e.getEepromData(0, nullptr, 1); },
     "EEPROM read data missing"},
    {"user data beyond 16-bit sizes", [](Executor& e) { return !e.writeUserData(g_buffer, 65536); },
     "EEPROM user data size too big"},
    {"user data read beyond 16-bit sizes", [](Executor& e) { return !e.readUserData(g_buffer, 65536); },
     "EEPROM user data size too big"},
    {"user port write without data", [](Executor& e) { return !e.writeUPort(nullptr, length(5)); },
     "Executor::writeUPort bad data or length"},
    {"user port write of negative length", [](Executor& e) { return !e.writeUPort(g_buffer, length(-1)); },
     "Executor::writeUPort bad data or length"},
    {"user port read into negative length", [](Executor& e) { return !e.readUPort(g_buffer, length(-8)); },
     "Executor::readUPort bad buffer or length"},
    {"user port read without buffer", [](Executor& e) { return !e.readUPort(nullptr, length(8)); },
     "Executor::readUPort bad buffer or length"},
    {"flash sector not on a 4 KiB boundary", [](Executor& e) { return !e.setOfflineClearFile(0x800); }, nullptr},
    {"flash sector beyond the chip", [](Executor& e) { return !e.setOfflineClearFile(0x800000); }, nullptr},
    {"axis lists of different sizes",
     [](Executor& e) {
         return e.moveAxis(ExtAxisParArray{std::vector<ExtAxisPar>(1)}, {1, 2}, {true}, false), true;
     },
     nullptr},
    {"axis states of axes the board lacks",
     [](Executor& e) {
         std::vector<AxisSetting> settings(2);
         settings[0].axisNo = -1;
         settings[1].axisNo = 99;
         std::vector<AxisState> states(3);
         e.getAxisStates(settings, states, true);
         return states.empty();
     },
     nullptr, true},
};

// Runs every row on a connected executor whose transport records all traffic; anything queued
// would go out with the flush.
void walk(Harness& h) {
    for (const Limit& limit : kLimits) {
        SCOPED_TRACE(limit.name);
        h.transfer.exchanges.clear();
        h.transfer.calls.clear();
        EXPECT_TRUE(limit.refused(*h.executor));
        EXPECT_TRUE(limit.message == nullptr || h.log.contains(limit.message));
        h.executor->exeCurCmd(false);
        EXPECT_TRUE(limit.asks || h.transfer.exchanges.empty());
        EXPECT_EQ(h.transfer.count("readData") + h.transfer.count("writeData"), 0u);
    }
}

}  // namespace

TEST(InputLimits, Protocol7) {
    Running7 h;
    walk(h);
}

TEST(InputLimits, Protocol5) {
    Harness5 h;
    walk(h);
}
