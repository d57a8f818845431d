// Heap accounting for the benchmark binary: a counting global operator
// new/delete tracks the bytes currently held and their peak.
#pragma once

#include <cstddef>

namespace dozu::bench {

size_t heap_bytes_now();
// Sets the peak to the bytes held now and returns it, so that a later
// heap_peak_bytes() minus this value is what a call added at its worst.
size_t reset_heap_peak();
size_t heap_peak_bytes();

}  // namespace dozu::bench
