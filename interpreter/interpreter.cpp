#include "interpreter/interpreter.h"

#include <algorithm>
#include <new>
#include <stdexcept>

#include "mesh/subdivision.h"

namespace dozu {

struct interpreter::RunState {
    MessageList& messages;
    int line = 0;
    int depth = 0;
    bool fatal = false;
    bool init_seen = false;
    bool first_seen = false;
    bool subdiv_seen = false;
    bool current_subdiv = false;
    // Output vertex count at the latest "*": the turtle numbers the vertices
    // of each model from 0, the output mesh keeps what earlier models flushed.
    uint32_t offset = 0;

    void add(std::string text, int tag) { messages.push_back({std::move(text), tag}); }
    void fail(std::string text, int tag) {
        add(std::move(text), tag);
        fatal = true;
    }
};

interpreter::interpreter(turtle& t) : turtle_(t), output_(std::make_unique<QuadMesh>()) {}

bool interpreter::run(LineView lines, MessageList& messages, int count) {
    count = std::clamp(count, 0, int(std::min<size_t>(lines.size(), size_t(INT32_MAX))));
    accumulator_ = 0;
    negative_ = false;
    // Every run extrudes by its own program's parameters: one kept from an
    // earlier run would outlive the deletion of its line, and the editor
    // would show another model than the batch tool makes.
    extrusion_ = extrusion_parameters();
    extrusion_slot_ = 0;
    output_ = std::make_unique<QuadMesh>();
    // A run copies only what it makes itself, never a stale part of an
    // earlier run's turtle.
    vertices_copied_ = turtle_.vertex_count();
    indices_copied_ = turtle_.index_count();
    messages.clear();

    RunState rs{messages};
    try {
        for (rs.line = 0; rs.line < count && !rs.fatal; ++rs.line) {
            for (char c : lines[size_t(rs.line)]) {
                if (pending_)
                    parameter_char(c);
                else
                    statement(c, rs);
            }
            if (rs.line == 0 && !rs.init_seen) rs.fail("fatal error: no initialization at program start", 0);
        }
        if (!rs.fatal) {
            rs.line = count - 1;
            flush(rs);
            if (rs.depth > 0) {
                if (size_t(count) == lines.size())
                    rs.add("error: non-empty stack at end of program", count - 1);
                else
                    rs.add("hint: stack depth is " + std::to_string(rs.depth), count - 1);
            }
            if (count == 0) {
                rs.add("hint: initialize, grow radius and size and make a first step", 0);
                rs.add("hint: buttons to click are init, grow_s, grow_r, first, ^ (forward)", 0);
            }
        }
    } catch (const std::bad_alloc&) {
        // Every container the run grows either grew or stayed as it was, so
        // the turtle and the output mesh are whole, only short.
        rs.fail("fatal error: out of memory", std::max(rs.line, 0));
    }
    return !rs.fatal;
}

void interpreter::parameter_char(char c) {
    if (c == ' ') {
        const int32_t v = negative_ ? int32_t(0u - uint32_t(accumulator_)) : accumulator_;
        const float value =
            float(static_cast<long double>(v) * static_cast<long double>(3.14159274f) * (1.0L / 24.0L));
        if (pending_op_)
            (turtle_.*pending_op_)(value);
        else
            set_extrusion_parameter(extrusion_, extrusion_slot_, value);
        pending_ = false;
    } else if (c == '-') {
        negative_ = true;
    } else {
        const int code = static_cast<unsigned char>(c);
        const int digit = code - (code >= 'A' ? 55 : 48);
        accumulator_ = int32_t((uint32_t(accumulator_) << 4) | uint32_t(digit));
    }
}

void interpreter::start_parameter(turtle_value_op op, int slot) {
    pending_ = true;
    pending_op_ = op;
    extrusion_slot_ = slot;
    accumulator_ = 0;
    negative_ = false;
}

void interpreter::statement(char c, RunState& rs) {
    if (c == ' ') return;
    rs.current_subdiv = false;
    switch (c) {
        case '*':
            vertices_copied_ = 0;
            indices_copied_ = 0;
            turtle_.init_stack_frame();
            rs.init_seen = true;
            rs.offset = output_->vertex_count();
            break;
        case '=':
            turtle_.first();
            rs.first_seen = true;
            break;
        case '^':
            turtle_.go();
            if (!rs.first_seen) rs.fail("fatal error: no 'first' statement before first step", rs.line);
            break;
        case 'R': start_parameter(&turtle::add_radius, extrusion_slot_); break;
        case 'S': start_parameter(&turtle::add_size, extrusion_slot_); break;
        case 'Y': start_parameter(&turtle::add_angle, extrusion_slot_); break;
        case 'O': start_parameter(nullptr, 0); break;
        case '+': start_parameter(nullptr, 1); break;
        case 'p': turtle_.wind(-1); break;
        case 'q': turtle_.wind(+1); break;
        case 'B': turtle_.bot(); break;
        case 'T': turtle_.fix(); break;
        case '[':
            turtle_.push();
            ++rs.depth;
            break;
        case ']':
            turtle_.pop();
            if (--rs.depth < 0) rs.add("error: stack underflow, pop statement ignored", rs.line);
            break;
        case 'D':
            subdivide_output(rs);
            rs.subdiv_seen = true;
            rs.current_subdiv = true;
            break;
        case 'X':
            flush(rs);
            extrude(extrusion_, output_->vertex_data(), output_->vertex_count());
            break;
        default: break;  // "V" (mark) and every other character do nothing
    }
    if (rs.subdiv_seen && !rs.current_subdiv)
        rs.fail("fatal error: statement not allowed after 'subdiv', ignored", rs.line);
}

void interpreter::flush(RunState& rs) {
    const vertex* tv = turtle_.vertex_data();
    const uint32_t vc = turtle_.vertex_count();
    for (uint32_t i = vertices_copied_; i < vc; ++i) output_->add_vertex(tv[i].normal, tv[i].position);
    vertices_copied_ = std::max(vertices_copied_, vc);

    // A quad that names a vertex the output mesh does not hold (a face
    // closed before its vertices were made) never reaches the mesh.
    const uint64_t limit = output_->vertex_count();
    const uint32_t* ti = turtle_.index_data();
    const uint32_t ic = turtle_.index_count() & ~3u;
    bool dropped = false;
    for (uint32_t i = indices_copied_; i < ic; i += 4) {
        uint64_t q[4];
        for (int k = 0; k < 4; ++k) q[k] = uint64_t(ti[i + k]) + rs.offset;
        if (std::max({q[0], q[1], q[2], q[3]}) >= limit) {
            dropped = true;
            continue;
        }
        output_->add_quad(uint32_t(q[0]), uint32_t(q[1]), uint32_t(q[2]), uint32_t(q[3]));
    }
    indices_copied_ = std::max(indices_copied_, ic);
    if (dropped) rs.add("error: face with missing vertex dropped", rs.line);
}

void interpreter::subdivide_output(RunState& rs) {
    flush(rs);
    const uint64_t quads = output_->index_count() / 4;
    if (4 * quads > kMaxSubdividedQuads) {
        rs.fail("fatal error: mesh too large to subdivide", rs.line);
        return;
    }
    try {
        output_ = subdivide(*output_);
    } catch (const std::length_error&) {
        rs.fail("fatal error: mesh too large to subdivide", rs.line);
    }
}

}  // namespace dozu
