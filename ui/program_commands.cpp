#include "ui/program_commands.h"

#include "ui/latin1_text.h"

namespace dozu {

namespace {

// A button by its title, or by what it inserts when it has none.
QString button_name(const CommandTable& table, uint8_t tag, const std::string& text) {
    const QString title = latin1(table.title(tag)).trimmed();
    return title.isEmpty() ? latin1(text).trimmed() : title;
}

}  // namespace

InsertLineCommand::InsertLineCommand(ProgramDocument& document, int at, uint8_t tag, std::string text)
    : document_(document), at_(at), tag_(tag), text_(std::move(text)), before_(document.selection()) {
    setText(QString("Insert %1").arg(button_name(document.program().table, tag, text_)));
}

void InsertLineCommand::redo() { document_.insert_line(at_, tag_, text_); }

void InsertLineCommand::undo() {
    document_.remove_line(at_);
    document_.select_lines(before_.rows, before_.current);
}

RemoveLinesCommand::RemoveLinesCommand(ProgramDocument& document, std::vector<int> rows, const QString& text)
    : document_(document), rows_(std::move(rows)), before_(document.selection()) {
    const Program& program = document.program();
    for (const int row : rows_) {
        tags_.push_back(program.steps()[size_t(row)]);
        lines_.push_back(program.lines()[size_t(row)]);
    }
    setText(text);
}

void RemoveLinesCommand::redo() { document_.remove_lines(rows_); }

void RemoveLinesCommand::undo() {
    document_.insert_lines(rows_, tags_, lines_);
    document_.select_lines(before_.rows, before_.current);
}

InsertLinesCommand::InsertLinesCommand(ProgramDocument& document, std::vector<int> rows, std::vector<uint8_t> tags,
                                       ProgramLines lines, const QString& text)
    : document_(document),
      rows_(std::move(rows)),
      tags_(std::move(tags)),
      lines_(std::move(lines)),
      before_(document.selection()) {
    setText(text);
}

void InsertLinesCommand::redo() { document_.insert_lines(rows_, tags_, lines_); }

void InsertLinesCommand::undo() {
    document_.remove_lines(rows_);
    document_.select_lines(before_.rows, before_.current);
}

MoveLinesCommand::MoveLinesCommand(ProgramDocument& document, std::vector<int> rows, bool up, const QString& text)
    : document_(document), rows_(std::move(rows)), up_(up), before_(document.selection()) {
    setText(text);
}

void MoveLinesCommand::redo() { document_.move_lines(rows_, up_); }

void MoveLinesCommand::undo() {
    std::vector<int> moved = rows_;
    for (int& row : moved) row += up_ ? -1 : 1;
    document_.move_lines(moved, !up_);
    document_.select_lines(before_.rows, before_.current);
}

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
