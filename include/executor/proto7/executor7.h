#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "executor/core/executor.h"
#include "executor/export.h"

// Executor for protocol 7 boards. Its own operations beyond the Executor interface are reached
// with dynamic_cast<Executor7*>.
class EXECUTOR_API Executor7 : public Executor {
public:
    Executor7();
    ~Executor7() override;

    // Lens, laser and pen settings.
    void sendRedSignal(bool on) override;
    bool setRedSignal(bool on) override;
    void sendLenPara(const TarnParam& lens, bool redOn, MarkType markType) override;
    void sendPreionFPS(const LaserParam& laser) override;
    void sendLightOnDelay(const PenParam& pen) override;
    void sendMOSignal(bool on, uint16_t value) override;
    void sendAPSignal(bool on) override;
    void sendPRRSignal(LaserType type, float frequency, double factor) override;
    void sendFiberPower(LaserType type, double frequency, double pulseWidth, uint16_t power, uint16_t word) override;
    void sendPWMSignal(const LaserParam& laser, double frequency, double pulseWidth, bool option, bool flag) override;
    void sendPWM2Signal(const LaserParam& laser, double frequency, double pulseWidth, bool option, bool flag) override;
    void sendDASignal(uint16_t level, bool first, bool second) override;
    void sendDA2Signal(uint16_t level, bool first, bool second) override;
    void sendMOPALaser(LaserType type, uint16_t value) override;
    void sendLaserEffectTime(uint16_t time) override;

    // Vector commands.
    void sendDelayTime(uint32_t ticks) override;
    uint32_t sendMoveToAbs(Point2dConcept<int> target, uint16_t steps, uint16_t delay) override;
    uint32_t sendMoveToRel(Point2dConcept<int> offset, uint16_t steps, uint16_t delay) override;
    uint32_t sendLineToAbs(Point2dConcept<int> target, uint16_t steps, uint16_t delay) override;
    uint32_t sendLineToRel(Point2dConcept<int> offset, uint16_t steps, uint16_t delay) override;

    // Extension axes.
    void sendMovePulse(AxisID axis, bool homing, bool homeLevel, uint32_t pulses, bool direction, float startSpeed,
                       float runSpeed, uint16_t rampTime) override;
    bool sendAxisMovePulse(const ExtAxisPar& axis, int count, bool direction) override;
    bool sendAxisMovePulse(const ExtAxisParArray& axes, std::vector<int> counts, std::vector<bool> directions) override;

protected:
    bool getDevType(BOARD_TYPE& type, BOARD_TYPE_SUB& subType, DevSysInfo& info) override;

public:
    // Status.
    BoardMode getBoardMode() override;
    bool setBootMode() override;
    bool setAppMode() override;
    bool getDevHeartState(uint16_t& counter, bool& alive) override;
    bool getDevState(DevBaseState& state, bool refresh) override;
    bool getDevExtState(DevExtState& state, bool refresh) override;
    bool getAxisStates(const std::vector<AxisSetting>& settings, std::vector<AxisState>& states,
                       bool readPositions) override;

    // Run control.
    void setResetCount() override;
    void sendCountOnce() override;
    bool setClearCache() override;
    bool setReset() override;
    bool setReady() override;
    bool setRun() override;
    bool setPauseMark() override;
    bool setResumeMark() override;
    bool setDevOffline() override;
    bool setDevOnline() override;

    // Ports.
    void sendMarkInport(uint32_t mask, uint32_t level, uint16_t time, bool flag) override;
    bool setGpoPar(GpoPar par) override;
    void sendGpoPar(GpoPar par) override;
    bool setOutPortStateAll(uint32_t mask, uint32_t value) override;
    void sendOutPortStateAll(uint32_t mask, uint32_t value) override;
    bool setOutPortState(uint32_t port, bool level, uint32_t time) override;
    void sendOutPortState(uint32_t port, bool level, uint32_t time) override;
    void sendHardwareBlock(uint32_t port, bool on) override;
    bool setSoftTiggerMark() override;

    // Parameter memory and user data.
    bool getUserRamInfo(uint32_t& dataAddr, uint32_t& eepromSize) override;
    bool writeUserData(const uint8_t* data, uint32_t size) override;
    bool getUserDataSize(uint32_t& size) override;
    bool readUserData(uint8_t* data, uint32_t size) override;
    bool setEepromData(uint16_t addr, const uint8_t* data, uint16_t size) override;
    bool getEepromData(uint16_t addr, uint8_t* data, uint16_t size) override;

protected:
    bool setEepromDataSize(uint32_t size, uint32_t crc) override;

public:
    // Offline programs.
    bool getOfflineRamSize(uint32_t& size) override;
    void sendOfflineParam(std::vector<OfflineParam> params) override;
    void sendOfflineBlock(uint16_t block, uint32_t value, bool flag) override;
    void sendOfflineStopIo(uint32_t io1, uint32_t io2) override;
    void sendOfflineWarnIo(uint32_t io1, uint32_t io2, uint32_t io3, uint32_t io4) override;
    void sendSramBack() override;
    bool setOfflineClearFile(uint32_t addr) override;

protected:
    void modifyOfflineAddr(KestCmd* cmd, std::vector<uint32_t> addrs) override;
    bool setOfflineWriteOnePage(uint16_t pageCount, uint16_t pageNo, uint32_t addr, const uint8_t* data,
                                uint16_t len) override;
    bool getOfflineCmdSize(uint32_t& size) override;

public:
    // Protocol 7 operations beyond the shared interface, in their fixed order.
    virtual void sendDA1SISD(DASISDPara para);
    virtual void sendDA2SISD(DASISDPara para);
    virtual void sendPWM1SISD(PWMSISDPara para);
    virtual void sendPWM2SISD(PWMSISDPara para);
    virtual void sendPowerSISD(PowerSISDPara para);
    virtual void sendStartFlyMark(bool on);
    virtual void sendBoundaryLength(uint32_t length);
    virtual void sendEncoderParam(const FlyParam& fly);
    virtual void sendTriggerParam(const FlyParam& fly);
    virtual bool setWatchDog(bool on, uint16_t time);
    virtual void sendGalvoBoxParam(GalvoParam galvo);
    virtual void sendGalvoEquiScaleParam(GalvoParam galvo);
    virtual void sendDelayDistanceClear();
    virtual void sendDelayDistanceWait(float distance1, float distance2);
    virtual void sendDelayTimeClear();
    virtual void sendDelayTimeWait(uint32_t time);
    virtual void sendBitmapMode(bool on);
    virtual void sendBitmapLight(const uint8_t* dots, uint8_t count);
    virtual void sendMotionAxisSetPar(const AxisSetting& axis);
    virtual void sendMotionAxisJoinMove(const AxisSetting& axis, int32_t count, uint32_t a, uint32_t b, uint32_t c,
                                        uint32_t d, bool reverse);
    virtual void sendMotionAxisAloneMove(const AxisSetting& axis, int32_t count, uint32_t a, uint32_t b, uint32_t c,
                                         uint32_t d, bool reverse);
    virtual void sendMotionAxisRcvFlag(bool flag);
    virtual void sendMotionAxisJoinEnergy(uint32_t e1, uint32_t e2, uint32_t e3, uint8_t e4, uint32_t e5);
    virtual void sendMotionAxisRunFlag(bool r1, bool r2, uint8_t r3);
    virtual void sendAxisLinkageXYZR(AxisMoveParam x, AxisMoveParam y, AxisMoveParam z, AxisMoveParam r);
    virtual void sendAxisLinkageABCD(AxisMoveParam a, AxisMoveParam b, AxisMoveParam c, AxisMoveParam d);
    virtual void sendAxisLinkageParam(AxisLinkageParam para);
    virtual bool getAxisStatesEx(const std::vector<AxisSetting>& settings, std::vector<AxisState>& states,
                                 bool readPositions);
    virtual bool setClearAxisPulse(AxisClearParam para);
    virtual bool setHandwheelParam(bool enable, uint32_t value);
    virtual void sendAxisLinkageXYZRToZero(AxisMoveZeroParam x, AxisMoveZeroParam y, AxisMoveZeroParam z,
                                           AxisMoveZeroParam r);
    virtual void sendAxisLinkageABCDToZero(AxisMoveZeroParam a, AxisMoveZeroParam b, AxisMoveZeroParam c,
                                           AxisMoveZeroParam d);
    virtual void sendAxisLinkageToZeroTime(uint32_t time);
    virtual bool setAxisLinkageStopParam(AxisStopParam para);
    virtual bool setAxisLinkageStop();
    virtual bool setAxisConfig(AxisConfigParam para);
    virtual bool setEnableAxis(AxisEnableParam para);
    virtual void sendEnableAxis(AxisEnableParam para);
    virtual bool setSwitchSweepChannel(bool on);
    virtual int setDataTransmit(uint8_t* data, uint16_t length, bool flag, uint8_t* reply, uint16_t replyCapacity);

protected:
    // Queues one two-slot axis packet from slot parameters, counts and directions (two each).
    virtual bool sendAxis_03A0(const ExtAxisPar* slots, const double* counts, const bool* directions);

public:
    virtual void sendAxis_03B1(int axis, uint32_t valueA, bool flagA, bool useX, bool flagB,
                               Point2dConcept<int> devPoint, uint32_t valueB);
    virtual bool setLedStatus(uint8_t status);
    virtual bool setGpiFilter(uint32_t input, uint32_t filter);

protected:
    // Device units per millimetre of the current lens.
    double m_distScale;
};
