#include "export/obj_writer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string>

#include "io/block_writer.h"
#include "io/byte_sink.h"

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

}  // namespace dozu
