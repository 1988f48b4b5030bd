#include "core/log.h"
#include "executor/core/executor.h"

// Shared operations whose implementation has not landed yet: they report it and do nothing.

bool Executor::setIPAddr(std::string /*ip*/) {
    logUnavailable("Executor::setIPAddr");
    return false;
}

bool Executor::setMacAddr(std::string /*mac*/) {
    logUnavailable("Executor::setMacAddr");
    return false;
}

void Executor::setOfflineDocIndex(uint8_t /*index*/) { logUnavailable("Executor::setOfflineDocIndex"); }

bool Executor::OfflineDownload(SdkError& /*err*/) {
    logUnavailable("Executor::OfflineDownload");
    return false;
}
