#include <cmath>
#include <cstdint>

#include "cmd/counts.h"
#include "cmd/packet_writer.h"
#include "core/exchange.h"
#include "core/list_queue.h"
#include "core/vector_steps.h"
#include "executor/platform/thread.h"
#include "proto5/executor5.h"
#include "proto5/opcodes5.h"

namespace {

// Longest delay one vector packet can carry: one step plus 65534 delay ticks.
constexpr uint32_t kDelayChunk = 65535;
// Sub-type of the boards whose laser takes SPI mode text.
constexpr BOARD_TYPE_SUB kSpiModeBoard = 11;
constexpr uint32_t kSpiPauseMs = 200;

// A queued packet: the 12-byte immediate form, sent with the list.
std::unique_ptr<KestCmd> packet(uint16_t opcode) { return makeImmediatePacket(opcode, op5::kPacketLen); }

uint32_t queueVector(Executor& executor, uint16_t opcode, Point2dConcept<int> p, uint16_t steps, uint16_t delay) {
    auto cmd = packet(opcode);
    PacketWriter(*cmd)
        .be16(2, steps)
        .be16(4, static_cast<uint16_t>(p.x))
        .be16(6, static_cast<uint16_t>(p.y))
        .be16(10, delay);
    enqueue(executor, std::move(cmd));
    return static_cast<uint32_t>(steps) + delay;
}

uint8_t laserCode(LaserType type) {
    static constexpr uint8_t kCodes[] = {0x22, 0x33, 0x00, 0x11, 0x44, 0x55, 0x22};
    return type >= 0 && type <= 6 ? kCodes[type] : 0x00;
}

uint16_t lensWord(const LaserParam& laser) {
    switch (laser.laserType) {
        case LASER_TYPE_1:
            return laser.lensWord1;
        case LASER_TYPE_4:
            return laser.lensWord4;
        case LASER_TYPE_2:
            return laser.lensWord2;
        case LASER_TYPE_3:
            return laser.lensWord3;
        default:
            return 0;
    }
}

bool offTimeMode(const LaserParam& laser) {
    return (laser.laserType == LASER_TYPE_1 && laser.offTimeMode1 != 0) ||
           (laser.laserType == LASER_TYPE_4 && laser.offTimeMode4 != 0);
}

// Share of a period in counts: the product in single precision, the division in double.
uint16_t dutyCount(uint32_t period, float percent) {
    return static_cast<uint16_t>(counts::truncInt32(static_cast<float>(period) * percent / 100.0));
}

}  // namespace

uint32_t Executor5::sendMoveToAbs(Point2dConcept<int> target, uint16_t steps, uint16_t delay) {
    return queueVector(*this, op5::kMoveToAbs, target, vector_steps::absolute(steps), delay);
}

uint32_t Executor5::sendMoveToRel(Point2dConcept<int> offset, uint16_t steps, uint16_t delay) {
    return queueVector(*this, op5::kMoveToRel, offset, vector_steps::relative(steps, offset), delay);
}

uint32_t Executor5::sendLineToAbs(Point2dConcept<int> target, uint16_t steps, uint16_t delay) {
    return queueVector(*this, op5::kLineToAbs, target, vector_steps::absolute(steps), delay);
}

uint32_t Executor5::sendLineToRel(Point2dConcept<int> offset, uint16_t steps, uint16_t delay) {
    return queueVector(*this, op5::kLineToRel, offset, vector_steps::relative(steps, offset), delay);
}

void Executor5::sendDelayTime(uint32_t ticks) {
    // A null move lasts its step plus its delay count, so each packet covers up to 65535 ticks.
    const Point2dConcept<int> still(0, 0);
    for (uint32_t i = 0; i < ticks / kDelayChunk; ++i) queueVector(*this, op5::kMoveToRel, still, 1, kDelayChunk - 1);
    const uint32_t rest = ticks % kDelayChunk;
    if (rest != 0) queueVector(*this, op5::kMoveToRel, still, 1, static_cast<uint16_t>(rest - 1));
}

void Executor5::sendLenPara(const TarnParam& lens, bool redOn, MarkType markType) {
    const GalvoParam& galvo = lens.galvo;
    const bool exchange = galvo.use9Point ? galvo.calPar.exchangeXY != 0 : galvo.exchangeXY;
    const uint8_t mode = redOn ? 0x22 : (markType == MARK_TYPE_FLY_FIRST ? 0x11 : 0x00);
    const uint8_t flags = static_cast<uint8_t>((offTimeMode(lens.laser) ? 0x43 : 0x41) | (exchange ? 0x08 : 0x00));

    auto laser = packet(op5::kLenPara);
    PacketWriter(*laser).u8(2, laserCode(lens.laser.laserType)).u8(3, mode).u8(4, flags).be16(6, lensWord(lens.laser));
    enqueue(*this, std::move(laser));

    auto range = packet(op5::kLenRange);
    const uint16_t resolution = static_cast<uint16_t>(galvo.resolution);
    PacketWriter(*range).be16(6, resolution).be16(8, resolution);
    enqueue(*this, std::move(range));
}

void Executor5::sendLightOnDelay(const PenParam& pen) {
    auto cmd = packet(op5::kLightOnDelay);
    PacketWriter(*cmd).be16(2, pen.lightDelayB).be16(4, pen.lightDelayA);
    enqueue(*this, std::move(cmd));
}

void Executor5::sendMOSignal(bool on, uint16_t /*value*/) {
    enqueue(*this, packet(on ? op5::kMOSignalOn : op5::kMOSignalOff));
}

void Executor5::sendDASignal(uint16_t level, bool /*first*/, bool /*second*/) {
    auto cmd = packet(op5::kDASignal);
    PacketWriter(*cmd).be16(2, counts::count16(level * 40.95));
    enqueue(*this, std::move(cmd));
}

void Executor5::sendFiberPower(LaserType type, double frequency, double pulseWidth, uint16_t power, uint16_t word) {
    // Type 6 sources are clocked at 50 MHz, every other at 48 MHz.
    const bool clock50 = type == LASER_TYPE_6;
    const uint16_t width = counts::count16(clock50 ? pulseWidth * 50.0 + 0.01 : 48 * pulseWidth);
    const uint16_t period = counts::count16(clock50 ? 50000.0 / frequency - 1.0 : 48000 / frequency);
    const uint8_t powerByte = static_cast<uint8_t>(static_cast<int32_t>(power) * 255 / 100);

    auto cmd = packet(op5::kFiberPower);
    PacketWriter(*cmd).be16(5, period).be16(7, width).u8(9, powerByte).be16(10, word);
    enqueue(*this, std::move(cmd));
}

void Executor5::sendMOPALaser(LaserType type, uint16_t value) {
    if (type != LASER_TYPE_3 || value == m_mopaState) return;
    m_mopaState = value;
    auto cmd = packet(op5::kMOPALaser);
    PacketWriter(*cmd).be16(2, 0xA501).be16(4, value);
    enqueue(*this, std::move(cmd));
}

void Executor5::sendSpiPower(uint16_t a, uint16_t b, uint8_t c, uint8_t d, bool e) {
    auto cmd = packet(op5::kSpiPower);
    PacketWriter(*cmd)
        .be16(2, counts::count16(a * 40.95))
        .be16(4, counts::count16(b * 40.95))
        .u8(6, c)
        .u8(7, d)
        .u8(9, e ? 1 : 0);
    enqueue(*this, std::move(cmd));
}

void Executor5::sendPortPara(const IOParam& io) {
    auto cmd = packet(op5::kPortPara);
    PacketWriter(*cmd).u8(7, io.portSetting);
    enqueue(*this, std::move(cmd));
}

void Executor5::sendCO2PreionFPS(const LaserParam& laser, float frequency) {
    auto cmd = packet(op5::kCO2PreionFPS);
    if (laser.laserType == LASER_TYPE_0) {
        const uint32_t period = counts::count32(48000 / static_cast<double>(frequency));
        PacketWriter(*cmd)
            .bit(2, 0, laser.preionEnable != 0)
            .bit(2, 1, laser.dutySwitch != 0)
            .be16(4, counts::count16(48000 / static_cast<double>(laser.preionFreq)))
            .be16(6, counts::count16(48.0 * laser.preionWidth))
            .be16(8, dutyCount(period, laser.dutyA))
            .be16(10, dutyCount(period, laser.dutyB));
    }
    enqueue(*this, std::move(cmd));
}

void Executor5::sendPreionFPS(const LaserParam& laser) {
    const bool type1 = laser.laserType == LASER_TYPE_1;
    const bool type4 = laser.laserType == LASER_TYPE_4;
    if (!(type1 && laser.fpsEnable1 != 0) && !(type4 && laser.fpsEnable4 != 0)) return;
    const uint8_t option = type1 ? laser.fpsOption1 : laser.fpsOption4;
    const uint16_t value = type1 ? laser.fpsValue1 : laser.fpsValue4;
    auto cmd = packet(op5::kPreionFPS);
    PacketWriter(*cmd).u8(2, option != 0 ? 3 : 7).be16(3, value);
    enqueue(*this, std::move(cmd));
}

void Executor5::sendRedSignal(bool /*on*/) {}

bool Executor5::setRedSignal(bool /*on*/) { return true; }

bool Executor5::setSPIMode(uint8_t mode) {
    if (m_boardTypeSub != kSpiModeBoard) return true;
    auto send = [this](std::unique_ptr<KestCmd> cmd) {
        Reply reply;
        return exchange(m_transfer, *cmd, reply);
    };
    auto select = makeImmediatePacket(op5::kSpiSelect);
    PacketWriter(*select).u8(2, 0x80).u8(3, 0x80);
    bool ok = send(std::move(select));
    utils::Thread::sleep(kSpiPauseMs);

    // "SM <mode>\r\n", preceded by its length and a zero byte.
    const uint8_t text[] = {6, 0, 'S', 'M', ' ', static_cast<uint8_t>('0' + mode), '\r', '\n'};
    auto command = makeImmediatePacket(op5::kSpiText);
    PacketWriter(*command).bytes(2, text, sizeof(text));
    ok = send(std::move(command)) && ok;
    ok = send(makeImmediatePacket(op5::kSpiSend)) && ok;
    utils::Thread::sleep(kSpiPauseMs);
    ok = send(makeImmediatePacket(op5::kSpiSelect)) && ok;
    return ok;
}
