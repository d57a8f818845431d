#include "editor/mesh_export.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "editor/byte_sink.h"
#include "editor/file_io.h"
#include "mesh/quad_mesh.h"
#include "turtle/turtle.h"

namespace dozu {

namespace {

// Shorter display normals point nowhere reliable: rounding alone shifts
// them by about 1e-6.
constexpr double kTinyNormal = 1e-4;

// Scales every normal to unit length; those too short to have a direction
// take the area-weighted mean of the normals of the quads around them.
void make_unit_normals(CompactMesh& mesh) {
    const size_t count = mesh.positions.size() / 3;
    std::vector<size_t> redo;
    for (size_t v = 0; v < count; ++v) {
        float* n = &mesh.normals[3 * v];
        const double length = std::sqrt(double(n[0]) * n[0] + double(n[1]) * n[1] + double(n[2]) * n[2]);
        if (!(length > kTinyNormal) || !std::isfinite(length)) {
            redo.push_back(v);
            continue;
        }
        for (int i = 0; i < 3; ++i) n[i] = float(n[i] / length);
    }
    if (redo.empty()) return;

    // A counter-clockwise quad's diagonals span twice its area vector,
    // which points outside.
    std::vector<double> sums(3 * count, 0.0);
    auto p = [&](uint32_t v, int i) { return double(mesh.positions[3 * size_t(v) + size_t(i)]); };
    for (size_t q = 0; q + 4 <= mesh.quads.size(); q += 4) {
        const uint32_t a = mesh.quads[q], b = mesh.quads[q + 1], c = mesh.quads[q + 2], d = mesh.quads[q + 3];
        const double e[3] = {p(c, 0) - p(a, 0), p(c, 1) - p(a, 1), p(c, 2) - p(a, 2)};
        const double f[3] = {p(d, 0) - p(b, 0), p(d, 1) - p(b, 1), p(d, 2) - p(b, 2)};
        const double area[3] = {e[1] * f[2] - e[2] * f[1], e[2] * f[0] - e[0] * f[2], e[0] * f[1] - e[1] * f[0]};
        for (const uint32_t v : {a, b, c, d})
            for (int i = 0; i < 3; ++i) sums[3 * size_t(v) + size_t(i)] += area[i];
    }
    for (const size_t v : redo) {
        const double* s = &sums[3 * v];
        const double length = std::sqrt(s[0] * s[0] + s[1] * s[1] + s[2] * s[2]);
        float* n = &mesh.normals[3 * v];
        if (length > 0 && std::isfinite(length)) {
            for (int i = 0; i < 3; ++i) n[i] = float(s[i] / length);
        } else {  // only flat quads around it: any direction is as good
            n[0] = 0, n[1] = 0, n[2] = 1;
        }
    }
}

}  // namespace

std::string printable_utf8(const std::string& text) {
    std::string out;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    for (size_t i = 0; i < n;) {
        const unsigned char c = p[i];
        // The sequence's length and the range of its first continuation
        // byte, which rules out overlong forms, surrogates and code points
        // past U+10FFFF.
        size_t length = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (c >= 0x20 && c < 0x7F) {
            length = 1;
        } else if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            low = c == 0xE0 ? 0xA0 : 0x80;
            high = c == 0xED ? 0x9F : 0xBF;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            low = c == 0xF0 ? 0x90 : 0x80;
            high = c == 0xF4 ? 0x8F : 0xBF;
        }
        bool ok = length > 0 && i + length <= n;
        for (size_t k = 1; ok && k < length; ++k)
            ok = p[i + k] >= (k == 1 ? low : 0x80) && p[i + k] <= (k == 1 ? high : 0xBF);
        // C1 controls, U+0080 to U+009F.
        ok = ok && !(c == 0xC2 && p[i + 1] < 0xA0);
        if (ok) {
            out.append(text, i, length);
            i += length;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out;
}

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
        const float* r = record(v) + view.position;
        finite[v] = std::isfinite(r[0]) && std::isfinite(r[1]) && std::isfinite(r[2]);
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
    // The turtle lays its quads clockwise seen from outside: taken
    // backwards from the same first corner, they run counter-clockwise.
    out.quads.reserve(kept.size() * 4);
    for (const uint32_t i : kept)
        for (const uint32_t k : {0u, 3u, 2u, 1u}) out.quads.push_back(number[view.indices[i + k]]);
    make_unit_normals(out);
    return out;
}

std::vector<uint32_t> triangles(const CompactMesh& mesh) {
    std::vector<uint32_t> out;
    out.reserve(mesh.quads.size() / 4 * 6);
    auto add = [&](uint32_t a, uint32_t b, uint32_t c) {
        if (a != b && b != c && c != a) out.insert(out.end(), {a, b, c});
    };
    for (size_t q = 0; q + 4 <= mesh.quads.size(); q += 4) {
        add(mesh.quads[q], mesh.quads[q + 1], mesh.quads[q + 2]);
        add(mesh.quads[q], mesh.quads[q + 2], mesh.quads[q + 3]);
    }
    return out;
}

const std::vector<MeshFormatInfo>& mesh_formats() {
    static const std::vector<MeshFormatInfo> formats = {
        {MeshFormat::obj, "obj", "Wavefront OBJ"},    {MeshFormat::ply, "ply", "PLY, binary"},
        {MeshFormat::stl, "stl", "STL, binary"},      {MeshFormat::glb, "glb", "glTF 2.0, binary"},
        {MeshFormat::gltf, "gltf", "glTF 2.0, JSON"}, {MeshFormat::three_mf, "3mf", "3D Manufacturing Format"},
    };
    return formats;
}

const MeshFormatInfo& mesh_format_info(MeshFormat format) {
    for (const MeshFormatInfo& info : mesh_formats())
        if (info.format == format) return info;
    return mesh_formats().front();
}

bool mesh_format_of(const std::string& path, MeshFormat& format) {
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return false;
    std::string ext = path.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    for (const MeshFormatInfo& info : mesh_formats()) {
        if (ext != info.extension) continue;
        format = info.format;
        return true;
    }
    return false;
}

void write_mesh(ByteSink& sink, const CompactMesh& mesh, MeshFormat format, const ExportOptions& options) {
    switch (format) {
        case MeshFormat::obj: return write_obj(sink, mesh, options);
        case MeshFormat::ply: return write_ply(sink, mesh, options);
        case MeshFormat::stl: return write_stl(sink, mesh, options);
        case MeshFormat::glb: return write_gltf(sink, mesh, options, true);
        case MeshFormat::gltf: return write_gltf(sink, mesh, options, false);
        case MeshFormat::three_mf: return write_3mf(sink, mesh, options);
    }
}

void write_mesh_file(const std::string& path, const CompactMesh& mesh, MeshFormat format,
                     const ExportOptions& options) {
    write_file(path, [&](ByteSink& sink) { write_mesh(sink, mesh, format, options); });
}

}  // namespace dozu
