#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "executor/core/executor.h"

namespace axis_slots {
struct Slots;
}

// Executor for protocol 5 boards; reachable only through Executor::create.
class Executor5 : public Executor {
public:
    Executor5();
    ~Executor5() override;

    void sendRedSignal(bool on) override;
    bool setRedSignal(bool on) override;
    void sendLenPara(const TarnParam& lens, bool redOn, MarkType markType) override;
    void sendPortPara(const IOParam& io) override;
    void sendCO2PreionFPS(const LaserParam& laser, float frequency) override;
    void sendPreionFPS(const LaserParam& laser) override;
    void sendLightOnDelay(const PenParam& pen) override;
    void sendMOSignal(bool on, uint16_t value) override;
    void sendSpiPower(uint16_t a, uint16_t b, uint8_t c, uint8_t d, bool e) override;
    void sendFiberPower(LaserType type, double frequency, double pulseWidth, uint16_t power, uint16_t word) override;
    void sendDASignal(uint16_t level, bool first, bool second) override;
    void sendMOPALaser(LaserType type, uint16_t value) override;
    bool setSPIMode(uint8_t mode) override;

    void sendDelayTime(uint32_t ticks) override;
    uint32_t sendMoveToAbs(Point2dConcept<int> target, uint16_t steps, uint16_t delay) override;
    uint32_t sendMoveToRel(Point2dConcept<int> offset, uint16_t steps, uint16_t delay) override;
    uint32_t sendLineToAbs(Point2dConcept<int> target, uint16_t steps, uint16_t delay) override;
    uint32_t sendLineToRel(Point2dConcept<int> offset, uint16_t steps, uint16_t delay) override;

    void sendMovePulse(AxisID axis, bool homing, bool homeLevel, uint32_t pulses, bool direction, float startSpeed,
                       float runSpeed, uint16_t rampTime) override;
    bool sendAxisMovePulse(const ExtAxisPar& axis, int count, bool direction) override;
    bool sendAxisMovePulse(const ExtAxisParArray& axes, std::vector<int> counts, std::vector<bool> directions) override;

protected:
    bool getDevType(BOARD_TYPE& type, BOARD_TYPE_SUB& subType, DevSysInfo& info) override;

public:
    BoardMode getBoardMode() override;
    bool setBootMode() override;
    bool setAppMode() override;
    bool getDevHeartState(uint16_t& counter, bool& alive) override;
    bool getDevState(DevBaseState& state, bool refresh) override;
    bool getDevExtState(DevExtState& state, bool refresh) override;
    bool getAxisStates(const std::vector<AxisSetting>& settings, std::vector<AxisState>& states,
                       bool readPositions) override;

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
    bool sendReMarkStart() override;
    bool sendReMarkEnd() override;

    void sendMarkInport(uint32_t mask, uint32_t level, uint16_t time, bool flag) override;
    bool getOutPortState(uint32_t& state, bool refresh) override;
    bool setOutPortStateAll(uint32_t mask, uint32_t value) override;
    void sendOutPortStateAll(uint32_t mask, uint32_t value) override;
    bool setOutPortState(uint32_t port, bool level, uint32_t time) override;
    void sendOutPortState(uint32_t port, bool level, uint32_t time) override;
    void sendHardwareBlock(uint32_t port, bool on) override;
    bool setSoftTiggerMark() override;

    bool getUserRamInfo(uint32_t& dataAddr, uint32_t& eepromSize) override;
    bool writeUserData(const uint8_t* data, uint32_t size) override;
    bool getUserDataSize(uint32_t& size) override;
    bool readUserData(uint8_t* data, uint32_t size) override;
    bool setEepromData(uint16_t addr, const uint8_t* data, uint16_t size) override;
    bool getEepromData(uint16_t addr, uint8_t* data, uint16_t size) override;

protected:
    bool setEepromDataSize(uint32_t size, uint32_t crc) override;

public:
    bool getOfflineRamSize(uint32_t& size) override;
    void sendOfflineParam(std::vector<OfflineParam> params) override;
    void sendOfflineBlock(uint16_t block, uint32_t value, bool flag) override;
    void sendSramBack() override;
    bool setOfflineClearFile(uint32_t addr) override;

protected:
    void modifyOfflineAddr(KestCmd* cmd, std::vector<uint32_t> addrs) override;
    bool setOfflineWriteOnePage(uint16_t pageCount, uint16_t pageNo, uint32_t addr, const uint8_t* data,
                                uint16_t len) override;
    bool getOfflineCmdSize(uint32_t& size) override;

public:
    // The board reports no per-axis state: an axis move is over when the job is.
    bool waitForMoveFinish(uint8_t axis) override;

protected:
    // Axis packets. Axes 0 and 1 form the first pair, 2 and 3 the second; the counts and speeds
    // packets carry the two slots of one pair, and the second pair's need the pair select first.
    virtual bool sendAxisCounts(const ExtAxisPar* slots, const double* counts, const bool* directions, bool homing);
    virtual bool sendAxisSpeeds(const ExtAxisPar* slots, bool homing);
    virtual bool sendAxisRampLengths(const ExtAxisPar* slots, bool homing);
    virtual bool sendAxisStart();
    virtual bool sendAxisCounts2(const ExtAxisPar* slots, const double* counts, const bool* directions, bool homing);
    virtual bool sendAxisSpeeds2(const ExtAxisPar* slots, bool homing);
    virtual bool sendAxisPairSelect(bool select);

private:
    // Queues one pair's move, then takes the slots in stageSlots (bit i = slot i) through the
    // later stages of two-stage homing.
    void moveAxisPair(bool secondPair, axis_slots::Slots slots, bool homing, unsigned stageSlots);
};
