#include "ui/program_commands.h"

#include "ui/frame_program.h"

namespace dozu {

namespace {

QString latin1(const std::string& s) { return QString::fromLatin1(s.data(), qsizetype(s.size())).trimmed(); }

// A button by its title, or by what it inserts when it has none.
QString button_name(const CommandTable& table, uint8_t tag, const std::string& text) {
    const QString title = latin1(table.title(tag));
    return title.isEmpty() ? latin1(text) : title;
}

}  // namespace

InsertLineCommand::InsertLineCommand(TFrameProgram& frame, int at, uint8_t tag, std::string text)
    : frame_(frame), at_(at), tag_(tag), text_(std::move(text)) {
    setText(QString("Insert %1").arg(button_name(frame.program().table, tag, text_)));
}

void InsertLineCommand::redo() { frame_.InsertLine(at_, tag_, text_); }

void InsertLineCommand::undo() {
    frame_.RemoveLine(at_);
    // The line was inserted after the one selected then.
    frame_.SelectLine(at_ - 1);
}

DeleteLineCommand::DeleteLineCommand(TFrameProgram& frame, int at)
    : frame_(frame),
      at_(at),
      tag_(frame.program().steps()[size_t(at)]),
      text_(frame.program().lines()[size_t(at)]) {
    setText(QString("Delete %1").arg(button_name(frame.program().table, tag_, text_)));
}

void DeleteLineCommand::redo() { frame_.RemoveLine(at_); }

void DeleteLineCommand::undo() { frame_.InsertLine(at_, tag_, text_); }

EditCellCommand::EditCellCommand(TFrameProgram& frame, int column, int row, std::string before, std::string after)
    : frame_(frame), column_(column), row_(row), before_(std::move(before)), after_(std::move(after)) {
    const CommandTable& table = frame.program().table;
    const int tag = 2 * row - (column < 3 ? 1 : 0);
    const QString what = latin1(table.cell(column, 0));
    const QString title = latin1(table.title(tag));
    setText(title.isEmpty() ? QString("Edit %1 of button %2").arg(what).arg(tag)
                            : QString("Edit %1 of %2").arg(what, title));
}

void EditCellCommand::redo() { frame_.SetCell(column_, row_, after_); }

void EditCellCommand::undo() { frame_.SetCell(column_, row_, before_); }

}  // namespace dozu
