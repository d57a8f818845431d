// Blocks made on helper threads and written in order, and the OBJ writer
// that uses them, against the PLY writer that does not.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

#include "editor/block_writer.h"
#include "editor/byte_sink.h"
#include "editor/mesh_export.h"
#include "mesh/quad_mesh.h"

using namespace dozu;

namespace {

std::string block_text(size_t b) { return "block " + std::to_string(b) + std::string(b % 7, '.') + "\n"; }

class FailingSink final : public ByteSink {
public:
    using ByteSink::write;
    void write(const void*, size_t) override {
        if (++writes == 100) throw std::runtime_error("disk full");
    }
    int writes = 0;
};

}  // namespace

TEST(BlockWriter, BlocksArriveInOrderAndFailuresEndTheWriting) {
    const auto make = [](size_t b, char* out) {
        const std::string text = block_text(b);
        std::memcpy(out, text.data(), text.size());
        return text.size();
    };
    for (const size_t count : {0, 1, 3, 1000}) {
        StringSink sink;
        write_blocks(sink, count, 64, make);
        std::string expected;
        for (size_t b = 0; b < count; ++b) expected += block_text(b);
        EXPECT_EQ(sink.bytes, expected) << count;
    }
    StringSink sink;
    EXPECT_THROW(write_blocks(sink, 1000, 64,
                              [&](size_t b, char* out) -> size_t {
                                  if (b == 500) throw std::bad_alloc();
                                  return make(b, out);
                              }),
                 std::bad_alloc);
    FailingSink failing;
    EXPECT_THROW(write_blocks(failing, 1000, 64, make), std::runtime_error);
}

TEST(BlockWriter, ObjOfManyBlocksHoldsWhatPlyHolds) {
    // A strip of 30,000 quads, every tenth naming a missing vertex.
    QuadMesh m;
    for (uint32_t i = 0; i <= 30000; ++i)
        for (const float y : {0.0f, 1.0f}) {
            const float n[3] = {0, std::sin(float(i)), 1}, p[3] = {float(i) / 7, y, std::cos(float(i))};
            m.add_vertex(n, p);
        }
    for (uint32_t i = 0; i < 30000; ++i) m.add_quad(2 * i, 2 * i + 2, i % 10 ? 2 * i + 3 : 99999999, 2 * i + 1);
    const CompactMesh c = compact(output_mesh_view(m));
    StringSink obj, ply;
    write_obj(obj, c, ExportOptions());
    write_ply(ply, c, ExportOptions());

    const size_t body = ply.bytes.find("end_header\n") + 11;
    const char* at = ply.bytes.data() + body;
    auto f32 = [&] {
        float f;
        std::memcpy(&f, at, 4);
        at += 4;
        return f;
    };
    std::vector<float> positions, normals;
    for (uint32_t v = 0; v < c.vertex_count(); ++v) {
        for (int i = 0; i < 3; ++i) positions.push_back(f32());
        for (int i = 0; i < 3; ++i) normals.push_back(f32());
    }
    std::vector<uint32_t> faces;
    for (uint64_t q = 0; q < c.quad_count(); ++q) {
        ++at;
        for (int k = 0; k < 4; ++k) {
            uint32_t i;
            std::memcpy(&i, at, 4);
            at += 4;
            faces.push_back(i + 1);
        }
    }
    ASSERT_GT(c.vertex_count(), 40000u);

    std::vector<float> obj_positions, obj_normals;
    std::vector<uint32_t> obj_faces;
    for (const char* p = obj.bytes.c_str(); *p;) {
        const char* end = std::strchr(p, '\n');
        const std::string line(p, end);
        float x, y, z;
        uint32_t a[8];
        if (std::sscanf(line.c_str(), "v %f %f %f", &x, &y, &z) == 3)
            obj_positions.insert(obj_positions.end(), {x, y, z});
        if (std::sscanf(line.c_str(), "vn %f %f %f", &x, &y, &z) == 3)
            obj_normals.insert(obj_normals.end(), {x, y, z});
        if (std::sscanf(line.c_str(), "f %u//%u %u//%u %u//%u %u//%u", a, a + 1, a + 2, a + 3, a + 4, a + 5, a + 6,
                        a + 7) == 8)
            obj_faces.insert(obj_faces.end(), {a[0], a[2], a[4], a[6]});
        p = end + 1;
    }
    EXPECT_EQ(obj_positions, positions);
    EXPECT_EQ(obj_normals, normals);
    EXPECT_EQ(obj_faces, faces);
}
