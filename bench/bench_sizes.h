// The sizes and counter names that the benchmarks and their summary share.
#pragma once

#include <cstdint>

namespace dozu::bench {

// Input quads of the models: one level gives four times as many output
// quads, so these span 1,000 to 1,000,000 output quads.
constexpr int64_t kInputQuads[] = {250, 1000, 2500, 10000, 25000, 100000, 250000};
// Smaller meshes are refined in batches of about this many input quads.
constexpr int64_t kBatchQuads = 5000;
// The size at which dozu and OpenSubdiv are compared and memory is measured.
constexpr int64_t kRatioQuads = 100000;

// Output quads of the model that whole exports write.
constexpr int64_t kExportQuads = 16000000;

constexpr const char* kTimePerOutQuad = "time_per_out_quad";
constexpr const char* kPeakPerOut = "peak_per_out";

}  // namespace dozu::bench
