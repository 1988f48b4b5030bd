#include "core/log.h"
#include "executor/core/executor.h"

// Base bodies that a board protocol may replace. The signal encoders here apply to protocol 5
// boards only and do nothing on their own.

void Executor::sendPortPara(const IOParam& /*io*/) {}
void Executor::sendCO2PreionFPS(const LaserParam& /*laser*/, float /*frequency*/) {}
void Executor::sendAPSignal(bool /*on*/) {}
void Executor::sendPRRSignal(LaserType /*type*/, float /*frequency*/, double /*factor*/) {}
void Executor::sendSpiPower(uint16_t /*a*/, uint16_t /*b*/, uint8_t /*c*/, uint8_t /*d*/, bool /*e*/) {}
void Executor::sendPWMSignal(const LaserParam& /*laser*/, double /*frequency*/, double /*pulseWidth*/, bool /*option*/,
                             bool /*flag*/) {}
void Executor::sendPWM2Signal(const LaserParam& /*laser*/, double /*frequency*/, double /*pulseWidth*/, bool /*option*/,
                              bool /*flag*/) {}
void Executor::sendDA2Signal(uint16_t /*level*/, bool /*first*/, bool /*second*/) {}
bool Executor::setSPIMode(uint8_t /*mode*/) { return true; }
void Executor::sendLaserEffectTime(uint16_t /*time*/) {}
void Executor::sendMarkInport(uint32_t /*mask*/, uint32_t /*level*/, uint16_t /*time*/, bool /*flag*/) {}
void Executor::sendOfflineStopIo(uint32_t /*io1*/, uint32_t /*io2*/) {}
void Executor::sendOfflineWarnIo(uint32_t /*io1*/, uint32_t /*io2*/, uint32_t /*io3*/, uint32_t /*io4*/) {}
bool Executor::sendReMarkStart() { return true; }
bool Executor::sendReMarkEnd() { return true; }

bool Executor::setGpoPar(GpoPar par) {
    if (!par.enable) return false;
    return setOutPortState(par.port, par.level, par.pulseTime);
}

void Executor::sendGpoPar(GpoPar par) {
    if (par.enable) sendOutPortState(par.port, par.level, par.pulseTime);
}

bool Executor::sendMoveToCenter(uint16_t steps, uint16_t delay) {
    if (steps == 0) return false;
    // The board's own centre, whatever the lens says.
    sendMoveToAbs(Point2dConcept<int>(32768, 32768), steps, delay);
    return true;
}

void Executor::setOfflineMode(bool enable) {
    m_offlineMode = enable;
    m_offlineDocAddr.resize(8, 0);
    m_offlineCmdList.clear();
    m_offlineBlock = 0;
}

bool Executor::isOfflineMode() { return m_offlineMode; }

std::string Executor::getDevID() { return m_sysInfo.devId; }

bool Executor::getDevInfo(DevInfo& info) {
    info.devPar = m_devPar;
    info.sysInfo = m_sysInfo;
    info.boardType = m_boardType;
    info.boardTypeSub = m_boardTypeSub;
    return true;
}

bool Executor::writeUPort(uint8_t* data, int32_t& len) {
    if (m_transfer == nullptr) return false;
    // A negative length would reach the transport as a length of gigabytes.
    if (len < 0 || (data == nullptr && len > 0)) {
        logError("Executor::writeUPort bad data or length");
        return false;
    }
    return m_transfer->writeData(data, static_cast<uint32_t>(len), 0);
}

bool Executor::readUPort(uint8_t* data, int32_t& len) {
    if (m_transfer == nullptr) return false;
    if (len < 0 || (data == nullptr && len > 0)) {
        logError("Executor::readUPort bad buffer or length");
        return false;
    }
    uint8_t zero = 0;
    uint8_t one = 1;
    const int32_t capacity = len;
    if (!m_transfer->readData(0, data, static_cast<uint32_t>(capacity), &len, &zero, &one, true)) return false;
    // The caller reads len bytes from its buffer, so a count beyond it must not get through.
    if (len < 0 || len > capacity) {
        logError("Executor::readUPort transport reported more than the buffer holds");
        len = capacity;
        return false;
    }
    return true;
}
