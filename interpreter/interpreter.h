// The interpreter: reads program lines character by character as
// one-character statements with hexadecimal parameters, drives the turtle,
// copies its new geometry into the output mesh at each flush, subdivides
// on "D", extrudes on "X", and reports errors and hints as tagged messages.
//
// A run builds aside, into a turtle and meshes of the interpreter's own,
// and only a finished run becomes current, by swapping: so a run may go on
// on another thread while the caller draws the last finished one, and a
// cancelled run leaves no trace. The storage of earlier runs is reused, so
// repeated runs of one model map no new memory.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "geometry/stop_flag.h"
#include "interpreter/message.h"
#include "interpreter/program_lines.h"
#include "mesh/quad_mesh.h"
#include "mesh/subdivision.h"
#include "turtle/extrusion.h"
#include "turtle/turtle.h"

namespace dozu {

// A "D" whose result would hold more quads than this is refused.
constexpr uint64_t kMaxSubdividedQuads = 16777216;

class interpreter {
public:
    explicit interpreter(turtle& t);

    // Runs the first count lines (clamped to the number of lines); replaces
    // messages with this run's messages; true when no fatal error occurred.
    // Running out of memory is a fatal error of the line being run, after
    // which the output mesh holds what the run had made until then; so is a
    // stop for a time limit ("fatal error: time limit reached"). A cancelled
    // run changes nothing and returns false.
    bool run(LineView lines, MessageList& messages, int count, const StopFlag* stop = nullptr);

    // A run stops before any mesh (the turtle's, the output's or a
    // subdivision's) would hold more than this many quads, with the fatal
    // error "mesh too large: more than N quads" at the line of the statement
    // that would make it; 0, the default, sets no cap. Set while no run is
    // going on.
    void set_max_quads(uint32_t quads) { max_quads_ = quads; }
    uint32_t max_quads() const { return max_quads_; }
    // Whether the current run stopped at that cap.
    bool stopped_at_cap() const { return capped_; }

    // The same in two steps. stage runs without changing anything that the
    // accessors or the turtle show, and may run on another thread while the
    // caller reads them; false when it was cancelled, which also puts the
    // random sequence back where the run found it. commit, after a stage
    // that was not cancelled, makes its results current: the turtle, the
    // output mesh and the messages, in constant time.
    bool stage(LineView lines, int count, const StopFlag* stop = nullptr);
    // The line the staged run ran out of memory at, or -1.
    int staged_out_of_memory_line() const { return staged_out_of_memory_line_; }
    // Instead of commit: forgets the staged run and gives its storage back,
    // leaving the last committed run current.
    void discard_staged();
    QuadMesh& staged_mesh() { return *staged_; }
    void commit(MessageList& messages);

    void draw() { output_->draw(); }
    QuadMesh& output_mesh() { return *output_; }
    const QuadMesh& output_mesh() const { return *output_; }
    const extrusion_parameters& extrusion() const { return kept_.extrusion; }

private:
    struct RunState;
    // What a run leaves for the next one.
    struct Carried {
        turtle_value_op pending_op = nullptr;
        extrusion_parameters extrusion;
        uint32_t vertices_copied = 0;
        uint32_t indices_copied = 0;
        bool pending = false;
        int extrusion_slot = 0;
        int32_t accumulator = 0;
        bool negative = false;
    };

    void statement(char c, RunState& rs);
    void parameter_char(char c);
    void start_parameter(turtle_value_op op, int slot);
    void flush(RunState& rs);
    void subdivide_output(RunState& rs);
    // Stops the run when a mesh of this many quads would pass the cap.
    void check_quads(uint64_t quads) const;
    bool starts_with_init(LineView lines, int count) const;

    turtle& turtle_;      // the last finished run's
    turtle work_turtle_;  // the run's
    Carried kept_, work_;
    std::unique_ptr<QuadMesh> output_, staged_, spare_;
    SubdivisionScratch scratch_;
    MessageList staged_messages_;
    const StopFlag* stop_ = nullptr;
    uint32_t max_quads_ = 0;
    bool staged_ok_ = false;
    bool staged_capped_ = false, capped_ = false;
    int staged_out_of_memory_line_ = -1;
};

}  // namespace dozu
