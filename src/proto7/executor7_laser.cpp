#include "core/log.h"
#include "executor/proto7/executor7.h"

// Protocol 7 operations being built now (placeholder until they land): each reports it and fails
// (false, 0 or -1) without touching the board.

namespace {

bool unavailable(const char* operation) {
    logUnavailable(operation);
    return false;
}

}  // namespace

// clang-format off
void Executor7::sendPreionFPS(const LaserParam&) { unavailable("Executor7::sendPreionFPS"); }
void Executor7::sendMOSignal(bool, uint16_t) { unavailable("Executor7::sendMOSignal"); }
void Executor7::sendAPSignal(bool) { unavailable("Executor7::sendAPSignal"); }
void Executor7::sendPRRSignal(LaserType, float, double) { unavailable("Executor7::sendPRRSignal"); }
void Executor7::sendFiberPower(LaserType, double, double, uint16_t, uint16_t) { unavailable("Executor7::sendFiberPower"); }
void Executor7::sendPWMSignal(const LaserParam&, double, double, bool, bool) { unavailable("Executor7::sendPWMSignal"); }
void Executor7::sendPWM2Signal(const LaserParam&, double, double, bool, bool) { unavailable("Executor7::sendPWM2Signal"); }
void Executor7::sendDASignal(uint16_t, bool, bool) { unavailable("Executor7::sendDASignal"); }
void Executor7::sendDA2Signal(uint16_t, bool, bool) { unavailable("Executor7::sendDA2Signal"); }
void Executor7::sendMOPALaser(LaserType, uint16_t) { unavailable("Executor7::sendMOPALaser"); }
void Executor7::sendLaserEffectTime(uint16_t) { unavailable("Executor7::sendLaserEffectTime"); }
void Executor7::sendDA1SISD(DASISDPara) { unavailable("Executor7::sendDA1SISD"); }
void Executor7::sendDA2SISD(DASISDPara) { unavailable("Executor7::sendDA2SISD"); }
void Executor7::sendPWM1SISD(PWMSISDPara) { unavailable("Executor7::sendPWM1SISD"); }
void Executor7::sendPWM2SISD(PWMSISDPara) { unavailable("Executor7::sendPWM2SISD"); }
void Executor7::sendPowerSISD(PowerSISDPara) { unavailable("Executor7::sendPowerSISD"); }
// clang-format on
