#include <gtest/gtest.h>

#include <vector>

#include "mesh/quad_mesh.h"

using namespace dozu;

namespace {
const float kUp[3] = {0, 0, 1};
}

TEST(QuadMesh, AddVertexNumbersAndLayout) {
    QuadMesh m;
    const float p[3] = {1, 2, 3};
    EXPECT_EQ(m.add_vertex(kUp, p), 0);
    EXPECT_EQ(m.add_vertex(kUp, p), 1);
    EXPECT_EQ(m.add_vertex(kUp, p), 2);
    EXPECT_EQ(m.vertex_count(), 3u);
    EXPECT_EQ(m.vertices.size(), 24u);
    const std::vector<float> record(m.vertices.begin(), m.vertices.begin() + 8);
    EXPECT_EQ(record, (std::vector<float>{0, 0, 1, 1, 1, 2, 3, 1}));
    m.add_quad(3, 1, 2, 0);
    EXPECT_EQ(m.index_count(), 4u);
    EXPECT_EQ(m.indices, (std::vector<uint32_t>{3, 1, 2, 0}));
}

TEST(QuadMesh, DisplayFormDividesOnceInPlace) {
    QuadMesh m;
    const float p[3] = {1, 2, 3};
    m.add_vertex(kUp, p);
    m.vertices.insert(m.vertices.end(), {0, 0, 2, 2, 2, 4, 6, 2});
    m.to_display_form();
    EXPECT_TRUE(m.display_ready);
    EXPECT_EQ(std::vector<float>(m.vertices.begin(), m.vertices.begin() + 8),
              (std::vector<float>{0, 0, 1, 1, 2, 3, 3, 1}));
    EXPECT_EQ(std::vector<float>(m.vertices.begin() + 8, m.vertices.end()),
              (std::vector<float>{0, 0, 1, 1, 2, 3, 6, 2}));
    const FloatArray once = m.vertices;
    m.to_display_form();
    EXPECT_EQ(m.vertices, once);
}

TEST(QuadMesh, EmptyMeshBecomesDisplayReady) {
    QuadMesh m;
    m.to_display_form();
    EXPECT_TRUE(m.display_ready);
    EXPECT_EQ(m.vertex_count(), 0u);
}

TEST(QuadMesh, CopyIsInAccumulationForm) {
    QuadMesh m;
    const float p[3] = {4, 5, 6};
    m.add_vertex(kUp, p);
    m.add_quad(0, 0, 0, 0);
    m.to_display_form();
    QuadMesh copy(m);
    EXPECT_FALSE(copy.display_ready);
    EXPECT_EQ(copy.vertices, m.vertices);
    EXPECT_EQ(copy.indices, m.indices);
    QuadMesh assigned;
    assigned = m;
    EXPECT_FALSE(assigned.display_ready);
    EXPECT_EQ(assigned.vertices, m.vertices);
}
