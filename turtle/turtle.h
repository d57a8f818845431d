// The turtle: its state, its stack of saved states for branches, the input
// mesh it lays (a chain of box-shaped cells closed by quads) and the bounds
// of the positions it has visited.
#pragma once

#include <cstdint>
#include <vector>

namespace dozu {

struct vertex {
    float normal[3];  // from the ring centre to the vertex, not normalised
    float position[3];
};

struct stack_frame {
    float position[3];
    float radius;
    float size;
    float angle;  // pending turn, spent by go
    float heading[3];
    float up[3];
    uint32_t base_ring[4];
    uint32_t top_ring_start;
    uint32_t next_vertex;
    uint8_t wind;
    uint8_t base_offset;
    uint16_t face_flags;  // bits 0-3 side exits, 4 top exit, 5 set by push
};

constexpr uint16_t kFacePushed = 0x20;

class turtle {
public:
    turtle();

    void init_stack_frame();
    void emit_face(int n);
    void close_cell();
    void push();
    void pop();
    void record_position();
    void bounds_center(float out[3]) const;
    float bounds_radius() const;

    void add_radius(float v);
    void add_size(float v);
    void add_angle(float v);
    void wind(int8_t d);
    void step();
    void first();
    void go();
    void bot();
    void fix();

    // How many quads fix (and a pop with a saved state) and go would lay
    // now: the interpreter checks a cap on quads before they are laid.
    uint32_t quads_of_fix() const { return open_faces(state.face_flags); }
    uint32_t quads_of_go() const;

    const vertex* vertex_data() const { return vertices.data(); }
    uint32_t vertex_count() const { return uint32_t(vertices.size()); }
    const uint32_t* index_data() const { return indices.data(); }
    uint32_t index_count() const { return uint32_t(indices.size()); }

    stack_frame state;
    std::vector<stack_frame> stack;
    std::vector<vertex> vertices;
    std::vector<uint32_t> indices;
    bool bounds_valid = false;
    float bounds_min[3] = {0, 0, 0};
    float bounds_max[3] = {0, 0, 0};

private:
    // The turn that go makes: about which of the four axes (the wind, and
    // the pending angle's sign), by how much, and the face it leaves the
    // cell through: the top for a turn of up to 45 degrees, else a side.
    struct Turn {
        unsigned axis;
        float angle;
        int exit;
    };
    Turn pending_turn() const;
    // Whether go closes the cell now, or leaves that to the pop of the
    // state that a push saved.
    bool go_closes_cell() const;
    static uint32_t open_faces(uint16_t face_flags);
    void face_corners(int n, uint32_t out[4]) const;
};

// A turtle operation that takes one value: add_radius, add_size, add_angle.
using turtle_value_op = void (turtle::*)(float);

}  // namespace dozu
