#pragma once

#include <cstdint>

namespace net {

// Datagrams between a UdpTransfer and a board server.
//
// One UDP datagram carries one request, one more carries its reply. Every datagram starts with
// the same 8-byte header, multi-byte fields big-endian:
//
//   offset 0  magic     2 bytes  'E' 'X'
//   offset 2  version   1 byte   1
//   offset 3  kind      1 byte   see below
//   offset 4  sequence  4 bytes  chosen by the host, echoed in the reply
//   offset 8  payload   0..1464 bytes
//
// Kinds from the host: 0x01 an immediate request (payload: the request bytes), 0x02 a list
// frame (payload: the frame). From the board: the request kind | 0x80 when it answered
// (payload: the reply bytes; for a frame a 4-byte ack of zeros), the request kind | 0xC0 when
// the board took the datagram but gave no answer (no payload; the host gives up without retry,
// since asking again would get the same answer), the request kind | 0xA0 when the board belongs
// to another host (payload: that host as "ADDRESS:PORT" text; no retry either). 0x03 from the
// host lets the board go (no payload, no reply): a host that ends its session says so, and one
// that disappears is let go after the server's stated idle time.
//
// The largest payload is a network-link frame of 1464 bytes, so the largest datagram is 1472
// bytes: exactly what fits one 1500-byte Ethernet frame after the IPv4 and UDP headers. Nothing
// is ever split.
//
// The host sends a new sequence number for each request and the same one on every retry. The
// board remembers, per host address, the last request and the reply it sent, and answers a
// repeat of that request with the remembered reply without executing it again; a request older
// than the last (a straggler of an earlier retry) is ignored.
namespace datagram {

constexpr uint8_t kMagic0 = 'E';
constexpr uint8_t kMagic1 = 'X';
constexpr uint8_t kVersion = 1;
constexpr uint32_t kHeaderLen = 8;
constexpr uint32_t kMaxPayload = 1464;
constexpr uint32_t kMaxDatagram = kHeaderLen + kMaxPayload;

constexpr uint8_t kRequest = 0x01;
constexpr uint8_t kFrame = 0x02;
constexpr uint8_t kAnswered = 0x80;  // or'ed onto the request kind
constexpr uint8_t kRefused = 0xC0;   // or'ed onto the request kind
constexpr uint8_t kBusy = 0xA0;      // or'ed onto the request kind
constexpr uint8_t kRelease = 0x03;

struct Header {
    uint8_t kind = 0;
    uint32_t sequence = 0;
};

void putHeader(uint8_t* out, uint8_t kind, uint32_t sequence);
// False unless the datagram is long enough and carries this magic and version.
bool readHeader(const uint8_t* data, uint32_t length, Header& header);

}  // namespace datagram

}  // namespace net
