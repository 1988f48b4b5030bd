#include "core/log.h"
#include "executor/proto7/executor7.h"

// Protocol 7 operations whose implementation has not landed yet: each reports it and fails
// (false, 0 or -1) without touching the board.

namespace {

bool unavailable(const char* operation) {
    logUnavailable(operation);
    return false;
}

}  // namespace

// clang-format off
bool Executor7::getOfflineRamSize(uint32_t&) { return unavailable("Executor7::getOfflineRamSize"); }
void Executor7::sendOfflineParam(std::vector<OfflineParam>) { unavailable("Executor7::sendOfflineParam"); }
void Executor7::sendOfflineBlock(uint16_t, uint32_t, bool) { unavailable("Executor7::sendOfflineBlock"); }
void Executor7::sendOfflineStopIo(uint32_t, uint32_t) { unavailable("Executor7::sendOfflineStopIo"); }
void Executor7::sendOfflineWarnIo(uint32_t, uint32_t, uint32_t, uint32_t) { unavailable("Executor7::sendOfflineWarnIo"); }
void Executor7::sendSramBack() { unavailable("Executor7::sendSramBack"); }
bool Executor7::setOfflineClearFile(uint32_t) { return unavailable("Executor7::setOfflineClearFile"); }
void Executor7::modifyOfflineAddr(KestCmd*, std::vector<uint32_t>) { unavailable("Executor7::modifyOfflineAddr"); }
bool Executor7::setOfflineWriteOnePage(uint16_t, uint16_t, uint32_t, const uint8_t*, uint16_t) { return unavailable("Executor7::setOfflineWriteOnePage"); }
bool Executor7::getOfflineCmdSize(uint32_t&) { return unavailable("Executor7::getOfflineCmdSize"); }
void Executor7::sendGalvoBoxParam(GalvoParam) { unavailable("Executor7::sendGalvoBoxParam"); }
void Executor7::sendGalvoEquiScaleParam(GalvoParam) { unavailable("Executor7::sendGalvoEquiScaleParam"); }
// clang-format on
