#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "bench_support.h"

// Figure 1: vector commands streamed through the public interface into 1464-byte frames, against
// copying the same wire bytes into frames with memcpy.

namespace {

// A point that changes every call, inside the field.
Point2dConcept<int> pointFor(uint64_t i) {
    return {static_cast<int>(i * 7919u % 65536u), static_cast<int>(i * 104729u % 65536u)};
}

void Stream_sendLineToAbs(benchmark::State& state) {
    bench::RoomyTransfer link;
    auto executor = bench::connect(state, link);
    if (!executor) return;
    Executor& e = *executor;  // the public virtual interface
    uint64_t i = 0;
    for (auto _ : state) {
        e.sendLineToAbs(pointFor(i), 20, 0);
        ++i;
    }
    e.exeCurCmd(false);
    state.SetItemsProcessed(static_cast<int64_t>(i));
    state.SetBytesProcessed(static_cast<int64_t>(i * bench::kVectorLen));
    state.counters["frames"] = static_cast<double>(link.frames);
}
BENCHMARK(Stream_sendLineToAbs);

// The same bytes, already encoded, copied a whole frame at a time and handed to the transport.
void Stream_memcpyBaseline(benchmark::State& state) {
    bench::RoomyTransfer link;
    Transfer& transfer = link;  // called through the interface, as the executor does
    constexpr uint32_t kPerFrame = bench::kFrameLen / bench::kVectorLen;  // 81 vectors, 1458 bytes
    constexpr uint32_t kFrames = 256;
    const std::vector<uint8_t> wire(kFrames * kPerFrame * bench::kVectorLen, 0x5A);
    std::vector<uint8_t> frame(bench::kFrameLen + 1, 0);
    uint8_t reply[256];
    uint64_t vectors = 0;
    uint32_t next = 0;
    for (auto _ : state) {
        std::memcpy(frame.data(), wire.data() + next * kPerFrame * bench::kVectorLen, kPerFrame * bench::kVectorLen);
        uint32_t replyLen = sizeof(reply);
        transfer.ReadAndWriteData(frame.data(), bench::kFrameLen, reply, &replyLen, false);
        benchmark::ClobberMemory();
        next = (next + 1) % kFrames;
        vectors += kPerFrame;
    }
    state.SetItemsProcessed(static_cast<int64_t>(vectors));
    state.SetBytesProcessed(static_cast<int64_t>(vectors * bench::kVectorLen));
}
BENCHMARK(Stream_memcpyBaseline);

}  // namespace
