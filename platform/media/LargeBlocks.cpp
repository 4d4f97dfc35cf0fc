#include "platform/media/LargeBlocks.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <dlfcn.h>
#include <sys/mman.h>
#include <unistd.h>

namespace zypo {

namespace {
constexpr std::size_t kHugePageBytes = std::size_t{2} << 20;
std::atomic<bool> advising{false};
std::atomic<int> advised{0};

using MemAlign = int (*)(void**, std::size_t, std::size_t);

MemAlign libcMemAlign() {
    static const auto real = reinterpret_cast<MemAlign>(dlsym(RTLD_NEXT, "posix_memalign"));
    return real;
}

void advise(void* block, std::size_t size) {
    // Only the whole pages inside the block: its first and last bytes share pages with the
    // allocator's own bookkeeping.
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto start = (reinterpret_cast<std::uintptr_t>(block) + page - 1) & ~(page - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(block) + size) & ~(page - 1);
    if (end <= start)
        return;
    // A kernel without huge pages refuses; the block is then cleared page by page, as before.
    if (madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE) == 0)
        advised.fetch_add(1, std::memory_order_relaxed);
}
} // namespace

void adviseLargeBlocks() {
    libcMemAlign(); // looked up here, before any player's thread can ask
    advising.store(true, std::memory_order_relaxed);
}

int largeBlocksAdvised() {
    return advised.load(std::memory_order_relaxed);
}

} // namespace zypo

// posix_memalign as the decoders' libraries reach it (FFmpeg allocates through it): this
// program's definition comes before the C library's own, which does the allocating.
extern "C" int posix_memalign(void** block, std::size_t alignment, std::size_t size) {
    const zypo::MemAlign real = zypo::libcMemAlign();
    if (!real)
        return ENOMEM;
    if (size < zypo::kLargeBlockBytes || !zypo::advising.load(std::memory_order_relaxed))
        return real(block, alignment, size);
    // Started on a huge page's boundary, the block is huge pages but for its last bytes. The
    // space skipped before it is address space only: nothing there is ever touched.
    const int result = real(block, alignment > zypo::kHugePageBytes ? alignment : zypo::kHugePageBytes, size);
    if (result == 0)
        zypo::advise(*block, size);
    return result;
}
