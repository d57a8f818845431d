#include "heap.h"

#include <malloc.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <new>

namespace dozu::bench {

namespace {

std::atomic<size_t> now_bytes{0};
std::atomic<size_t> peak_bytes{0};

// The usable size of the block, not the size asked for: that is what the
// process really holds, and free() reports the same figure back.
void* counted(void* p) {
    if (!p) return p;
    const size_t size = malloc_usable_size(p);
    const size_t n = now_bytes.fetch_add(size, std::memory_order_relaxed) + size;
    size_t peak = peak_bytes.load(std::memory_order_relaxed);
    while (n > peak && !peak_bytes.compare_exchange_weak(peak, n, std::memory_order_relaxed)) {
    }
    return p;
}

void uncounted(void* p) noexcept {
    if (!p) return;
    now_bytes.fetch_sub(malloc_usable_size(p), std::memory_order_relaxed);
    std::free(p);
}

void* allocate(size_t n) {
    void* p = counted(std::malloc(n ? n : 1));
    if (!p) throw std::bad_alloc();
    return p;
}

void* allocate_aligned(size_t n, std::align_val_t al) {
    const size_t a = size_t(al);
    void* p = counted(std::aligned_alloc(a, (n + a - 1) / a * a));
    if (!p) throw std::bad_alloc();
    return p;
}

}  // namespace

size_t heap_bytes_now() { return now_bytes.load(std::memory_order_relaxed); }

size_t reset_heap_peak() {
    const size_t n = heap_bytes_now();
    peak_bytes.store(n, std::memory_order_relaxed);
    return n;
}

size_t heap_peak_bytes() { return peak_bytes.load(std::memory_order_relaxed); }

// Setting any of these also stops glibc from moving its mmap threshold by
// itself, which would make a benchmark's result depend on what ran before.
void use_recycled_memory() {
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, INT_MAX);
}

void use_fresh_memory() {
    mallopt(M_MMAP_MAX, 65536);
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    mallopt(M_TRIM_THRESHOLD, 128 * 1024);
}

void release_free_memory() { malloc_trim(0); }

}  // namespace dozu::bench

using dozu::bench::allocate;
using dozu::bench::allocate_aligned;
using dozu::bench::uncounted;

void* operator new(size_t n) { return allocate(n); }
void* operator new[](size_t n) { return allocate(n); }
void* operator new(size_t n, const std::nothrow_t&) noexcept {
    try {
        return allocate(n);
    } catch (...) {
        return nullptr;
    }
}
void* operator new[](size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
void* operator new(size_t n, std::align_val_t a) { return allocate_aligned(n, a); }
void* operator new[](size_t n, std::align_val_t a) { return allocate_aligned(n, a); }

void operator delete(void* p) noexcept { uncounted(p); }
void operator delete[](void* p) noexcept { uncounted(p); }
void operator delete(void* p, size_t) noexcept { uncounted(p); }
void operator delete[](void* p, size_t) noexcept { uncounted(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { uncounted(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { uncounted(p); }
void operator delete(void* p, std::align_val_t) noexcept { uncounted(p); }
void operator delete[](void* p, std::align_val_t) noexcept { uncounted(p); }
void operator delete(void* p, size_t, std::align_val_t) noexcept { uncounted(p); }
void operator delete[](void* p, size_t, std::align_val_t) noexcept { uncounted(p); }
