// The output mesh: eight floats per homogeneous vertex record and four
// indices per quad. Records are added in accumulation form
// (nx·w, ny·w, nz·w, w, x·w, y·w, z·w, w) and divided by w once, in place,
// before the first draw (display form: normal in floats 0-2, position in 3-5).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace dozu {

// An allocator whose resize leaves new elements uninitialised, for arrays
// that are written before they are read.
template <typename T>
struct UninitializedAllocator : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = UninitializedAllocator<U>;
    };
    UninitializedAllocator() = default;
    template <typename U>
    UninitializedAllocator(const UninitializedAllocator<U>&) noexcept {}
    template <typename U, typename... Args>
    void construct(U* p, Args&&... args) {
        if constexpr (sizeof...(Args) == 0)
            ::new (static_cast<void*>(p)) U;
        else
            ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

using FloatArray = std::vector<float, UninitializedAllocator<float>>;

class QuadMesh {
public:
    static constexpr int kRecordFloats = 8;

    QuadMesh() = default;
    // A copy is always in accumulation form, whatever the source's form.
    QuadMesh(const QuadMesh& other);
    QuadMesh& operator=(const QuadMesh& other);
    QuadMesh(QuadMesh&&) noexcept = default;
    QuadMesh& operator=(QuadMesh&&) noexcept = default;

    int add_vertex(const float normal[3], const float position[3]);
    void add_quad(uint32_t a, uint32_t b, uint32_t c, uint32_t d);

    uint32_t vertex_count() const { return uint32_t(vertices.size() / kRecordFloats); }
    const float* vertex_data() const { return vertices.data(); }
    float* vertex_data() { return vertices.data(); }
    uint32_t index_count() const { return uint32_t(indices.size()); }
    const uint32_t* index_data() const { return indices.data(); }

    // Divides every record by its weight, once; later calls do nothing.
    void to_display_form();
    // to_display_form, then one interleaved-array draw of all quads.
    // Defined only in GL-linked targets.
    void draw();

    bool display_ready = false;
    FloatArray vertices;
    std::vector<uint32_t> indices;
};

}  // namespace dozu
