// The reply decoders of both protocols, fed whatever a board or a link might answer.
//
// Input: byte 0 link (bit 0: protocol 7, else 5; bit 1: network link, so binding runs; bit 2:
// virtual link), byte 1 the operation, bytes 2-9 its arguments, the rest reply chunks
// (reply_script.h). Buffers handed to the library are exactly as large as the call says, so
// any write or read past them is caught.

#include <cstddef>
#include <cstdint>

#include "executor/platform/logger.h"
#include "executor/platform/thread.h"
#include "fuzz/reply_operations.h"
#include "fuzz/reply_script.h"

namespace {

bool quiet() {
    Logger::setMinLevel(Logger::kError + 1);
    utils::Thread::setSleepHook([](uint32_t) {});
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool once = quiet();
    (void)once;
    fuzz::ByteReader in(data, size);
    const uint8_t link = in.u8();
    const auto op = static_cast<fuzz::Operation>(in.u8() % fuzz::kOperationCount);
    fuzz::Args args{};
    for (uint8_t& b : args.b) b = in.u8();

    fuzz::ScriptTransfer transfer(in);
    transfer.networkLink = (link & fuzz::kLinkNetwork) != 0;
    transfer.virtualLink = (link & fuzz::kLinkVirtual) != 0;
    fuzz::runOperation(link, op, args, transfer);
    return 0;
}
