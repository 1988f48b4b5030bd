#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "support/harness.h"
#include "support/harness5.h"

// Sizes, counts, axes and pointers from the host that do not fit their buffers are refused
// before anything reaches the board. Parameter memory ranges have their own suite.

namespace {

uint8_t g_buffer[64];

int32_t& length(int32_t n) {
    static int32_t held;
    return held = n;
}

struct Limit {
    const char* name;
    std::function<bool(Executor&)> refused;  // makes the call; true when it answered with its refusal
    bool asks = false;                       // may read from the board
};

const Limit kLimits[] = {
    {"eeprom write without data", [](Executor& e) { return !e.setEepromData(0, nullptr, 1); }},
    {"eeprom read without buffer", [](Executor& e) { return !e.getEepromData(0, nullptr, 1); }},
    {"user data beyond 16-bit sizes", [](Executor& e) { return !e.writeUserData(g_buffer, 65536); }},
    {"user port write without data", [](Executor& e) { return !e.writeUPort(nullptr, length(5)); }},
    {"user port write of negative length", [](Executor& e) { return !e.writeUPort(g_buffer, length(-1)); }},
    {"user port read into negative length", [](Executor& e) { return !e.readUPort(g_buffer, length(-8)); }},
    {"user port read without buffer", [](Executor& e) { return !e.readUPort(nullptr, length(8)); }},
    {"flash sector not on a 4 KiB boundary", [](Executor& e) { return !e.setOfflineClearFile(0x800); }},
    {"flash sector beyond the chip", [](Executor& e) { return !e.setOfflineClearFile(0x800000); }},
    {"axis lists of different sizes",
     [](Executor& e) {
         return e.moveAxis(ExtAxisParArray{std::vector<ExtAxisPar>(1)}, {1, 2}, {true}, false), true;
     }},
    {"axis states of axes the board lacks",
     [](Executor& e) {
         std::vector<AxisSetting> settings(2);
         settings[0].axisNo = -1;
         settings[1].axisNo = 99;
         std::vector<AxisState> states(3);
         e.getAxisStates(settings, states, true);
         return states.empty();
     },
     true},
};

// Runs every row on a connected executor whose transport records all traffic; anything queued
// would go out with the flush.
void walk(Harness& h) {
    for (const Limit& limit : kLimits) {
        SCOPED_TRACE(limit.name);
        h.transfer.exchanges.clear();
        h.transfer.calls.clear();
        EXPECT_TRUE(limit.refused(*h.executor));
        h.executor->exeCurCmd(false);
        EXPECT_TRUE(limit.asks || h.transfer.exchanges.empty());
        EXPECT_EQ(h.transfer.count("readData") + h.transfer.count("writeData"), 0u);
    }
}

}  // namespace

TEST(InputLimits, BothProtocols) {
    {
        Running7 h;
        walk(h);
    }
    Harness5 h;
    walk(h);
}
