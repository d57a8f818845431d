// The program's edits as undoable steps: a line inserted by a button, a
// line deleted, a command table cell changed. Each step replays through the
// frame, which keeps the model, the list and the grid in step.
#pragma once

#include <QUndoCommand>
#include <cstdint>
#include <string>

namespace dozu {

class TFrameProgram;

class InsertLineCommand : public QUndoCommand {
public:
    InsertLineCommand(TFrameProgram& frame, int at, uint8_t tag, std::string text);
    void redo() override;
    void undo() override;

private:
    TFrameProgram& frame_;
    int at_;
    uint8_t tag_;
    std::string text_;
};

class DeleteLineCommand : public QUndoCommand {
public:
    DeleteLineCommand(TFrameProgram& frame, int at);
    void redo() override;
    void undo() override;

private:
    TFrameProgram& frame_;
    int at_;
    uint8_t tag_;
    std::string text_;
};

class EditCellCommand : public QUndoCommand {
public:
    EditCellCommand(TFrameProgram& frame, int column, int row, std::string before, std::string after);
    void redo() override;
    void undo() override;

private:
    TFrameProgram& frame_;
    int column_, row_;
    std::string before_, after_;
};

}  // namespace dozu
