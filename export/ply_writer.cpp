#include "export/ply_writer.h"

#include <string>

#include "io/byte_sink.h"
#include "io/out_buffer.h"

namespace dozu {

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

}  // namespace dozu
