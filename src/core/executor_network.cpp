#include <cstdint>

#include "cmd/wire.h"
#include "core/exchange.h"
#include "core/identity_opcodes.h"
#include "core/log.h"
#include "core/net_fields.h"
#include "executor/core/executor.h"
#include "executor/platform/ipv4_helper.h"

bool Executor::setIPAddr(std::string ip) {
    if (m_transfer == nullptr) return false;
    if (m_transfer->isDirectLink()) return true;
    if (!isBindByMe()) {
        logError("Executor::setIPAddr fail not BindByMe");
        return false;
    }
    uint32_t wanted = 0;
    uint32_t any = 0;
    if (IPv4Helper::strIP2NetworkInt(ip, wanted) && IPv4Helper::strIP2NetworkInt("0.0.0.0", any) &&
        IPv4Helper::isIPAddressExist(wanted, any)) {
        Logger(Logger::kError, kLogTag).printf("Executor::setIPAddr fail 目标IP:%s存在", ip.c_str());
        return false;
    }

    uint8_t request[identity::kSetIpLen] = {};
    wire::put16be(request, identity::kSetIp);
    net_fields::putMac(request + 4, m_devPar.m_mac);
    net_fields::putIPv4(request + 10, ip);
    net_fields::putIPv4(request + 14, m_devPar.m_mask);
    net_fields::putIPv4(request + 18, m_devPar.m_gateway);
    Reply reply;
    if (!exchangeBytes(m_transfer, request, identity::kSetIpLen, reply)) return false;
    m_devPar.m_ip = ip;
    return true;
}

bool Executor::setMacAddr(std::string mac) {
    if (m_transfer == nullptr) return false;
    if (m_transfer->isDirectLink()) return true;
    if (!isBindByMe()) {
        logError("Executor::setMacAddr fail not BindByMe");
        return false;
    }
    uint8_t request[identity::kSetMacLen] = {};
    wire::put16be(request, identity::kSetMac);
    net_fields::putMac(request + 4, m_devPar.m_mac);
    net_fields::putMac(request + 10, mac);
    Reply reply;
    if (!exchangeBytes(m_transfer, request, identity::kSetMacLen, reply)) return false;
    m_devPar.m_mac = mac;
    return true;
}
