#include "export_readback.h"

#include <iconv.h>
#include <tiny_gltf.h>
#include <zip.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <sstream>
#include <string_view>
#include <tuple>
#include <vector>

namespace dozu::fuzz {

namespace {

// Any two NaNs count as the same value.
bool same(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b)); }

// What a reader found, in the compact mesh's own layout.
struct Found {
    std::vector<float> positions, normals;
    std::vector<uint32_t> faces;  // quads or triangles, by format
};

std::string compare_floats(const char* what, const std::vector<float>& found, const std::vector<float>& want) {
    if (found.size() != want.size())
        return std::string(what) + ": " + std::to_string(found.size()) + " floats, not " +
               std::to_string(want.size());
    for (size_t i = 0; i < want.size(); ++i)
        if (!same(found[i], want[i])) {
            char text[120];
            std::snprintf(text, sizeof text, "%s: float %zu reads back as %a, not %a", what, i, double(found[i]),
                          double(want[i]));
            return text;
        }
    return "";
}

std::string compare(const Found& found, const ExpectedMesh& mesh, bool quads, bool normals = true) {
    std::string d = compare_floats("positions", found.positions, mesh.positions);
    if (d.empty() && normals) d = compare_floats("normals", found.normals, mesh.normals);
    if (d.empty() && found.faces != (quads ? mesh.quads : mesh.triangles)) d = "the faces differ";
    return d;
}

float read_f32(const char* p) {
    float f;
    std::memcpy(&f, p, 4);
    return f;
}

uint32_t read_u32(const char* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

std::string read_obj(const std::string& text, Found& found) {
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        const char* p = line.c_str();
        char* end = nullptr;
        if (line.rfind("v ", 0) == 0 || line.rfind("vn ", 0) == 0) {
            auto& to = line[1] == 'n' ? found.normals : found.positions;
            p += line[1] == 'n' ? 3 : 2;
            for (int i = 0; i < 3; ++i, p = end) {
                to.push_back(std::strtof(p, &end));
                if (end == p) return "OBJ line \"" + line + "\" does not hold three numbers";
            }
        } else if (line.rfind("f ", 0) == 0) {
            p += 2;
            for (int i = 0; i < 4; ++i) {
                const unsigned long a = std::strtoul(p, &end, 10);
                if (end == p || std::strncmp(end, "//", 2) != 0) return "OBJ face \"" + line + "\" unread";
                const unsigned long b = std::strtoul(end + 2, &end, 10);
                if (a != b || a == 0) return "OBJ face \"" + line + "\" names two vertices in one corner";
                found.faces.push_back(uint32_t(a - 1));
                p = end;
            }
            if (*p && *p != '\r') return "OBJ face \"" + line + "\" has more than four corners";
        }
    }
    return "";
}

std::string read_ply(const std::string& bytes, Found& found) {
    const size_t end = bytes.find("end_header\n");
    if (end == std::string::npos) return "PLY without end_header";
    const std::string header = bytes.substr(0, end);
    const std::string want_start = "ply\nformat binary_little_endian 1.0\n";
    if (header.rfind(want_start, 0) != 0) return "PLY header does not start as binary little-endian";
    size_t vertices = 0, faces = 0;
    const size_t v = header.find("element vertex "), f = header.find("element face ");
    if (v == std::string::npos || f == std::string::npos) return "PLY header without its elements";
    vertices = std::strtoull(header.c_str() + v + 15, nullptr, 10);
    faces = std::strtoull(header.c_str() + f + 13, nullptr, 10);
    if (header.find("property float x\nproperty float y\nproperty float z\nproperty float nx\nproperty float "
                    "ny\nproperty float nz\n") == std::string::npos ||
        header.find("property list uchar uint vertex_indices\n") == std::string::npos)
        return "PLY properties not as written";
    size_t at = end + 11;
    if (bytes.size() != at + vertices * 24 + faces * 17) return "PLY body of the wrong size";
    for (size_t i = 0; i < vertices; ++i, at += 24)
        for (int k = 0; k < 6; ++k)
            (k < 3 ? found.positions : found.normals).push_back(read_f32(&bytes[at + 4 * k]));
    for (size_t i = 0; i < faces; ++i, at += 17) {
        if (bytes[at] != 4) return "PLY face without four corners";
        for (int k = 0; k < 4; ++k) found.faces.push_back(read_u32(&bytes[at + 1 + 4 * k]));
    }
    return "";
}

// Facet corners stand for their vertices: the faces are checked by the
// corners' positions, and each facet normal must be of unit length.
std::string check_stl(const std::string& bytes, const ExpectedMesh& mesh) {
    const std::vector<uint32_t>& corners = mesh.triangles;
    const size_t count = corners.size() / 3;
    if (bytes.size() != 84 + 50 * count || read_u32(&bytes[80]) != count) return "STL of the wrong size";
    for (size_t t = 0; t < count; ++t) {
        const char* p = &bytes[84 + 50 * t];
        const double n[3] = {read_f32(p), read_f32(p + 4), read_f32(p + 8)};
        const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (!(std::fabs(length - 1) < 1e-5) && length != 0)
            return "STL facet " + std::to_string(t) + " has a normal of length " + std::to_string(length);
        for (size_t k = 0; k < 3; ++k)
            for (size_t i = 0; i < 3; ++i)
                if (!same(read_f32(p + 12 + 12 * k + 4 * i), mesh.positions[3 * corners[3 * t + k] + i]))
                    return "STL facet " + std::to_string(t) + " corner " + std::to_string(k) + " moved";
    }
    return "";
}

template <typename T>
std::string read_accessor(const tinygltf::Model& model, int index, int component, int type, std::vector<T>& out) {
    if (index < 0 || size_t(index) >= model.accessors.size()) return "glTF accessor missing";
    const tinygltf::Accessor& a = model.accessors[size_t(index)];
    const size_t width = type == TINYGLTF_TYPE_VEC3 ? 3 : 1;
    if (a.componentType != component || a.type != type || a.bufferView < 0) return "glTF accessor of another type";
    const tinygltf::BufferView& view = model.bufferViews[size_t(a.bufferView)];
    const std::vector<unsigned char>& buffer = model.buffers[size_t(view.buffer)].data;
    const size_t stride = view.byteStride ? view.byteStride : width * sizeof(T);
    const size_t begin = view.byteOffset + a.byteOffset;
    if (a.count && (begin + (a.count - 1) * stride + width * sizeof(T) > view.byteOffset + view.byteLength ||
                    view.byteOffset + view.byteLength > buffer.size()))
        return "glTF accessor beyond its buffer";
    for (size_t i = 0; i < a.count; ++i)
        for (size_t k = 0; k < width; ++k) {
            T x;
            std::memcpy(&x, buffer.data() + begin + i * stride + k * sizeof(T), sizeof x);
            out.push_back(x);
        }
    return "";
}

std::string check_gltf(const std::string& bytes, bool binary, const ExpectedMesh& mesh) {
    tinygltf::TinyGLTF loader;
    tinygltf::Model model;
    std::string err, warn;
    const bool ok =
        binary ? loader.LoadBinaryFromMemory(&model, &err, &warn,
                                             reinterpret_cast<const unsigned char*>(bytes.data()),
                                             unsigned(bytes.size()))
               : loader.LoadASCIIFromString(&model, &err, &warn, bytes.data(), unsigned(bytes.size()), "");
    if (!ok) return "glTF not read: " + err;
    if (model.scenes.size() != 1 || model.nodes.size() != 1) return "glTF without its one scene and node";
    if (mesh.triangles.empty()) return model.meshes.empty() ? "" : "glTF of an empty model holds a mesh";
    if (model.meshes.size() != 1 || model.meshes[0].primitives.size() != 1) return "glTF without its one mesh";
    const tinygltf::Primitive& p = model.meshes[0].primitives[0];
    if (p.mode != TINYGLTF_MODE_TRIANGLES || !p.attributes.count("POSITION") || !p.attributes.count("NORMAL"))
        return "glTF primitive not of triangles with positions and normals";
    Found found;
    const int f32 = TINYGLTF_COMPONENT_TYPE_FLOAT, vec3 = TINYGLTF_TYPE_VEC3;
    std::string d = read_accessor(model, p.attributes.at("POSITION"), f32, vec3, found.positions);
    if (d.empty()) d = read_accessor(model, p.attributes.at("NORMAL"), f32, vec3, found.normals);
    if (d.empty())
        d = read_accessor(model, p.indices, TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT, TINYGLTF_TYPE_SCALAR,
                          found.faces);
    if (d.empty()) d = compare(found, mesh, false);
    if (!d.empty()) return d;
    // The bounds that readers trust must be those of the positions.
    const tinygltf::Accessor& a = model.accessors[size_t(p.attributes.at("POSITION"))];
    if (a.minValues.size() != 3 || a.maxValues.size() != 3) return "glTF positions without their bounds";
    for (size_t i = 0; i < 3; ++i) {
        double low = std::numeric_limits<double>::infinity(), high = -low;
        for (size_t v = i; v < found.positions.size(); v += 3) {
            low = std::min(low, double(found.positions[v]));
            high = std::max(high, double(found.positions[v]));
        }
        if (a.minValues[i] != low || a.maxValues[i] != high) return "glTF position bounds are not the positions'";
    }
    return "";
}

// XML text: UTF-8 (as glibc's iconv decodes it) without control characters
// other than tab, line feed and carriage return.
bool xml_text(std::string text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r') return false;
    const iconv_t cd = iconv_open("UTF-32LE", "UTF-8");
    if (cd == iconv_t(-1)) return false;
    std::vector<char> out(4 * text.size() + 4);
    char* in = text.data();
    char* to = out.data();
    size_t in_left = text.size(), out_left = out.size();
    const bool ok = iconv(cd, &in, &in_left, &to, &out_left) != size_t(-1) && in_left == 0;
    iconv_close(cd);
    return ok;
}

struct ZipClose {
    void operator()(zip_t* z) const { zip_close(z); }
};

// Reads the attribute's number into the faces (integer) or the positions.
std::string attribute_number(std::string_view element, const char* name, bool integer, Found& found) {
    const std::string key = std::string(" ") + name + "=\"";
    const size_t at = element.find(key);
    if (at == std::string_view::npos) return std::string("3MF element without ") + name;
    const std::string text(element.substr(at + key.size(), element.find('"', at + key.size()) - at - key.size()));
    char* end = nullptr;
    if (integer) {
        found.faces.push_back(uint32_t(std::strtoul(text.c_str(), &end, 10)));
    } else {
        found.positions.push_back(std::strtof(text.c_str(), &end));
    }
    if (text.empty() || *end) return "3MF " + std::string(name) + "=\"" + text + "\" is not a number";
    return "";
}

std::string check_3mf(const std::string& bytes, const ExpectedMesh& mesh) {
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    if (!source) return "3MF source";
    std::unique_ptr<zip_t, ZipClose> zip(zip_open_from_source(source, ZIP_RDONLY | ZIP_CHECKCONS, &error));
    if (!zip) {
        zip_source_free(source);
        const std::string why = zip_error_strerror(&error);
        zip_error_fini(&error);
        return "3MF package not read: " + why;
    }
    zip_error_fini(&error);
    for (const char* part : {"[Content_Types].xml", "_rels/.rels"})
        if (zip_name_locate(zip.get(), part, 0) < 0) return std::string("3MF package without ") + part;
    zip_stat_t st;
    zip_file_t* file = nullptr;
    if (zip_stat(zip.get(), "3D/3dmodel.model", 0, &st) != 0 ||
        !(file = zip_fopen(zip.get(), "3D/3dmodel.model", 0)))
        return "3MF package without its model part";
    std::string xml(st.size, '\0');
    const bool read = zip_fread(file, xml.data(), st.size) == zip_int64_t(st.size);
    zip_fclose(file);
    if (!read) return "3MF model part not read";
    if (!xml_text(xml)) return "3MF model part is not UTF-8 text";

    Found found;
    for (const auto& [tag, names, integer] : {std::tuple{"<vertex ", std::array{"x", "y", "z"}, false},
                                              std::tuple{"<triangle ", std::array{"v1", "v2", "v3"}, true}})
        for (size_t at = 0; (at = xml.find(tag, at)) != std::string::npos; ++at) {
            const std::string_view element(xml.data() + at, xml.find("/>", at) - at);
            for (const char* name : names)
                if (std::string d = attribute_number(element, name, integer, found); !d.empty()) return d;
        }
    if (mesh.triangles.empty() && xml.find("<object") != std::string::npos)
        return "3MF of an empty model holds an object";
    return compare(found, mesh, false, false);
}

}  // namespace

ExpectedMesh expected_mesh(const CompactMesh& mesh, const ExportOptions& options) {
    ExpectedMesh e;
    mesh.for_each_vertex([&](uint32_t v) {
        for (const float x : position(mesh, v, options)) e.positions.push_back(x);
        for (const float x : mesh.normal(v)) e.normals.push_back(x);
    });
    mesh.for_each_quad([&](const uint32_t* n, const uint32_t*) { e.quads.insert(e.quads.end(), n, n + 4); });
    mesh.for_each_triangle(
        [&](const uint32_t* n, const uint32_t*) { e.triangles.insert(e.triangles.end(), n, n + 3); });
    return e;
}

std::string readback_difference(MeshFormat format, const std::string& bytes, const ExpectedMesh& mesh) {
    Found found;
    std::string d;
    switch (format) {
        case MeshFormat::obj: d = read_obj(bytes, found); return d.empty() ? compare(found, mesh, true) : d;
        case MeshFormat::ply: d = read_ply(bytes, found); return d.empty() ? compare(found, mesh, true) : d;
        case MeshFormat::stl: return check_stl(bytes, mesh);
        case MeshFormat::glb: return check_gltf(bytes, true, mesh);
        case MeshFormat::gltf: return check_gltf(bytes, false, mesh);
        case MeshFormat::three_mf: return check_3mf(bytes, mesh);
    }
    return "unknown format";
}

}  // namespace dozu::fuzz
