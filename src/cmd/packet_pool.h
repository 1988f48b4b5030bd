#pragma once

#include <cstddef>

// Recycles the memory of packets. Every packet of a job is built, queued, packed into a frame and
// destroyed again; asking the system allocator for each one costs more than the encoding itself.
//
// Blocks of up to kBlockSize bytes go back to a free list of the thread that destroys them, and
// the next packet created on that thread reuses one. Each thread keeps at most kMaxCached blocks
// and returns them to the system when it ends. Larger requests pass straight to the allocator.
// With AddressSanitizer every request does, so misuse of a destroyed packet is still caught.
namespace packet_pool {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kEnabled = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kEnabled = false;
#else
constexpr bool kEnabled = true;
#endif
#else
constexpr bool kEnabled = true;
#endif

constexpr std::size_t kBlockSize = 64;
constexpr std::size_t kMaxCached = 1024;

void* allocate(std::size_t size);
void release(void* block, std::size_t size) noexcept;

// Blocks waiting on this thread's free list.
std::size_t cachedBlocks() noexcept;

}  // namespace packet_pool
