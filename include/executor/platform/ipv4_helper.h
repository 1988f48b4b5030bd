#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "executor/export.h"

// IPv4 address helpers.
class EXECUTOR_API IPv4Helper {
public:
    // Asks whether an address is already in use; localIp is the address to ask from.
    // Both in network order.
    using ExistProbe = std::function<bool(uint32_t ip, uint32_t localIp)>;

    // Dotted-quad text to a network-order address (the first dotted number is the first byte
    // in memory). False, with out untouched, when the text is not four numbers 0..255.
    static bool strIP2NetworkInt(const std::string& ip, uint32_t& out);
    // True when the address answers on the network. The library sends no traffic of its own
    // for this: without an installed probe every address counts as free.
    static bool isIPAddressExist(uint32_t ip, uint32_t localIp);
    // Installs the probe; an empty function restores the default.
    static void setExistProbe(ExistProbe probe);
};
