// The plain mesh formats: OBJ, PLY and STL, written piece by piece into a
// sink.
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "editor/byte_sink.h"
#include "editor/mesh_export.h"

namespace dozu {

namespace {

// Little-endian binary fields, gathered per record.
class Record {
public:
    void u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes_[size_++] = char((v >> (8 * i)) & 0xFF);
    }
    void u16(uint16_t v) {
        bytes_[size_++] = char(v & 0xFF);
        bytes_[size_++] = char(v >> 8);
    }
    void u8(uint8_t v) { bytes_[size_++] = char(v); }
    void f32(float v) { u32(std::bit_cast<uint32_t>(v)); }
    void flush(ByteSink& sink) {
        sink.write(bytes_, size_);
        size_ = 0;
    }

private:
    char bytes_[64];
    size_t size_ = 0;
};

}  // namespace

void write_obj(ByteSink& sink, const CompactMesh& mesh, const ExportOptions& options) {
    char buf[128];
    auto put3 = [&](const char* key, const std::array<float, 3>& p) {
        const int n =
            std::snprintf(buf, sizeof buf, "%s %.9g %.9g %.9g\n", key, double(p[0]), double(p[1]), double(p[2]));
        sink.write(buf, size_t(n));
    };
    const size_t count = mesh.positions.size() / 3;
    for (size_t v = 0; v < count; ++v) put3("v", position(mesh, v, options));
    for (size_t v = 0; v < count; ++v)
        put3("vn", {mesh.normals[3 * v], mesh.normals[3 * v + 1], mesh.normals[3 * v + 2]});
    for (size_t i = 0; i + 4 <= mesh.quads.size(); i += 4) {
        const uint32_t a = mesh.quads[i] + 1, b = mesh.quads[i + 1] + 1, c = mesh.quads[i + 2] + 1,
                       d = mesh.quads[i + 3] + 1;
        const int n = std::snprintf(buf, sizeof buf, "f %u//%u %u//%u %u//%u %u//%u\n", a, a, b, b, c, c, d, d);
        sink.write(buf, size_t(n));
    }
}

void write_ply(ByteSink& sink, const CompactMesh& mesh, const ExportOptions& options) {
    const size_t vertices = mesh.positions.size() / 3, faces = mesh.quads.size() / 4;
    std::string header = "ply\nformat binary_little_endian 1.0\ncomment written by dozu\n";
    header += "element vertex " + std::to_string(vertices) + "\n";
    for (const char* p : {"x", "y", "z", "nx", "ny", "nz"}) header += std::string("property float ") + p + "\n";
    header += "element face " + std::to_string(faces) + "\n";
    header += "property list uchar uint vertex_indices\nend_header\n";
    sink.write(header);
    Record r;
    for (size_t v = 0; v < vertices; ++v) {
        for (const float x : position(mesh, v, options)) r.f32(x);
        for (int i = 0; i < 3; ++i) r.f32(mesh.normals[3 * v + size_t(i)]);
        r.flush(sink);
    }
    for (size_t f = 0; f < faces; ++f) {
        r.u8(4);
        for (int k = 0; k < 4; ++k) r.u32(mesh.quads[4 * f + size_t(k)]);
        r.flush(sink);
    }
}

void write_stl(ByteSink& sink, const CompactMesh& mesh, const ExportOptions& options) {
    const std::vector<uint32_t> corners = triangles(mesh);
    char title[80] = {};
    const char text[] = "binary STL written by dozu";
    std::memcpy(title, text, sizeof text - 1);
    sink.write(title, sizeof title);
    Record r;
    r.u32(uint32_t(corners.size() / 3));
    r.flush(sink);
    for (size_t t = 0; t + 3 <= corners.size(); t += 3) {
        const std::array<float, 3> p = position(mesh, corners[t], options),
                                   q = position(mesh, corners[t + 1], options),
                                   s = position(mesh, corners[t + 2], options);
        const double u[3] = {double(q[0]) - p[0], double(q[1]) - p[1], double(q[2]) - p[2]};
        const double w[3] = {double(s[0]) - p[0], double(s[1]) - p[1], double(s[2]) - p[2]};
        double n[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
        double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (!(len > 0) || !std::isfinite(len)) {
            // No area to face anywhere: the corners' normals tell.
            for (int i = 0; i < 3; ++i) {
                n[i] = 0;
                for (size_t k = 0; k < 3; ++k) n[i] += mesh.normals[3 * size_t(corners[t + k]) + size_t(i)];
            }
            len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        }
        for (double& x : n) x = len > 0 ? x / len : 0.0;
        for (const double x : n) r.f32(float(x));
        for (const auto& v : {p, q, s})
            for (const float x : v) r.f32(x);
        r.u16(0);
        r.flush(sink);
    }
}

}  // namespace dozu
