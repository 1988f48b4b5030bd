#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "support/harness.h"
#include "support/harness5.h"

// Sizes, addresses, counts, axes and pointers from the host that do not fit their buffers are
// refused before anything reaches the board.

namespace {

struct Limit {
    const char* name;
    bool proto7Only;
    // Makes the call; true when it answered with its refusal.
    std::function<bool(Executor&)> call;
    const char* message;  // logged with the refusal, when the operation reports one
};

uint8_t g_buffer[64];

ExtAxisParArray oneAxis() {
    ExtAxisParArray a;
    a.axes.resize(1);
    return a;
}

const Limit kLimits[] = {
    {"eeprom write past the limit", false, [](Executor& e) { return !e.setEepromData(8000, g_buffer, 200); },
     "EEPROM write range too big"},
    {"eeprom read past the limit", false, [](Executor& e) { return !e.getEepromData(8190, g_buffer, 4); },
     "EEPROM read range too max"},
    {"eeprom write without data", false, [](Executor& e) { return !e.setEepromData(0, nullptr, 4); },
     "EEPROM write data missing"},
    {"eeprom read without buffer", false, [](Executor& e) { return !e.getEepromData(0, nullptr, 4); },
     "EEPROM read data missing"},
    {"user data beyond 16-bit sizes", false, [](Executor& e) { return !e.writeUserData(g_buffer, 70000); },
     "EEPROM user data size too big"},
    {"user data read beyond 16-bit sizes", false, [](Executor& e) { return !e.readUserData(g_buffer, 70000); },
     "EEPROM user data size too big"},
    {"user port write without data", false,
     [](Executor& e) {
         int32_t len = 5;
         return !e.writeUPort(nullptr, len);
     },
     "Executor::writeUPort bad data or length"},
    {"user port write of negative length", false,
     [](Executor& e) {
         int32_t len = -1;
         return !e.writeUPort(g_buffer, len);
     },
     "Executor::writeUPort bad data or length"},
    {"user port read into negative length", false,
     [](Executor& e) {
         int32_t len = -8;
         return !e.readUPort(g_buffer, len);
     },
     "Executor::readUPort bad buffer or length"},
    {"user port read without buffer", false,
     [](Executor& e) {
         int32_t len = 8;
         return !e.readUPort(nullptr, len);
     },
     "Executor::readUPort bad buffer or length"},
    {"null packet", false, [](Executor& e) { return !e.addCmd(nullptr); }, nullptr},
    {"flash sector not on a 4 KiB boundary", false, [](Executor& e) { return !e.setOfflineClearFile(0x800); }, nullptr},
    {"flash sector beyond the chip", false, [](Executor& e) { return !e.setOfflineClearFile(0x800000); }, nullptr},
    {"axis lists of different sizes", false,
     [](Executor& e) {
         e.moveAxis(oneAxis(), {1, 2}, {true}, false);
         return true;  // nothing queued, checked below
     },
     nullptr},
    {"axis states of axes the board lacks", false,
     [](Executor& e) {
         std::vector<AxisSetting> settings(2);
         settings[0].axisNo = -1;
         settings[1].axisNo = 99;
         std::vector<AxisState> states(3);
         e.getAxisStates(settings, states, true);
         return states.empty();
     },
     nullptr},
    {"data transmit longer than a network frame", true,
     [](Executor& e) { return dynamic_cast<Executor7&>(e).setDataTransmit(g_buffer, 1461, false, g_buffer, 4) == -1; },
     nullptr},
    {"data transmit without data", true,
     [](Executor& e) { return dynamic_cast<Executor7&>(e).setDataTransmit(nullptr, 5, false, nullptr, 0) == -1; },
     nullptr},
    {"input filter beyond 32 inputs", true,
     [](Executor& e) { return !dynamic_cast<Executor7&>(e).setGpiFilter(32, 1); }, nullptr},
    {"bitmap dots beyond the mask", true,
     [](Executor& e) {
         dynamic_cast<Executor7&>(e).sendBitmapLight(g_buffer, 81);
         dynamic_cast<Executor7&>(e).sendBitmapLight(nullptr, 3);
         return true;
     },
     nullptr},
    {"axis beyond the four status slots", true, [](Executor& e) { return e.waitForMoveFinish(200); }, nullptr},
};

// Runs every row on a connected executor whose transport records all traffic.
void walk(Harness& h, bool proto7) {
    for (const Limit& limit : kLimits) {
        if (limit.proto7Only && !proto7) continue;
        SCOPED_TRACE(limit.name);
        h.transfer.exchanges.clear();
        h.transfer.calls.clear();
        h.log.entries.clear();
        EXPECT_TRUE(limit.call(*h.executor));
        if (limit.message != nullptr) {
            EXPECT_TRUE(h.log.contains(limit.message));
        }
        const bool readsStates = std::string(limit.name).find("axis states") != std::string::npos;
        h.executor->exeCurCmd(false);  // anything queued would go out now
        if (!readsStates) {
            EXPECT_TRUE(h.transfer.exchanges.empty());
        }
        EXPECT_EQ(h.transfer.count("readData") + h.transfer.count("writeData"), 0u);
    }
}

}  // namespace

TEST(InputLimits, Protocol7) {
    Running7 h;
    walk(h, true);
}

TEST(InputLimits, Protocol5) {
    Harness5 h;
    walk(h, false);
}
