#include "ui/program_commands.h"

#include "ui/latin1_text.h"
#include "ui/program_document.h"

namespace dozu {

namespace {

// A button by its title, or by what it inserts when it has none.
QString button_name(const CommandTable& table, uint8_t tag, const std::string& text) {
    const QString title = latin1(table.title(tag)).trimmed();
    return title.isEmpty() ? latin1(text).trimmed() : title;
}

}  // namespace

InsertLineCommand::InsertLineCommand(ProgramDocument& document, int at, uint8_t tag, std::string text)
    : document_(document), at_(at), tag_(tag), text_(std::move(text)) {
    setText(QString("Insert %1").arg(button_name(document.program().table, tag, text_)));
}

void InsertLineCommand::redo() { document_.insert_line(at_, tag_, text_); }

void InsertLineCommand::undo() {
    document_.remove_line(at_);
    // The line was inserted after the one selected then.
    document_.select_line(at_ - 1);
}

DeleteLineCommand::DeleteLineCommand(ProgramDocument& document, int at)
    : document_(document),
      at_(at),
      tag_(document.program().steps()[size_t(at)]),
      text_(document.program().lines()[size_t(at)]) {
    setText(QString("Delete %1").arg(button_name(document.program().table, tag_, text_)));
}

void DeleteLineCommand::redo() { document_.remove_line(at_); }

void DeleteLineCommand::undo() { document_.insert_line(at_, tag_, text_); }

EditCellCommand::EditCellCommand(ProgramDocument& document, int column, int row, std::string before,
                                 std::string after)
    : document_(document), column_(column), row_(row), before_(std::move(before)), after_(std::move(after)) {
    const CommandTable& table = document.program().table;
    const int tag = CommandTable::tag_of(column, row);
    const QString what = latin1(table.cell(column, 0)).trimmed();
    const QString title = latin1(table.title(tag)).trimmed();
    setText(title.isEmpty() ? QString("Edit %1 of button %2").arg(what).arg(tag)
                            : QString("Edit %1 of %2").arg(what, title));
}

void EditCellCommand::redo() { document_.set_cell(column_, row_, after_); }

void EditCellCommand::undo() { document_.set_cell(column_, row_, before_); }

}  // namespace dozu
