// glTF 2.0: the triangles with unit normals in one buffer, binary (.glb) or
// as a data URI inside the JSON (.gltf). The JSON is small and written
// here; the buffer is streamed after it, so no part of the file is held.
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

#include "editor/byte_sink.h"
#include "editor/mesh_export.h"
#include "editor/out_buffer.h"
#include "editor/text_escape.h"

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
        static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
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

std::string number(uint64_t v) { return std::to_string(v); }

// The shortest text of a float that reads back as the same double: the
// accessor bounds must equal the values in the buffer exactly.
std::string bound(float v) {
    char text[32];
    return std::string(text, size_t(std::to_chars(text, text + sizeof text, double(v)).ptr - text));
}

}  // namespace

void write_gltf(ByteSink& sink, const CompactMesh& mesh, const ExportOptions& options, bool binary) {
    const uint64_t vertices = mesh.vertex_count(), indices = 3 * mesh.triangle_count();
    const uint64_t vector_bytes = 12 * vertices, index_bytes = 4 * indices;
    const uint64_t buffer_bytes = 2 * vector_bytes + index_bytes;
    const std::string name = json_string(options.name);

    std::string json = R"({"asset":{"version":"2.0","generator":"dozu"},"scene":0,"scenes":[{"nodes":[0]}],)";
    // An empty model is a scene with a node and nothing else: an accessor
    // may not be empty.
    if (indices == 0) {
        json += R"("nodes":[{"name":)" + name + "}]}";
    } else {
        float low[3], high[3];
        for (int i = 0; i < 3; ++i) low[i] = std::numeric_limits<float>::infinity(), high[i] = -low[i];
        mesh.for_each_vertex([&](uint32_t v) {
            const std::array<float, 3> p = position(mesh, v, options);
            for (size_t i = 0; i < 3; ++i) low[i] = std::min(low[i], p[i]), high[i] = std::max(high[i], p[i]);
        });
        auto vec3 = [](const float* v) {
            std::string text(1, '[');
            for (int i = 0; i < 3; ++i) (text += bound(v[i])) += i < 2 ? ',' : ']';
            return text;
        };
        json += R"("nodes":[{"name":)" + name + R"(,"mesh":0}],)";
        json += R"("meshes":[{"name":)" + name +
                R"(,"primitives":[{"attributes":{"POSITION":0,"NORMAL":1},"indices":2,"mode":4,"material":0}]}],)";
        json += R"("materials":[{"name":"default"}],)";
        json += R"("accessors":[{"bufferView":0,"componentType":5126,"count":)" + number(vertices) +
                R"(,"type":"VEC3","min":)" + vec3(low) + R"(,"max":)" + vec3(high) + "},";
        json += R"({"bufferView":1,"componentType":5126,"count":)" + number(vertices) + R"(,"type":"VEC3"},)";
        json += R"({"bufferView":2,"componentType":5125,"count":)" + number(indices) + R"(,"type":"SCALAR"}],)";
        json += R"("bufferViews":[{"buffer":0,"byteOffset":0,"byteLength":)" + number(vector_bytes) +
                R"(,"target":34962},)";
        json += R"({"buffer":0,"byteOffset":)" + number(vector_bytes) + R"(,"byteLength":)" +
                number(vector_bytes) + R"(,"target":34962},)";
        json += R"({"buffer":0,"byteOffset":)" + number(2 * vector_bytes) + R"(,"byteLength":)" +
                number(index_bytes) + R"(,"target":34963}],)";
        json += R"("buffers":[{"byteLength":)" + number(buffer_bytes);
        json += binary ? "}]}" : R"(,"uri":"data:application/octet-stream;base64,)";
    }

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
        out.put(json);
        if (indices != 0) {
            Base64Sink base64(out);
            put_buffer(base64);
            base64.finish();
            out.put("\"}]}");
        }
        out.put('\n');
        out.flush();
        return;
    }

    // GLB: a header, the JSON chunk padded with blanks, the binary chunk
    // (whole floats and indices: no padding).
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
