#include "mesh/prefault.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace dozu {

void prefault(void* data, size_t bytes) {
#ifdef MADV_POPULATE_WRITE
    constexpr size_t kSmall = size_t(1) << 20;
    if (bytes < kSmall) return;
    static const uintptr_t page = uintptr_t(sysconf(_SC_PAGESIZE));
    const uintptr_t first = (uintptr_t(data) + page - 1) & ~(page - 1);
    const uintptr_t end = (uintptr_t(data) + bytes) & ~(page - 1);
    // Older kernels refuse the advice; the pages then fault in as usual.
    if (end > first) madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
#else
    (void)data;
    (void)bytes;
#endif
}

}  // namespace dozu
