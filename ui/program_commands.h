// The program's edits as undoable steps: a line inserted by a button, a
// line deleted, a command table cell changed. Each step replays through the
// document, which keeps the model and the list in step; the windows follow
// the document's signals.
#pragma once

#include <QUndoCommand>
#include <cstdint>
#include <string>

namespace dozu {

class ProgramDocument;

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
};

class DeleteLineCommand : public QUndoCommand {
public:
    DeleteLineCommand(ProgramDocument& document, int at);
    void redo() override;
    void undo() override;

private:
    ProgramDocument& document_;
    int at_;
    uint8_t tag_;
    std::string text_;
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
