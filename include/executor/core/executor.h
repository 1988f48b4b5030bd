#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "executor/cmd/kest_cmd.h"
#include "executor/cmd/kest_cmd_list.h"
#include "executor/core/dev_records.h"
#include "executor/export.h"
#include "executor/platform/param.h"
#include "executor/transfer/transfer.h"
#include "executor/types.h"

// One board, driven through one transport. Create it with Executor::create, give it a
// transport with setTransfer, connect with init, then queue list commands (send*) and run
// immediate ones (set*, get*). The virtual table below is the public interface; its order is
// fixed.
//
// Threads: call it from one host thread at a time, with one exception. While one thread runs a
// job (addCmd, the send* and lineto encoders, exeCurCmd and the waits), a second may call
// setStopMark, setReset, setPauseMark, setResumeMark, isStopRun and getDevState; a stop ends
// the first thread's waits at their next poll. The transport must serialise the calls of the
// two (see transfer.h).
class EXECUTOR_API Executor {
public:
    // New executor for the protocol (BOARD_PROTOCOL_5 or BOARD_PROTOCOL_7), owned by the caller;
    // null for any other protocol value. The board type is not used.
    static Executor* create(BOARD_TYPE type, BOARD_PROTOCOL protocol);
    // Probes the board behind transfer for its protocol; opens the transport when needed.
    static bool getProtocol(Transfer* transfer, BOARD_PROTOCOL& protocol);

    virtual ~Executor();

    Executor(const Executor&) = delete;
    Executor& operator=(const Executor&) = delete;

    // Connection.
    virtual SdkError init(const DevPar& par, bool goOnline, bool moveToCenter);
    virtual bool unInit();

    virtual void setTransfer(Transfer* transfer);
    virtual void setBufferSize(uint32_t size);
    virtual void setSRamMaxSize(uint32_t size);
    virtual void setEnable(bool enable);
    virtual bool isEnable();

    virtual void setOfflineMode(bool enable);
    virtual bool isOfflineMode();

    virtual int32_t getProtVer();
    virtual bool isVirtual();

protected:
    virtual void setValid(bool valid);
    virtual bool isValid();

public:
    // Lens, laser and pen settings.
    virtual void sendMarkPara(const TarnParam& lens, bool redOn, MarkType markType);
    virtual void sendRedSignal(bool on) = 0;
    virtual bool setRedSignal(bool on) = 0;
    virtual void sendLenPara(const TarnParam& lens, bool redOn, MarkType markType) = 0;
    virtual void sendPortPara(const IOParam& io);
    virtual void sendCO2PreionFPS(const LaserParam& laser, float frequency);
    virtual void sendPreionFPS(const LaserParam& laser) = 0;
    virtual void sendLightOnDelay(const PenParam& pen) = 0;
    virtual void sendMOSignal(bool on, uint16_t value) = 0;
    virtual void sendAPSignal(bool on);
    virtual void sendPRRSignal(LaserType type, float frequency, double factor);
    virtual void sendSpiPower(uint16_t a, uint16_t b, uint8_t c, uint8_t d, bool e);
    virtual void sendFiberPower(LaserType type, double frequency, double pulseWidth, uint16_t power, uint16_t word) = 0;
    virtual void sendPWMSignal(const LaserParam& laser, double frequency, double pulseWidth, bool option, bool flag);
    virtual void sendPWM2Signal(const LaserParam& laser, double frequency, double pulseWidth, bool option, bool flag);
    virtual void sendDASignal(uint16_t level, bool first, bool second) = 0;
    virtual void sendDA2Signal(uint16_t level, bool first, bool second);
    virtual void sendMOPALaser(LaserType type, uint16_t value) = 0;
    virtual bool setSPIMode(uint8_t mode);
    virtual void sendLaserEffectTime(uint16_t time);
    virtual void setPower(const LaserParam& laser, const PenParam& pen, int16_t power, uint16_t word);
    virtual void sendPenPara(const LaserParam& laser, const PenParam& pen);

    // Positioning in millimetres; each returns step count + delay count.
    virtual uint32_t gotoPositionAbs(const TarnParam& lens, Point2dConcept<double> target, uint16_t steps,
                                     uint16_t delay, MarkCtrlData ctrl);
    virtual uint32_t gotoPositionRel(const TarnParam& lens, Point2dConcept<double> offset, uint16_t steps,
                                     uint16_t delay, MarkCtrlData ctrl);
    virtual uint32_t linetoPositionAbs(const TarnParam& lens, Point2dConcept<double> target, uint16_t steps,
                                       uint16_t delay, MarkCtrlData ctrl);
    virtual uint32_t linetoPositionRel(const TarnParam& lens, Point2dConcept<double> offset, uint16_t steps,
                                       uint16_t delay, MarkCtrlData ctrl);
    virtual void sendDelayTime(uint32_t ticks) = 0;
    virtual bool sendMoveToCenter(uint16_t steps, uint16_t delay);
    // Vector commands in device units; each returns the effective step count + delay count.
    virtual uint32_t sendMoveToAbs(Point2dConcept<int> target, uint16_t steps, uint16_t delay) = 0;
    virtual uint32_t sendMoveToRel(Point2dConcept<int> offset, uint16_t steps, uint16_t delay) = 0;
    virtual uint32_t sendLineToAbs(Point2dConcept<int> target, uint16_t steps, uint16_t delay) = 0;
    virtual uint32_t sendLineToRel(Point2dConcept<int> offset, uint16_t steps, uint16_t delay) = 0;

    // Extension axes.
    virtual void moveAxis(const ExtAxisPar& axis, int count, bool direction, bool wait);
    virtual void moveAxis(const ExtAxisParArray& axes, std::vector<int> counts, std::vector<bool> directions,
                          bool wait);
    virtual void sendMovePulse(AxisID axis, bool homing, bool homeLevel, uint32_t pulses, bool direction,
                               float startSpeed, float runSpeed, uint16_t rampTime) = 0;
    virtual bool sendAxisMovePulse(const ExtAxisPar& axis, int count, bool direction) = 0;
    virtual bool sendAxisMovePulse(const ExtAxisParArray& axes, std::vector<int> counts,
                                   std::vector<bool> directions) = 0;

    // Binding: a networked board must be bound by this host before it takes commands.
    virtual bool isBind();
    virtual bool isBindByMe();
    virtual bool setBind(bool bind);

    // Network identity and the raw user port.
    virtual bool setIPAddr(std::string ip);
    virtual bool setMacAddr(std::string mac);
    virtual bool writeUPort(uint8_t* data, int32_t& len);
    virtual bool readUPort(uint8_t* data, int32_t& len);

protected:
    virtual bool getDevType(BOARD_TYPE& type, BOARD_TYPE_SUB& subType, DevSysInfo& info) = 0;

public:
    // Status.
    virtual BoardMode getBoardMode() = 0;
    virtual bool setBootMode() = 0;
    virtual bool setAppMode() = 0;
    virtual bool getDevHeartState(uint16_t& counter, bool& alive) = 0;
    virtual bool getDevState(DevBaseState& state, bool refresh) = 0;
    virtual bool getDevExtState(DevExtState& state, bool refresh) = 0;
    virtual bool getAxisStates(const std::vector<AxisSetting>& settings, std::vector<AxisState>& states,
                               bool readPositions) = 0;
    virtual std::string getDevID();
    virtual bool getDevInfo(DevInfo& info);
    virtual bool getDevOfflineState(bool refresh);
    virtual bool getDevFlashState(bool refresh);

    // Run control.
    virtual bool isStopRun();
    virtual bool setStartMark();
    virtual bool setStopMark();
    virtual bool getMarkCount(bool refresh, uint32_t& count);
    virtual void setResetCount() = 0;
    virtual void sendCountOnce() = 0;
    virtual bool setClearCache() = 0;
    virtual bool setReset() = 0;
    virtual bool setReady() = 0;
    virtual bool setRun() = 0;
    virtual bool setPauseMark() = 0;
    virtual bool setResumeMark() = 0;
    virtual bool setDevOffline() = 0;
    virtual bool setDevOnline() = 0;
    virtual bool sendReMarkStart();
    virtual bool sendReMarkEnd();

    // Ports.
    virtual bool getInPortState(uint32_t& state, bool refresh);
    virtual void sendMarkInport(uint32_t mask, uint32_t level, uint16_t time, bool flag);
    virtual bool getOutPortState(uint32_t& state, bool refresh);
    virtual bool setGpoPar(GpoPar par);
    virtual void sendGpoPar(GpoPar par);
    virtual bool setOutPortStateAll(uint32_t mask, uint32_t value) = 0;
    virtual void sendOutPortStateAll(uint32_t mask, uint32_t value) = 0;
    virtual bool setOutPortState(uint32_t port, bool level, uint32_t time) = 0;
    virtual void sendOutPortState(uint32_t port, bool level, uint32_t time) = 0;
    virtual bool getLaserState(uint8_t& state);
    virtual void sendHardwareBlock(uint32_t port, bool on) = 0;
    virtual bool setSoftTiggerMark() = 0;

    // Parameter memory and user data.
    virtual bool getUserRamInfo(uint32_t& dataAddr, uint32_t& eepromSize) = 0;
    virtual bool writeUserData(const uint8_t* data, uint32_t size) = 0;
    virtual bool getUserDataSize(uint32_t& size) = 0;
    virtual bool readUserData(uint8_t* data, uint32_t size) = 0;
    virtual bool setEepromData(uint16_t addr, const uint8_t* data, uint16_t size) = 0;
    virtual bool getEepromData(uint16_t addr, uint8_t* data, uint16_t size) = 0;

protected:
    virtual bool setEepromDataSize(uint32_t size, uint32_t crc) = 0;

public:
    // Offline programs.
    virtual bool getOfflineRamSize(uint32_t& size) = 0;
    virtual void sendOfflineParam(std::vector<OfflineParam> params) = 0;
    virtual void sendOfflineBlock(uint16_t block, uint32_t value, bool flag) = 0;
    virtual void sendOfflineStopIo(uint32_t io1, uint32_t io2);
    virtual void sendOfflineWarnIo(uint32_t io1, uint32_t io2, uint32_t io3, uint32_t io4);
    virtual void sendSramBack() = 0;
    virtual void setOfflineDocIndex(uint8_t index);
    virtual bool OfflineDownload(SdkError& err);
    virtual bool setOfflineClearFile(uint32_t addr) = 0;

protected:
    virtual void modifyOfflineAddr(KestCmd* cmd, std::vector<uint32_t> addrs) = 0;
    virtual bool setOfflineWriteOnePage(uint16_t pageCount, uint16_t pageNo, uint32_t addr, const uint8_t* data,
                                        uint16_t len) = 0;
    virtual bool getOfflineCmdSize(uint32_t& size) = 0;

public:
    // List execution.
    // Queues a list packet; the list owns it from then on. A refused packet is destroyed, so
    // the caller never keeps a pointer to it.
    virtual bool addCmd(KestCmd* cmd);
    // Streams the queued packets in frames, each after the board reports room for it; with
    // waitFinish also waits for the job to end.
    virtual bool exeCurCmd(bool waitFinish);
    virtual void clearCmdList();
    virtual bool waitForEnoughCache(uint32_t bytes);
    virtual bool waitForMoveFinish(uint8_t axis);
    virtual bool waitForFinish();

protected:
    explicit Executor(int32_t protVer);

    // Power curves: an 11-entry table read at 0 %, 10 %, ... 100 % or at currents 0 to 10.
    uint16_t calcPower(const float* table, float percent);
    uint16_t calcCurrentPower(const float* table, float current);

    // Shared bodies of the goto and lineto operations; mark selects the lineto encoders.
    uint32_t positionAbs(const TarnParam& lens, Point2dConcept<double> target, uint16_t steps, uint16_t delay,
                         const MarkCtrlData& ctrl, bool mark);
    uint32_t positionRel(const TarnParam& lens, Point2dConcept<double> offset, uint16_t steps, uint16_t delay,
                         const MarkCtrlData& ctrl, bool mark);

    std::atomic<bool> m_stopRun;  // read by waits on one thread while another stops the run
    bool m_valid;
    bool m_enable;
    bool m_offlineMode;
    bool m_reMark;
    DevBaseState m_devState;
    DevExtState m_devExtState;
    std::vector<AxisState> m_axisStates;
    DevPar m_devPar;
    DevSysInfo m_sysInfo;
    BOARD_TYPE m_boardType;
    BOARD_TYPE_SUB m_boardTypeSub;
    uint16_t m_mopaState;
    uint32_t m_markCountBase;
    std::vector<uint32_t> m_offlineDocAddr;
    uint32_t m_offlineBlock;
    KestCmdList m_cmdList;
    KestCmdList m_offlineCmdList;
    // Held from packing a frame to sending it, so frames from two streaming threads keep their
    // order, and the status record the room waits refresh has one writer at a time.
    std::mutex m_streamMutex;
    // Held by getDevState and getDevExtState while they refresh the cached records, which a
    // second thread may do while the room waits of a streaming one refresh them too.
    std::mutex m_stateMutex;
    Transfer* m_transfer;
    uint32_t m_frameSize;
    uint32_t m_bufferSize;
    uint32_t m_sramMaxSize;
    int32_t m_protVer;
    uint32_t m_userDataAddr;
    uint32_t m_eepromLimit;
    uint32_t m_userDataSize;
    uint32_t m_userDataCrc;
    Point2dConcept<double> m_lastLogicPt;
    Point2dConcept<int> m_lastDevPt;

private:
    // isEnable() without the virtual calls, for the per-packet path.
    bool enabledForList() const { return m_valid && m_transfer != nullptr && m_enable; }

    // The frame exeCurCmd packs into, reused from frame to frame (guarded by m_streamMutex).
    std::vector<uint8_t> m_frame;
};
