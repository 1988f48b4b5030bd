// Builds against the installed package only: proves the public headers stand alone and the
// exported symbols are enough to drive a protocol 7 board through a host transport.
#include <executor/executor.h>

#include <cstdint>
#include <cstdio>

namespace {

class CountingTransfer : public Transfer {
public:
    int cmdCalls = 0;
    int dataCalls = 0;
    uint8_t firstBytes[4] = {0, 0, 0, 0};
    uint32_t firstLen = 0;

    bool isOpen() override { return true; }
    bool openDev() override { return true; }
    void closeDev() override {}
    bool readData(uint32_t, uint8_t*, uint32_t, int32_t* length, uint8_t*, uint8_t*, bool) override {
        if (length != nullptr) *length = 0;
        return false;
    }
    bool writeData(const uint8_t*, uint32_t, uint32_t) override { return false; }
    bool isVirtual() override { return false; }
    bool ReadAndWriteCmd(const uint8_t* request, uint32_t requestLen, uint8_t* reply, uint32_t* replyLen,
                         bool) override {
        if (cmdCalls == 0) {
            firstLen = requestLen;
            for (uint32_t i = 0; i < 4 && i < requestLen; ++i) firstBytes[i] = request[i];
        }
        ++cmdCalls;
        reply[2] = 0;  // status byte: success
        *replyLen = 12;
        return true;
    }
    bool ReadAndWriteData(const uint8_t*, uint32_t, uint8_t*, uint32_t* replyLen, bool) override {
        ++dataCalls;
        if (replyLen != nullptr) *replyLen = 0;
        return false;
    }
    int32_t getLinkType() override { return 0; }
    bool isDirectLink() override { return true; }
    bool isNetLink() override { return false; }
    bool isFastLink() override { return false; }
    void setLinkMode(bool, bool) override {}
};

int failures = 0;

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "consumer check failed: %s\n", what);
        ++failures;
    }
}

}  // namespace

int main() {
    CountingTransfer t;
    Executor* ex = Executor::create(BOARD_TYPE_PROTOCOL7, BOARD_PROTOCOL_7);
    if (ex == nullptr) {
        std::fprintf(stderr, "consumer check failed: Executor::create returned null\n");
        return 1;
    }
    check(ex->getProtVer() == 7, "getProtVer() == 7");
    ex->setTransfer(&t);
    check(dynamic_cast<Executor7*>(ex) != nullptr, "dynamic_cast<Executor7*>(ex) != nullptr");

    check(ex->setReset(), "setReset() returns true");
    check(ex->isStopRun(), "isStopRun() after setReset()");
    check(t.cmdCalls == 1, "exactly one command request");
    check(t.dataCalls == 0, "no list frame for a reset");
    check(t.firstLen >= 4, "request is at least 4 bytes");
    check(t.firstBytes[0] == 0xAA && t.firstBytes[1] == 0x10 && t.firstBytes[2] == 0x00 && t.firstBytes[3] == 0x01,
          "request starts AA 10 00 01");

    delete ex;

    if (failures != 0) {
        std::fprintf(stderr, "%d consumer check(s) failed\n", failures);
        return 1;
    }
    std::printf("consumer: all checks passed\n");
    return 0;
}
