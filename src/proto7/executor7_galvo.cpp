#include <algorithm>
#include <cmath>
#include <vector>

#include "cmd/counts.h"
#include "cmd/packet_writer.h"
#include "core/list_queue.h"
#include "executor/proto7/executor7.h"
#include "proto7/opcodes7.h"

namespace {

// Box words are fixed point with 16384 standing for 1.0, computed in single precision.
constexpr float kOne = 16384.0f;
constexpr float kSlopeOne = 4096.0f;
constexpr double kEpsilon = 0.001;

uint16_t fixedWord(float value) { return static_cast<uint16_t>(counts::truncWrap32(value)); }

uint16_t correctionWord(double coefficient) { return fixedWord((static_cast<float>(coefficient) - 1.0f) * kOne); }

using Table = std::vector<double>;

// Clipping state shared by both table pairs of one call.
struct ClipState {
    bool low = false;
    double lowX = 0, lowY = 0;
    double prevX = 0, prevY = 0;
};

bool bothDiffer(double dx, double dy) { return std::fabs(dx) > kEpsilon && std::fabs(dy) > kEpsilon; }

// Cuts the polyline of points (a[i], b[i]) to the square of half-size limit: entering from
// below adds the crossing point, leaving at the top adds it and ends the line.
void clipPair(Table& a, Table& b, double limit, ClipState& st) {
    Table outA;
    Table outB;
    if (!a.empty()) {
        // Pairs: a table longer than its partner has no point to pair its extra entries with.
        const size_t pairs = std::min(a.size(), b.size());
        for (size_t i = 0; i < pairs;) {
            const double x = a[i];
            const double y = b[i];
            if (-limit > x || -limit > y) {
                st.low = true;
                st.lowX = x;
                st.lowY = y;
            } else if (x > limit || y > limit) {
                const double dx = x - st.prevX;
                const double dy = y - st.prevY;
                if (bothDiffer(dx, dy)) {
                    const float k = static_cast<float>(dx) / static_cast<float>(dy);
                    double cx = (limit - st.prevY) * k + st.prevX;
                    double cy = limit;
                    if (cx > limit) {
                        cx = limit;
                        cy = (limit - st.prevX) / k + st.prevY;
                    }
                    outA.push_back(cx);
                    outB.push_back(cy);
                }
                break;
            } else {
                if (st.low) {
                    st.low = false;
                    const double dx = x - st.lowX;
                    const double dy = y - st.lowY;
                    if (bothDiffer(dx, dy)) {
                        const float k = static_cast<float>(dx) / static_cast<float>(dy);
                        double cx = (-limit - y) * k + x;
                        double cy = -limit;
                        if (-limit > cx) {
                            cx = -limit;
                            cy = (-limit - x) / k + y;
                        }
                        outA.push_back(cx);
                        outB.push_back(cy);
                    }
                }
                if (bothDiffer(x - st.prevX, y - st.prevY)) {
                    outA.push_back(x);
                    outB.push_back(y);
                }
            }
            st.prevX = x;
            st.prevY = y;
            if (++i >= a.size()) break;
        }
    }
    a.swap(outA);
    b.swap(outB);
}

int32_t deviceValue(double mm, const GalvoParam& galvo) {
    const int32_t v = counts::truncInt32(mm * galvo.scale + galvo.center + 0.01);
    return v < 0 ? 0 : (v > galvo.resolution ? galvo.resolution : v);
}

std::unique_ptr<KestCmd> equiPacket(uint16_t opcode, uint8_t marker) {
    auto cmd = makeListPacket(opcode, op7::kEquiScaleX.length);
    PacketWriter(*cmd).u8(4, marker);
    return cmd;
}

void sendPair(Executor& e, const Table& a, const Table& b, uint16_t opcode, const GalvoParam& galvo) {
    enqueue(e, equiPacket(opcode, 1));
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        auto cmd = equiPacket(opcode, 0);
        PacketWriter w(*cmd);
        w.be24(6, static_cast<uint32_t>(deviceValue(a[i], galvo)))
            .be24(9, static_cast<uint32_t>(deviceValue(b[i], galvo)));
        if (i > 0) {
            const float slope = static_cast<float>((a[i] - a[i - 1]) / (b[i] - b[i - 1]));
            w.be16(12, fixedWord(slope * kSlopeOne));
        }
        enqueue(e, std::move(cmd));
    }
    enqueue(e, equiPacket(opcode, 2));
}

}  // namespace

void Executor7::sendGalvoBoxParam(GalvoParam galvo) {
    const double* c = galvo.boxCoef;
    const float sx = galvo.invertX ? -1.0f : 1.0f;
    const float sy = galvo.invertY ? -1.0f : 1.0f;
    const float e = galvo.exchangeXY ? 1.0f : 0.0f;
    const float n = 1.0f - e;
    const float kx = static_cast<float>(c[2]) - 1.0f;
    const float ky = static_cast<float>(c[3]) - 1.0f;
    const float q = static_cast<float>(c[6]) / 100.0f;
    const float p = static_cast<float>(c[7]) / 100.0f;

    auto cmd = makeListPacket(op7::kGalvoBoxParam);
    PacketWriter(*cmd)
        .be16(4, correctionWord(c[4]))
        .be16(6, correctionWord(c[5]))
        .be16(8, correctionWord(c[0]))
        .be16(10, correctionWord(c[1]))
        .be16(12, fixedWord(sx * (e * kx * p + n * q) * kOne))
        .be16(14, fixedWord(sx * (n * ky * q + e * p) * kOne))
        .be16(16, fixedWord(sy * (n * kx * p + e * q) * kOne))
        .be16(18, fixedWord(sy * (e * ky * q + n * p) * kOne));
    enqueue(*this, std::move(cmd));
}

void Executor7::sendGalvoEquiScaleParam(GalvoParam galvo) {
    if (!galvo.tableEnable) return;
    auto negate = [](Table& t) {
        for (double& v : t) v = -v;
    };
    if (galvo.invertX) {
        negate(galvo.corrTable1);
        negate(galvo.corrTable2);
    }
    if (galvo.invertY) {
        negate(galvo.corrTable3);
        negate(galvo.corrTable4);
    }
    const double limit = galvo.fieldSize * 0.5;
    ClipState state;
    clipPair(galvo.corrTable1, galvo.corrTable2, limit, state);
    clipPair(galvo.corrTable3, galvo.corrTable4, limit, state);
    const uint16_t first = galvo.exchangeXY ? op7::kEquiScaleY.opcode : op7::kEquiScaleX.opcode;
    const uint16_t second = galvo.exchangeXY ? op7::kEquiScaleX.opcode : op7::kEquiScaleY.opcode;
    sendPair(*this, galvo.corrTable1, galvo.corrTable2, first, galvo);
    sendPair(*this, galvo.corrTable3, galvo.corrTable4, second, galvo);
}
