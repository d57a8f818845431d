#include "editor/mesh_export.h"

#include <algorithm>
#include <bit>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "editor/file_io.h"
#include "mesh/quad_mesh.h"
#include "turtle/turtle.h"

namespace dozu {

MeshView output_mesh_view(QuadMesh& mesh) {
    mesh.to_display_form();
    return {mesh.vertex_data(), mesh.vertex_count(), QuadMesh::kRecordFloats, 0, 3,
            mesh.index_data(),  mesh.index_count()};
}

MeshView input_mesh_view(const turtle& t) {
    static_assert(sizeof(vertex) == 6 * sizeof(float));
    return {reinterpret_cast<const float*>(t.vertex_data()),
            t.vertex_count(),
            6,
            0,
            3,
            t.index_data(),
            t.index_count()};
}

CompactMesh compact(const MeshView& view) {
    constexpr uint32_t kUnused = UINT32_MAX;
    auto record = [&](uint32_t v) { return view.records + size_t(v) * size_t(view.stride); };
    std::vector<uint8_t> finite(view.vertex_count);
    for (uint32_t v = 0; v < view.vertex_count; ++v) {
        const float* r = record(v);
        bool ok = true;
        for (int i = 0; i < 3; ++i)
            ok = ok && std::isfinite(r[view.normal + i]) && std::isfinite(r[view.position + i]);
        finite[v] = ok;
    }

    std::vector<uint32_t> number(view.vertex_count, kUnused);
    std::vector<uint32_t> kept;  // first index of each quad that stays
    for (uint32_t i = 0; i + 4 <= view.index_count; i += 4) {
        bool ok = true;
        for (int k = 0; k < 4; ++k) {
            const uint32_t v = view.indices[i + uint32_t(k)];
            ok = ok && v < view.vertex_count && finite[v];
        }
        if (!ok) continue;
        kept.push_back(i);
        for (int k = 0; k < 4; ++k) number[view.indices[i + uint32_t(k)]] = 0;
    }

    CompactMesh out;
    uint32_t next = 0;
    for (uint32_t v = 0; v < view.vertex_count; ++v) {
        if (number[v] == kUnused) continue;
        number[v] = next++;
        const float* r = record(v);
        out.positions.insert(out.positions.end(), r + view.position, r + view.position + 3);
        out.normals.insert(out.normals.end(), r + view.normal, r + view.normal + 3);
    }
    out.quads.reserve(kept.size() * 4);
    for (uint32_t i : kept)
        for (int k = 0; k < 4; ++k) out.quads.push_back(number[view.indices[i + uint32_t(k)]]);
    return out;
}

std::string encode_obj(const CompactMesh& mesh) {
    std::string out;
    char buf[128];
    auto put3 = [&](const char* key, const float* p) {
        const int n =
            std::snprintf(buf, sizeof buf, "%s %.9g %.9g %.9g\n", key, double(p[0]), double(p[1]), double(p[2]));
        out.append(buf, size_t(n));
    };
    const size_t count = mesh.positions.size() / 3;
    out.reserve(count * 90 + mesh.quads.size() * 12);
    for (size_t v = 0; v < count; ++v) put3("v", &mesh.positions[3 * v]);
    for (size_t v = 0; v < count; ++v) put3("vn", &mesh.normals[3 * v]);
    for (size_t i = 0; i + 4 <= mesh.quads.size(); i += 4) {
        const uint32_t a = mesh.quads[i] + 1, b = mesh.quads[i + 1] + 1, c = mesh.quads[i + 2] + 1,
                       d = mesh.quads[i + 3] + 1;
        const int n = std::snprintf(buf, sizeof buf, "f %u//%u %u//%u %u//%u %u//%u\n", a, a, b, b, c, c, d, d);
        out.append(buf, size_t(n));
    }
    return out;
}

namespace {

// Little-endian binary fields.
void put_u32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(char((v >> (8 * i)) & 0xFF));
}
void put_u16(std::string& out, uint16_t v) {
    out.push_back(char(v & 0xFF));
    out.push_back(char(v >> 8));
}
void put_f32(std::string& out, float v) { put_u32(out, std::bit_cast<uint32_t>(v)); }

}  // namespace

std::string encode_ply(const CompactMesh& mesh) {
    const size_t vertices = mesh.positions.size() / 3, faces = mesh.quads.size() / 4;
    std::string out = "ply\nformat binary_little_endian 1.0\ncomment written by dozu\n";
    out += "element vertex " + std::to_string(vertices) + "\n";
    for (const char* p : {"x", "y", "z", "nx", "ny", "nz"}) out += std::string("property float ") + p + "\n";
    out += "element face " + std::to_string(faces) + "\n";
    out += "property list uchar uint vertex_indices\nend_header\n";
    out.reserve(out.size() + vertices * 24 + faces * 17);
    for (size_t v = 0; v < vertices; ++v) {
        for (int i = 0; i < 3; ++i) put_f32(out, mesh.positions[3 * v + size_t(i)]);
        for (int i = 0; i < 3; ++i) put_f32(out, mesh.normals[3 * v + size_t(i)]);
    }
    for (size_t f = 0; f < faces; ++f) {
        out.push_back(char(4));
        for (int k = 0; k < 4; ++k) put_u32(out, mesh.quads[4 * f + size_t(k)]);
    }
    return out;
}

std::string encode_stl(const CompactMesh& mesh) {
    const size_t faces = mesh.quads.size() / 4;
    std::string out(80, '\0');
    const char title[] = "binary STL written by dozu";
    std::memcpy(out.data(), title, sizeof title - 1);
    put_u32(out, uint32_t(2 * faces));
    out.reserve(out.size() + faces * 2 * 50);
    auto corner = [&](uint32_t v) { return &mesh.positions[3 * size_t(v)]; };
    auto triangle = [&](uint32_t a, uint32_t b, uint32_t c) {
        const float *p = corner(a), *q = corner(b), *r = corner(c);
        const double u[3] = {double(q[0]) - p[0], double(q[1]) - p[1], double(q[2]) - p[2]};
        const double w[3] = {double(r[0]) - p[0], double(r[1]) - p[1], double(r[2]) - p[2]};
        double n[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
        const double len = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        for (double& x : n) x = len > 0 && std::isfinite(len) ? x / len : 0.0;
        for (double x : n) put_f32(out, float(x));
        for (const float* v : {p, q, r})
            for (int i = 0; i < 3; ++i) put_f32(out, v[i]);
        put_u16(out, 0);
    };
    // The quads run clockwise seen from outside: the triangles take them
    // backwards.
    for (size_t f = 0; f < faces; ++f) {
        const uint32_t* q = &mesh.quads[4 * f];
        triangle(q[0], q[3], q[2]);
        triangle(q[0], q[2], q[1]);
    }
    return out;
}

bool mesh_format_of(const std::string& path, MeshFormat& format) {
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return false;
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    if (ext == "obj")
        format = MeshFormat::obj;
    else if (ext == "ply")
        format = MeshFormat::ply;
    else if (ext == "stl")
        format = MeshFormat::stl;
    else
        return false;
    return true;
}

void write_mesh(ByteSink& sink, const CompactMesh& mesh, MeshFormat format) {
    switch (format) {
        case MeshFormat::obj: sink.write(encode_obj(mesh)); break;
        case MeshFormat::ply: sink.write(encode_ply(mesh)); break;
        case MeshFormat::stl: sink.write(encode_stl(mesh)); break;
    }
}

void write_mesh_file(const std::string& path, const CompactMesh& mesh, MeshFormat format) {
    write_file(path, [&](ByteSink& sink) { write_mesh(sink, mesh, format); });
}

}  // namespace dozu
