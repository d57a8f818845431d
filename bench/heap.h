// The benchmark binary's heap: a counting global operator new/delete tracks
// the bytes currently held and their peak, and the allocator can be set to
// recycle large blocks or to map every large block afresh.
#pragma once

#include <cstddef>

namespace dozu::bench {

size_t heap_bytes_now();
// Sets the peak to the bytes held now and returns it, so that a later
// heap_peak_bytes() minus this value is what a call added at its worst.
size_t reset_heap_peak();
size_t heap_peak_bytes();

// Large blocks come from the heap and go back to it, so a repeated call
// reuses pages it touched before: no page faults once warm.
void use_recycled_memory();
// Every large block is mapped afresh and unmapped when freed; with
// release_free_memory() before each call, the call faults in every page it
// touches, as the first call of a process does.
void use_fresh_memory();
// Hands the free pages that the heap keeps back to the system.
void release_free_memory();

}  // namespace dozu::bench
