#pragma once

#include <cstdint>

#include "executor/export.h"

// The host's transport to one board. The library calls it, never creates or destroys it.
// Calls come from the host threads that call the executor: usually one, but two when a
// run-control call (setStopMark, setReset, ...) stops a job from another thread while the
// first streams it. The transport must serialise its calls then, so that each request gets its
// own reply. The shipped ones do; wrap one that does not in a SerialisedTransfer.
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
