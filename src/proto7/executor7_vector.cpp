#include <algorithm>
#include <cmath>
#include <cstdint>

#include "cmd/counts.h"
#include "cmd/packet_writer.h"
#include "core/exchange.h"
#include "core/list_queue.h"
#include "core/vector_steps.h"
#include "executor/proto7/executor7.h"
#include "proto7/opcodes7.h"

namespace {

// Vector packet: step count, delay count, then x and y as 24-bit fields.
uint32_t queueVector(Executor& executor, const op7::ListOp& op, Point2dConcept<int> p, uint16_t steps, uint16_t delay) {
    auto cmd = makeListPacket(op);
    PacketWriter(*cmd)
        .be16(4, steps)
        .be16(6, delay)
        .be24(8, static_cast<uint32_t>(p.x))
        .be24(11, static_cast<uint32_t>(p.y));
    enqueue(executor, std::move(cmd));
    return static_cast<uint32_t>(steps) + delay;
}

}  // namespace

uint32_t Executor7::sendMoveToAbs(Point2dConcept<int> target, uint16_t steps, uint16_t delay) {
    return queueVector(*this, op7::kMoveToAbs, target, vector_steps::absolute(steps), delay);
}

uint32_t Executor7::sendMoveToRel(Point2dConcept<int> offset, uint16_t steps, uint16_t delay) {
    return queueVector(*this, op7::kMoveToRel, offset, vector_steps::relative(steps, offset), delay);
}

uint32_t Executor7::sendLineToAbs(Point2dConcept<int> target, uint16_t steps, uint16_t delay) {
    return queueVector(*this, op7::kLineToAbs, target, vector_steps::absolute(steps), delay);
}

uint32_t Executor7::sendLineToRel(Point2dConcept<int> offset, uint16_t steps, uint16_t delay) {
    return queueVector(*this, op7::kLineToRel, offset, vector_steps::relative(steps, offset), delay);
}

void Executor7::sendDelayTime(uint32_t ticks) {
    if (ticks == 0) return;
    auto cmd = makeListPacket(op7::kDelayTime);
    PacketWriter(*cmd).be32(4, ticks * 2u);  // the board counts half ticks
    enqueue(*this, std::move(cmd));
}

void Executor7::sendLenPara(const TarnParam& lens, bool /*redOn*/, MarkType markType) {
    const GalvoParam& galvo = lens.galvo;
    const int32_t resolution = galvo.resolution;
    int32_t rangeX = resolution;
    int32_t rangeY = resolution;
    if (galvo.fieldSize > 0) {
        m_distScale = resolution / galvo.fieldSize;
        if (markType >= MARK_TYPE_FLY_FIRST && markType <= MARK_TYPE_FLY_LAST) {
            // Fly marking limits the range to the working area.
            rangeX =
                std::min(resolution, counts::truncInt32(std::ceil(galvo.areaSizeX / galvo.fieldSize * resolution)));
            rangeY =
                std::min(resolution, counts::truncInt32(std::ceil(galvo.areaSizeY / galvo.fieldSize * resolution)));
        }
    }
    const uint8_t exchange = galvo.use9Point ? (galvo.calPar.exchangeXY != 0 ? 1 : 0) : (galvo.exchangeXY ? 1 : 0);

    auto cmd = makeListPacket(op7::kLenPara);
    PacketWriter(*cmd)
        .be16(4, static_cast<uint16_t>(rangeX))
        .be16(6, static_cast<uint16_t>(rangeY))
        .u8(8, exchange)
        .u8(10, static_cast<uint8_t>(static_cast<uint32_t>(rangeX) >> 16))
        .u8(11, static_cast<uint8_t>(static_cast<uint32_t>(rangeY) >> 16));
    enqueue(*this, std::move(cmd));
}

void Executor7::sendLightOnDelay(const PenParam& pen) {
    auto cmd = makeListPacket(op7::kLightOnDelay);
    PacketWriter(*cmd).be16(4, pen.lightDelayB).be16(6, pen.lightDelayA);
    enqueue(*this, std::move(cmd));
}

void Executor7::sendRedSignal(bool on) {
    auto cmd = makeListPacket(op7::kRedSignal);
    PacketWriter(*cmd).u8(4, on ? 1 : 0);
    enqueue(*this, std::move(cmd));
}

bool Executor7::setRedSignal(bool on) {
    Reply reply;
    auto cmd = makeImmediatePacket(op7::kRedSignalNow);
    PacketWriter(*cmd).u8(2, on ? 1 : 0);
    return exchangeAccepted(m_transfer, *cmd, reply);
}
