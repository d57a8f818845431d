// Writing meshes for other tools. A mesh is first compacted: quads that name
// a missing vertex or a vertex with a non-finite position are left out, then
// every vertex that no remaining quad names, and the quads are renumbered,
// keeping the order of the vertices that stay. The compacted mesh is what
// every writer takes: its quads run counter-clockwise seen from outside and
// its normals are of unit length, so that no format has to mend either.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace dozu {

class ByteSink;
class QuadMesh;
class turtle;

// Vertex records with a stride, and quads in the turtle's winding
// (clockwise seen from outside).
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
    std::vector<float> normals;    // nx ny nz per vertex, of unit length
    std::vector<uint32_t> quads;   // 4 per quad, 0-based, counter-clockwise seen from outside
};

// Normals of about zero length (a cap's centre) or not finite become the
// area-weighted mean of the normals of the quads around their vertex.
CompactMesh compact(const MeshView& view);

// Two triangles per quad, split along its first diagonal, counter-clockwise
// seen from outside; a triangle that names a vertex twice is left out.
std::vector<uint32_t> triangles(const CompactMesh& mesh);

// What every writer is told, whatever its format.
struct ExportOptions {
    double scale = 1.0;         // every position is multiplied by it (positive)
    std::string name = "dozu";  // the model's name, where a format keeps one
};

// A name as the formats that keep one can hold it: UTF-8 text of printable
// characters. A file name's bytes need be neither: every byte that does not
// begin a well-formed UTF-8 sequence, and every control character, becomes
// U+FFFD.
std::string printable_utf8(const std::string& text);

// A vertex's position as written.
inline std::array<float, 3> position(const CompactMesh& mesh, size_t v, const ExportOptions& options) {
    const float* p = &mesh.positions[3 * v];
    return {float(p[0] * options.scale), float(p[1] * options.scale), float(p[2] * options.scale)};
}

enum class MeshFormat { obj, ply, stl, glb, gltf, three_mf };

struct MeshFormatInfo {
    MeshFormat format;
    const char* extension;  // without the dot, in lower case
    const char* title;      // for file dialogs and help
};
const std::vector<MeshFormatInfo>& mesh_formats();
const MeshFormatInfo& mesh_format_info(MeshFormat format);
// By the file name's extension, in any letter case; false for another one.
bool mesh_format_of(const std::string& path, MeshFormat& format);

// Wavefront OBJ: v lines, vn lines, then f a//a b//b c//c d//d (1-based);
// every float printed so that it reads back as the same single value.
void write_obj(ByteSink& sink, const CompactMesh& mesh, const ExportOptions& options);
// Binary little-endian PLY: x y z nx ny nz floats per vertex, each face a
// list of 4 indices.
void write_ply(ByteSink& sink, const CompactMesh& mesh, const ExportOptions& options);
// Binary STL: the triangles with facet normals from their positions.
void write_stl(ByteSink& sink, const CompactMesh& mesh, const ExportOptions& options);
// glTF 2.0, binary (.glb) or JSON with the buffer as a data URI (.gltf):
// one scene, node and mesh of the triangles with POSITION and NORMAL, one
// default material.
void write_gltf(ByteSink& sink, const CompactMesh& mesh, const ExportOptions& options, bool binary);
// 3MF: one object of the triangles, in millimetres.
void write_3mf(ByteSink& sink, const CompactMesh& mesh, const ExportOptions& options);

void write_mesh(ByteSink& sink, const CompactMesh& mesh, MeshFormat format, const ExportOptions& options);
// Encodes and writes (see write_file); throws FileError.
void write_mesh_file(const std::string& path, const CompactMesh& mesh, MeshFormat format,
                     const ExportOptions& options);

}  // namespace dozu
