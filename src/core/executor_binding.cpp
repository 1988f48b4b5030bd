#include <cstdint>

#include "cmd/wire.h"
#include "core/exchange.h"
#include "core/identity_opcodes.h"
#include "core/log.h"
#include "core/net_fields.h"
#include "executor/core/executor.h"

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

    uint8_t request[identity::kBindLenProto5] = {};
    wire::put16be(request, identity::kBind);
    request[2] = static_cast<uint8_t>(bind ? 1 : 0);
    net_fields::putMac(request + 4, m_devPar.m_mac);
    net_fields::putIPv4(request + 10, m_devPar.m_localIp);
    net_fields::putIPv4(request + 14, m_devPar.m_ip);
    const uint32_t length = m_protVer == 7 ? identity::kBindLenProto7 : identity::kBindLenProto5;

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
