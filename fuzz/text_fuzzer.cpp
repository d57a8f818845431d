// Bytes -> program lines, as `dozu-cli run --text` reads them -> a run and
// a second run on the same turtle, checked as every run is.
#include <cstdint>
#include <vector>

#include "program/program_file.h"
#include "program_run.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace dozu;
    const ProgramLines lines = text_program_lines(std::vector<uint8_t>(data, data + size));
    fuzz::ProgramCost cost;
    for (size_t i = 0; i < lines.size(); ++i) cost.add(lines[i]);
    if (!cost.within_caps()) return -1;
    fuzz::run_checked(lines);
    return 0;
}
