#pragma once

#include <cstdint>
#include <string>

// Address fields of the raw network requests (binding, IP and MAC configuration).
namespace net_fields {

// Six bytes of a "xx-xx-xx-xx-xx-xx" MAC text, in text order; bytes that do not parse stay 0.
void putMac(uint8_t* dst, const std::string& mac);
// Four bytes of a dotted IPv4 text, first number first; all 0 when the text does not parse.
void putIPv4(uint8_t* dst, const std::string& ip);

}  // namespace net_fields
