#include "interpreter/program_lines.h"

#include <algorithm>

namespace dozu {

ProgramTooLarge::ProgramTooLarge(uint64_t bytes)
    : std::runtime_error("program too large: its lines would hold " + std::to_string(bytes) +
                         " bytes, the limit is 64 MiB") {}

void check_line_text(uint64_t bytes) {
    if (bytes > kMaxLineText) throw ProgramTooLarge(bytes);
}

std::vector<std::string> LineView::strings() const {
    std::vector<std::string> out;
    out.reserve(count_);
    for (size_t i = 0; i < count_; ++i) out.emplace_back((*this)[i]);
    return out;
}

void ProgramLines::insert(size_t at, std::string_view line) {
    check_line_text(text_.size() + uint64_t(line.size()));
    at = std::min(at, ends_.size());
    // Room for the new end first: after the text has grown nothing may fail.
    if (ends_.size() == ends_.capacity()) ends_.reserve(std::max<size_t>(16, 2 * ends_.size()));
    const uint32_t begin = at ? ends_[at - 1] : 0;
    text_.insert(begin, line);
    const uint32_t n = uint32_t(line.size());
    ends_.insert(ends_.begin() + long(at), begin + n);
    for (size_t i = at + 1; i < ends_.size(); ++i) ends_[i] += n;
}

void ProgramLines::erase(size_t at) {
    if (at >= ends_.size()) return;
    const uint32_t begin = at ? ends_[at - 1] : 0;
    const uint32_t n = ends_[at] - begin;
    text_.erase(begin, n);
    ends_.erase(ends_.begin() + long(at));
    for (size_t i = at; i < ends_.size(); ++i) ends_[i] -= n;
}

void ProgramLines::clear() {
    text_.clear();
    ends_.clear();
}

void ProgramLines::reserve(size_t lines, uint64_t text) {
    check_line_text(text);
    ends_.reserve(lines);
    text_.reserve(size_t(text));
}

}  // namespace dozu
