// The plain mesh formats: OBJ, PLY and STL, streamed into a sink.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>

#include "export/mesh_export.h"
#include "io/block_writer.h"
#include "io/byte_sink.h"
#include "io/out_buffer.h"

namespace dozu {

namespace {

// Items of an OBJ block: vertices for v and vn lines, quads for f lines.
constexpr uint32_t kBlockItems = 16384;
// The longest line: "vn" and three floats of at most 15 characters, or
// "f" and four corners "n//n" of numbers up to 4294967296.
constexpr size_t kLongestLine = 2 + 4 * (1 + 10 + 2 + 10) + 1;

char* put_float(char* p, float v) { return std::to_chars(p, p + 16, v).ptr; }

char* put_floats(char* p, const char* key, size_t key_length, const std::array<float, 3>& v) {
    std::memcpy(p, key, key_length);
    p += key_length;
    for (const float x : v) {
        *p++ = ' ';
        p = put_float(p, x);
    }
    *p++ = '\n';
    return p;
}

// "f a//a b//b c//c d//d": each corner's number serves as position and as
// normal, made once.
char* put_face(char* p, const uint32_t* n) {
    *p++ = 'f';
    for (int k = 0; k < 4; ++k) {
        *p++ = ' ';
        char* number = p;
        p = std::to_chars(p, p + 10, uint64_t(n[k]) + 1).ptr;
        const size_t length = size_t(p - number);
        *p++ = '/';
        *p++ = '/';
        std::memcpy(p, number, length);
        p += length;
    }
    *p++ = '\n';
    return p;
}

}  // namespace

void write_obj(ByteSink& sink, const CompactMesh& mesh, const ExportOptions& options) {
    const uint32_t vertices = mesh.view_vertices(), quads = mesh.view_quads();
    const size_t vertex_blocks = (size_t(vertices) + kBlockItems - 1) / kBlockItems;
    const size_t quad_blocks = (size_t(quads) + kBlockItems - 1) / kBlockItems;
    // The v lines, the vn lines, the f lines, each in blocks of the view's
    // vertices or quads.
    write_blocks(sink, 2 * vertex_blocks + quad_blocks, kBlockItems * kLongestLine, [&](size_t block, char* out) {
        char* p = out;
        const uint32_t first = uint32_t((block % std::max<size_t>(vertex_blocks, 1)) * kBlockItems);
        if (block < vertex_blocks) {
            mesh.for_each_vertex(first, std::min(vertices, first + kBlockItems),
                                 [&](uint32_t v) { p = put_floats(p, "v", 1, position(mesh, v, options)); });
        } else if (block < 2 * vertex_blocks) {
            mesh.for_each_vertex(first, std::min(vertices, first + kBlockItems),
                                 [&](uint32_t v) { p = put_floats(p, "vn", 2, mesh.normal(v)); });
        } else {
            const uint32_t q = uint32_t((block - 2 * vertex_blocks) * kBlockItems);
            mesh.for_each_quad(q, std::min(quads, q + kBlockItems),
                               [&](const uint32_t* n, const uint32_t*) { p = put_face(p, n); });
        }
        return size_t(p - out);
    });
}

void write_ply(ByteSink& sink, const CompactMesh& mesh, const ExportOptions& options) {
    OutBuffer out(sink);
    out.put("ply\nformat binary_little_endian 1.0\ncomment written by dozu\n");
    out.put("element vertex " + std::to_string(mesh.vertex_count()) + "\n");
    for (const char* p : {"x", "y", "z", "nx", "ny", "nz"}) out.put(std::string("property float ") + p + "\n");
    out.put("element face " + std::to_string(mesh.quad_count()) + "\n");
    out.put("property list uchar uint vertex_indices\nend_header\n");
    mesh.for_each_vertex([&](uint32_t v) {
        for (const float x : position(mesh, v, options)) out.put_f32(x);
        for (const float x : mesh.normal(v)) out.put_f32(x);
    });
    mesh.for_each_quad([&](const uint32_t* n, const uint32_t*) {
        out.put_u8(4);
        for (int k = 0; k < 4; ++k) out.put_u32(n[k]);
    });
    out.flush();
}

void write_stl(ByteSink& sink, const CompactMesh& mesh, const ExportOptions& options) {
    OutBuffer out(sink);
    char title[80] = {};
    const char text[] = "binary STL written by dozu";
    std::memcpy(title, text, sizeof text - 1);
    out.put(std::string_view(title, sizeof title));
    out.put_u32(uint32_t(mesh.triangle_count()));  // at most two per quad of 32-bit indices
    mesh.for_each_triangle([&](const uint32_t*, const uint32_t* c) {
        const std::array<float, 3> p = position(mesh, c[0], options), q = position(mesh, c[1], options),
                                   s = position(mesh, c[2], options);
        const double u[3] = {double(q[0]) - p[0], double(q[1]) - p[1], double(q[2]) - p[2]};
        const double w[3] = {double(s[0]) - p[0], double(s[1]) - p[1], double(s[2]) - p[2]};
        double n[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
        double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (!(len > 0) || !std::isfinite(len)) {
            // No area to face anywhere: the corners' normals tell.
            const std::array<float, 3> corner[3] = {mesh.normal(c[0]), mesh.normal(c[1]), mesh.normal(c[2])};
            for (size_t i = 0; i < 3; ++i) {
                n[i] = 0;
                for (size_t k = 0; k < 3; ++k) n[i] += corner[k][i];
            }
            len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        }
        for (double& x : n) x = len > 0 ? x / len : 0.0;
        for (const double x : n) out.put_f32(float(x));
        for (const auto& v : {p, q, s})
            for (const float x : v) out.put_f32(x);
        out.put_u16(0);
    });
    out.flush();
}

}  // namespace dozu
