#pragma once

#include <cstdint>

// Requests that boards of both protocols take the same way, before the protocol is known or
// outside it: the protocol probe and the network identity of a board.
namespace identity {

constexpr uint16_t kProbe = 0x0123;   // a protocol 5 board echoes it, a protocol 7 board does not
constexpr uint16_t kBind = 0xF0FA;    // bind flag, 0, board MAC, host address[, board address]
constexpr uint16_t kSetIp = 0xF010;   // 0, 0, board MAC, new address, mask, gateway
constexpr uint16_t kSetMac = 0xF011;  // 0, 0, board MAC, new MAC

// Whole request lengths: protocol 7 boards take the binding without the board address.
constexpr uint32_t kBindLenProto7 = 14;
constexpr uint32_t kBindLenProto5 = 18;
constexpr uint32_t kSetIpLen = 22;
constexpr uint32_t kSetMacLen = 16;

}  // namespace identity
