#pragma once

// Table runners shared by the protocol 7 suites: a call and the bytes it must put on the wire.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

#include "support/bytes.h"
#include "support/harness.h"

using E7 = Executor7;

// A list packet: its length is also its size, the flag byte is 0, fields start at byte 4.
inline Bytes lp(uint16_t opcode, uint8_t length, const Bytes& fields = {}) {
    Bytes b = pkt(opcode, {length}, length);
    std::copy(fields.begin(), fields.end(), b.begin() + 4);
    return b;
}

// One packet, or several in braces.
struct Packets : std::vector<Bytes> {
    Packets() = default;
    Packets(Bytes one) : std::vector<Bytes>{std::move(one)} {}  // NOLINT: a row's single packet
    Packets(std::initializer_list<Bytes> many) : std::vector<Bytes>(many) {}
};

// A call on a marking board and every list packet it must queue, in order.
struct ListRow {
    std::function<void(E7&)> call;
    Packets packets;
};

inline void expectList(const std::vector<ListRow>& rows) {
    for (size_t i = 0; i < rows.size(); ++i) {
        Running7 h;
        rows[i].call(h.e7());
        EXPECT_EQ(h.flushPackets(), static_cast<const std::vector<Bytes>&>(rows[i].packets)) << "row " << i;
    }
}

// An immediate command, the requests it sends and whether the board's status byte decides its
// result (else only the transport does). Each row runs on an accepting, a refusing and a lost link.
struct RequestRow {
    std::function<bool(E7&)> call;
    Packets requests;
    bool judged;
};

inline void expectRequests(const std::vector<RequestRow>& rows) {
    for (size_t i = 0; i < rows.size(); ++i) {
        const RequestRow& r = rows[i];
        Harness h, refused, lost;
        EXPECT_TRUE(r.call(h.e7())) << "row " << i;
        EXPECT_EQ(h.transfer.requests(), static_cast<const std::vector<Bytes>&>(r.requests)) << "row " << i;
        refused.transfer.defaultReply = Bytes{0, 0, 1};
        EXPECT_EQ(r.call(refused.e7()), !r.judged) << "row " << i << " refused";
        for (const Bytes& q : r.requests) lost.transfer.failOpcode(FakeTransfer::opcodeOf(q));
        EXPECT_FALSE(r.call(lost.e7())) << "row " << i << " lost";
    }
}
