// The text lines of the mesh debugger: one line per quad index, seven lines
// per vertex ("----- vertex #j", a " [referenced]" mark when j is not beyond
// the largest index in use, then its normal and position).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mesh/mesh_view.h"

namespace dozu {

constexpr int kLinesPerVertex = 7;

// A number in the format "###.####": at most four decimals, no zero before
// the separator, no trailing zeros, no separator without decimals.
std::string format_number(float value);

// A snapshot of a mesh, listed line by line on demand.
class MeshListing {
public:
    MeshListing() = default;
    explicit MeshListing(const MeshView& view);

    size_t index_lines() const { return indices_.size(); }
    size_t vertex_lines() const { return kLinesPerVertex * (records_.size() / 6); }
    std::string index_line(size_t i) const;
    std::string vertex_line(size_t i) const;
    // The vertex line to jump to from an index line's text, or -1.
    static long long jump_target(const std::string& index_line_text);

private:
    std::vector<uint32_t> indices_;
    std::vector<float> records_;  // nx ny nz x y z per vertex
    long long largest_ = -1;
};

}  // namespace dozu
