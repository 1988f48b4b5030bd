#include "core/net_fields.h"

#include <cstring>

#include "executor/platform/ipv4_helper.h"
#include "executor/platform/text.h"

namespace net_fields {

void putMac(uint8_t* dst, const std::string& mac) {
    unsigned char b[6] = {};
    utils::sscanf(mac.c_str(), "%02hhx-%02hhx-%02hhx-%02hhx-%02hhx-%02hhx", &b[0], &b[1], &b[2], &b[3], &b[4], &b[5]);
    std::memcpy(dst, b, sizeof(b));
}

void putIPv4(uint8_t* dst, const std::string& ip) {
    uint32_t address = 0;  // network order: its bytes lie in memory as they go on the wire
    if (!IPv4Helper::strIP2NetworkInt(ip, address)) address = 0;
    std::memcpy(dst, &address, sizeof(address));
}

}  // namespace net_fields
