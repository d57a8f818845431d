// Reads the mesh files that dozu writes back for the tests, every format
// into one form, and checks what every exported surface must be: closed,
// facing outward, with unit normals. glTF is read by tinygltf's loader and
// 3MF unpacked by libzip; the rest are read here from their layout.
#pragma once

#include <tiny_gltf.h>
#include <zip.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "support/stl_reader.h"

namespace dozu::testing {

using Vec = std::array<double, 3>;

struct ReadMesh {
    std::vector<Vec> positions;
    std::vector<Vec> normals;  // per vertex, or per face for STL, or none (3MF)
    bool face_normals = false;
    std::vector<std::vector<uint32_t>> faces;
    std::string error;  // why the file could not be read
};

inline ReadMesh failed(const std::string& why) {
    ReadMesh m;
    m.error = why;
    return m;
}

inline Vec sub(const Vec& a, const Vec& b) { return {a[0] - b[0], a[1] - b[1], a[2] - b[2]}; }
inline Vec cross(const Vec& a, const Vec& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
inline double dot(const Vec& a, const Vec& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

inline ReadMesh read_obj(const std::string& text) {
    ReadMesh m;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::istringstream l(line);
        std::string key;
        l >> key;
        Vec v;
        if (key == "v" && l >> v[0] >> v[1] >> v[2]) m.positions.push_back(v);
        if (key == "vn" && l >> v[0] >> v[1] >> v[2]) m.normals.push_back(v);
        if (key != "f") continue;
        std::vector<uint32_t> face;
        for (std::string corner; l >> corner;) face.push_back(uint32_t(std::stoul(corner) - 1));
        m.faces.push_back(face);
    }
    return m;
}

inline ReadMesh read_ply(const std::string& bytes) {
    ReadMesh m;
    size_t vertices = 0, faces = 0;
    std::sscanf(bytes.c_str() + bytes.find("element vertex "), "element vertex %zu", &vertices);
    std::sscanf(bytes.c_str() + bytes.find("element face "), "element face %zu", &faces);
    size_t at = bytes.find("end_header\n") + 11;
    if (bytes.size() != at + vertices * 24 + faces * 17) return failed("PLY of the wrong size");
    auto f32 = [&] {
        float f;
        std::memcpy(&f, bytes.data() + at, 4);
        at += 4;
        return double(f);
    };
    for (size_t v = 0; v < vertices; ++v) {
        m.positions.push_back({f32(), f32(), f32()});
        m.normals.push_back({f32(), f32(), f32()});
    }
    for (size_t f = 0; f < faces; ++f, at += 17) {
        uint32_t q[4];
        std::memcpy(q, bytes.data() + at + 1, 16);
        m.faces.push_back({q[0], q[1], q[2], q[3]});
    }
    return m;
}

// Corners at the same place become one vertex.
inline ReadMesh read_stl_mesh(const std::string& bytes) {
    ReadMesh m;
    m.face_normals = true;
    std::map<Vec, uint32_t> index;
    for (const StlFacet& f : read_stl(bytes)) {
        std::vector<uint32_t> face;
        for (const auto& c : f.corners) {
            const Vec p{c[0], c[1], c[2]};
            auto [it, added] = index.emplace(p, uint32_t(m.positions.size()));
            if (added) m.positions.push_back(p);
            face.push_back(it->second);
        }
        m.faces.push_back(face);
        m.normals.push_back({f.normal[0], f.normal[1], f.normal[2]});
    }
    if (m.faces.empty()) m.error = "no STL facets";
    return m;
}

inline ReadMesh read_gltf(const std::string& path, bool binary) {
    tinygltf::TinyGLTF loader;
    tinygltf::Model model;
    std::string err, warn;
    const bool ok = binary ? loader.LoadBinaryFromFile(&model, &err, &warn, path)
                           : loader.LoadASCIIFromFile(&model, &err, &warn, path);
    if (!ok || model.meshes.size() != 1 || model.meshes[0].primitives.size() != 1)
        return failed("glTF not read as one mesh: " + err);
    const tinygltf::Primitive& p = model.meshes[0].primitives[0];
    auto data = [&](int accessor, int component, size_t size) -> std::pair<const unsigned char*, size_t> {
        const tinygltf::Accessor& a = model.accessors[size_t(accessor)];
        const tinygltf::BufferView& v = model.bufferViews[size_t(a.bufferView)];
        if (a.componentType != component || v.byteLength < a.count * size) return {nullptr, 0};
        return {model.buffers[size_t(v.buffer)].data.data() + v.byteOffset + a.byteOffset, a.count};
    };
    ReadMesh m;
    const auto [positions, count] = data(p.attributes.at("POSITION"), TINYGLTF_COMPONENT_TYPE_FLOAT, 12);
    const auto [normals, normal_count] = data(p.attributes.at("NORMAL"), TINYGLTF_COMPONENT_TYPE_FLOAT, 12);
    const auto [indices, index_count] = data(p.indices, TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT, 4);
    if (!positions || !normals || !indices || normal_count != count || p.mode != TINYGLTF_MODE_TRIANGLES)
        return failed("glTF mesh not of float positions and normals and 32-bit indices");
    for (size_t v = 0; v < count; ++v) {
        float f[6];
        std::memcpy(f, positions + 12 * v, 12);
        std::memcpy(f + 3, normals + 12 * v, 12);
        m.positions.push_back({f[0], f[1], f[2]});
        m.normals.push_back({f[3], f[4], f[5]});
    }
    for (size_t t = 0; t + 3 <= index_count; t += 3) {
        uint32_t c[3];
        std::memcpy(c, indices + 4 * t, 12);
        m.faces.push_back({c[0], c[1], c[2]});
    }
    return m;
}

// The model part of a 3MF package, unpacked.
inline std::string read_3mf_model_part(const std::string& path) {
    int error = 0;
    zip_t* zip = zip_open(path.c_str(), ZIP_RDONLY, &error);
    if (!zip) return "";
    std::string xml;
    zip_stat_t st;
    zip_file_t* file = nullptr;
    if (zip_stat(zip, "3D/3dmodel.model", 0, &st) == 0 && (file = zip_fopen(zip, "3D/3dmodel.model", 0))) {
        xml.resize(st.size);
        if (zip_fread(file, xml.data(), st.size) != zip_int64_t(st.size)) xml.clear();
        zip_fclose(file);
    }
    zip_close(zip);
    return xml;
}

// The vertices and triangles of a 3MF model part, by their attributes.
inline ReadMesh read_3mf(const std::string& path) {
    const std::string xml = read_3mf_model_part(path);
    ReadMesh m;
    auto attribute = [&](size_t element, const char* name) {
        const size_t at = xml.find(std::string(" ") + name + "=\"", element);
        return std::strtod(xml.c_str() + at + std::strlen(name) + 3, nullptr);
    };
    for (size_t at = 0; (at = xml.find("<vertex ", at)) != std::string::npos; ++at)
        m.positions.push_back({attribute(at, "x"), attribute(at, "y"), attribute(at, "z")});
    for (size_t at = 0; (at = xml.find("<triangle ", at)) != std::string::npos; ++at)
        m.faces.push_back(
            {uint32_t(attribute(at, "v1")), uint32_t(attribute(at, "v2")), uint32_t(attribute(at, "v3"))});
    if (m.faces.empty()) m.error = "no 3MF triangles";
    return m;
}

// A face's area vector (twice it for a quad): outward when the face runs
// counter-clockwise seen from outside.
inline Vec face_normal(const ReadMesh& m, const std::vector<uint32_t>& f) {
    const auto& p = m.positions;
    if (f.size() == 4) return cross(sub(p[f[2]], p[f[0]]), sub(p[f[3]], p[f[1]]));
    return cross(sub(p[f[1]], p[f[0]]), sub(p[f[2]], p[f[0]]));
}

// Every directed edge once, and its reverse once.
inline bool closed(const ReadMesh& m) {
    std::map<std::pair<uint32_t, uint32_t>, int> edges;
    for (const auto& f : m.faces)
        for (size_t k = 0; k < f.size(); ++k) ++edges[{f[k], f[(k + 1) % f.size()]}];
    for (const auto& [e, count] : edges)
        if (count != 1 || !edges.count({e.second, e.first})) return false;
    return !edges.empty();
}

// Positive for a closed surface whose faces run counter-clockwise seen from
// outside (quads as two triangles along their first diagonal).
inline double signed_volume(const ReadMesh& m) {
    double volume = 0;
    for (const auto& f : m.faces)
        for (size_t k = 1; k + 1 < f.size(); ++k)
            volume += dot(m.positions[f[0]], cross(m.positions[f[k]], m.positions[f[k + 1]])) / 6;
    return volume;
}

struct WindingCount {
    size_t judged = 0, agree = 0;
};

// The faces whose corner normals all point to one side of the face can be
// judged: their winding agrees when that side is the one it faces.
inline WindingCount winding_against_normals(const ReadMesh& m) {
    WindingCount count;
    for (size_t i = 0; i < m.faces.size(); ++i) {
        const Vec n = face_normal(m, m.faces[i]);
        int above = 0, below = 0;
        for (const uint32_t v : m.faces[i]) {
            const double side = dot(n, m.face_normals ? m.normals[i] : m.normals[v]);
            above += side > 0;
            below += side < 0;
        }
        if (above != int(m.faces[i].size()) && below != int(m.faces[i].size())) continue;
        ++count.judged;
        count.agree += above > 0;
    }
    return count;
}

}  // namespace dozu::testing
