// Program lines stored compactly: the texts of all lines one after another
// in one buffer, and where each line ends. A LineView reads line i from
// that storage or from a vector of strings, so that the interpreter takes
// either without a copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace dozu {

// The most text that a program's lines may hold together. Real programs
// hold kilobytes; a file that repeats a long button code on every step
// could otherwise ask for far more memory than it is long.
constexpr uint64_t kMaxLineText = 64 * 1024 * 1024;

// "program too large: its lines would hold N bytes, the limit is 64 MiB".
class ProgramTooLarge : public std::runtime_error {
public:
    explicit ProgramTooLarge(uint64_t bytes);
};

// Throws ProgramTooLarge when lines of this many bytes would pass the limit.
void check_line_text(uint64_t bytes);

class LineView {
public:
    LineView() = default;
    LineView(const std::vector<std::string>& lines) : strings_(&lines), count_(lines.size()) {}
    // ends[i] is where line i ends in text; line i starts where line i - 1
    // ends, line 0 at 0.
    LineView(const char* text, const uint32_t* ends, size_t count) : text_(text), ends_(ends), count_(count) {}

    size_t size() const { return count_; }
    bool empty() const { return count_ == 0; }
    std::string_view operator[](size_t i) const {
        if (strings_) return (*strings_)[i];
        const uint32_t begin = i ? ends_[i - 1] : 0;
        return {text_ + begin, ends_[i] - begin};
    }
    std::string_view front() const { return (*this)[0]; }
    std::vector<std::string> strings() const;

private:
    const std::vector<std::string>* strings_ = nullptr;
    const char* text_ = nullptr;
    const uint32_t* ends_ = nullptr;
    size_t count_ = 0;
};

class ProgramLines {
public:
    size_t size() const { return ends_.size(); }
    bool empty() const { return ends_.empty(); }
    std::string_view operator[](size_t i) const { return view()[i]; }
    // Bytes of all lines together.
    uint64_t text_size() const { return text_.size(); }

    LineView view() const { return {text_.data(), ends_.data(), ends_.size()}; }
    operator LineView() const { return view(); }
    std::vector<std::string> strings() const { return view().strings(); }

    // Edits keep the lines as they were when they throw: ProgramTooLarge
    // past the limit, or std::bad_alloc.
    void insert(size_t at, std::string_view line);
    void push_back(std::string_view line) { insert(size(), line); }
    void erase(size_t at);
    // Several lines at once, in one pass over the rest: inserted so that
    // line i of `lines` stands at rows[i] of the result, or erased at the
    // given rows. Rows ascend and are distinct.
    void insert_rows(const std::vector<int>& rows, LineView lines);
    void erase_rows(const std::vector<int>& rows) noexcept;
    void clear();
    void reserve(size_t lines, uint64_t text);
    void swap(ProgramLines& other) noexcept {
        text_.swap(other.text_);
        ends_.swap(other.ends_);
    }

private:
    std::string text_;
    std::vector<uint32_t> ends_;
};

}  // namespace dozu
