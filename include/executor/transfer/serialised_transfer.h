#pragma once

#include <mutex>

#include "executor/transfer/forwarding_transfer.h"

// A transport in front of one that is not safe for two threads: every call holds one mutex, so
// a stop sent from a second host thread waits for the exchange in flight and gets its own reply.
class SerialisedTransfer : public ForwardingTransfer {
public:
    explicit SerialisedTransfer(Transfer& inner) : ForwardingTransfer(inner) {}

    bool isOpen() override {
        Lock lock(m_mutex);
        return ForwardingTransfer::isOpen();
    }
    bool openDev() override {
        Lock lock(m_mutex);
        return ForwardingTransfer::openDev();
    }
    void closeDev() override {
        Lock lock(m_mutex);
        ForwardingTransfer::closeDev();
    }
    bool readData(uint32_t channel, uint8_t* buffer, uint32_t bufferSize, int32_t* length, uint8_t* a, uint8_t* b,
                  bool flag) override {
        Lock lock(m_mutex);
        return ForwardingTransfer::readData(channel, buffer, bufferSize, length, a, b, flag);
    }
    bool writeData(const uint8_t* data, uint32_t length, uint32_t channel) override {
        Lock lock(m_mutex);
        return ForwardingTransfer::writeData(data, length, channel);
    }
    bool isVirtual() override {
        Lock lock(m_mutex);
        return ForwardingTransfer::isVirtual();
    }
    bool ReadAndWriteCmd(const uint8_t* request, uint32_t requestLen, uint8_t* reply, uint32_t* replyLen,
                         bool flag) override {
        Lock lock(m_mutex);
        return ForwardingTransfer::ReadAndWriteCmd(request, requestLen, reply, replyLen, flag);
    }
    bool ReadAndWriteData(const uint8_t* frame, uint32_t frameLen, uint8_t* reply, uint32_t* replyLen,
                          bool flag) override {
        Lock lock(m_mutex);
        return ForwardingTransfer::ReadAndWriteData(frame, frameLen, reply, replyLen, flag);
    }
    int32_t getLinkType() override {
        Lock lock(m_mutex);
        return ForwardingTransfer::getLinkType();
    }
    bool isDirectLink() override {
        Lock lock(m_mutex);
        return ForwardingTransfer::isDirectLink();
    }
    bool isNetLink() override {
        Lock lock(m_mutex);
        return ForwardingTransfer::isNetLink();
    }
    bool isFastLink() override {
        Lock lock(m_mutex);
        return ForwardingTransfer::isFastLink();
    }
    void setLinkMode(bool a, bool b) override {
        Lock lock(m_mutex);
        ForwardingTransfer::setLinkMode(a, b);
    }

private:
    using Lock = std::lock_guard<std::mutex>;
    std::mutex m_mutex;
};
