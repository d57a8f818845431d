#include "interpreter/program_lines.h"

#include <algorithm>
#include <cstring>

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

void ProgramLines::insert_rows(const std::vector<int>& rows, LineView lines) {
    uint64_t added = 0;
    for (size_t i = 0; i < lines.size(); ++i) added += lines[i].size();
    check_line_text(text_.size() + added);
    // Built aside: a failed allocation leaves the lines as they were.
    std::string text;
    text.reserve(size_t(text_.size() + added));
    std::vector<uint32_t> ends;
    ends.reserve(ends_.size() + lines.size());
    size_t old = 0;
    // The next `count` old lines, in one copy.
    const auto copy_old = [&](size_t count) {
        count = std::min(count, ends_.size() - old);
        if (count == 0) return;
        const uint32_t begin = old ? ends_[old - 1] : 0;
        const uint32_t shift = uint32_t(text.size()) - begin;
        text.append(text_, begin, ends_[old + count - 1] - begin);
        for (size_t i = old; i < old + count; ++i) ends.push_back(ends_[i] + shift);
        old += count;
    };
    for (size_t i = 0; i < lines.size(); ++i) {
        copy_old(size_t(rows[i]) - std::min(size_t(rows[i]), old + i));
        text.append(lines[i]);
        ends.push_back(uint32_t(text.size()));
    }
    copy_old(ends_.size() - old);
    text_.swap(text);
    ends_.swap(ends);
}

void ProgramLines::erase_rows(const std::vector<int>& rows) noexcept {
    // The kept lines between two erased ones move down in one piece.
    uint32_t removed = 0;  // text bytes erased so far
    for (size_t i = 0; i < rows.size(); ++i) {
        const size_t row = size_t(rows[i]);
        const uint32_t begin = row ? ends_[row - 1] : 0;
        removed += ends_[row] - begin;
        const size_t next = i + 1 < rows.size() ? size_t(rows[i + 1]) : ends_.size();
        if (next == row + 1) continue;
        const uint32_t from = ends_[row], to = ends_[next - 1];
        std::memmove(text_.data() + from - removed, text_.data() + from, to - from);
        for (size_t k = row + 1; k < next; ++k) ends_[k - i - 1] = ends_[k] - removed;
    }
    text_.resize(text_.size() - removed);
    ends_.resize(ends_.size() - rows.size());
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
