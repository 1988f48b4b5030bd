#pragma once

#include <cstdint>

#include "executor/export.h"

// The host's transport to one board. The library calls it, never creates or destroys it.
// Every call comes from the host thread that calls the executor.
class EXECUTOR_API Transfer {
public:
    virtual ~Transfer();

    virtual bool isOpen() = 0;
    virtual bool openDev() = 0;
    virtual void closeDev() = 0;
    // Reads from the user port into buffer; length receives the count read.
    virtual bool readData(uint32_t channel, uint8_t* buffer, uint32_t bufferSize, int32_t* length, uint8_t* a,
                          uint8_t* b, bool flag) = 0;
    // Writes to the user port.
    virtual bool writeData(const uint8_t* data, uint32_t length, uint32_t channel) = 0;
    // A link with no board behind it: the waits skip polling.
    virtual bool isVirtual() = 0;
    // One request and its reply. replyLen carries the reply capacity in and the bytes received out.
    virtual bool ReadAndWriteCmd(const uint8_t* request, uint32_t requestLen, uint8_t* reply, uint32_t* replyLen,
                                 bool flag) = 0;
    // Delivers one list frame.
    virtual bool ReadAndWriteData(const uint8_t* frame, uint32_t frameLen, uint8_t* reply, uint32_t* replyLen,
                                  bool flag) = 0;
    // 1 selects the large protocol 5 frame.
    virtual int32_t getLinkType() = 0;
    // The link needs no binding.
    virtual bool isDirectLink() = 0;
    // Network link: 1464-byte frames.
    virtual bool isNetLink() = 0;
    // The link needs no binding; large protocol 5 frames.
    virtual bool isFastLink() = 0;
    virtual void setLinkMode(bool a, bool b) = 0;
};
