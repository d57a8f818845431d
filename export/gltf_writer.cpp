// glTF 2.0: the triangles with unit normals in one buffer, binary (.glb) or
// as a data URI inside the JSON (.gltf). tinygltf makes the JSON document;
// the buffer, the bulk of the file, is streamed into its place, so that no
// copy of the mesh is held.
#include "export/gltf_writer.h"

#include <tiny_gltf.h>

#include <cctype>
#include <cmath>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "io/byte_sink.h"
#include "io/out_buffer.h"
#include "io/text_escape.h"

namespace dozu {

namespace {

constexpr uint64_t kMaxGlb = std::numeric_limits<uint32_t>::max();

// Passes bytes on as base64, three at a time; finish writes the tail.
class Base64Sink final : public ByteSink {
public:
    explicit Base64Sink(OutBuffer& out) : out_(out) {}
    using ByteSink::write;
    void write(const void* data, size_t size) override {
        const auto* p = static_cast<const unsigned char*>(data);
        for (size_t i = 0; i < size; ++i) {
            held_[held_count_++] = p[i];
            if (held_count_ == 3) put_group(3);
        }
    }
    void finish() {
        if (held_count_) put_group(held_count_);
    }

private:
    void put_group(int n) {
        static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (int i = n; i < 3; ++i) held_[i] = 0;
        const uint32_t v = uint32_t(held_[0]) << 16 | uint32_t(held_[1]) << 8 | held_[2];
        char text[4];
        for (int i = 0; i < 4; ++i) text[i] = i <= n ? kDigits[(v >> (18 - 6 * i)) & 63] : '=';
        out_.put(std::string_view(text, 4));
        held_count_ = 0;
    }

    OutBuffer& out_;
    unsigned char held_[3] = {};
    int held_count_ = 0;
};

int add_view(tinygltf::Model& model, uint64_t offset, uint64_t length, int target) {
    tinygltf::BufferView view;
    view.buffer = 0;
    view.byteOffset = size_t(offset);
    view.byteLength = size_t(length);
    view.target = target;
    model.bufferViews.push_back(view);
    return int(model.bufferViews.size() - 1);
}

int add_accessor(tinygltf::Model& model, int view, int component, int type, uint64_t count) {
    tinygltf::Accessor accessor;
    accessor.bufferView = view;
    accessor.componentType = component;
    accessor.type = type;
    accessor.count = size_t(count);
    model.accessors.push_back(accessor);
    return int(model.accessors.size() - 1);
}

// The document that tinygltf makes of a model whose one buffer is declared
// empty, split where the buffer's entry stands, so that the real length and
// the streamed data can take its place: in a .gltf the data goes between
// head and tail, a .glb declares the length alone.
struct Document {
    std::string head, tail;
};

Document gltf_document(const tinygltf::Model& model, uint64_t buffer_bytes, bool binary) {
    std::ostringstream text;
    tinygltf::TinyGLTF gltf;
    if (!gltf.WriteGltfSceneToStream(&model, text, false, false))
        throw std::runtime_error("the glTF writer failed");
    std::string json = text.str();
    while (!json.empty() && std::isspace(static_cast<unsigned char>(json.back()))) json.pop_back();
    if (model.buffers.empty()) return {json, {}};
    // A string in the document has its quotes escaped, so this text can
    // stand nowhere else than as the key of the buffers and its entry.
    const std::string empty_entry =
        R"("buffers":[{"byteLength":0,"uri":"data:application/octet-stream;base64,"}])";
    const size_t at = json.find(empty_entry);
    if (at == std::string::npos || json.find(empty_entry, at + 1) != std::string::npos)
        throw std::logic_error("the glTF document has no single buffer entry");
    const std::string length = R"("buffers":[{"byteLength":)" + std::to_string(buffer_bytes);
    Document d;
    d.head = json.substr(0, at) + length + (binary ? "" : R"(,"uri":"data:application/octet-stream;base64,)");
    d.tail = (binary ? "}]" : "\"}]") + json.substr(at + empty_entry.size());
    if (binary) d.head += d.tail, d.tail.clear();
    return d;
}

}  // namespace

void write_gltf(ByteSink& sink, const CompactMesh& mesh, const ExportOptions& options, bool binary) {
    const uint64_t vertices = mesh.vertex_count(), indices = 3 * mesh.triangle_count();
    const uint64_t vector_bytes = 12 * vertices, index_bytes = 4 * indices;
    const uint64_t buffer_bytes = 2 * vector_bytes + index_bytes;
    const std::string name = valid_utf8(options.name);

    tinygltf::Model model;
    model.asset.version = "2.0";
    model.asset.generator = "dozu";
    tinygltf::Node node;
    // tinygltf writes a node without a single field as null, which no
    // reader takes: a model without a name (and without a mesh) would be one.
    node.name = name.empty() ? ExportOptions().name : name;
    // An empty model is a scene with a node and nothing else: an accessor
    // may not be empty.
    if (indices != 0) {
        std::vector<double> low(3, std::numeric_limits<double>::infinity()), high(3, -low[0]);
        mesh.for_each_vertex([&](uint32_t v) {
            const std::array<float, 3> p = position(mesh, v, options);
            for (size_t i = 0; i < 3; ++i)
                low[i] = std::min(low[i], double(p[i])), high[i] = std::max(high[i], double(p[i]));
        });
        model.buffers.emplace_back();
        const int vec3 = TINYGLTF_TYPE_VEC3, f32 = TINYGLTF_COMPONENT_TYPE_FLOAT;
        tinygltf::Primitive primitive;
        primitive.mode = TINYGLTF_MODE_TRIANGLES;
        primitive.attributes["POSITION"] = add_accessor(
            model, add_view(model, 0, vector_bytes, TINYGLTF_TARGET_ARRAY_BUFFER), f32, vec3, vertices);
        model.accessors.back().minValues = low;
        model.accessors.back().maxValues = high;
        primitive.attributes["NORMAL"] = add_accessor(
            model, add_view(model, vector_bytes, vector_bytes, TINYGLTF_TARGET_ARRAY_BUFFER), f32, vec3, vertices);
        primitive.indices = add_accessor(
            model, add_view(model, 2 * vector_bytes, index_bytes, TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER),
            TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT, TINYGLTF_TYPE_SCALAR, indices);
        tinygltf::Material material;
        material.name = "default";
        model.materials.push_back(material);
        primitive.material = 0;
        tinygltf::Mesh gltf_mesh;
        gltf_mesh.name = name;
        gltf_mesh.primitives.push_back(primitive);
        model.meshes.push_back(gltf_mesh);
        node.mesh = 0;
    }
    model.nodes.push_back(node);
    tinygltf::Scene scene;
    scene.nodes.push_back(0);
    model.scenes.push_back(scene);
    model.defaultScene = 0;
    Document document = gltf_document(model, buffer_bytes, binary);

    OutBuffer out(sink);
    // The buffer: positions, normals, then the triangles' corners.
    auto put_buffer = [&](ByteSink& to) {
        OutBuffer data(to);
        mesh.for_each_vertex([&](uint32_t v) {
            for (const float x : position(mesh, v, options)) data.put_f32(x);
        });
        mesh.for_each_vertex([&](uint32_t v) {
            for (const float x : mesh.normal(v)) data.put_f32(x);
        });
        mesh.for_each_triangle([&](const uint32_t* n, const uint32_t*) {
            for (int k = 0; k < 3; ++k) data.put_u32(n[k]);
        });
        data.flush();
    };
    if (!binary) {
        out.put(document.head);
        if (indices != 0) {
            Base64Sink base64(out);
            put_buffer(base64);
            base64.finish();
            out.put(document.tail);
        }
        out.put('\n');
        out.flush();
        return;
    }

    // GLB: a header, the JSON chunk padded with blanks, the binary chunk
    // (whole floats and indices: no padding).
    std::string& json = document.head;
    while (json.size() % 4) json += ' ';
    const uint64_t total = 12 + 8 + json.size() + (indices ? 8 + buffer_bytes : 0);
    if (total > kMaxGlb) throw std::length_error("the mesh is too large for a binary glTF file (4 GiB)");
    out.put("glTF");
    out.put_u32(2);
    out.put_u32(uint32_t(total));
    out.put_u32(uint32_t(json.size()));
    out.put("JSON");
    out.put(json);
    if (indices != 0) {
        out.put_u32(uint32_t(buffer_bytes));
        out.put("BIN");
        out.put('\0');
        out.flush();
        put_buffer(sink);
    }
    out.flush();
}

}  // namespace dozu
