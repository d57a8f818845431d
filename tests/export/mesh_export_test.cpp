#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>
#include <utility>

#include "export/mesh_format.h"
#include "export/obj_writer.h"
#include "export/ply_writer.h"
#include "export/stl_writer.h"
#include "io/byte_sink.h"
#include "mesh/quad_mesh.h"
#include "support/stl_reader.h"
#include "turtle/input_mesh_view.h"
#include "turtle/turtle.h"

using namespace dozu;

namespace {

std::string obj_text(const CompactMesh& mesh) {
    StringSink sink;
    write_obj(sink, mesh, ExportOptions());
    return sink.bytes;
}

void add(QuadMesh& m, float x, float y, float z) {
    const float n[3] = {0, 0, 1}, p[3] = {x, y, z};
    m.add_vertex(n, p);
}

std::vector<float> positions(const CompactMesh& c) {
    std::vector<float> out;
    c.for_each_vertex([&](uint32_t v) { out.insert(out.end(), c.position(v), c.position(v) + 3); });
    return out;
}

std::vector<float> normals(const CompactMesh& c) {
    std::vector<float> out;
    c.for_each_vertex([&](uint32_t v) {
        const std::array<float, 3> n = c.normal(v);
        out.insert(out.end(), n.begin(), n.end());
    });
    return out;
}

std::vector<uint32_t> quads(const CompactMesh& c) {
    std::vector<uint32_t> out;
    c.for_each_quad([&](const uint32_t* n, const uint32_t*) { out.insert(out.end(), n, n + 4); });
    return out;
}

std::vector<uint32_t> triangles(const CompactMesh& c) {
    std::vector<uint32_t> out;
    c.for_each_triangle([&](const uint32_t* n, const uint32_t*) { out.insert(out.end(), n, n + 3); });
    return out;
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
    EXPECT_EQ(positions(c), (std::vector<float>{1, 0, 0, 2, 0, 0, 4, 0, 0, 6, 0, 0}));
    EXPECT_EQ(quads(c), (std::vector<uint32_t>{0, 3, 2, 1}));  // counter-clockwise
    EXPECT_EQ(normals(c).size(), 12u);
    EXPECT_EQ(c.vertex_count(), 4u);
    EXPECT_EQ(c.quad_count(), 1u);
    EXPECT_EQ(c.triangle_count(), 2u);
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
    const std::string obj = obj_text(compact(output_mesh_view(m)));
    EXPECT_TRUE(m.display_ready);
    float x, y, z;
    ASSERT_EQ(std::sscanf(obj.c_str(), "v %f %f %f", &x, &y, &z), 3);
    EXPECT_EQ(x, 0.1f);
    EXPECT_EQ(y, -1e-7f);
    EXPECT_EQ(z, 123456.789f);
    EXPECT_NE(obj.find("\nv 0.5 1 1.5\n"), std::string::npos);
    EXPECT_NE(obj.find("\nvn 0 0 1\n"), std::string::npos);
    EXPECT_NE(obj.find("\nf 1//1 4//4 3//3 2//2\n"), std::string::npos);
    EXPECT_EQ(obj_text(compact(output_mesh_view(m))), obj);  // the form changes once
    ExportOptions twice;
    twice.scale = 2;
    StringSink scaled;
    write_obj(scaled, compact(output_mesh_view(m)), twice);
    EXPECT_NE(scaled.bytes.find("\nv 1 2 3\n"), std::string::npos);
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
    EXPECT_EQ(positions(c).size(), 8u * 3);
    EXPECT_EQ(quads(c).size(), 24u);
    EXPECT_EQ(positions(c)[2], 1.5f);
    EXPECT_FLOAT_EQ(normals(c)[0], std::sqrt(0.5f));  // made unit
}

namespace {

// A closed unit cube: six quads, counter-clockwise seen from outside once
// compacted (so clockwise in the view, as the turtle lays them).
struct Cube {
    float records[8][6];
    uint32_t cw[24];
    Cube() {
        for (int i = 0; i < 8; ++i) {
            const float r[6] = {0, 0, 1, float(i & 1), float((i >> 1) & 1), float((i >> 2) & 1)};
            std::memcpy(records[i], r, sizeof r);
        }
        const uint32_t ccw[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                    {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
        for (int q = 0; q < 6; ++q)
            for (int k = 0; k < 4; ++k) cw[4 * q + k] = ccw[q][(4 - k) % 4];
    }
    CompactMesh mesh() const { return compact({&records[0][0], 8, 6, 0, 3, cw, 24}); }
};

uint32_t u32(const std::string& s, size_t at) {
    uint32_t v;
    std::memcpy(&v, s.data() + at, 4);
    return v;
}

float f32(const std::string& s, size_t at) {
    float v;
    std::memcpy(&v, s.data() + at, 4);
    return v;
}

}  // namespace

TEST(MeshExport, Ply) {
    const Cube cube;
    const CompactMesh c = cube.mesh();
    StringSink sink;
    write_ply(sink, c, ExportOptions());
    const std::string& ply = sink.bytes;
    const size_t body = ply.find("end_header\n") + 11;
    ASSERT_NE(body, std::string::npos + 11);
    const std::string header = ply.substr(0, body);
    EXPECT_EQ(header.rfind("ply\nformat binary_little_endian 1.0\n", 0), 0u);
    EXPECT_NE(header.find("element vertex 8\n"), std::string::npos);
    EXPECT_NE(header.find("element face 6\n"), std::string::npos);
    EXPECT_NE(header.find("property list uchar uint vertex_indices\n"), std::string::npos);
    ASSERT_EQ(ply.size(), body + 8 * 24 + 6 * 17);
    EXPECT_EQ(f32(ply, body + 24 * 7), 1.0f);       // x of vertex 7
    EXPECT_EQ(f32(ply, body + 24 * 7 + 20), 1.0f);  // its nz
    const size_t faces = body + 8 * 24;
    EXPECT_EQ(ply[faces], 4);
    EXPECT_EQ(u32(ply, faces + 1), quads(c)[0]);
    EXPECT_EQ(u32(ply, faces + 13), quads(c)[3]);
}

TEST(MeshExport, StlIsWatertightAndFacesOutward) {
    StringSink sink;
    write_stl(sink, Cube().mesh(), ExportOptions());
    const std::string& stl = sink.bytes;
    EXPECT_NE(stl.rfind("solid", 0), 0u);
    const std::vector<dozu::testing::StlFacet> facets = dozu::testing::read_stl(stl);
    ASSERT_EQ(facets.size(), 12u);
    for (const dozu::testing::StlFacet& f : facets) {
        EXPECT_EQ(f.attributes, 0u);
        // The facet normal is of unit length and points away from the centre.
        float out = 0, len = 0;
        for (size_t i = 0; i < 3; ++i) {
            const float centre = (f.corners[0][i] + f.corners[1][i] + f.corners[2][i]) / 3 - 0.5f;
            out += f.normal[i] * centre;
            len += f.normal[i] * f.normal[i];
        }
        EXPECT_GT(out, 0.0f);
        EXPECT_FLOAT_EQ(len, 1.0f);
    }
    EXPECT_TRUE(dozu::testing::watertight(facets));
    EXPECT_NEAR(dozu::testing::signed_volume(facets), 1.0, 1e-9);
}

TEST(MeshExport, FormatByExtension) {
    MeshFormat f = MeshFormat::obj;
    EXPECT_TRUE(mesh_format_of("a/b.PLY", f));
    EXPECT_EQ(f, MeshFormat::ply);
    EXPECT_TRUE(mesh_format_of("x.stl", f));
    EXPECT_EQ(f, MeshFormat::stl);
    EXPECT_TRUE(mesh_format_of("x.y.Obj", f));
    EXPECT_EQ(f, MeshFormat::obj);
    EXPECT_TRUE(mesh_format_of("x.GLB", f));
    EXPECT_EQ(f, MeshFormat::glb);
    EXPECT_TRUE(mesh_format_of("x.gltf", f));
    EXPECT_EQ(f, MeshFormat::gltf);
    EXPECT_TRUE(mesh_format_of("x.3mf", f));
    EXPECT_EQ(f, MeshFormat::three_mf);
    EXPECT_FALSE(mesh_format_of("x.tpg", f));
    EXPECT_FALSE(mesh_format_of("dir.obj/x", f));
    EXPECT_FALSE(mesh_format_of("noext", f));
}

TEST(MeshExport, NormalsOfAboutZeroTakeTheAreaWeightedMeanOfTheirQuads) {
    // Two quads meet at vertex 0 whose normal is 0: one of area 2 facing +z,
    // one of area 1 facing +x; vertex 4's is too short to have a direction.
    const float records[6][6] = {{0, 0, 0, 0, 0, 0}, {0, 0, 2, 2, 0, 0},     {0, 0, 1, 2, 1, 0},
                                 {0, 0, 1, 0, 1, 0}, {1e-6f, 0, 0, 0, 0, 1}, {1, 0, 0, 0, 1, 1}};
    const uint32_t cw[8] = {0, 3, 2, 1, 0, 4, 5, 3};  // the turtle's clockwise winding
    const CompactMesh c = compact({&records[0][0], 6, 6, 0, 3, cw, 8});
    const std::vector<float> n = normals(c);
    ASSERT_EQ(n.size(), 18u);
    const float s5 = float(1 / std::sqrt(5.0));
    EXPECT_NEAR(n[0], s5, 1e-7);
    EXPECT_NEAR(n[1], 0, 1e-7);
    EXPECT_NEAR(n[2], 2 * s5, 1e-7);
    EXPECT_EQ(std::vector<float>(n.begin() + 3, n.begin() + 6), (std::vector<float>{0, 0, 1}));
    EXPECT_EQ(std::vector<float>(n.begin() + 12, n.begin() + 15), (std::vector<float>{1, 0, 0}));
    EXPECT_EQ(triangles(c), (std::vector<uint32_t>{0, 1, 2, 0, 2, 3, 0, 3, 5, 0, 5, 4}));
}

// The OBJ writer makes its text in blocks on helper threads; the PLY writer
// does not.
TEST(MeshExport, ObjOfManyBlocksHoldsWhatPlyHolds) {
    // A strip of 30,000 quads, every tenth naming a missing vertex.
    QuadMesh m;
    for (uint32_t i = 0; i <= 30000; ++i)
        for (const float y : {0.0f, 1.0f}) {
            const float n[3] = {0, std::sin(float(i)), 1}, p[3] = {float(i) / 7, y, std::cos(float(i))};
            m.add_vertex(n, p);
        }
    for (uint32_t i = 0; i < 30000; ++i) m.add_quad(2 * i, 2 * i + 2, i % 10 ? 2 * i + 3 : 99999999, 2 * i + 1);
    const CompactMesh c = compact(output_mesh_view(m));
    StringSink obj, ply;
    write_obj(obj, c, ExportOptions());
    write_ply(ply, c, ExportOptions());

    const size_t body = ply.bytes.find("end_header\n") + 11;
    const char* at = ply.bytes.data() + body;
    auto f32 = [&] {
        float f;
        std::memcpy(&f, at, 4);
        at += 4;
        return f;
    };
    std::vector<float> positions, normals;
    for (uint32_t v = 0; v < c.vertex_count(); ++v) {
        for (int i = 0; i < 3; ++i) positions.push_back(f32());
        for (int i = 0; i < 3; ++i) normals.push_back(f32());
    }
    std::vector<uint32_t> faces;
    for (uint64_t q = 0; q < c.quad_count(); ++q) {
        ++at;
        for (int k = 0; k < 4; ++k) {
            uint32_t i;
            std::memcpy(&i, at, 4);
            at += 4;
            faces.push_back(i + 1);
        }
    }
    ASSERT_GT(c.vertex_count(), 40000u);

    std::vector<float> obj_positions, obj_normals;
    std::vector<uint32_t> obj_faces;
    for (const char* p = obj.bytes.c_str(); *p;) {
        const char* end = std::strchr(p, '\n');
        const std::string line(p, end);
        float x, y, z;
        uint32_t a[8];
        if (std::sscanf(line.c_str(), "v %f %f %f", &x, &y, &z) == 3)
            obj_positions.insert(obj_positions.end(), {x, y, z});
        if (std::sscanf(line.c_str(), "vn %f %f %f", &x, &y, &z) == 3)
            obj_normals.insert(obj_normals.end(), {x, y, z});
        if (std::sscanf(line.c_str(), "f %u//%u %u//%u %u//%u %u//%u", a, a + 1, a + 2, a + 3, a + 4, a + 5, a + 6,
                        a + 7) == 8)
            obj_faces.insert(obj_faces.end(), {a[0], a[2], a[4], a[6]});
        p = end + 1;
    }
    EXPECT_EQ(obj_positions, positions);
    EXPECT_EQ(obj_normals, normals);
    EXPECT_EQ(obj_faces, faces);
}
