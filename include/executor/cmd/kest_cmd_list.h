#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "executor/cmd/kest_cmd.h"
#include "executor/export.h"

// Locked queue of owned list packets with a running byte total. packFrame moves whole
// packets from the front into one frame.
class EXECUTOR_API KestCmdList {
public:
    KestCmdList();
    virtual ~KestCmdList();

    KestCmdList(const KestCmdList&) = delete;
    KestCmdList& operator=(const KestCmdList&) = delete;

    // Appends the packet and takes ownership; returns the new byte total.
    uint32_t push(KestCmd* cmd);
    // Throws std::out_of_range("invalid vector<T> subscript") for an index not below size().
    KestCmd* at(int32_t index);
    int32_t size();
    uint32_t totalBytes();
    // Packs as many whole packets as fit in maxLen into a new[]-allocated frame of at least 12
    // bytes (zero padded); the caller delete[]s it. Null when the list is empty; *outLen is then
    // left untouched.
    uint8_t* packFrame(uint32_t* outLen, uint32_t maxLen);
    // The same, also telling how many packets went into the frame (0 when only padding did).
    uint8_t* packFrame(uint32_t* outLen, uint32_t maxLen, uint32_t* packedCount);
    // The same into a caller-owned frame of at least frameCapacity(maxLen) bytes, so that a
    // streaming caller reuses one buffer. Returns the frame length, or 0 (frame untouched) when the
    // list is empty.
    uint32_t packFrameInto(uint8_t* frame, uint32_t maxLen, uint32_t* packedCount);
    static uint32_t frameCapacity(uint32_t maxLen);
    // Destroys every queued packet.
    void clear();

private:
    // Writers hold m_mutex, so the total needs no read-modify-write of its own; stores keep it
    // readable by totalBytes() from any thread.
    uint32_t setTotal(uint32_t total);
    // With m_mutex held: how many whole packets from the front fit in maxLen, and their bytes.
    size_t countFitting(uint32_t maxLen, uint32_t* length) const;
    // With m_mutex held: copies the first count packets (length bytes) to out and destroys them.
    void moveOut(size_t count, uint32_t length, uint8_t* out);

    std::mutex m_mutex;
    std::vector<KestCmd*> m_cmds;
    std::atomic<uint32_t> m_totalBytes;  // read without the lock by totalBytes()
    // Storage a drained list gives back is reserved again at the next push, this much, so that
    // refilling the list for the next frame does not grow the vector step by step.
    size_t m_refillCapacity = 0;
};
