#include "editor/program.h"

#include "editor/file_io.h"

namespace dozu {

void Program::select(int line) { selected_ = line >= 0 && size_t(line) < lines_.size() ? line : -1; }

bool Program::ButtonClick(int tag) {
    const std::string text = table.interpreter_code(tag) + " ";
    if (text == " ") return false;
    const int i = selected_ + 1;
    lines_.insert(lines_.begin() + i, text);
    steps_.insert(steps_.begin() + i, uint8_t(tag));
    selected_ = i;
    changed_ = true;
    return true;
}

void Program::LBCodeKeyDown(int key) {
    if (key == kKeyDelete && selected_ >= 0) {
        const int k = selected_;
        lines_.erase(lines_.begin() + k);
        steps_.erase(steps_.begin() + k);
        select(size_t(k) < lines_.size() ? k : k - 1);
        changed_ = true;
    }
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

std::vector<SkippedStep> Program::LoadProgram(const std::string& path) {
    return LoadProgramBytes(read_file(path, kMaxProgramFileSize));
}

std::vector<SkippedStep> Program::LoadProgramBytes(const std::vector<uint8_t>& bytes) {
    const ProgramFileData data = parse_program_file(bytes);
    std::lock_guard<std::recursive_mutex> guard(lock_);
    apply_table_cells(table, data);
    lines_.clear();
    steps_.clear();
    selected_ = -1;
    for (uint8_t tag : data.steps) ButtonClick(tag);
    changed_ = true;
    return data.skipped;
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
