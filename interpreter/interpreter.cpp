#include "interpreter/interpreter.h"

#include <algorithm>
#include <new>
#include <stdexcept>

#include "geometry/random.h"
#include "geometry/vectors.h"

namespace dozu {

namespace {

// Flushes of a huge turtle mesh poll the stop flag once per this many
// vertices.
constexpr uint32_t kFlushChunk = 1 << 16;

// Gives back storage far larger than a mesh of about this size needs: a
// model that shrank should not hold the memory of its largest version.
void trim(QuadMesh& m, size_t floats, size_t indices) {
    constexpr size_t kKeep = size_t(1) << 18;
    if (m.vertices.capacity() / 4 > floats + kKeep) FloatArray().swap(m.vertices);
    if (m.indices.capacity() / 4 > indices + kKeep) std::vector<uint32_t>().swap(m.indices);
}

void clear(QuadMesh& m) {
    m.vertices.clear();
    m.indices.clear();
    m.display_ready = false;
}

// Thrown where a mesh would pass the cap on quads: the run stops there.
struct MeshTooLarge {};

}  // namespace

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

interpreter::interpreter(turtle& t)
    : turtle_(t),
      output_(std::make_unique<QuadMesh>()),
      staged_(std::make_unique<QuadMesh>()),
      spare_(std::make_unique<QuadMesh>()) {}

bool interpreter::run(LineView lines, MessageList& messages, int count, const StopFlag* stop) {
    if (!stage(lines, count, stop)) return false;
    commit(messages);
    return staged_ok_;
}

bool interpreter::starts_with_init(LineView lines, int count) const {
    if (count <= 0 || kept_.pending) return false;
    const std::string_view first = lines.front();
    const size_t at = first.find_first_not_of(' ');
    return at != std::string::npos && first[at] == '*';
}

bool interpreter::stage(LineView lines, int count, const StopFlag* stop) {
    count = std::clamp(count, 0, int(std::min<size_t>(lines.size(), size_t(INT32_MAX))));
    const uint32_t random_before = random_state();
    stop_ = stop;
    work_ = kept_;
    work_.accumulator = 0;
    work_.negative = false;
    // Every run extrudes by its own program's parameters: one kept from an
    // earlier run would outlive the deletion of its line, and the editor
    // would show another model than the batch tool makes.
    work_.extrusion = extrusion_parameters();
    work_.extrusion_slot = 0;
    // A run that starts with "*" begins from an empty turtle whatever the
    // last one left; any other picks up where the last finished run ended.
    if (!starts_with_init(lines, count)) work_turtle_ = turtle_;
    clear(*staged_);
    // A run copies only what it makes itself, never a stale part of an
    // earlier run's turtle.
    work_.vertices_copied = turtle_.vertex_count();
    work_.indices_copied = turtle_.index_count();
    staged_messages_.clear();
    staged_out_of_memory_line_ = -1;
    staged_capped_ = false;

    RunState rs{staged_messages_};
    try {
        for (rs.line = 0; rs.line < count && !rs.fatal; ++rs.line) {
            check_stop(stop);
            for (char c : lines[size_t(rs.line)]) {
                if (stop && stop->requested()) stop->check();
                if (work_.pending)
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
    } catch (const MeshTooLarge&) {
        staged_capped_ = true;
        rs.fail("fatal error: mesh too large: more than " + std::to_string(max_quads_) + " quads",
                std::max(rs.line, 0));
    } catch (const Stopped& s) {
        if (s.reason == StopReason::cancel) {
            set_random_state(random_before);
            return false;
        }
        rs.fail("fatal error: time limit reached", std::max(rs.line, 0));
    } catch (const std::bad_alloc&) {
        // Every container the run grows either grew or stayed as it was, so
        // the turtle and the output mesh are whole, only short.
        staged_out_of_memory_line_ = std::max(rs.line, 0);
        rs.fail("fatal error: out of memory", staged_out_of_memory_line_);
    }
    staged_ok_ = !rs.fatal;
    return true;
}

void interpreter::commit(MessageList& messages) {
    std::swap(turtle_, work_turtle_);
    std::swap(output_, staged_);
    kept_ = work_;
    capped_ = staged_capped_;
    messages.swap(staged_messages_);
    trim(*staged_, output_->vertices.size(), output_->indices.size());
    trim(*spare_, output_->vertices.size(), output_->indices.size());
}

void interpreter::discard_staged() {
    work_turtle_ = turtle();
    staged_ = std::make_unique<QuadMesh>();
    spare_ = std::make_unique<QuadMesh>();
    MessageList().swap(staged_messages_);
}

void interpreter::parameter_char(char c) {
    if (c == ' ') {
        const int32_t v = work_.negative ? int32_t(0u - uint32_t(work_.accumulator)) : work_.accumulator;
        const float value = float(static_cast<long double>(v) * static_cast<long double>(kPi) * (1.0L / 24.0L));
        if (work_.pending_op)
            (work_turtle_.*work_.pending_op)(value);
        else
            set_extrusion_parameter(work_.extrusion, work_.extrusion_slot, value);
        work_.pending = false;
    } else if (c == '-') {
        work_.negative = true;
    } else {
        const int code = static_cast<unsigned char>(c);
        const int digit = code - (code >= 'A' ? 55 : 48);
        work_.accumulator = int32_t((uint32_t(work_.accumulator) << 4) | uint32_t(digit));
    }
}

void interpreter::start_parameter(turtle_value_op op, int slot) {
    work_.pending = true;
    work_.pending_op = op;
    work_.extrusion_slot = slot;
    work_.accumulator = 0;
    work_.negative = false;
}

void interpreter::statement(char c, RunState& rs) {
    if (c == ' ') return;
    rs.current_subdiv = false;
    turtle& t = work_turtle_;
    switch (c) {
        case '*':
            work_.vertices_copied = 0;
            work_.indices_copied = 0;
            t.init_stack_frame();
            rs.init_seen = true;
            rs.offset = staged_->vertex_count();
            break;
        case '=':
            t.first();
            rs.first_seen = true;
            break;
        case '^':
            check_quads(t.index_count() / 4 + t.quads_of_go());
            t.go();
            if (!rs.first_seen) rs.fail("fatal error: no 'first' statement before first step", rs.line);
            break;
        case 'R': start_parameter(&turtle::add_radius, work_.extrusion_slot); break;
        case 'S': start_parameter(&turtle::add_size, work_.extrusion_slot); break;
        case 'Y': start_parameter(&turtle::add_angle, work_.extrusion_slot); break;
        case 'O': start_parameter(nullptr, 0); break;
        case '+': start_parameter(nullptr, 1); break;
        case 'p': t.wind(-1); break;
        case 'q': t.wind(+1); break;
        case 'B':
            check_quads(t.index_count() / 4 + 1);
            t.bot();
            break;
        case 'T':
            check_quads(t.index_count() / 4 + t.quads_of_fix());
            t.fix();
            break;
        case '[':
            t.push();
            ++rs.depth;
            break;
        case ']':
            if (!t.stack.empty()) check_quads(t.index_count() / 4 + t.quads_of_fix());
            t.pop();
            if (--rs.depth < 0) rs.add("error: stack underflow, pop statement ignored", rs.line);
            break;
        case 'D':
            subdivide_output(rs);
            rs.subdiv_seen = true;
            rs.current_subdiv = true;
            break;
        case 'X':
            flush(rs);
            extrude(work_.extrusion, staged_->vertex_data(), staged_->vertex_count(), stop_);
            break;
        default: break;  // "V" (mark) and every other character do nothing
    }
    if (rs.subdiv_seen && !rs.current_subdiv)
        rs.fail("fatal error: statement not allowed after 'subdiv', ignored", rs.line);
}

void interpreter::check_quads(uint64_t quads) const {
    if (max_quads_ && quads > max_quads_) throw MeshTooLarge{};
}

void interpreter::flush(RunState& rs) {
    QuadMesh& out = *staged_;
    const turtle& t = work_turtle_;
    const vertex* tv = t.vertex_data();
    const uint32_t vc = t.vertex_count();
    // A quad that names a vertex the output mesh does not hold (a face
    // closed before its vertices were made) never reaches the mesh: the
    // quads are counted against the cap as they will stay, before anything
    // is copied.
    const uint64_t limit = out.vertex_count() + uint64_t(vc - std::min(vc, work_.vertices_copied));
    const uint32_t* ti = t.index_data();
    const uint32_t ic = t.index_count() & ~3u;
    const uint32_t from = work_.indices_copied;
    uint32_t highest = 0;
    for (uint32_t i = from; i < ic; ++i) highest = std::max(highest, ti[i]);
    const bool all_stay = uint64_t(highest) + rs.offset < limit;
    if (max_quads_ && ic > from) {
        uint64_t staying = out.index_count() / 4 + (ic - from) / 4;
        if (!all_stay)
            for (uint32_t i = from; i < ic; i += 4)
                staying -= std::max({ti[i], ti[i + 1], ti[i + 2], ti[i + 3]}) + uint64_t(rs.offset) >= limit;
        check_quads(staying);
    }
    if (vc > work_.vertices_copied) {
        // Records in accumulation form: weight 1 after the normal and after
        // the position.
        const size_t first = out.vertices.size();
        out.vertices.resize(first + size_t(vc - work_.vertices_copied) * QuadMesh::kRecordFloats);
        float* r = out.vertices.data() + first;
        for (uint32_t i = work_.vertices_copied; i < vc; ++i, r += QuadMesh::kRecordFloats) {
            if ((i & (kFlushChunk - 1)) == 0) check_stop(stop_);
            r[0] = tv[i].normal[0];
            r[1] = tv[i].normal[1];
            r[2] = tv[i].normal[2];
            r[3] = 1.0f;
            r[4] = tv[i].position[0];
            r[5] = tv[i].position[1];
            r[6] = tv[i].position[2];
            r[7] = 1.0f;
        }
    }
    work_.vertices_copied = std::max(work_.vertices_copied, vc);

    if (ic > from) {
        if (all_stay) {
            // Every quad stays: one copy, renumbered by the offset.
            const size_t first = out.indices.size();
            out.indices.resize(first + (ic - from));
            uint32_t* d = out.indices.data() + first;
            for (uint32_t i = from; i < ic; ++i) d[i - from] = ti[i] + rs.offset;
        } else {
            bool dropped = false;
            for (uint32_t i = from; i < ic; i += 4) {
                uint64_t q[4];
                for (int k = 0; k < 4; ++k) q[k] = uint64_t(ti[i + k]) + rs.offset;
                if (std::max({q[0], q[1], q[2], q[3]}) >= limit) {
                    dropped = true;
                    continue;
                }
                out.add_quad(uint32_t(q[0]), uint32_t(q[1]), uint32_t(q[2]), uint32_t(q[3]));
            }
            if (dropped) rs.add("error: face with missing vertex dropped", rs.line);
        }
    }
    work_.indices_copied = std::max(work_.indices_copied, ic);
}

void interpreter::subdivide_output(RunState& rs) {
    flush(rs);
    const uint64_t quads = staged_->index_count() / 4;
    check_quads(4 * quads);
    if (4 * quads > kMaxSubdividedQuads) {
        rs.fail("fatal error: mesh too large to subdivide", rs.line);
        return;
    }
    try {
        // Into the spare mesh: a subdivision that fails loses nothing.
        subdivide(*staged_, *spare_, scratch_, stop_);
        std::swap(staged_, spare_);
    } catch (const std::length_error&) {
        rs.fail("fatal error: mesh too large to subdivide", rs.line);
    }
}

}  // namespace dozu
