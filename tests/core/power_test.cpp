#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "support/harness.h"

using ::testing::ElementsAre;
using ::testing::IsEmpty;

namespace {

// Records the encoder calls of the shared power logic instead of encoding them.
class CallLog : public Executor7 {
public:
    using Executor::calcCurrentPower;
    using Executor::calcPower;

    void sendRedSignal(bool on) override { add("red", on); }
    void sendLenPara(const TarnParam&, bool redOn, MarkType type) override { add("lens", redOn, type); }
    void sendPortPara(const IOParam& io) override { add("port", int{io.portSetting}); }
    void sendPreionFPS(const LaserParam& laser) override { add("preion", laser.laserType); }
    bool exeCurCmd(bool wait) override { return add("exe", wait), true; }
    void sendCO2PreionFPS(const LaserParam&, float kHz) override { add("co2", kHz); }
    void sendLightOnDelay(const PenParam& pen) override { add("delay", pen.lightDelayA); }
    void sendPRRSignal(LaserType type, float kHz, double factor) override { add("prr", type, kHz, factor); }
    void sendSpiPower(uint16_t a, uint16_t b, uint8_t c, uint8_t d, bool e) override {
        add("spi", a, b, int{c}, int{d}, e);
    }
    void sendFiberPower(LaserType type, double kHz, double us, uint16_t power, uint16_t word) override {
        add("fiber", type, kHz, us, power, word);
    }
    void sendPWMSignal(const LaserParam&, double kHz, double us, bool option, bool flag) override {
        add("pwm", kHz, us, option, flag);
    }
    void sendDASignal(uint16_t level, bool a, bool b) override { add("da", level, a, b); }
    void sendMOPALaser(LaserType type, uint16_t value) override { add("mopa", type, value); }

    std::vector<std::string> calls;

private:
    template <typename... Args>
    void add(const char* name, Args... args) {
        std::ostringstream line;
        line << name;
        ((line << ' ' << args), ...);
        calls.push_back(line.str());
    }
};

void ramp(float* table, float first, float step) {
    for (int i = 0; i < 11; ++i) table[i] = first + step * static_cast<float>(i);
}

// Curves that tell the tables apart: type 0 maps 50 % to 40, type 2 to 30, type 3 to 20;
// DA 0 maps 30 % to 27, DA 1 maps power 0 to 5 and current 2.5 to 22.5, DA 4 current 2.5 to 8.5.
LaserParam curves(LaserType type, bool da = true) {
    LaserParam l;
    l.laserType = type;
    ramp(l.powerTable0, 0, 8);
    ramp(l.powerTable2, 0, 6);
    ramp(l.powerTable3, 0, 4);
    ramp(l.daTable0, 0, 9);
    ramp(l.daTable1, 5, 7);
    ramp(l.daTable4, 1, 3);
    ramp(l.daTable6, 0, 2);
    l.daEnable0 = l.daEnable1 = l.daEnable4 = l.daEnable6 = da ? 1 : 0;
    return l;
}

PenParam pen(float pulseWidth = 7) {
    PenParam p;
    p.power = 30;
    p.powerWord = 0x0102;
    p.current = 2.5f;
    p.frequency = 20;  // period 50 us
    p.pulseWidth = pulseWidth;
    p.mopaValue = 0x10028;  // 40 in the low 16 bits
    p.lightDelayA = 11;
    return p;
}

}  // namespace

TEST(PowerCurve, InterpolatesClampsAndRounds) {
    float steps[11];  // 0, 100, 300, 600, ... 5500
    for (int i = 0; i < 11; ++i) steps[i] = 50.0f * static_cast<float>(i * (i + 1));
    float halves[11];
    ramp(halves, 153, 50);
    float current[11];
    ramp(current, 36, 30);
    const float big[11] = {-2, 70000, 70000, 70000, 70000, 70000, 70000, 70000, 70000, 70000, 70000};
    const float nan = std::nanf("");
    float holes[11] = {};
    holes[2] = nan;

    CallLog e;
    struct Row {
        const float* table;
        bool current;
        float at;
        uint16_t expected;
    };
    const Row rows[] = {
        {steps, false, 0, 0},       {steps, false, 100, 5500}, {steps, false, 150, 5500}, {steps, false, -3, 0},
        {steps, false, 5, 50},      {steps, false, 10, 100},   {steps, false, 25, 450},   {steps, false, 99.5f, 5450},
        {halves, false, 0.7f, 157},  // 153 + 0.7f * 5 in single precision is 156.5; in double 156.49999
        {big, false, 0, 0xFFFE},    {big, false, 10, 4464},  // 70000 - 65536
        {steps, false, nan, 0},     {holes, false, 15, 0},     {steps, true, 10, 5500},   {steps, true, 0.5f, 50},
        {steps, true, 11, 5500},    {steps, true, -1, 0},      {steps, true, 2.5f, 450},  {steps, true, 1, 100},
        {current, true, 0.45f, 50},  // 36 + 30 * 0.45f is 49.5 in single precision, 49.4999 in double
        {steps, true, nan, 0},
    };
    for (const Row& r : rows) {
        const uint16_t got = r.current ? e.calcCurrentPower(r.table, r.at) : e.calcPower(r.table, r.at);
        EXPECT_EQ(got, r.expected) << (r.current ? "current " : "percent ") << r.at;
    }
}

TEST(PowerSetPower, CallsPerLaserType) {
    struct Row {
        const char* name;
        LaserParam laser;
        int16_t power;
        PenParam pen;
        std::vector<std::string> calls;
    };
    LaserParam penWidthOff = curves(1);
    penWidthOff.penWidthSwitch = 1;
    const Row rows[] = {
        // Type 0: 50 % -> 40 through its table, width 50 us * 40 / 100.
        {"0", curves(0), 50, pen(), {"fiber 0 20 20 40 9", "pwm 20 20 0 0", "da 45 0 0"}},
        {"0 pen", curves(0), -1, pen(), {"fiber 0 20 12 24 9", "pwm 20 12 1 0", "da 27 0 0"}},
        {"0 no DA", curves(0, false), 50, pen(), {"fiber 0 20 20 40 9", "pwm 20 20 0 0", "da 0 0 0"}},
        {"1", curves(1), 50, pen(), {"fiber 1 20 25 50 9", "pwm 20 25 0 0", "da 40 0 0"}},
        {"1 pen", curves(1), -1, pen(), {"fiber 1 20 7 30 9", "pwm 20 7 1 0", "da 23 0 0"}},
        {"1 pen, width switch", penWidthOff, -1, pen(), {"fiber 1 20 15 30 9", "pwm 20 15 1 0", "da 23 0 0"}},
        {"1 full period", curves(1), 100, pen(), {"fiber 1 20 49 100 9", "pwm 20 49 0 0", "da 75 0 0"}},
        {"1 too long", curves(1), -1, pen(60), {"fiber 1 20 49 30 9", "pwm 20 49 1 0", "da 23 0 0"}},
        {"1 power 0", curves(1), 0, pen(), {"fiber 1 20 1 0 9", "pwm 20 1 0 0", "da 5 0 0"}},
        {"2", curves(2), 50, pen(), {"fiber 2 20 0 30 9", "pwm 20 0 0 0", "da 0 0 0"}},
        {"3", curves(3), 50, pen(), {"fiber 3 20 0 20 9", "pwm 20 0 0 0", "da 0 0 0"}},
        {"4", curves(4), 50, pen(), {"fiber 4 20 25 50 9", "pwm 20 25 0 0", "da 16 0 0"}},
        {"4 power 0 reads the current", curves(4), 0, pen(), {"fiber 4 20 1 0 9", "pwm 20 1 0 0", "da 9 0 0"}},
        {"5", curves(5), 50, pen(), {"spi 50 0 1 0 0", "pwm 20 25 0 0", "da 0 0 0"}},
        // Pen mode takes the width from the whole MOPA value: 50 * 65576 / 100.
        {"5 pen", curves(5), -1, pen(), {"spi 30 0 1 0 0", "pwm 20 32788 1 0", "da 0 0 0"}},
        {"6", curves(6), 50, pen(60), {"fiber 6 20 60 50 9", "pwm 20 60 0 0", "da 10 0 0"}},
        {"6 pen", curves(6), -1, pen(0.4f), {"fiber 6 20 0.4 30 9", "pwm 20 0.4 1 0", "da 6 0 0"}},
    };
    for (const Row& r : rows) {
        CallLog e;
        e.setPower(r.laser, r.pen, r.power, 9);
        EXPECT_EQ(e.calls, r.calls) << r.name;
    }
}

TEST(PowerPen, PenAndMarkParametersInOrder) {
    Harness h(std::make_unique<CallLog>());
    auto& e = static_cast<CallLog&>(*h.executor);
    e.sendPenPara(curves(3), pen());
    EXPECT_THAT(e.calls, ElementsAre("co2 20", "delay 11", "prr 3 20 1", "fiber 3 20 0 12 258", "pwm 20 0 1 0",
                                     "da 0 0 0", "mopa 3 40"));

    TarnParam lens;
    lens.laser.laserType = 4;
    lens.io.portSetting = 6;
    e.calls.clear();
    e.sendMarkPara(lens, true, 150);
    EXPECT_THAT(e.calls, ElementsAre("red 1", "lens 1 150", "port 6", "preion 4", "exe 0"));

    e.calls.clear();
    e.setEnable(false);
    e.sendMarkPara(lens, false, 2);
    EXPECT_THAT(e.calls, IsEmpty());
}
