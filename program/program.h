// The program being edited, without a window: the command table, the program
// lines and their steps (the tag of the button that made each line), the
// selected line, trace mode, the changed flag and the re-entrant program
// lock. The editor frame shows this model and forwards its events to it.
//
// The lines are the only part that a run on another thread reads, under
// the program lock; every change of the lines takes the lock, after asking
// such a run to stop (the interrupt), so that it waits for a moment at most.
// Everything else belongs to the editing thread alone.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "interpreter/interpreter.h"
#include "interpreter/program_lines.h"
#include "program/command_table.h"
#include "program/program_file.h"

namespace dozu {

// What a load found wrong with a file that it still loaded.
struct LoadReport {
    std::vector<SkippedStep> skipped;  // the first step bytes outside 1 to 26
    size_t skipped_count = 0;          // all of them
    size_t cells_read = kTableCells;   // fewer: the file ends inside its table
    std::string not_a_program;         // why the file does not look like a program, if so
    std::string table_warning() const { return short_table_warning(cells_read); }
};

// A program file's contents, ready to take the place of a program's.
struct LoadedProgram {
    CommandTable table;
    ProgramLines lines;
    std::vector<uint8_t> steps;
    LoadReport report;
};

class Program {
public:
    CommandTable table;

    // Line i is the text its button's click inserted.
    const ProgramLines& lines() const { return lines_; }
    const std::vector<uint8_t>& steps() const { return steps_; }
    int selected() const { return selected_; }
    // -1, or a line that does not exist, selects nothing.
    void select(int line);
    bool trace_mode() const { return trace_mode_; }

    // A button click: inserts the tag's interpreter code and a blank after
    // the selected line and selects it. False, and nothing changes, when
    // the code is empty; throws ProgramTooLarge or ProgramFileTooLarge, and
    // nothing changes, when the lines or the file would pass their limit.
    bool ButtonClick(int tag);
    // The line that a click of the tag's button inserts; empty when the
    // button has no code. Throws ProgramTooLarge or ProgramFileTooLarge
    // when the lines or the file would pass their limit with it.
    std::string click_line(int tag) const;
    // A key press in the program list: in trace mode the program runs
    // again. (Delete is an undoable edit: remove_line.)
    void LBCodeKeyDown();
    // The selection moved by a click in the program list.
    void LBCodeClick(int line);
    void CBTraceModeClick(bool checked);
    // Selects the line a message is tagged with, if it exists; nothing else.
    void LBMessagesClick(const MessageList& messages, int index);

    // The edits that button clicks, deletes and their undoing are made of.
    // An insert selects the new line; a removal selects the line that took
    // its place, or the one before when it was the last. An insert throws
    // ProgramFileTooLarge, and nothing changes, when the file would pass
    // its limit.
    void insert_line(int at, uint8_t tag, std::string_view text);
    void remove_line(int at);
    // The same for several lines in one step; rows ascend and are distinct.
    // Inserted lines stand at their rows of the result, and the last of
    // them is selected; the line that took the place of the first removed
    // one is selected, or the last line. Throws ProgramTooLarge,
    // ProgramFileTooLarge or std::bad_alloc, and nothing changes, when the
    // lines do not fit.
    void insert_lines(const std::vector<int>& rows, const std::vector<uint8_t>& tags, LineView texts);
    void remove_lines(const std::vector<int>& rows);
    // Moves the lines at the rows one line up or down, each keeping its
    // order among them; false, and nothing changes, when the first is the
    // first line (up) or the last is the last line (down).
    bool move_lines(const std::vector<int>& rows, bool up);
    // The default command table and an empty program; nothing changes when
    // it fails.
    void new_program();
    // The next paint runs the program again.
    void request_run() { changed_ = true; }

    // Called before each change of the lines, before the lock is taken.
    void set_interrupt(std::function<void()> interrupt) { interrupt_ = std::move(interrupt); }

    bool TakeChanged();
    bool changed() const { return changed_; }
    // Holds the lock until UnlockProgram; the view stays valid while it is
    // held.
    LineView LockProgram();
    void UnlockProgram();
    // How many lines a run covers: all, or in trace mode up to the selection.
    int run_count() const;

    // Reads the whole file and builds the new program aside, so that a load
    // that fails changes nothing; throws FileError for a file that cannot
    // be read or is too large, ProgramTooLarge for one whose lines would
    // pass their limit, std::bad_alloc when memory runs out.
    LoadReport LoadProgram(const std::string& path);
    // The same for a program file's bytes read elsewhere (standard input).
    LoadReport load_program_bytes(const std::vector<uint8_t>& bytes);
    // The load in two steps: prepare builds the new program and may fail,
    // replace swaps it in and cannot.
    static LoadedProgram prepare(const std::vector<uint8_t>& bytes);
    LoadReport replace(LoadedProgram&& loaded) noexcept;
    // The .tpg file, or with compiled set the compiled output; atomic. A
    // .tpg file that a load would refuse is not written: ProgramFileTooLarge.
    void SaveProgram(const std::string& path, bool compiled);

private:
    std::unique_lock<std::recursive_mutex> edit_lock();

    ProgramLines lines_;
    std::vector<uint8_t> steps_;
    int selected_ = -1;
    bool trace_mode_ = false;
    bool changed_ = true;
    std::recursive_mutex lock_;
    std::function<void()> interrupt_;
};

}  // namespace dozu
