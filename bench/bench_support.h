#pragma once

#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdint>
#include <cstring>
#include <memory>

#include "executor/executor.h"

// What every benchmark shares: a transport that always has room and an executor connected to it.
namespace bench {

// Frames of a network link, the size the streaming figures are about.
constexpr uint32_t kFrameLen = 1464;
// Wire length of one vector command (sendLineToAbs).
constexpr uint32_t kVectorLen = 18;

// A board that is never busy: it runs its application, reports all its command memory free and
// the job finished, and swallows frames. A network link that needs no binding, so frames are
// 1464 bytes and nothing but the list machinery is measured.
class RoomyTransfer : public Transfer {
public:
    uint64_t frames = 0;
    uint64_t frameBytes = 0;
    uint64_t requests = 0;

    bool isOpen() override { return true; }
    bool openDev() override { return true; }
    void closeDev() override {}
    bool readData(uint32_t, uint8_t*, uint32_t, int32_t* length, uint8_t*, uint8_t*, bool) override {
        *length = 0;
        return true;
    }
    bool writeData(const uint8_t*, uint32_t, uint32_t) override { return true; }
    bool isVirtual() override { return false; }
    bool ReadAndWriteCmd(const uint8_t* request, uint32_t, uint8_t* reply, uint32_t* replyLen, bool) override;
    bool ReadAndWriteData(const uint8_t* frame, uint32_t frameLen, uint8_t* reply, uint32_t* replyLen, bool) override;
    int32_t getLinkType() override { return 0; }
    bool isDirectLink() override { return true; }
    bool isNetLink() override { return true; }
    bool isFastLink() override { return false; }
    void setLinkMode(bool, bool) override {}

    // The last frame's first bytes, so the compiler cannot drop the copy into it.
    uint8_t lastByte = 0;
};

// A protocol 7 executor connected to link, marking started. Null, with the benchmark marked
// skipped, if init failed.
std::unique_ptr<Executor> connect(benchmark::State& state, Transfer& link, const DevPar& par = DevPar());

// A 100 mm lens of 16-bit resolution with a linear power table.
TarnParam lens();

// Peak resident memory of the process so far, in KiB.
inline long peakRssKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Resident memory now, in KiB (Linux).
long currentRssKb();

}  // namespace bench
