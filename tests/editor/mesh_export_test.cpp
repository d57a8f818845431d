#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "editor/mesh_export.h"
#include "mesh/quad_mesh.h"
#include "turtle/turtle.h"

using namespace dozu;

namespace {

void add(QuadMesh& m, float x, float y, float z) {
    const float n[3] = {0, 0, 1}, p[3] = {x, y, z};
    m.add_vertex(n, p);
}

}  // namespace

TEST(MeshExport, CompactDropsUnusedVerticesAndRenumbers) {
    QuadMesh m;
    for (int i = 0; i < 7; ++i) add(m, float(i), 0, 0);
    m.vertices[8 * 5 + 4] = std::numeric_limits<float>::infinity();
    m.add_quad(1, 2, 4, 6);
    m.add_quad(1, 2, 9, 6);  // missing vertex
    m.add_quad(1, 2, 5, 6);  // non-finite vertex
    const CompactMesh c = compact(output_mesh_view(m));
    EXPECT_EQ(c.positions, (std::vector<float>{1, 0, 0, 2, 0, 0, 4, 0, 0, 6, 0, 0}));
    EXPECT_EQ(c.quads, (std::vector<uint32_t>{0, 1, 2, 3}));
    EXPECT_EQ(c.normals.size(), 12u);
}

TEST(MeshExport, ObjReadsBackAsTheSameFloats) {
    QuadMesh m;
    add(m, 0.1f, -1e-7f, 123456.789f);
    add(m, 1, 2, 3);
    add(m, 1.0f / 3, 2, 3);
    add(m, 4, 5, 6);
    m.vertices[8 * 1 + 3] = 2;  // weight 2: divided in display form
    m.vertices[8 * 1 + 7] = 2;
    m.add_quad(0, 1, 2, 3);
    const std::string obj = encode_obj(compact(output_mesh_view(m)));
    EXPECT_TRUE(m.display_ready);
    float x, y, z;
    ASSERT_EQ(std::sscanf(obj.c_str(), "v %f %f %f", &x, &y, &z), 3);
    EXPECT_EQ(x, 0.1f);
    EXPECT_EQ(y, -1e-7f);
    EXPECT_EQ(z, 123456.789f);
    EXPECT_NE(obj.find("\nv 0.5 1 1.5\n"), std::string::npos);
    EXPECT_NE(obj.find("\nvn 0 0 0.5\n"), std::string::npos);
    EXPECT_NE(obj.find("\nf 1//1 2//2 3//3 4//4\n"), std::string::npos);
    EXPECT_EQ(encode_obj(compact(output_mesh_view(m))), obj);  // the form changes once
}

TEST(MeshExport, InputMeshView) {
    turtle t;
    t.init_stack_frame();
    t.add_size(1);
    t.add_radius(1);
    t.bot();  // names 3, 2, 1, 0 before they exist: kept, since they exist by now
    t.first();
    t.fix();  // five faces, all naming existing vertices
    const CompactMesh c = compact(input_mesh_view(t));
    EXPECT_EQ(c.positions.size(), 8u * 3);
    EXPECT_EQ(c.quads.size(), 24u);
    EXPECT_EQ(c.positions[2], 1.5f);
    EXPECT_EQ(c.normals[0], 1.0f);
}
