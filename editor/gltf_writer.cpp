// glTF 2.0 through tinygltf: the triangles with unit normals in one buffer,
// binary (.glb) or as a data URI inside the JSON (.gltf).
#include <tiny_gltf.h>

#include <cstring>
#include <limits>
#include <ostream>
#include <stdexcept>
#include <streambuf>

#include "editor/byte_sink.h"
#include "editor/mesh_export.h"

namespace dozu {

namespace {

// A stream whose bytes go to a sink; the sink's own errors pass through.
class SinkBuffer final : public std::streambuf {
public:
    explicit SinkBuffer(ByteSink& sink) : sink_(sink) {}

protected:
    int_type overflow(int_type c) override {
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            const char ch = traits_type::to_char_type(c);
            sink_.write(&ch, 1);
        }
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        sink_.write(s, size_t(n));
        return n;
    }

private:
    ByteSink& sink_;
};

template <typename T>
size_t append(std::vector<unsigned char>& buffer, const T* data, size_t count) {
    const size_t offset = buffer.size();
    buffer.resize(offset + count * sizeof(T));
    if (count) std::memcpy(buffer.data() + offset, data, count * sizeof(T));
    return offset;
}

int add_view(tinygltf::Model& model, size_t offset, size_t length, int target) {
    tinygltf::BufferView view;
    view.buffer = 0;
    view.byteOffset = offset;
    view.byteLength = length;
    view.target = target;
    model.bufferViews.push_back(view);
    return int(model.bufferViews.size() - 1);
}

int add_accessor(tinygltf::Model& model, int view, int component, int type, size_t count) {
    tinygltf::Accessor accessor;
    accessor.bufferView = view;
    accessor.byteOffset = 0;
    accessor.componentType = component;
    accessor.type = type;
    accessor.count = count;
    model.accessors.push_back(accessor);
    return int(model.accessors.size() - 1);
}

}  // namespace

void write_gltf(ByteSink& sink, const CompactMesh& mesh, const ExportOptions& options, bool binary) {
    const std::vector<uint32_t> indices = triangles(mesh);
    tinygltf::Model model;
    model.asset.version = "2.0";
    model.asset.generator = "dozu";
    tinygltf::Node node;
    // tinygltf writes a node without a single field as null, which no
    // reader takes: a model without a name (and without a mesh) would be
    // one.
    const std::string name = printable_utf8(options.name.empty() ? ExportOptions().name : options.name);
    node.name = name;

    // An empty model is a scene with a node and nothing else: an accessor
    // may not be empty.
    if (!indices.empty()) {
        const size_t count = mesh.positions.size() / 3;
        std::vector<float> positions(3 * count);
        std::vector<double> low(3, std::numeric_limits<double>::infinity()), high(3, -low[0]);
        for (size_t v = 0; v < count; ++v) {
            const std::array<float, 3> p = position(mesh, v, options);
            for (size_t i = 0; i < 3; ++i) {
                positions[3 * v + i] = p[i];
                low[i] = std::min(low[i], double(p[i]));
                high[i] = std::max(high[i], double(p[i]));
            }
        }
        tinygltf::Buffer buffer;
        const size_t at_positions = append(buffer.data, positions.data(), positions.size());
        const size_t at_normals = append(buffer.data, mesh.normals.data(), mesh.normals.size());
        const size_t at_indices = append(buffer.data, indices.data(), indices.size());
        if (binary && buffer.data.size() > std::numeric_limits<uint32_t>::max() - 4096)
            throw std::length_error("the mesh is too large for a binary glTF file (4 GiB)");
        model.buffers.push_back(std::move(buffer));

        const int vec3 = TINYGLTF_TYPE_VEC3, f32 = TINYGLTF_COMPONENT_TYPE_FLOAT;
        tinygltf::Primitive primitive;
        primitive.mode = TINYGLTF_MODE_TRIANGLES;
        primitive.attributes["POSITION"] = add_accessor(
            model, add_view(model, at_positions, at_normals - at_positions, TINYGLTF_TARGET_ARRAY_BUFFER), f32,
            vec3, count);
        model.accessors.back().minValues = low;
        model.accessors.back().maxValues = high;
        primitive.attributes["NORMAL"] =
            add_accessor(model, add_view(model, at_normals, at_indices - at_normals, TINYGLTF_TARGET_ARRAY_BUFFER),
                         f32, vec3, count);
        primitive.indices = add_accessor(
            model,
            add_view(model, at_indices, indices.size() * sizeof(uint32_t), TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER),
            TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT, TINYGLTF_TYPE_SCALAR, indices.size());

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

    SinkBuffer buffer(sink);
    std::ostream stream(&buffer);
    stream.exceptions(std::ios::badbit);
    tinygltf::TinyGLTF gltf;
    if (!gltf.WriteGltfSceneToStream(&model, stream, !binary, binary))
        throw std::runtime_error("the glTF writer failed");
}

}  // namespace dozu
