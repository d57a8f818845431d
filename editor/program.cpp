#include "editor/program.h"

#include <algorithm>

#include "editor/file_io.h"

namespace dozu {

void Program::select(int line) { selected_ = line >= 0 && size_t(line) < lines_.size() ? line : -1; }

bool Program::ButtonClick(int tag) {
    const std::string text = table.interpreter_code(tag) + " ";
    if (text == " ") return false;
    insert_line(selected_ + 1, uint8_t(tag), text);
    return true;
}

void Program::insert_line(int at, uint8_t tag, std::string text) {
    at = std::clamp(at, 0, int(lines_.size()));
    lines_.insert(lines_.begin() + at, std::move(text));
    steps_.insert(steps_.begin() + at, tag);
    selected_ = at;
    changed_ = true;
}

void Program::remove_line(int at) {
    if (at < 0 || size_t(at) >= lines_.size()) return;
    lines_.erase(lines_.begin() + at);
    steps_.erase(steps_.begin() + at);
    select(size_t(at) < lines_.size() ? at : at - 1);
    changed_ = true;
}

void Program::New() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    table.fill_defaults();
    lines_.clear();
    steps_.clear();
    selected_ = -1;
    changed_ = true;
}

void Program::LBCodeKeyDown(Key key) {
    if (key == Key::Delete && selected_ >= 0) remove_line(selected_);
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

const std::vector<std::string>& Program::LockProgram() {
    lock_.lock();
    return lines_;
}

void Program::UnlockProgram() { lock_.unlock(); }

int Program::run_count() const { return trace_mode_ ? selected_ + 1 : int(lines_.size()); }

LoadReport Program::LoadProgram(const std::string& path) {
    return LoadProgramBytes(read_file(path, kMaxProgramFileSize));
}

LoadReport Program::LoadProgramBytes(const std::vector<uint8_t>& bytes) {
    const ProgramFileData data = parse_program_file(bytes);
    std::lock_guard<std::recursive_mutex> guard(lock_);
    apply_table_cells(table, data);
    lines_.clear();
    steps_.clear();
    selected_ = -1;
    for (uint8_t tag : data.steps) ButtonClick(tag);
    changed_ = true;
    return {data.skipped, data.cells_read};
}

void Program::SaveProgram(const std::string& path, bool compiled) {
    std::vector<uint8_t> bytes;
    {
        std::lock_guard<std::recursive_mutex> guard(lock_);
        bytes = compiled ? encode_compiled(table, steps_) : encode_program_file(table, steps_);
    }
    write_file_atomic(path, bytes);
}

}  // namespace dozu
