#include "bench_support.h"

#include <unistd.h>

#include <cstdio>

#include "cmd/wire.h"
#include "proto7/opcodes7.h"

namespace bench {

namespace {

// Reply fields the executor reads during init and flow control.
constexpr uint32_t kReplyLen = 32;
constexpr uint32_t kModeOffset = 2;  // board mode reply: 4 = application running
constexpr uint8_t kApplicationMode = 0x04;
constexpr uint32_t kWorkStateOffset = 4;
constexpr uint32_t kFinishedOffset = 12;
constexpr uint32_t kFreeCacheOffset = 13;  // 24 bits, KiB
constexpr uint32_t kAllFreeKb = 4095;

}  // namespace

bool RoomyTransfer::ReadAndWriteCmd(const uint8_t* request, uint32_t, uint8_t* reply, uint32_t* replyLen, bool) {
    ++requests;
    const uint32_t n = *replyLen < kReplyLen ? *replyLen : kReplyLen;
    std::memset(reply, 0, n);
    if (wire::get16be(request) == op7::kBoardMode) {
        reply[kModeOffset] = kApplicationMode;
    } else {
        reply[kWorkStateOffset] = 1;
        reply[kFinishedOffset] = 1;
        wire::put24be(reply + kFreeCacheOffset, kAllFreeKb);
    }
    *replyLen = n;
    return true;
}

bool RoomyTransfer::ReadAndWriteData(const uint8_t* frame, uint32_t frameLen, uint8_t* reply, uint32_t* replyLen,
                                     bool) {
    ++frames;
    frameBytes += frameLen;
    lastByte = frame[0];
    std::memset(reply, 0, 4);
    *replyLen = 4;
    return true;
}

std::unique_ptr<Executor> connect(benchmark::State& state, Transfer& link, const DevPar& par) {
    std::unique_ptr<Executor> executor(Executor::create(BOARD_TYPE_PROTOCOL7, BOARD_PROTOCOL_7));
    executor->setTransfer(&link);
    if (executor->init(par, false, false) != SDK_OK || !executor->setStartMark()) {
        state.SkipWithError("init failed");
        return nullptr;
    }
    return executor;
}

TarnParam lens() {
    TarnParam t;
    t.galvo.fieldSize = 100;
    t.galvo.setResolution(65535);
    t.laser.laserType = LASER_TYPE_0;
    t.laser.pwmEnable0 = 1;
    for (int i = 0; i <= 10; ++i) t.laser.powerTable0[i] = static_cast<float>(10 * i);
    return t;
}

long currentRssKb() {
    long pages = 0;
    long resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

}  // namespace bench
