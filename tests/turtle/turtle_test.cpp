#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <utility>
#include <vector>

#include "turtle/turtle.h"

using namespace dozu;

namespace {

using Indices = std::vector<uint32_t>;

constexpr float kSize = 0.5235988f;    // "S4"
constexpr float kRadius = 0.2617994f;  // "R2"
constexpr float kQuarterTurn = 1.5707964f;

// "*", "S4", "R2", "=": the first cell laid.
turtle first_cell() {
    turtle t;
    t.init_stack_frame();
    t.add_size(kSize);
    t.add_radius(kRadius);
    t.first();
    return t;
}

Indices appended(const turtle& t, size_t from) { return Indices(t.indices.begin() + long(from), t.indices.end()); }

void expect_vec(const float* v, float x, float y, float z, float tol = 1e-6f) {
    EXPECT_NEAR(v[0], x, tol);
    EXPECT_NEAR(v[1], y, tol);
    EXPECT_NEAR(v[2], z, tol);
}

// Every quad edge used once in each direction: a closed, consistently
// oriented surface.
bool closed_surface(const Indices& idx) {
    std::map<std::pair<uint32_t, uint32_t>, int> edges;
    for (size_t i = 0; i < idx.size(); i += 4)
        for (size_t k = 0; k < 4; ++k) ++edges[{idx[i + k], idx[i + (k + 1) % 4]}];
    for (const auto& [e, n] : edges)
        if (n != 1 || !edges.count({e.second, e.first})) return false;
    return !edges.empty();
}

}  // namespace

TEST(Turtle, ConstructionIsAllZero) {
    turtle t;
    EXPECT_EQ(t.state.heading[2], 0.0f);
    EXPECT_EQ(t.state.top_ring_start, 0u);
    EXPECT_FALSE(t.bounds_valid);
    EXPECT_EQ(t.bounds_radius(), 0.0f);
}

TEST(Turtle, InitStackFrame) {
    turtle t = first_cell();
    t.push();
    t.init_stack_frame();
    EXPECT_EQ(t.vertex_count(), 0u);
    EXPECT_EQ(t.index_count(), 0u);
    EXPECT_TRUE(t.stack.empty());
    float c[3];
    t.bounds_center(c);
    expect_vec(c, 0, 0, 0);
    EXPECT_EQ(t.bounds_radius(), 0.0f);
    EXPECT_EQ(t.state.base_ring[3], 3u);
    EXPECT_EQ(t.state.top_ring_start, 4u);
    expect_vec(t.state.heading, 0, 0, 1, 0);
    expect_vec(t.state.up, 1, 0, 0, 0);
    EXPECT_EQ(t.state.face_flags, 0u);
}

TEST(Turtle, EmitFace) {
    turtle t;
    t.init_stack_frame();
    t.emit_face(4);
    t.emit_face(0);
    t.emit_face(3);
    EXPECT_EQ(t.indices, (Indices{4, 5, 6, 7, 0, 1, 5, 4, 3, 0, 4, 7}));

    t.indices.clear();
    t.state.base_ring[0] = 8;
    t.state.base_ring[1] = 9;
    t.state.base_ring[2] = 10;
    t.state.base_ring[3] = 11;
    t.state.base_offset = 1;
    t.state.top_ring_start = 20;
    t.emit_face(0);
    t.emit_face(1);
    t.emit_face(3);
    EXPECT_EQ(t.indices, (Indices{11, 8, 21, 20, 8, 9, 22, 21, 10, 11, 20, 23}));
}

TEST(Turtle, CloseCellHonoursExitMarks) {
    turtle t;
    t.init_stack_frame();
    t.state.face_flags = 0x10;
    t.close_cell();
    EXPECT_EQ(t.indices, (Indices{3, 0, 4, 7, 2, 3, 7, 6, 1, 2, 6, 5, 0, 1, 5, 4}));
    EXPECT_EQ(t.state.face_flags, 0u);
    t.indices.clear();
    t.state.face_flags = 0x1F;
    t.close_cell();
    EXPECT_TRUE(t.indices.empty());
    // It does not remember that it ran.
    t.close_cell();
    t.close_cell();
    EXPECT_EQ(t.index_count(), 40u);
}

TEST(Turtle, PushPopWithoutGo) {
    turtle t = first_cell();
    const stack_frame before = t.state;
    t.push();
    EXPECT_EQ(t.state.face_flags, kFacePushed);
    t.pop();
    // pop closes the cell (bit 5 does not hold it back), then restores.
    EXPECT_EQ(t.index_count(), 20u);
    EXPECT_EQ(t.state.face_flags, before.face_flags);
    EXPECT_EQ(t.state.next_vertex, before.next_vertex);
    EXPECT_TRUE(t.stack.empty());

    const turtle copy = t;
    t.pop();  // empty stack: nothing at all
    EXPECT_EQ(t.indices, copy.indices);
    EXPECT_EQ(t.vertex_count(), copy.vertex_count());
    EXPECT_EQ(0, std::memcmp(&t.state, &copy.state, sizeof(stack_frame)));
}

TEST(Turtle, Bounds) {
    turtle t;
    t.init_stack_frame();
    const float ps[2][3] = {{1, 2, 3}, {-1, 5, 0}};
    for (const auto& p : ps) {
        std::copy(p, p + 3, t.state.position);
        t.record_position();
    }
    expect_vec(t.bounds_min, -1, 2, 0, 0);
    expect_vec(t.bounds_max, 1, 5, 3, 0);
    float c[3];
    t.bounds_center(c);
    expect_vec(c, 0, 3.5f, 1.5f);
    EXPECT_NEAR(t.bounds_radius(), std::sqrt(22.0) / 2, 1e-6);

    t.init_stack_frame();
    const float single[3] = {-2, -3, -4};
    std::copy(single, single + 3, t.state.position);
    t.record_position();
    t.bounds_center(c);
    expect_vec(c, -2, -3, -4);
    EXPECT_EQ(t.bounds_radius(), 0.0f);
    const float deeper[3] = {-2, -3, -9};
    std::copy(deeper, deeper + 3, t.state.position);
    t.record_position();
    EXPECT_EQ(t.bounds_max[2], -4.0f);
}

TEST(Turtle, FirstLaysTwoRings) {
    turtle t = first_cell();
    ASSERT_EQ(t.vertex_count(), 8u);
    EXPECT_EQ(t.index_count(), 0u);
    const float r = kRadius;
    const float signs[4][2] = {{1, 1}, {1, -1}, {-1, -1}, {-1, 1}};
    for (int i = 0; i < 4; ++i) {
        expect_vec(t.vertices[size_t(i)].position, signs[i][0] * r, signs[i][1] * r, 0.7853982f);
        expect_vec(t.vertices[size_t(i)].normal, signs[i][0], signs[i][1], 0, 0);
        expect_vec(t.vertices[size_t(i) + 4].position, signs[i][0] * r, signs[i][1] * r, 1.308997f);
    }
    expect_vec(t.state.position, 0, 0, 1.0471976f);
    EXPECT_EQ(t.state.next_vertex, 8u);
}

TEST(Turtle, ClosedChain) {
    // "*", "S4", "R2", "=", "B", "^", "T"
    turtle t = first_cell();
    t.bot();
    EXPECT_EQ(t.indices, (Indices{3, 2, 1, 0}));
    t.go();
    EXPECT_EQ(appended(t, 4), (Indices{3, 0, 4, 7, 2, 3, 7, 6, 1, 2, 6, 5, 0, 1, 5, 4}));
    EXPECT_EQ(Indices(t.state.base_ring, t.state.base_ring + 4), (Indices{4, 5, 6, 7}));
    EXPECT_EQ(t.state.top_ring_start, 8u);
    EXPECT_EQ(t.state.base_offset, 0u);
    ASSERT_EQ(t.vertex_count(), 12u);
    expect_vec(t.vertices[8].position, kRadius, kRadius, 1.832596f);
    t.fix();
    EXPECT_EQ(appended(t, 20), (Indices{8, 9, 10, 11, 7, 4, 8, 11, 6, 7, 11, 10, 5, 6, 10, 9, 4, 5, 9, 8}));
    EXPECT_TRUE(closed_surface(t.indices));
}

TEST(Turtle, QuarterTurns) {
    {
        turtle t = first_cell();
        t.add_angle(kQuarterTurn);  // "YC", wind 0
        t.go();
        EXPECT_EQ(Indices(t.indices.begin(), t.indices.begin() + 16),
                  (Indices{4, 5, 6, 7, 3, 0, 4, 7, 2, 3, 7, 6, 1, 2, 6, 5}));
        EXPECT_EQ(Indices(t.state.base_ring, t.state.base_ring + 4), (Indices{0, 1, 5, 4}));
        EXPECT_EQ(t.state.base_offset, 0u);
        expect_vec(t.state.heading, 1, 0, 0);
        expect_vec(t.state.up, 0, 0, -1);
        EXPECT_EQ(t.state.angle, 0.0f);
    }
    {
        turtle t = first_cell();
        t.add_angle(-kQuarterTurn);  // "Y-C"
        t.go();
        EXPECT_EQ(Indices(t.state.base_ring, t.state.base_ring + 4), (Indices{2, 3, 7, 6}));
        EXPECT_EQ(t.state.base_offset, 2u);
        expect_vec(t.state.heading, -1, 0, 0);
        expect_vec(t.state.up, 0, 0, 1);
    }
    {
        turtle t = first_cell();
        t.wind(1);
        t.add_angle(kQuarterTurn);
        t.go();
        EXPECT_EQ(Indices(t.state.base_ring, t.state.base_ring + 4), (Indices{1, 2, 6, 5}));
        expect_vec(t.state.heading, 0, -1, 0);
        expect_vec(t.state.up, 1, 0, 0);
    }
    {
        // A negative turn with wind 3 goes toward side 1.
        turtle t = first_cell();
        t.wind(1);
        t.wind(1);
        t.wind(1);
        t.add_angle(-kQuarterTurn);
        t.go();
        EXPECT_EQ(t.state.base_offset, 1u);
        EXPECT_EQ(Indices(t.state.base_ring, t.state.base_ring + 4), (Indices{1, 2, 6, 5}));
    }
}

TEST(Turtle, FortyFiveDegreesGoesStraightOn) {
    turtle t = first_cell();
    t.add_angle(6 * 3.14159274f / 24);  // "Y6"
    t.go();
    EXPECT_EQ(Indices(t.state.base_ring, t.state.base_ring + 4), (Indices{4, 5, 6, 7}));
    expect_vec(t.state.heading, 0.7071068f, 0, 0.7071068f);
    // A second go right after goes straight on: the angle was spent.
    const float h0 = t.state.heading[0];
    t.go();
    EXPECT_EQ(t.state.heading[0], h0);

    turtle u = first_cell();
    u.add_angle(7 * 3.14159274f / 24);  // "Y7": 52.5 degrees, through side face 0
    u.go();
    EXPECT_EQ(Indices(u.state.base_ring, u.state.base_ring + 4), (Indices{0, 1, 5, 4}));
}

TEST(Turtle, TurnsAddUpAndWindWraps) {
    turtle t = first_cell();
    t.add_angle(12 * 3.14159274f / 24);  // "YC"
    t.add_angle(-2 * 3.14159274f / 24);  // "Y-2": one 75 degree turn through face 0
    t.go();
    EXPECT_EQ(t.state.base_offset, 0u);
    EXPECT_EQ(Indices(t.state.base_ring, t.state.base_ring + 4), (Indices{0, 1, 5, 4}));
    EXPECT_NEAR(t.state.heading[0], std::sin(75 * M_PI / 180), 1e-6);

    turtle u;
    u.init_stack_frame();
    u.wind(-1);
    EXPECT_EQ(u.state.wind, 255u);
}

TEST(Turtle, SecondFirstKeepsSurfaceClosed) {
    // "*", "S4", "R2", "=", "B", "^", "=", "^", "T"
    turtle t = first_cell();
    t.bot();
    t.go();
    t.first();
    EXPECT_EQ(t.vertex_count(), 20u);
    t.go();
    EXPECT_EQ(t.state.top_ring_start, 20u);
    EXPECT_EQ(Indices(t.state.base_ring, t.state.base_ring + 4), (Indices{8, 9, 10, 11}));
    t.fix();
    EXPECT_TRUE(closed_surface(t.indices));
}

TEST(Turtle, BranchClosesEveryCellOnce) {
    // "*", "S4", "R2", "=", "B", "[", "YC", "^", "]", "Y-C", "^", "T"
    turtle t = first_cell();
    t.bot();
    t.push();
    t.add_angle(kQuarterTurn);
    t.go();
    EXPECT_EQ(t.index_count(), 4u);  // the pushed cell is not closed yet
    EXPECT_EQ(t.stack.back().face_flags, 1u);
    t.pop();
    EXPECT_EQ(t.state.face_flags, 1u);  // the branch's exit mark came back
    EXPECT_EQ(t.state.next_vertex, 12u);
    t.add_angle(-kQuarterTurn);
    t.go();
    t.fix();
    EXPECT_TRUE(closed_surface(t.indices));

    // A fix inside the branch closes the branch's last cell twice.
    turtle u = first_cell();
    u.bot();
    u.push();
    u.add_angle(kQuarterTurn);
    u.go();
    u.fix();
    u.pop();
    u.add_angle(-kQuarterTurn);
    u.go();
    u.fix();
    EXPECT_FALSE(closed_surface(u.indices));
    EXPECT_EQ(u.index_count(), t.index_count() + 20);
}

TEST(Turtle, GoBeforeFirstNamesMissingVertices) {
    turtle t;
    t.init_stack_frame();
    t.go();
    EXPECT_EQ(Indices(t.state.base_ring, t.state.base_ring + 4), (Indices{4, 5, 6, 7}));
    EXPECT_EQ(t.vertex_count(), 4u);
    EXPECT_EQ(t.state.top_ring_start, 0u);
    t.bot();  // wraps below 0: the interpreter drops such faces
    EXPECT_EQ(t.indices.back(), 0xFFFFFFFCu);
}

TEST(Turtle, LongZigZagsKeepUnitDirections) {
    // Rounding must not compound from turn to turn: a model of hundreds of
    // turns neither collapses nor overflows.
    for (float angle : {kQuarterTurn, 2 * 3.14159274f / 24}) {
        turtle t = first_cell();
        for (int i = 0; i < 400; ++i) {
            t.add_angle(i % 2 ? -angle : angle);
            t.go();
        }
        const float* h = t.state.heading;
        const float* u = t.state.up;
        EXPECT_NEAR(std::sqrt(h[0] * h[0] + h[1] * h[1] + h[2] * h[2]), 1.0f, 1e-4);
        EXPECT_NEAR(std::sqrt(u[0] * u[0] + u[1] * u[1] + u[2] * u[2]), 1.0f, 1e-4);
        EXPECT_NEAR(h[0] * u[0] + h[1] * u[1] + h[2] * u[2], 0.0f, 1e-4);
        // The last ring is still a square of half-width r around the axis.
        const vertex* ring = &t.vertices[t.vertices.size() - 4];
        float d[3];
        for (int i = 0; i < 3; ++i) d[i] = ring[0].position[i] - ring[2].position[i];
        EXPECT_NEAR(std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]), 2 * kRadius * std::sqrt(2.0f), 1e-4);
    }
}
