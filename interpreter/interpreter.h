// The interpreter: reads program lines character by character as
// one-character statements with hexadecimal parameters, drives the turtle,
// copies its new geometry into the output mesh at each flush, subdivides
// on "D", extrudes on "X", and reports errors and hints as tagged messages.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "interpreter/program_lines.h"
#include "mesh/quad_mesh.h"
#include "turtle/extrusion.h"
#include "turtle/turtle.h"

namespace dozu {

struct Message {
    std::string text;
    int tag;  // 0-based index of the program line it concerns
};
using MessageList = std::vector<Message>;

// A "D" whose result would hold more quads than this is refused.
constexpr uint64_t kMaxSubdividedQuads = 16777216;

class interpreter {
public:
    explicit interpreter(turtle& t);

    // Runs the first count lines (clamped to the number of lines); replaces
    // messages with this run's messages; true when no fatal error occurred.
    // Running out of memory is a fatal error of the line being run, after
    // which the output mesh holds what the run had made until then.
    bool run(LineView lines, MessageList& messages, int count);

    void draw() { output_->draw(); }
    QuadMesh& output_mesh() { return *output_; }
    const QuadMesh& output_mesh() const { return *output_; }
    const extrusion_parameters& extrusion() const { return extrusion_; }

private:
    struct RunState;
    void statement(char c, RunState& rs);
    void parameter_char(char c);
    void start_parameter(turtle_value_op op, int slot);
    void flush(RunState& rs);
    void subdivide_output(RunState& rs);

    turtle_value_op pending_op_ = nullptr;
    turtle& turtle_;
    std::unique_ptr<QuadMesh> output_;
    extrusion_parameters extrusion_;
    uint32_t vertices_copied_ = 0;
    uint32_t indices_copied_ = 0;
    bool pending_ = false;
    int extrusion_slot_ = 0;
    int32_t accumulator_ = 0;
    bool negative_ = false;
};

}  // namespace dozu
