#include "core/log.h"
#include "executor/core/executor.h"
#include "executor/platform/logger.h"
#include "executor/platform/thread.h"

namespace {

// Frame sizes by board protocol and link.
constexpr uint32_t kNetFrame = 1464;
constexpr uint32_t kProto7UsbFrame = 500;
constexpr uint32_t kProto5FastFrame = 23040;
constexpr uint32_t kProto5UsbFrame = 2880;

constexpr int kBoardModeReads = 3;
constexpr uint32_t kBoardModePauseMs = 1000;
constexpr uint32_t kResetPauseMs = 2;
constexpr uint32_t kOnlinePauseMs = 100;
constexpr uint16_t kCenterSteps = 10000;
constexpr uint16_t kCenterDelay = 500;

}  // namespace

SdkError Executor::init(const DevPar& par, bool goOnline, bool moveToCenter) {
    if (m_transfer == nullptr) {
        logError("Executor::init m_transfer null");
        return SDK_TRANSFER_NULL;
    }
    if (!m_transfer->isOpen() && !m_transfer->openDev()) {
        logError("Executor::init openDev fail");
        setValid(false);
        return SDK_OPEN_FAIL;
    }

    if (m_protVer == 7) {
        m_frameSize = m_transfer->isNetLink() ? kNetFrame : kProto7UsbFrame;
    } else if (m_transfer->isNetLink()) {
        m_frameSize = kNetFrame;
    } else if (m_transfer->isFastLink() || m_transfer->getLinkType() == 1) {
        m_frameSize = kProto5FastFrame;
    } else {
        m_frameSize = kProto5UsbFrame;
    }
    m_bufferSize = m_frameSize;
    m_devPar = par;

    if (!isBind() && !setBind(true)) {
        logError("Executor::init setBind fail");
        return SDK_BIND_FAIL;
    }
    if (!isBindByMe()) {
        logError("Executor::init isBindByMe fail");
        return SDK_NOT_BIND_BY_ME;
    }

    BoardMode mode = BOARD_MODE_NO_ANSWER;
    bool running = false;
    for (int i = 0; i < kBoardModeReads && !running; ++i) {
        mode = getBoardMode();
        running = mode == BOARD_MODE_APPLICATION;
        if (!running) utils::Thread::sleep(kBoardModePauseMs);
    }
    getDevType(m_boardType, m_boardTypeSub, m_sysInfo);
    m_mopaState = 0;

    if (!running) {
        Logger(Logger::kError, kLogTag)
            .write(L"板卡异常,初始化时仍然处于工厂模式 uMode=")
            .write(static_cast<int>(mode));
        setValid(false);
        return isEnable() ? SDK_OK : SDK_NOT_ENABLED;
    }

    utils::Thread::sleep(kResetPauseMs);
    setReset();
    setResetCount();
    getDevState(m_devState, true);

    if (goOnline && m_sysInfo.offlineSupport && getDevOfflineState(false)) {
        setDevOnline();
        setReset();
        utils::Thread::sleep(kOnlinePauseMs);
        if (getDevOfflineState(true)) logError(L"板卡异常,切换在线模式失败");
    }
    if (moveToCenter) {
        setStartMark();
        sendMoveToCenter(kCenterSteps, kCenterDelay);
        exeCurCmd(true);
        setReset();
    }
    return isEnable() ? SDK_OK : SDK_NOT_ENABLED;
}

bool Executor::unInit() {
    if (m_transfer != nullptr) {
        if (isBindByMe()) setBind(false);
        if (m_transfer->isOpen()) m_transfer->closeDev();
    }
    setValid(false);
    return true;
}
