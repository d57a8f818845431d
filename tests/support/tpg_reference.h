// The C runtime's reader of program files (runtime/dozu_tpg.h) held to the
// editor's load: the same program text, steps and table cells, and the
// messages that dozu-cli prints for the file, or the same refusal.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "program/program.h"
#include "runtime/dozu_tpg.h"

namespace dozu::testing {

struct TpgRead {
    int status = DOZU_ERROR_FATAL;
    std::string text;
    std::vector<uint8_t> steps;
    std::vector<std::string> cells, messages;  // each message "KIND TEXT", KIND the runtime's number

    bool operator==(const TpgRead&) const = default;
};

inline void PrintTo(const TpgRead& r, std::ostream* out) {
    *out << "status " << r.status << ", " << r.steps.size() << " steps, text \"" << r.text.substr(0, 60) << "\"";
    for (const std::string& m : r.messages) *out << "\n  " << m;
}

inline TpgRead tpg_by_runtime(const std::vector<uint8_t>& bytes) {
    TpgRead r;
    dozu_tpg tpg;
    const auto report = [](void* user, int line, int kind, const char* text) {
        static_cast<TpgRead*>(user)->messages.push_back(std::to_string(kind) + " " + text +
                                                        (line == -1 ? "" : " at a line"));
    };
    r.status = dozu_tpg_read(bytes.data(), bytes.size(), &tpg, nullptr, report, &r);
    if (r.status != DOZU_OK) return r;
    r.text.assign(tpg.text, tpg.length + 1);  // with its NUL
    r.steps.assign(tpg.steps, tpg.steps + tpg.step_count);
    for (size_t i = 0; i < DOZU_TPG_CELLS; ++i)
        r.cells.emplace_back(bytes.begin() + long(tpg.cell_start[i]),
                             bytes.begin() + long(tpg.cell_start[i] + tpg.cell_length[i]));
    dozu_tpg_release(&tpg, nullptr);
    return r;
}

// The editor's load of the bytes, with the warnings as dozu-cli words them.
inline TpgRead tpg_by_editor(const std::vector<uint8_t>& bytes) {
    TpgRead r;
    const auto say = [&](int kind, const std::string& text) {
        r.messages.push_back(std::to_string(kind) + " " + text);
    };
    if (bytes.size() > kMaxProgramFileSize) {
        say(DOZU_MESSAGE_FATAL, "the file is larger than 16 MiB");
        return r;
    }
    LoadedProgram loaded;
    try {
        loaded = Program::prepare(bytes);
    } catch (const ProgramTooLarge& e) {
        say(DOZU_MESSAGE_FATAL, e.what());
        return r;
    }
    r.status = DOZU_OK;
    for (size_t i = 0; i < loaded.lines.size(); ++i) r.text += loaded.lines[i];
    r.text += '\0';
    r.steps = loaded.steps;
    for (int row = 1; row < CommandTable::kRows; ++row)
        for (int column = 0; column < CommandTable::kColumns; ++column)
            r.cells.push_back(loaded.table.cell(column, row));
    const LoadReport& report = loaded.report;
    if (!report.not_a_program.empty())
        say(DOZU_MESSAGE_WARNING, "does not look like a dozu program: " + report.not_a_program);
    if (!report.table_warning().empty()) say(DOZU_MESSAGE_WARNING, report.table_warning());
    for (const SkippedStep& s : report.skipped)
        say(DOZU_MESSAGE_WARNING,
            "step byte " + std::to_string(s.byte) + " at offset " + std::to_string(s.offset) + " skipped");
    if (report.skipped_count > report.skipped.size())
        say(DOZU_MESSAGE_WARNING, "... and " + std::to_string(report.skipped_count - report.skipped.size()) +
                                      " more step bytes skipped");
    return r;
}

}  // namespace dozu::testing
