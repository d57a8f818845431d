// Runs a program as the batch tool does, within the harnesses' caps on the
// work one input may ask for, and checks what every run must keep.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "interpreter/interpreter.h"
#include "interpreter/program_lines.h"
#include "turtle/turtle.h"

namespace dozu::fuzz {

// What running a program's lines can cost, counted from their text before
// the lines are made (a .tpg's lines are its codes repeated step by step).
struct ProgramCost {
    uint64_t text = 0;          // bytes of line text
    uint64_t geometry = 1;      // statements that lay cells or faces, plus one
    uint64_t extrusions = 0;    // each moves every vertex made so far
    uint64_t subdivisions = 0;  // each makes four quads of one
    void add(std::string_view line, uint64_t times = 1);
    bool within_caps() const;
};

struct Run {
    turtle t;
    interpreter interp{t};
    MessageList messages;
    bool ok = false;
};

// Runs every line on a fresh turtle and interpreter from the start of the
// random sequence, as the batch tool does, and checks the result: a mesh
// whose quads name its own vertices, messages tagged with lines that ran,
// success exactly when no message is fatal. Then runs the lines again on
// the same turtle and interpreter, as the editor does after every change,
// from the same random state: the model and the messages must be the same.
std::unique_ptr<Run> run_checked(LineView lines);

}  // namespace dozu::fuzz
