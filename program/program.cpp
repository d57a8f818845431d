#include "program/program.h"

#include <algorithm>

#include "io/file_io.h"

namespace dozu {

void Program::select(int line) { selected_ = line >= 0 && size_t(line) < lines_.size() ? line : -1; }

bool Program::ButtonClick(int tag) {
    const std::string line = click_line(tag);
    if (line.empty()) return false;
    insert_line(selected_ + 1, uint8_t(tag), line);
    return true;
}

std::string Program::click_line(int tag) const {
    const std::string& code = table.interpreter_code(tag);
    if (code.empty()) return {};
    check_program_file_size(table, steps_.size() + 1);
    check_line_text(lines_.text_size() + code.size() + 1);
    return code + " ";
}

std::unique_lock<std::recursive_mutex> Program::edit_lock() {
    if (interrupt_) interrupt_();
    return std::unique_lock<std::recursive_mutex>(lock_);
}

void Program::insert_line(int at, uint8_t tag, std::string_view text) {
    check_program_file_size(table, steps_.size() + 1);
    const auto guard = edit_lock();
    at = std::clamp(at, 0, int(lines_.size()));
    // Room for the step first: once the line is in, nothing may fail.
    if (steps_.size() == steps_.capacity()) steps_.reserve(std::max<size_t>(16, 2 * steps_.size()));
    lines_.insert(size_t(at), text);
    steps_.insert(steps_.begin() + at, tag);
    selected_ = at;
    changed_ = true;
}

void Program::remove_line(int at) {
    const auto guard = edit_lock();
    if (at < 0 || size_t(at) >= lines_.size()) return;
    lines_.erase(size_t(at));
    steps_.erase(steps_.begin() + at);
    select(size_t(at) < lines_.size() ? at : at - 1);
    changed_ = true;
}

void Program::insert_lines(const std::vector<int>& rows, const std::vector<uint8_t>& tags, LineView texts) {
    if (rows.empty()) return;
    check_program_file_size(table, steps_.size() + tags.size());
    std::vector<uint8_t> steps;
    steps.reserve(steps_.size() + tags.size());
    size_t old = 0;
    for (size_t i = 0; i < tags.size(); ++i) {
        const size_t before = std::min(size_t(rows[i]) - std::min(size_t(rows[i]), old + i), steps_.size() - old);
        steps.insert(steps.end(), steps_.begin() + long(old), steps_.begin() + long(old + before));
        old += before;
        steps.push_back(tags[i]);
    }
    steps.insert(steps.end(), steps_.begin() + long(old), steps_.end());
    const auto guard = edit_lock();
    lines_.insert_rows(rows, texts);
    steps_.swap(steps);
    selected_ = rows.back();
    changed_ = true;
}

void Program::remove_lines(const std::vector<int>& rows) {
    if (rows.empty()) return;
    const auto guard = edit_lock();
    lines_.erase_rows(rows);
    for (size_t i = 0; i < rows.size(); ++i) {
        const size_t next = i + 1 < rows.size() ? size_t(rows[i + 1]) : steps_.size();
        std::copy(steps_.begin() + rows[i] + 1, steps_.begin() + long(next), steps_.begin() + rows[i] - long(i));
    }
    steps_.resize(steps_.size() - rows.size());
    select(std::min(rows.front(), int(lines_.size()) - 1));
    changed_ = true;
}

bool Program::move_lines(const std::vector<int>& rows, bool up) {
    if (rows.empty() || (up ? rows.front() == 0 : size_t(rows.back()) + 1 >= lines_.size())) return false;
    // The moved lines land one row further and keep their order; the
    // others fill the remaining rows in theirs. Built aside, then swapped.
    const size_t n = lines_.size();
    std::vector<int> from(n, -1);
    for (const int row : rows) from[size_t(row + (up ? -1 : 1))] = row;
    size_t other = 0, moved = 0;
    ProgramLines lines;
    lines.reserve(n, lines_.text_size());
    std::vector<uint8_t> steps(n);
    for (size_t row = 0; row < n; ++row) {
        if (from[row] < 0) {
            while (moved < rows.size() && size_t(rows[moved]) == other) ++moved, ++other;
            from[row] = int(other++);
        }
        lines.push_back(lines_[size_t(from[row])]);
        steps[row] = steps_[size_t(from[row])];
    }
    const auto guard = edit_lock();
    lines_.swap(lines);
    steps_.swap(steps);
    changed_ = true;
    return true;
}

void Program::new_program() {
    CommandTable defaults;
    const auto guard = edit_lock();
    std::swap(table, defaults);
    // The storage of a large program goes with it.
    ProgramLines().swap(lines_);
    std::vector<uint8_t>().swap(steps_);
    selected_ = -1;
    changed_ = true;
}

void Program::LBCodeKeyDown() {
    if (trace_mode_) changed_ = true;
}

void Program::LBCodeClick(int line) {
    select(line);
    if (trace_mode_) changed_ = true;
}

void Program::CBTraceModeClick(bool checked) {
    trace_mode_ = checked;
    changed_ = true;
}

void Program::LBMessagesClick(const MessageList& messages, int index) {
    if (index < 0 || size_t(index) >= messages.size()) return;
    const int tag = messages[size_t(index)].tag;
    if (tag >= 0 && size_t(tag) < lines_.size()) selected_ = tag;
}

bool Program::TakeChanged() {
    const bool was = changed_;
    changed_ = false;
    return was;
}

LineView Program::LockProgram() {
    lock_.lock();
    return lines_;
}

void Program::UnlockProgram() { lock_.unlock(); }

int Program::run_count() const { return trace_mode_ ? selected_ + 1 : int(lines_.size()); }

LoadReport Program::LoadProgram(const std::string& path) {
    return load_program_bytes(read_file(path, kMaxProgramFileSize));
}

LoadReport Program::load_program_bytes(const std::vector<uint8_t>& bytes) { return replace(prepare(bytes)); }

LoadedProgram Program::prepare(const std::vector<uint8_t>& bytes) {
    ProgramFileData data = parse_program_file(bytes);
    LoadedProgram p;
    apply_table_cells(p.table, data);
    // Each step replays a click of its button.
    p.steps = program_steps(p.table, data.steps);
    uint64_t text = 0;
    for (uint8_t tag : p.steps) text += p.table.interpreter_code(tag).size() + 1;
    p.lines.reserve(p.steps.size(), text);
    std::string line;
    for (uint8_t tag : p.steps) {
        line.assign(p.table.interpreter_code(tag)).push_back(' ');
        p.lines.push_back(line);
    }
    p.report = {std::move(data.skipped), data.skipped_count, data.cells_read, not_a_program_reason(data)};
    return p;
}

LoadReport Program::replace(LoadedProgram&& loaded) noexcept {
    const auto guard = edit_lock();
    std::swap(table, loaded.table);
    lines_.swap(loaded.lines);
    steps_.swap(loaded.steps);
    // As after the clicks the steps replay: the last line is selected.
    selected_ = int(lines_.size()) - 1;
    changed_ = true;
    return std::move(loaded.report);
}

void Program::SaveProgram(const std::string& path, bool compiled) {
    // The steps and the table are not a run's to read: no lock, so a save
    // neither waits for a run nor stops it.
    if (compiled) {
        // As long as the steps times their codes: written as it is made.
        write_file(path, [&](ByteSink& sink) { write_compiled(sink, table, steps_); });
    } else {
        check_program_file_size(table, steps_.size());
        write_file_atomic(path, encode_program_file(table, steps_));
    }
}

}  // namespace dozu
