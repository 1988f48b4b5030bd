#pragma once

#include "executor/transfer/transfer.h"

// A transport in front of another one that passes every call through. Derive from it to watch
// or alter only the calls of interest (counting frames, logging, progress), leaving the rest.
// It adds no locking: it is as safe for two threads as the transport behind it and whatever a
// derived class adds (see SerialisedTransfer).
class ForwardingTransfer : public Transfer {
public:
    explicit ForwardingTransfer(Transfer& inner) : m_inner(inner) {}

    bool isOpen() override { return m_inner.isOpen(); }
    bool openDev() override { return m_inner.openDev(); }
    void closeDev() override { m_inner.closeDev(); }
    bool readData(uint32_t channel, uint8_t* buffer, uint32_t bufferSize, int32_t* length, uint8_t* a, uint8_t* b,
                  bool flag) override {
        return m_inner.readData(channel, buffer, bufferSize, length, a, b, flag);
    }
    bool writeData(const uint8_t* data, uint32_t length, uint32_t channel) override {
        return m_inner.writeData(data, length, channel);
    }
    bool isVirtual() override { return m_inner.isVirtual(); }
    bool ReadAndWriteCmd(const uint8_t* request, uint32_t requestLen, uint8_t* reply, uint32_t* replyLen,
                         bool flag) override {
        return m_inner.ReadAndWriteCmd(request, requestLen, reply, replyLen, flag);
    }
    bool ReadAndWriteData(const uint8_t* frame, uint32_t frameLen, uint8_t* reply, uint32_t* replyLen,
                          bool flag) override {
        return m_inner.ReadAndWriteData(frame, frameLen, reply, replyLen, flag);
    }
    int32_t getLinkType() override { return m_inner.getLinkType(); }
    bool isDirectLink() override { return m_inner.isDirectLink(); }
    bool isNetLink() override { return m_inner.isNetLink(); }
    bool isFastLink() override { return m_inner.isFastLink(); }
    void setLinkMode(bool a, bool b) override { m_inner.setLinkMode(a, b); }

protected:
    Transfer& inner() { return m_inner; }

private:
    Transfer& m_inner;
};
