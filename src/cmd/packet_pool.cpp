#include "cmd/packet_pool.h"

#include <new>

namespace packet_pool {

namespace {

struct FreeBlock {
    FreeBlock* next;
};

enum class ListState : unsigned char { kUnused, kActive, kRetired };

// Trivially destructible, so it stays usable while the thread's other objects are destroyed.
struct FreeList {
    FreeBlock* head;
    std::size_t count;
    ListState state;
};

thread_local FreeList t_free{nullptr, 0, ListState::kUnused};

// Gives the cached blocks back when the thread ends; packets destroyed later (by objects with
// thread or static lifetime) go straight to the allocator.
struct Reaper {
    ~Reaper() {
        while (t_free.head != nullptr) {
            FreeBlock* block = t_free.head;
            t_free.head = block->next;
            ::operator delete(block);
        }
        t_free.count = 0;
        t_free.state = ListState::kRetired;
    }
};

// True while this thread's free list may take and give blocks.
bool listActive() {
    if (t_free.state == ListState::kUnused) {
        thread_local Reaper reaper;  // constructed once per thread, on first use
        static_cast<void>(reaper);
        t_free.state = ListState::kActive;
    }
    return t_free.state == ListState::kActive;
}

}  // namespace

// Every small request gets a whole block, whichever path serves it, so any block may later be
// cached by whichever thread destroys its packet.
void* allocate(std::size_t size) {
    if (!kEnabled || size > kBlockSize) return ::operator new(size);
    if (!listActive() || t_free.head == nullptr) return ::operator new(kBlockSize);
    FreeBlock* block = t_free.head;
    t_free.head = block->next;
    --t_free.count;
    return block;
}

void release(void* block, std::size_t size) noexcept {
    if (block == nullptr) return;
    if (!kEnabled || size > kBlockSize || !listActive() || t_free.count >= kMaxCached) {
        ::operator delete(block);
        return;
    }
    auto* free = static_cast<FreeBlock*>(block);
    free->next = t_free.head;
    t_free.head = free;
    ++t_free.count;
}

std::size_t cachedBlocks() noexcept { return t_free.count; }

}  // namespace packet_pool
