#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <string>

#include "proto7/opcodes7.h"
#include "support/harness.h"

TEST(Catalogue7, EveryOpcodeBelongsToOneEntry) {
    std::set<uint16_t> seen;
    for (const auto& e : op7::kListCatalogue) {
        EXPECT_TRUE(seen.insert(e.op.opcode).second) << std::hex << e.op.opcode;
        EXPECT_GE(e.op.length, 4);
        EXPECT_LE(e.op.length, 255);  // the header's length byte must hold it
    }
    for (const auto& e : op7::kImmediateCatalogue) EXPECT_TRUE(seen.insert(e.opcode).second) << std::hex << e.opcode;
}

// Every encoder that is built emits its catalogue opcode with the catalogue length in header byte 2.
TEST(Catalogue7, EncodersMatchTheirEntries) {
    const std::map<std::string, std::function<void(Executor7&)>> encoders = {
        {"sendCountOnce", [](Executor7& e) { e.sendCountOnce(); }},
        {"sendLightOnDelay", [](Executor7& e) { e.sendLightOnDelay(PenParam()); }},
        {"sendRedSignal", [](Executor7& e) { e.sendRedSignal(true); }},
        {"sendLenPara", [](Executor7& e) { e.sendLenPara(TarnParam(), false, 2); }},
        {"sendMoveToAbs", [](Executor7& e) { e.sendMoveToAbs(Point2dConcept<int>(1, 1), 1, 1); }},
        {"sendMoveToRel", [](Executor7& e) { e.sendMoveToRel(Point2dConcept<int>(1, 1), 1, 1); }},
        {"sendLineToAbs", [](Executor7& e) { e.sendLineToAbs(Point2dConcept<int>(1, 1), 1, 1); }},
        {"sendLineToRel", [](Executor7& e) { e.sendLineToRel(Point2dConcept<int>(1, 1), 1, 1); }},
        {"sendDelayTime", [](Executor7& e) { e.sendDelayTime(1); }},
        {"sendMOSignal", [](Executor7& e) { e.sendMOSignal(true, 1); }},
        {"sendAPSignal", [](Executor7& e) { e.sendAPSignal(true); }},
        {"sendPRRSignal", [](Executor7& e) { e.sendPRRSignal(2, 20, 1); }},
        {"sendFiberPower", [](Executor7& e) { e.sendFiberPower(2, 20, 10, 50, 0); }},
        {"sendMOPALaser", [](Executor7& e) { e.sendMOPALaser(3, 1); }},
        {"sendPWMSignal", [](Executor7& e) { e.sendPWMSignal(LaserParam(), 20, 10, false, false); }},
        {"sendPWM2Signal", [](Executor7& e) { e.sendPWM2Signal(LaserParam(), 20, 10, false, false); }},
        {"sendDASignal", [](Executor7& e) { e.sendDASignal(50, false, false); }},
        {"sendDA2Signal", [](Executor7& e) { e.sendDA2Signal(50, false, false); }},
        {"sendPreionFPS", [](Executor7& e) { e.sendPreionFPS(LaserParam()); }},
        {"sendLaserEffectTime", [](Executor7& e) { e.sendLaserEffectTime(1); }},
        {"sendDA1SISD", [](Executor7& e) { e.sendDA1SISD(DASISDPara()); }},
        {"sendDA2SISD", [](Executor7& e) { e.sendDA2SISD(DASISDPara()); }},
        {"sendPWM1SISD", [](Executor7& e) { e.sendPWM1SISD(PWMSISDPara()); }},
        {"sendPWM2SISD", [](Executor7& e) { e.sendPWM2SISD(PWMSISDPara()); }},
        {"sendPowerSISD", [](Executor7& e) { e.sendPowerSISD(PowerSISDPara()); }},
        {"sendStartFlyMark", [](Executor7& e) { e.sendStartFlyMark(true); }},
        {"sendBoundaryLength", [](Executor7& e) { e.sendBoundaryLength(1); }},
        {"sendEncoderParam", [](Executor7& e) { e.sendEncoderParam(FlyParam()); }},
        {"sendTriggerParam", [](Executor7& e) { e.sendTriggerParam(FlyParam()); }},
        {"sendDelayDistanceClear", [](Executor7& e) { e.sendDelayDistanceClear(); }},
        {"sendDelayDistanceWait", [](Executor7& e) { e.sendDelayDistanceWait(1, 1); }},
        {"sendDelayTimeClear", [](Executor7& e) { e.sendDelayTimeClear(); }},
        {"sendDelayTimeWait", [](Executor7& e) { e.sendDelayTimeWait(1); }},
        {"sendBitmapMode", [](Executor7& e) { e.sendBitmapMode(true); }},
        {"sendBitmapLight", [](Executor7& e) { e.sendBitmapLight(nullptr, 0); }},
        {"sendHardwareBlock", [](Executor7& e) { e.sendHardwareBlock(1, true); }},
        {"sendOutPortStateAll sendOutPortState", [](Executor7& e) { e.sendOutPortStateAll(1, 1); }},
        {"sendGpoPar", [](Executor7& e) { e.sendGpoPar(GpoPar()); }},
        {"sendMarkInport", [](Executor7& e) { e.sendMarkInport(1, 1, 1, true); }},
    };
    size_t checked = 0;
    for (const auto& entry : op7::kListCatalogue) {
        const std::string methods = entry.methods;
        for (const auto& [name, send] : encoders) {
            if (methods != name) continue;
            Running7 h;
            send(h.e7());
            auto packets = h.flushPackets();
            ASSERT_EQ(packets.size(), 1u) << name;
            EXPECT_EQ(FakeTransfer::opcodeOf(packets[0]), entry.op.opcode) << name;
            EXPECT_EQ(packets[0][2], entry.op.length) << name;
            EXPECT_EQ(packets[0].size(), entry.op.length) << name;
            ++checked;
        }
    }
    EXPECT_EQ(checked, encoders.size());
}
