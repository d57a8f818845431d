// The C runtime's decode against the interpreter's run, program by program.
#pragma once

#include <string>
#include <vector>

namespace dozu::bench {

// The names of the programs that both are timed on, in order; the
// benchmarks are BM_core_run:NAME and BM_runtime_decode:NAME.
const std::vector<std::string>& runtime_bench_programs();

}  // namespace dozu::bench
