// The C runtime's reader of program files (runtime/dozu_tpg.h) held to the
// editor's load: the same program text, steps and table cells, and the
// messages that dozu-cli prints for the file, or the same refusal.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "program/program.h"
#include "runtime/dozu_tpg.h"

namespace dozu::testing {

struct TpgRead {
    int status = -1;
    std::string text;
    std::vector<uint8_t> steps;
    std::vector<std::string> cells;
    std::vector<std::string> messages;  // "KIND TEXT", KIND the runtime's number
};

inline TpgRead tpg_by_runtime(const std::vector<uint8_t>& bytes) {
    TpgRead r;
    dozu_tpg tpg;
    const auto report = [](void* user, int line, int kind, const char* text) {
        static_cast<TpgRead*>(user)->messages.push_back(
            std::to_string(kind) + " " + text + (line == -1 ? "" : " (line " + std::to_string(line) + ")"));
    };
    r.status = dozu_tpg_read(bytes.data(), bytes.size(), &tpg, nullptr, report, &r);
    if (r.status != DOZU_OK) return r;
    if (tpg.text[tpg.length] != 0) r.messages.push_back("the text does not end in a NUL");
    r.text.assign(tpg.text, tpg.length);
    r.steps.assign(tpg.steps, tpg.steps + tpg.step_count);
    for (size_t i = 0; i < DOZU_TPG_CELLS; ++i)
        r.cells.emplace_back(bytes.begin() + long(tpg.cell_start[i]),
                             bytes.begin() + long(tpg.cell_start[i] + tpg.cell_length[i]));
    dozu_tpg_release(&tpg, nullptr);
    return r;
}

// The editor's load of the bytes, with the warnings as dozu-cli words them.
inline TpgRead tpg_by_editor(const std::vector<uint8_t>& bytes) {
    const std::string fatal = std::to_string(DOZU_MESSAGE_FATAL) + " ",
                      warning = std::to_string(DOZU_MESSAGE_WARNING) + " ";
    TpgRead r;
    r.status = DOZU_ERROR_FATAL;
    if (bytes.size() > kMaxProgramFileSize) {
        r.messages.push_back(fatal + "the file is larger than 16 MiB");
        return r;
    }
    LoadedProgram loaded;
    try {
        loaded = Program::prepare(bytes);
    } catch (const ProgramTooLarge& e) {
        r.messages.push_back(fatal + e.what());
        return r;
    }
    r.status = DOZU_OK;
    for (size_t i = 0; i < loaded.lines.size(); ++i) r.text += loaded.lines[i];
    r.steps = loaded.steps;
    for (int row = 1; row < CommandTable::kRows; ++row)
        for (int column = 0; column < CommandTable::kColumns; ++column)
            r.cells.push_back(loaded.table.cell(column, row));
    const LoadReport& report = loaded.report;
    if (!report.not_a_program.empty())
        r.messages.push_back(warning + "does not look like a dozu program: " + report.not_a_program);
    if (!report.table_warning().empty()) r.messages.push_back(warning + report.table_warning());
    for (const SkippedStep& s : report.skipped)
        r.messages.push_back(warning + "step byte " + std::to_string(s.byte) + " at offset " +
                             std::to_string(s.offset) + " skipped");
    if (report.skipped_count > report.skipped.size())
        r.messages.push_back(warning + "... and " + std::to_string(report.skipped_count - report.skipped.size()) +
                             " more step bytes skipped");
    return r;
}

// What the two reads of the bytes differ in, or nothing.
inline std::string tpg_difference(const std::vector<uint8_t>& bytes) {
    const TpgRead c = tpg_by_runtime(bytes), editor = tpg_by_editor(bytes);
    if (c.status != editor.status)
        return "status " + std::to_string(c.status) + ", the editor's " + std::to_string(editor.status);
    for (size_t i = 0; i < std::max(c.messages.size(), editor.messages.size()); ++i) {
        const auto nth = [i](const TpgRead& r) { return i < r.messages.size() ? r.messages[i] : "nothing"; };
        if (nth(c) != nth(editor))
            return "message " + std::to_string(i) + " \"" + nth(c) + "\", the editor's \"" + nth(editor) + "\"";
    }
    if (c.text != editor.text) return "program text";
    if (c.steps != editor.steps) return "steps";
    if (c.cells != editor.cells) return "table cells";
    return {};
}

}  // namespace dozu::testing
