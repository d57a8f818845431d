#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <stdexcept>
#include <utility>
#include <vector>

#include "mesh/subdivision.h"
#include "support/subdivision_reference.h"

using namespace dozu;

namespace {

struct P {
    float x, y, z;
};

QuadMesh make_mesh(const std::vector<P>& points, const std::vector<uint32_t>& quads, P normal = {0, 0, 1}) {
    QuadMesh m;
    const float n[3] = {normal.x, normal.y, normal.z};
    for (const P& p : points) {
        const float pos[3] = {p.x, p.y, p.z};
        m.add_vertex(n, pos);
    }
    for (size_t i = 0; i < quads.size(); i += 4) m.add_quad(quads[i], quads[i + 1], quads[i + 2], quads[i + 3]);
    return m;
}

float weight(const QuadMesh& m, uint32_t v) { return m.vertices[8 * v + 3]; }

P position(const QuadMesh& m, uint32_t v) {
    const float* r = &m.vertices[8 * v];
    return {r[4] / r[3], r[5] / r[3], r[6] / r[3]};
}

void expect_at(const QuadMesh& m, uint32_t v, P p, float w) {
    SCOPED_TRACE("vertex " + std::to_string(v));
    EXPECT_FLOAT_EQ(weight(m, v), w);
    EXPECT_FLOAT_EQ(m.vertices[8 * v + 7], w);
    const P q = position(m, v);
    EXPECT_NEAR(q.x, p.x, 1e-6);
    EXPECT_NEAR(q.y, p.y, 1e-6);
    EXPECT_NEAR(q.z, p.z, 1e-6);
}

QuadMesh cube() {
    // Six quads, each edge used once in each direction.
    return make_mesh(
        {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1}, {-1, -1, 1}, {1, -1, 1}, {1, 1, 1}, {-1, 1, 1}},
        {0, 3, 2, 1, 4, 5, 6, 7, 0, 1, 5, 4, 1, 2, 6, 5, 2, 3, 7, 6, 3, 0, 4, 7});
}

// Every directed edge of every quad, counted.
std::map<std::pair<uint32_t, uint32_t>, int> directed_edges(const QuadMesh& m) {
    std::map<std::pair<uint32_t, uint32_t>, int> edges;
    for (size_t i = 0; i < m.indices.size(); i += 4)
        for (int k = 0; k < 4; ++k) ++edges[{m.indices[i + size_t(k)], m.indices[i + size_t((k + 1) % 4)]}];
    return edges;
}

}  // namespace

TEST(Subdivision, EmptyMesh) {
    auto out = subdivide(QuadMesh{});
    EXPECT_EQ(out->vertex_count(), 0u);
    EXPECT_EQ(out->index_count(), 0u);
    EXPECT_FALSE(out->display_ready);
}

TEST(Subdivision, SingleQuad) {
    const QuadMesh in = make_mesh({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {0, 1, 2, 3});
    auto out = subdivide(in);
    ASSERT_EQ(out->vertex_count(), 9u);
    EXPECT_EQ(out->indices, (std::vector<uint32_t>{0, 5, 4, 8, 1, 6, 4, 5, 2, 7, 4, 6, 3, 8, 4, 7}));
    expect_at(*out, 0, {2.f / 7, 3.f / 7, 0}, 7);
    expect_at(*out, 1, {4.f / 7, 2.f / 7, 0}, 7);
    expect_at(*out, 2, {5.f / 7, 4.f / 7, 0}, 7);
    expect_at(*out, 3, {3.f / 7, 5.f / 7, 0}, 7);
    expect_at(*out, 4, {0.5f, 0.5f, 0}, 28);
    expect_at(*out, 5, {6.f / 13, 4.f / 13, 0}, 13);
    expect_at(*out, 6, {9.f / 13, 6.f / 13, 0}, 13);
    expect_at(*out, 7, {7.f / 13, 9.f / 13, 0}, 13);
    expect_at(*out, 8, {4.f / 13, 7.f / 13, 0}, 13);
    // Normals are averaged with the same weights: they stay (0, 0, 1).
    out->to_display_form();
    for (uint32_t v = 0; v < 9; ++v) {
        EXPECT_FLOAT_EQ(out->vertices[8 * v + 0], 0.0f);
        EXPECT_FLOAT_EQ(out->vertices[8 * v + 2], 1.0f);
    }
}

TEST(Subdivision, TwoQuadsShareOneEdgePoint) {
    const QuadMesh in =
        make_mesh({{0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {0, 1, 0}, {1, 1, 0}, {2, 1, 0}}, {0, 1, 4, 3, 1, 2, 5, 4});
    auto out = subdivide(in);
    EXPECT_EQ(out->vertex_count(), 15u);
    EXPECT_EQ(out->index_count(), 32u);
    // Edge points: 8 = {0,1}, 9 = {1,4}, 10 = {4,3}, 11 = {3,0}, then the second quad's new ones.
    expect_at(*out, 9, {1, 0.5f, 0}, 34);
    expect_at(*out, 6, {8.f / 15, 0.5f, 0}, 30);
    expect_at(*out, 7, {22.f / 15, 0.5f, 0}, 30);
    // The shared edge is met as (1, 4) and then as (4, 1).
    EXPECT_EQ(out->indices[4 * 1 + 1], 9u);  // quad 1: corner 1, edge (1, 4)
    EXPECT_EQ(out->indices[4 * 4 + 3], 9u);  // quad 4: corner 1 of quad 1, edge (4, 1) as E(u_k-1, u_k)
}

TEST(Subdivision, CubeOneAndTwoLevels) {
    auto one = subdivide(cube());
    ASSERT_EQ(one->vertex_count(), 26u);
    ASSERT_EQ(one->index_count(), 96u);
    for (uint32_t v = 0; v < 8; ++v) {
        const P p = position(*one, v);
        EXPECT_FLOAT_EQ(weight(*one, v), 27);
        EXPECT_NEAR(std::fabs(p.x), 5.f / 9, 1e-6);
        EXPECT_NEAR(std::fabs(p.y), 5.f / 9, 1e-6);
        EXPECT_NEAR(std::fabs(p.z), 5.f / 9, 1e-6);
    }
    for (uint32_t v = 8; v < 14; ++v) {
        const P p = position(*one, v);
        EXPECT_FLOAT_EQ(weight(*one, v), 36);
        EXPECT_NEAR(std::fabs(p.x) + std::fabs(p.y) + std::fabs(p.z), 1.0f, 1e-6);
    }
    for (uint32_t v = 14; v < 26; ++v) {
        const P p = position(*one, v);
        EXPECT_FLOAT_EQ(weight(*one, v), 42);
        float c[3] = {std::fabs(p.x), std::fabs(p.y), std::fabs(p.z)};
        std::sort(c, c + 3);
        EXPECT_NEAR(c[0], 0.0f, 1e-6);
        EXPECT_NEAR(c[1], 5.f / 7, 1e-6);
        EXPECT_NEAR(c[2], 5.f / 7, 1e-6);
    }
    // A closed surface stays closed: every directed edge once, its reverse once.
    for (const auto& [edge, n] : directed_edges(*one)) {
        EXPECT_EQ(n, 1);
        EXPECT_EQ(directed_edges(*one).count({edge.second, edge.first}), 1u);
    }

    auto two = subdivide(*one);
    ASSERT_EQ(two->vertex_count(), 98u);
    ASSERT_EQ(two->index_count(), 384u);
    for (uint32_t v = 0; v < 8; ++v) {
        EXPECT_FLOAT_EQ(weight(*two, v), 936);
        EXPECT_NEAR(std::fabs(position(*two, v).x), 0.487179f, 1e-6);
    }
}

TEST(Subdivision, LeavesInputAloneAndRepeats) {
    const QuadMesh in = cube();
    const QuadMesh before = in;
    auto a = subdivide(in);
    auto b = subdivide(in);
    EXPECT_EQ(in.vertices, before.vertices);
    EXPECT_EQ(in.indices, before.indices);
    EXPECT_EQ(a->vertices, b->vertices);
    EXPECT_EQ(a->indices, b->indices);
}

TEST(Subdivision, RepeatedCornerGetsOneEdgePoint) {
    // Corners 1 and 2 are the same vertex: the edge {1, 1} is an edge like
    // any other and gets one edge point.
    const QuadMesh in = make_mesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {0, 1, 1, 2});
    auto out = subdivide(in);
    EXPECT_EQ(out->vertex_count(), 3u + 1u + 4u);
    for (uint32_t i : out->indices) EXPECT_LT(i, out->vertex_count());
    for (uint32_t v = 0; v < out->vertex_count(); ++v) {
        EXPECT_GT(weight(*out, v), 0.0f);
        EXPECT_TRUE(std::isfinite(position(*out, v).x));
    }
}

TEST(Subdivision, RefusesMissingVertices) {
    QuadMesh in = make_mesh({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}}, {0, 1, 2, 3});
    EXPECT_THROW(subdivide(in), std::out_of_range);
}

TEST(Subdivision, UnusedVertexGetsWeightZero) {
    const QuadMesh in = make_mesh({{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {5, 5, 5}}, {0, 1, 2, 3});
    auto out = subdivide(in);
    EXPECT_EQ(weight(*out, 4), 0.0f);
}

namespace {

// A strip of n quads (2n + 2 vertices), all of them also joined to one hub
// vertex by a fan: the hub has n distinct neighbours.
QuadMesh strip_with_hub(uint32_t n) {
    QuadMesh m;
    const float nrm[3] = {0, 0, 1};
    for (uint32_t i = 0; i <= n; ++i) {
        const float a[3] = {float(i), 0, 0}, b[3] = {float(i), 1, 0};
        m.add_vertex(nrm, a);
        m.add_vertex(nrm, b);
    }
    const float hub_pos[3] = {0, -10, 0};
    const uint32_t hub = uint32_t(m.add_vertex(nrm, hub_pos));
    for (uint32_t i = 0; i < n; ++i) m.add_quad(2 * i, 2 * i + 2, 2 * i + 3, 2 * i + 1);
    for (uint32_t i = 0; i < n; ++i) m.add_quad(hub, 2 * i + 2, 2 * i, hub);
    return m;
}

}  // namespace

TEST(Subdivision, LargeMeshWithHighDegreeVertex) {
    const uint32_t n = 100000;
    const QuadMesh m = strip_with_hub(n);
    ASSERT_GT(m.vertex_count(), 200000u);
    auto out = subdivide(m);
    // Edges: strip 3n + 1, fan: {hub, 2i} for i = 0..n (n + 1), {2i, 2i+2} shared, {hub, hub} once.
    const uint32_t E = (3 * n + 1) + (n + 1) + 1;
    EXPECT_EQ(out->vertex_count(), m.vertex_count() + 2 * n + E);
    EXPECT_EQ(out->index_count(), 16u * 2 * n);
    // The first edge point is that of the first quad's first edge.
    EXPECT_EQ(out->indices[1], m.vertex_count() + 2 * n);
}

TEST(Subdivision, ReusedStorageGivesWhatFreshStorageGives) {
    // Larger and smaller meshes in turn, numbered by lists and by groups.
    SubdivisionScratch scratch;
    QuadMesh out;
    for (const QuadMesh& in : {cube(), strip_with_hub(3000), cube(), strip_with_hub(20), QuadMesh()}) {
        subdivide(in, out, scratch);
        const auto fresh = subdivide(in);
        EXPECT_EQ(out.vertices, fresh->vertices);
        EXPECT_EQ(out.indices, fresh->indices);
    }
    StopFlag stop;
    stop.request(StopReason::cancel);
    const QuadMesh in = strip_with_hub(20);
    EXPECT_THROW(subdivide(in, out, scratch, &stop), Stopped);
    EXPECT_EQ(in.vertices, strip_with_hub(20).vertices);
}

TEST(Subdivision, MatchesThePlainRulesBitForBit) {
    // Floats of many magnitudes, so that a sum taken in another order
    // rounds differently.
    std::mt19937 random(7);
    auto any_float = [&] {
        return std::ldexp(std::uniform_real_distribution<float>(-1, 1)(random),
                          std::uniform_int_distribution<int>(-20, 20)(random));
    };
    auto with_random_records = [&](QuadMesh m) {
        for (float& f : m.vertices) f = any_float();
        return m;
    };
    // Random quads over 40 vertices: edges in many quads, repeated corners.
    QuadMesh tangle;
    for (int v = 0; v < 40; ++v) {
        const float n[3] = {any_float(), any_float(), any_float()}, p[3] = {any_float(), any_float(), any_float()};
        tangle.add_vertex(n, p);
    }
    for (int i = 0; i < 4 * 150; ++i)
        tangle.indices.push_back(std::uniform_int_distribution<uint32_t>(0, 39)(random));
    // A hub with 100 neighbours: past the per-vertex lists' walk limit.
    QuadMesh fan;
    const uint32_t n = 100;
    for (uint32_t v = 0; v <= 2 * n; ++v) {
        const float nrm[3] = {0, 0, 1}, p[3] = {any_float(), any_float(), 0};
        fan.add_vertex(nrm, p);
    }
    for (uint32_t i = 0; i < n; ++i) fan.add_quad(0, 1 + i, 1 + n + i, 1 + (i + 1) % n);

    const QuadMesh meshes[] = {cube(), with_random_records(cube()), tangle, fan,
                               make_mesh({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {0, 1, 1, 2})};
    for (const QuadMesh& mesh : meshes) {
        QuadMesh level = mesh;
        for (int depth = 1; depth <= 2; ++depth) {
            SCOPED_TRACE("mesh of " + std::to_string(mesh.vertex_count()) + " vertices, level " +
                         std::to_string(depth));
            auto fast = subdivide(level);
            EXPECT_EQ(dozu::testing::first_difference(*fast, dozu::testing::reference_subdivide(level)), "");
            level = *fast;
        }
    }
}
