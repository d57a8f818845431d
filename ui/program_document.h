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

#include "interpreter/interpreter.h"
#include "program/program.h"

class QUndoStack;

namespace dozu {

class ProgramListModel;

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
    // false when the button has no code. Throws ProgramTooLarge, and
    // nothing changes, when the lines would pass their limit.
    bool click_button(int tag);
    // Removes the selected line; nothing without a selection.
    void delete_selected();
    // Sets a command table cell (row 1 onwards; row 0 is the header).
    void edit_cell(int column, int row, const std::string& text);

    // What the undo steps are made of: they change the program and keep
    // the list model in step, without a step of their own.
    void insert_line(int at, uint8_t tag, const std::string& text);
    void remove_line(int at);
    void set_cell(int column, int row, const std::string& text);
    void select_line(int line);

    // Files. A load reads the whole file and builds the new program aside;
    // FileError and ProgramTooLarge are thrown before anything changed.
    LoadReport load(const QString& path);
    // The same, asking first whether to load a file that does not look like
    // a program (its path and the reason given); nullopt, and nothing
    // changed, when not.
    using LoadAnyway = std::function<bool(const QString& path, const std::string& reason)>;
    std::optional<LoadReport> load(const QString& path, const LoadAnyway& load_anyway);
    // The .tpg file, or with compiled set the compiled output (which
    // changes neither the file name nor the clean state).
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
    void replace_done(const QString& path);

    Program program_;
    ProgramListModel* list_model_;
    QUndoStack* undo_stack_;
    QString file_name_;
    MessageList load_notes_;
};

}  // namespace dozu
