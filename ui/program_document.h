// The program being edited, as the editor's windows share it: the core's
// program model, the list model that shows its lines, the undo stack of its
// edits, the name of its file and what its last load had to say. Edits and
// file operations go through it; the program frame and the main window
// follow its signals, so that neither keeps a copy of what it holds.
#pragma once

#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "interpreter/interpreter.h"
#include "program/program.h"

class QUndoStack;

namespace dozu {

class ProgramListModel;

// What the editor says when an edit or a save would make a program too
// large for a load: "Nothing was added: the program's file would pass
// 16 MiB, the most a load reads." for "added".
QString refusal(const char* what_was_not_done, const ProgramFileTooLarge& e);

// The lines picked in the program list, ascending, and the current one
// among them: the last clicked, where a click inserts and, in trace mode,
// the last line that runs. No lines and -1 when nothing is picked.
struct LineSelection {
    std::vector<int> rows;
    int current = -1;
    bool operator==(const LineSelection&) const = default;
};

class ProgramDocument : public QObject {
    Q_OBJECT

public:
    explicit ProgramDocument(QObject* parent = nullptr);
    ~ProgramDocument() override;

    Program& program() { return program_; }
    const Program& program() const { return program_; }
    // The program's lines as the program list shows them.
    ProgramListModel* list_model() const { return list_model_; }
    // Every change to the program and the command table; clean when the
    // program is as last loaded or saved.
    QUndoStack* undo_stack() const { return undo_stack_; }
    // The program file last loaded or saved, as an absolute path (its bytes
    // as path_bytes.h holds them); empty for a new program.
    const QString& file_name() const { return file_name_; }
    // What the last load found wrong with its file (a short table), shown
    // before the messages of a run; empty once the file was saved whole.
    const MessageList& load_notes() const { return load_notes_; }

    // The edits, each pushed as one undoable step.
    // A click of the tag's button inserts its line after the selection;
    // false when the button has no code. Throws ProgramTooLarge or
    // ProgramFileTooLarge, and nothing changes, when the lines or the file
    // would pass their limit.
    bool click_button(int tag);
    // Removes the selected lines; nothing without a selection.
    void delete_selected();
    // The selected lines as program text (one code per line), and the
    // same with the lines removed; empty without a selection.
    std::string copy_selected() const;
    std::string cut_selected();
    // Inserts the lines of program text after the current line, each with
    // the first button whose code it is, and selects them. Nothing changes
    // when a line is the code of no button: the message says which, and is
    // empty when the lines went in, and says so when the program's file
    // would pass its limit. Throws ProgramTooLarge, and nothing changes,
    // when the lines would pass theirs.
    QString paste(const QString& text);
    // Moves the selected lines one line up or down; false, and nothing
    // changes, when they are at the top or at the bottom already.
    bool move_selected(bool up);
    // Sets a command table cell (row 1 onwards; row 0 is the header).
    // Nothing changes when the program's file would pass its limit: the
    // message says so, and is empty when the cell changed.
    QString edit_cell(int column, int row, const std::string& text);

    // What the undo steps are made of: they change the program and keep
    // the list model in step, without a step of their own.
    void insert_line(int at, uint8_t tag, const std::string& text);
    void remove_line(int at);
    void set_cell(int column, int row, const std::string& text);
    void select_line(int line);
    // Several lines picked (the rows in any order); the current line is
    // the last of them when it is not among them.
    void select_lines(std::vector<int> rows, int current);
    void insert_lines(const std::vector<int>& rows, const std::vector<uint8_t>& tags, LineView texts);
    void remove_lines(const std::vector<int>& rows);
    void move_lines(const std::vector<int>& rows, bool up);

    // The picked lines; one line when the program's selection moved on its
    // own (a message click selects its line).
    LineSelection selection() const;
    // True while an edit changes the lines, when the list's own selection
    // may pass through states that are not the user's.
    bool editing() const { return editing_ > 0; }

    // Restores a recovery copy, the bytes of its file: loaded like a file,
    // but it keeps the name of the program it is a copy of (empty for a new
    // program) and counts as changed since that was saved.
    LoadReport restore(const std::vector<uint8_t>& copy, const QString& file_name);

    // Files. A load reads the whole file and builds the new program aside;
    // FileError and ProgramTooLarge are thrown before anything changed.
    LoadReport load(const QString& path);
    // The same, asking first whether to load a file that does not look like
    // a program (its path and the reason given); nullopt, and nothing
    // changed, when not.
    using LoadAnyway = std::function<bool(const QString& path, const std::string& reason)>;
    std::optional<LoadReport> load(const QString& path, const LoadAnyway& load_anyway);
    // The .tpg file, or with compiled set the compiled output (which
    // changes neither the file name nor the clean state). Throws FileError,
    // or ProgramFileTooLarge for a .tpg a load would refuse.
    void save(const QString& path, bool compiled);
    // Throws FileError when the file, by any name, is the program's own
    // file: writing anything but the program there would destroy it.
    void refuse_program_file(const QString& path) const;
    // The default command table and an empty program, without a file.
    void new_program();

signals:
    // A load or a new program: a new table and new lines, and a new history.
    void replaced();
    // The selected line changed through an edit, an undo or select_line.
    void selection_changed();
    // A command table cell changed (row 1 onwards).
    void cell_changed(int column, int row);
    // The file name changed.
    void file_changed();
    // The load notes changed.
    void notes_changed();
    // A save wrote the file (the program, or its compiled output).
    void saved(const QString& path, bool compiled);

private:
    LoadReport replace_with(LoadedProgram loaded, const QString& file_name);
    void replace_done(const QString& path);
    // Rows ascending and distinct; a run of consecutive rows tells the list
    // precisely, anything else resets it.
    static bool consecutive(const std::vector<int>& rows);
    void set_selection(std::vector<int> rows, int current);

    Program program_;
    ProgramListModel* list_model_;
    QUndoStack* undo_stack_;
    QString file_name_;
    MessageList load_notes_;
    std::vector<int> selected_rows_;
    int editing_ = 0;
};

}  // namespace dozu
