// Reads a binary STL back for the tests: its facets, and whether they form
// a closed surface.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace dozu::testing {

struct StlFacet {
    std::array<float, 3> normal;
    std::array<std::array<float, 3>, 3> corners;
    uint16_t attributes;
};

// Empty when the size does not match the count in the header.
inline std::vector<StlFacet> read_stl(const std::string& bytes) {
    if (bytes.size() < 84) return {};
    uint32_t count;
    std::memcpy(&count, bytes.data() + 80, 4);
    if (bytes.size() != 84 + size_t(count) * 50) return {};
    std::vector<StlFacet> facets(count);
    for (size_t t = 0; t < count; ++t) {
        const char* p = bytes.data() + 84 + 50 * t;
        std::memcpy(facets[t].normal.data(), p, 12);
        for (size_t k = 0; k < 3; ++k) std::memcpy(facets[t].corners[k].data(), p + 12 + 12 * k, 12);
        std::memcpy(&facets[t].attributes, p + 48, 2);
    }
    return facets;
}

// Every edge (by corner positions) in exactly two triangles, once in each
// direction.
inline bool watertight(const std::vector<StlFacet>& facets) {
    std::map<std::pair<std::array<float, 3>, std::array<float, 3>>, int> directed;
    for (const StlFacet& f : facets)
        for (size_t k = 0; k < 3; ++k) ++directed[{f.corners[k], f.corners[(k + 1) % 3]}];
    for (const auto& [e, count] : directed)
        if (count != 1 || !directed.count({e.second, e.first})) return false;
    return !facets.empty();
}

// Positive for a closed surface whose facets run counter-clockwise seen
// from outside.
inline double signed_volume(const std::vector<StlFacet>& facets) {
    double volume = 0;
    for (const StlFacet& f : facets) {
        const auto& a = f.corners[0];
        const auto& b = f.corners[1];
        const auto& c = f.corners[2];
        volume += (double(a[0]) * (double(b[1]) * c[2] - double(b[2]) * c[1]) -
                   double(a[1]) * (double(b[0]) * c[2] - double(b[2]) * c[0]) +
                   double(a[2]) * (double(b[0]) * c[1] - double(b[1]) * c[0])) /
                  6;
    }
    return volume;
}

}  // namespace dozu::testing
