// The program's edits as undoable steps: a line inserted by a button, lines
// deleted, cut, pasted or moved, a command table cell changed. Each step
// replays through the document, which keeps the model and the list in step;
// the windows follow the document's signals. Undoing a step on the lines
// puts back the selection it found.
#pragma once

#include <QUndoCommand>
#include <cstdint>
#include <string>
#include <vector>

#include "interpreter/program_lines.h"
#include "ui/program_document.h"

namespace dozu {

class InsertLineCommand : public QUndoCommand {
public:
    InsertLineCommand(ProgramDocument& document, int at, uint8_t tag, std::string text);
    void redo() override;
    void undo() override;

private:
    ProgramDocument& document_;
    int at_;
    uint8_t tag_;
    std::string text_;
    LineSelection before_;
};

// Lines deleted or cut: rows ascending.
class RemoveLinesCommand : public QUndoCommand {
public:
    RemoveLinesCommand(ProgramDocument& document, std::vector<int> rows, const QString& text);
    void redo() override;
    void undo() override;

private:
    ProgramDocument& document_;
    std::vector<int> rows_;
    std::vector<uint8_t> tags_;
    ProgramLines lines_;
    LineSelection before_;
};

// Lines pasted, standing at rows (ascending) once inserted.
class InsertLinesCommand : public QUndoCommand {
public:
    InsertLinesCommand(ProgramDocument& document, std::vector<int> rows, std::vector<uint8_t> tags,
                       ProgramLines lines, const QString& text);
    void redo() override;
    void undo() override;

private:
    ProgramDocument& document_;
    std::vector<int> rows_;
    std::vector<uint8_t> tags_;
    ProgramLines lines_;
    LineSelection before_;
};

class MoveLinesCommand : public QUndoCommand {
public:
    MoveLinesCommand(ProgramDocument& document, std::vector<int> rows, bool up, const QString& text);
    void redo() override;
    void undo() override;

private:
    ProgramDocument& document_;
    std::vector<int> rows_;
    bool up_;
    LineSelection before_;
};

class EditCellCommand : public QUndoCommand {
public:
    EditCellCommand(ProgramDocument& document, int column, int row, std::string before, std::string after);
    void redo() override;
    void undo() override;

private:
    ProgramDocument& document_;
    int column_, row_;
    std::string before_, after_;
};

}  // namespace dozu
