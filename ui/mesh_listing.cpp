#include "ui/mesh_listing.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace dozu {

std::string format_number(float value) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    const long double scaled = std::round(static_cast<long double>(value) * 10000.0L);  // half away from 0
    if (scaled == 0) return "";
    const bool negative = scaled < 0;
    const long double magnitude = std::fabs(scaled);
    std::string text;
    if (magnitude >= 1e18L) {
        // Beyond 64-bit integers no decimals are left anyway.
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.0Lf", std::fabs(static_cast<long double>(value)));
        text = buf;
    } else {
        const auto units = static_cast<unsigned long long>(magnitude);
        const unsigned long long whole = units / 10000, fraction = units % 10000;
        if (whole > 0) text = std::to_string(whole);
        if (fraction > 0) {
            std::string digits = std::to_string(fraction + 10000).substr(1);
            while (digits.back() == '0') digits.pop_back();
            text += "." + digits;
        }
    }
    return negative ? "-" + text : text;
}

MeshListing::MeshListing(const MeshView& view) : indices_(view.indices, view.indices + view.index_count) {
    for (uint32_t v : indices_)
        if (v > largest_) largest_ = v;
    records_.reserve(size_t(view.vertex_count) * 6);
    for (uint32_t v = 0; v < view.vertex_count; ++v) {
        const float* r = view.records + size_t(v) * size_t(view.stride);
        records_.insert(records_.end(), r + view.normal, r + view.normal + 3);
        records_.insert(records_.end(), r + view.position, r + view.position + 3);
    }
}

std::string MeshListing::index_line(size_t i) const { return std::to_string(indices_[i]); }

std::string MeshListing::vertex_line(size_t i) const {
    static constexpr const char* kLabels[6] = {"nx: ", "ny: ", "nz: ", " x: ", " y: ", " z: "};
    const size_t j = i / kLinesPerVertex, k = i % kLinesPerVertex;
    if (k == 0)
        return "----- vertex #" + std::to_string(j) +
               (static_cast<long long>(j) <= largest_ ? " [referenced]" : "");
    return kLabels[k - 1] + format_number(records_[6 * j + (k - 1)]);
}

long long MeshListing::jump_target(const std::string& text) {
    if (text.empty()) return -1;
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (*end != '\0' || v < 0 || v > 0xFFFFFFFFLL) return -1;
    return v * kLinesPerVertex;
}

}  // namespace dozu
