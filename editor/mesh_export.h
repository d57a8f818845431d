// Writing meshes for other tools. A mesh is first compacted: quads that name
// a missing vertex or a vertex with a non-finite number are left out, then
// every vertex that no remaining quad names, and the quads are renumbered,
// keeping the order of the vertices that stay.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dozu {

class ByteSink;
class QuadMesh;
class turtle;

// Vertex records with a stride, and quads.
struct MeshView {
    const float* records = nullptr;
    uint32_t vertex_count = 0;
    int stride = 0;  // floats per record
    int normal = 0;  // float offsets inside a record
    int position = 0;
    const uint32_t* indices = nullptr;
    uint32_t index_count = 0;
};

// The output mesh in display form (converts it, once).
MeshView output_mesh_view(QuadMesh& mesh);
// The turtle's own vertex and quad lists.
MeshView input_mesh_view(const turtle& t);

struct CompactMesh {
    std::vector<float> positions;  // x y z per vertex
    std::vector<float> normals;    // nx ny nz per vertex
    std::vector<uint32_t> quads;   // 4 per quad, 0-based
};

CompactMesh compact(const MeshView& view);

// Wavefront OBJ: v lines, vn lines, then f a//a b//b c//c d//d (1-based);
// every float printed so that it reads back as the same single value.
std::string encode_obj(const CompactMesh& mesh);
// Binary little-endian PLY: x y z nx ny nz floats per vertex, each face a
// list of 4 indices.
std::string encode_ply(const CompactMesh& mesh);
// Binary STL: each quad as two triangles split along its first diagonal,
// counter-clockwise seen from outside, facet normals from the positions.
std::string encode_stl(const CompactMesh& mesh);

enum class MeshFormat { obj, ply, stl };
// By the file name's extension, in any letter case; false for another one.
bool mesh_format_of(const std::string& path, MeshFormat& format);
void write_mesh(ByteSink& sink, const CompactMesh& mesh, MeshFormat format);
// Encodes and writes (see write_file); throws FileError.
void write_mesh_file(const std::string& path, const CompactMesh& mesh, MeshFormat format);

}  // namespace dozu
