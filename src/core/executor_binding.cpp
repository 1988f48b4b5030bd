#include <cstdint>

#include "core/exchange.h"
#include "core/log.h"
#include "core/net_fields.h"
#include "executor/core/executor.h"

namespace {

// Binding request: F0 FA, bind flag, 0, board MAC, this host's address, board address.
// Protocol 7 boards take the first 14 bytes, protocol 5 boards all 18.
constexpr uint32_t kBindLenProto7 = 14;
constexpr uint32_t kBindLenProto5 = 18;

}  // namespace

bool Executor::isBind() {
    if (isVirtual()) return true;
    if (m_transfer == nullptr) return false;
    if (m_transfer->isDirectLink() || m_transfer->isFastLink()) return true;
    return m_devPar.m_bound;
}

bool Executor::isBindByMe() {
    if (isVirtual()) return true;
    if (m_transfer == nullptr) return false;
    if (m_transfer->isDirectLink() || m_transfer->isFastLink()) return true;
    return m_devPar.m_bound && m_devPar.m_bindIp == m_devPar.m_localIp;
}

bool Executor::setBind(bool bind) {
    if (m_transfer == nullptr) return false;
    if (m_transfer->isDirectLink() || m_transfer->isFastLink()) return true;
    const bool mine = isBindByMe();
    if (mine && bind) {
        logError("Executor::setBind repeat bind");
        return true;
    }
    if (!mine && !bind) {
        logError("Executor::setBind unbind fail not BindByMe");
        return false;
    }

    uint8_t request[kBindLenProto5] = {0xF0, 0xFA, static_cast<uint8_t>(bind ? 1 : 0), 0};
    net_fields::putMac(request + 4, m_devPar.m_mac);
    net_fields::putIPv4(request + 10, m_devPar.m_localIp);
    net_fields::putIPv4(request + 14, m_devPar.m_ip);
    const uint32_t length = m_protVer == 7 ? kBindLenProto7 : kBindLenProto5;

    Reply reply;
    if (!exchangeBytes(m_transfer, request, length, reply)) return false;
    if (bind) {
        m_devPar.m_bindIp = m_devPar.m_localIp;
        m_devPar.m_bound = true;
    } else {
        m_devPar.m_bindIp.clear();
        m_devPar.m_bound = false;
    }
    return true;
}
