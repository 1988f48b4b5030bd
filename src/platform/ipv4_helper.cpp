#include "executor/platform/ipv4_helper.h"

#include <cstring>
#include <mutex>
#include <utility>

namespace {

std::mutex g_probeMutex;
IPv4Helper::ExistProbe g_probe;

}  // namespace

bool IPv4Helper::strIP2NetworkInt(const std::string& ip, uint32_t& out) {
    uint8_t bytes[4] = {};
    size_t pos = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (pos >= ip.size() || ip[pos] != '.') return false;
            ++pos;
        }
        size_t start = pos;
        unsigned value = 0;
        while (pos < ip.size() && ip[pos] >= '0' && ip[pos] <= '9') {
            value = value * 10 + static_cast<unsigned>(ip[pos] - '0');
            // Checked per digit so long runs of digits cannot overflow.
            if (value > 255) return false;
            ++pos;
        }
        if (pos == start) return false;
        bytes[part] = static_cast<uint8_t>(value);
    }
    if (pos != ip.size()) return false;
    std::memcpy(&out, bytes, sizeof(out));
    return true;
}

bool IPv4Helper::isIPAddressExist(uint32_t ip, uint32_t localIp) {
    ExistProbe probe;
    {
        std::lock_guard<std::mutex> lock(g_probeMutex);
        probe = g_probe;
    }
    return probe ? probe(ip, localIp) : false;
}

void IPv4Helper::setExistProbe(ExistProbe probe) {
    std::lock_guard<std::mutex> lock(g_probeMutex);
    g_probe = std::move(probe);
}
