#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "mesh/quad_mesh.h"
#include "ui/mesh_listing.h"

using namespace dozu;

TEST(MeshListing, NumberFormat) {
    EXPECT_EQ(format_number(0.5f), ".5");
    EXPECT_EQ(format_number(2.0f), "2");
    EXPECT_EQ(format_number(-0.25f), "-.25");
    EXPECT_EQ(format_number(1.41421356f), "1.4142");
    EXPECT_EQ(format_number(-12.00004f), "-12");
    EXPECT_EQ(format_number(0.03125f), ".0313");  // half away from zero
    EXPECT_EQ(format_number(123456.75f), "123456.75");
    EXPECT_EQ(format_number(0.0f), "");
    EXPECT_EQ(format_number(-0.00001f), "");
    EXPECT_EQ(format_number(3e20f).substr(0, 4), "3000");
    EXPECT_EQ(format_number(3e20f).size(), 21u);
    EXPECT_EQ(format_number(std::numeric_limits<float>::infinity()), "INF");
    EXPECT_EQ(format_number(std::nanf("")), "NAN");
}

TEST(MeshListing, LinesAndReferencedMarks) {
    QuadMesh m;
    const float n[3] = {0.5f, -0.25f, 2}, p[3] = {1, 0, -1};
    for (int i = 0; i < 5; ++i) m.add_vertex(n, p);
    m.add_quad(3, 1, 2, 0);
    const MeshListing l(output_mesh_view(m));
    ASSERT_EQ(l.index_lines(), 4u);
    EXPECT_EQ(l.index_line(0), "3");
    ASSERT_EQ(l.vertex_lines(), 35u);
    EXPECT_EQ(l.vertex_line(0), "----- vertex #0 [referenced]");
    EXPECT_EQ(l.vertex_line(1), "nx: .5");
    EXPECT_EQ(l.vertex_line(2), "ny: -.25");
    EXPECT_EQ(l.vertex_line(3), "nz: 2");
    EXPECT_EQ(l.vertex_line(4), " x: 1");
    EXPECT_EQ(l.vertex_line(5), " y: ");
    EXPECT_EQ(l.vertex_line(6), " z: -1");
    EXPECT_EQ(l.vertex_line(21), "----- vertex #3 [referenced]");
    EXPECT_EQ(l.vertex_line(28), "----- vertex #4");

    QuadMesh no_quads;
    no_quads.add_vertex(n, p);
    EXPECT_EQ(MeshListing(output_mesh_view(no_quads)).vertex_line(0), "----- vertex #0");
    EXPECT_EQ(MeshListing(output_mesh_view(no_quads)).index_lines(), 0u);
    EXPECT_EQ(MeshListing().vertex_lines(), 0u);
}

TEST(MeshListing, JumpTarget) {
    EXPECT_EQ(MeshListing::jump_target("2"), 14);
    EXPECT_EQ(MeshListing::jump_target("0"), 0);
    EXPECT_EQ(MeshListing::jump_target(""), -1);
    EXPECT_EQ(MeshListing::jump_target("x"), -1);
    EXPECT_EQ(MeshListing::jump_target("4294967295"), 4294967295LL * 7);
    EXPECT_EQ(MeshListing::jump_target("4294967296"), -1);
    EXPECT_EQ(MeshListing::jump_target("99999999999999999999"), -1);
}
