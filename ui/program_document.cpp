#include "ui/program_document.h"

#include <QUndoStack>
#include <algorithm>

#include "io/file_io.h"
#include "io/same_file.h"
#include "program/program_text.h"
#include "ui/latin1_text.h"
#include "ui/path_bytes.h"
#include "ui/program_commands.h"
#include "ui/program_list_model.h"

namespace dozu {

namespace {

// Counts an edit of the lines while it lasts.
class Editing {
public:
    explicit Editing(int& count) : count_(count) { ++count_; }
    ~Editing() { --count_; }
    Editing(const Editing&) = delete;
    Editing& operator=(const Editing&) = delete;

private:
    int& count_;
};

// A button by its title, or by what it inserts when it has none.
QString button_name(const CommandTable& table, uint8_t tag) {
    const QString title = latin1(table.title(tag)).trimmed();
    return title.isEmpty() ? latin1(table.interpreter_code(tag)).trimmed() : title;
}

// "grow_s" for one line, "3 lines" for more.
QString lines_name(const Program& program, const std::vector<int>& rows) {
    if (rows.size() == 1) return button_name(program.table, program.steps()[size_t(rows.front())]);
    return QString("%1 lines").arg(rows.size());
}

}  // namespace

QString refusal(const char* what_was_not_done, const ProgramFileTooLarge& e) {
    return QString("Nothing was %1: %2.").arg(what_was_not_done, QString::fromLatin1(e.what()));
}

ProgramDocument::ProgramDocument(QObject* parent)
    : QObject(parent), list_model_(new ProgramListModel(program_, this)), undo_stack_(new QUndoStack(this)) {}

// The undo steps and the list model refer to the program: they go first.
ProgramDocument::~ProgramDocument() {
    delete undo_stack_;
    delete list_model_;
}

bool ProgramDocument::click_button(int tag) {
    std::string line = program_.click_line(tag);
    if (line.empty()) return false;
    undo_stack_->push(new InsertLineCommand(*this, program_.selected() + 1, uint8_t(tag), std::move(line)));
    return true;
}

void ProgramDocument::delete_selected() {
    const std::vector<int> rows = selection().rows;
    if (!rows.empty())
        undo_stack_->push(new RemoveLinesCommand(*this, rows, "Delete " + lines_name(program_, rows)));
}

std::string ProgramDocument::copy_selected() const { return program_text(program_.lines(), selection().rows); }

std::string ProgramDocument::cut_selected() {
    const std::vector<int> rows = selection().rows;
    if (rows.empty()) return {};
    std::string text = program_text(program_.lines(), rows);
    undo_stack_->push(new RemoveLinesCommand(*this, rows, "Cut " + lines_name(program_, rows)));
    return text;
}

QString ProgramDocument::paste(const QString& text) {
    // The codes are 8-bit texts without the byte 0xFF: a character beyond
    // Latin-1 becomes that byte, which no code holds.
    std::string bytes(size_t(text.size()), '\xFF');
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text[i].unicode() < 0xFF) bytes[size_t(i)] = char(text[i].unicode());
    const ProgramText read = read_program_text(program_.table, bytes);
    if (read.unknown_line)
        return QString("Nothing was pasted: line %1 of the clipboard, \"%2\", is the code of no button.")
            .arg(read.unknown_line)
            .arg(text.section('\n', int(read.unknown_line - 1), int(read.unknown_line - 1)).trimmed().left(100));
    if (read.tags.empty()) return "Nothing was pasted: the clipboard holds no program lines.";
    try {
        check_program_file_size(program_.table, program_.steps().size() + read.tags.size());
    } catch (const ProgramFileTooLarge& e) {
        return refusal("pasted", e);
    }
    check_line_text(program_.lines().text_size() + read.lines.text_size());
    std::vector<int> rows(read.tags.size());
    for (size_t i = 0; i < rows.size(); ++i) rows[i] = program_.selected() + 1 + int(i);
    const QString name =
        rows.size() == 1 ? button_name(program_.table, read.tags.front()) : QString("%1 lines").arg(rows.size());
    undo_stack_->push(new InsertLinesCommand(*this, rows, read.tags, read.lines, "Paste " + name));
    return {};
}

bool ProgramDocument::move_selected(bool up) {
    const std::vector<int> rows = selection().rows;
    if (rows.empty() || (up ? rows.front() == 0 : size_t(rows.back()) + 1 >= program_.lines().size()))
        return false;
    undo_stack_->push(new MoveLinesCommand(
        *this, rows, up, QString(up ? "Move Up %1" : "Move Down %1").arg(lines_name(program_, rows))));
    return true;
}

QString ProgramDocument::edit_cell(int column, int row, const std::string& text) {
    const std::string& before = program_.table.cell(column, row);
    if (text == before) return {};
    CommandTable table = program_.table;
    table.set_cell(column, row, text);
    try {
        check_program_file_size(table, program_.steps().size());
    } catch (const ProgramFileTooLarge& e) {
        return refusal("changed", e);
    }
    undo_stack_->push(new EditCellCommand(*this, column, row, before, text));
    return {};
}

void ProgramDocument::insert_line(int at, uint8_t tag, const std::string& text) {
    at = std::clamp(at, 0, int(program_.lines().size()));
    list_model_->begin_insert(at, at);
    program_.insert_line(at, tag, text);
    list_model_->end_insert();
    selected_rows_.assign(1, program_.selected());
    emit selection_changed();
}

void ProgramDocument::remove_line(int at) {
    if (at < 0 || size_t(at) >= program_.lines().size()) return;
    remove_lines({at});
}

bool ProgramDocument::consecutive(const std::vector<int>& rows) {
    return !rows.empty() && rows.back() - rows.front() + 1 == int(rows.size());
}

void ProgramDocument::insert_lines(const std::vector<int>& rows, const std::vector<uint8_t>& tags,
                                   LineView texts) {
    if (rows.empty()) return;
    {
        const Editing editing(editing_);
        if (consecutive(rows)) {
            list_model_->begin_insert(rows.front(), rows.back());
            program_.insert_lines(rows, tags, texts);
            list_model_->end_insert();
        } else {
            list_model_->begin_reset();
            program_.insert_lines(rows, tags, texts);
            list_model_->end_reset();
        }
    }
    set_selection(rows, rows.back());
    emit selection_changed();
}

void ProgramDocument::remove_lines(const std::vector<int>& rows) {
    if (rows.empty()) return;
    {
        const Editing editing(editing_);
        if (consecutive(rows)) {
            list_model_->begin_remove(rows.front(), rows.back());
            program_.remove_lines(rows);
            list_model_->end_remove();
        } else {
            list_model_->begin_reset();
            program_.remove_lines(rows);
            list_model_->end_reset();
        }
    }
    set_selection({program_.selected()}, program_.selected());
    emit selection_changed();
}

void ProgramDocument::move_lines(const std::vector<int>& rows, bool up) {
    if (rows.empty() || (up ? rows.front() == 0 : size_t(rows.back()) + 1 >= program_.lines().size())) return;
    const LineSelection before = selection();
    {
        const Editing editing(editing_);
        if (consecutive(rows)) {
            list_model_->begin_move(rows.front(), rows.back(), up ? rows.front() - 1 : rows.back() + 2);
            program_.move_lines(rows, up);
            list_model_->end_move();
        } else {
            list_model_->begin_reset();
            program_.move_lines(rows, up);
            list_model_->end_reset();
        }
    }
    const int by = up ? -1 : 1;
    std::vector<int> moved = rows;
    for (int& row : moved) row += by;
    const bool current_moved = std::binary_search(rows.begin(), rows.end(), before.current);
    set_selection(std::move(moved), current_moved ? before.current + by : before.current);
    emit selection_changed();
}

void ProgramDocument::set_cell(int column, int row, const std::string& text) {
    program_.table.set_cell(column, row, text);
    if (column == CommandTable::title_column(1) || column == CommandTable::title_column(2))
        list_model_->titles_changed();
    emit cell_changed(column, row);
}

void ProgramDocument::select_line(int line) {
    select_lines(line >= 0 ? std::vector<int>{line} : std::vector<int>{}, line);
}

void ProgramDocument::select_lines(std::vector<int> rows, int current) {
    set_selection(std::move(rows), current);
    if (program_.trace_mode()) program_.request_run();
    emit selection_changed();
}

void ProgramDocument::set_selection(std::vector<int> rows, int current) {
    const int count = int(program_.lines().size());
    std::erase_if(rows, [count](int row) { return row < 0 || row >= count; });
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (!std::binary_search(rows.begin(), rows.end(), current)) current = rows.empty() ? -1 : rows.back();
    program_.select(current);
    selected_rows_ = std::move(rows);
}

LineSelection ProgramDocument::selection() const {
    const int current = program_.selected();
    if (current < 0) return {};
    if (std::binary_search(selected_rows_.begin(), selected_rows_.end(), current))
        return {selected_rows_, current};
    return {{current}, current};
}

LoadReport ProgramDocument::load(const QString& path) { return *load(path, nullptr); }

std::optional<LoadReport> ProgramDocument::load(const QString& path, const LoadAnyway& load_anyway) {
    // The new program is built aside first: a load that fails, or is not
    // wanted, changes nothing.
    LoadedProgram loaded = Program::prepare(read_file(path_bytes(path), kMaxProgramFileSize));
    const std::string& not_a_program = loaded.report.not_a_program;
    if (!not_a_program.empty() && load_anyway && !load_anyway(path, not_a_program)) return std::nullopt;
    return replace_with(std::move(loaded), absolute_path(path));
}

LoadReport ProgramDocument::replace_with(LoadedProgram loaded, const QString& file_name) {
    list_model_->begin_reset();
    const LoadReport report = program_.replace(std::move(loaded));
    list_model_->end_reset();
    set_selection({program_.selected()}, program_.selected());
    load_notes_.clear();
    if (!report.not_a_program.empty())
        load_notes_.push_back({"warning: does not look like a dozu program: " + report.not_a_program, -1});
    if (const std::string warning = report.table_warning(); !warning.empty())
        load_notes_.push_back({"warning: " + warning, -1});
    replace_done(file_name);
    return report;
}

LoadReport ProgramDocument::restore(const std::vector<uint8_t>& copy, const QString& file_name) {
    const LoadReport report = replace_with(Program::prepare(copy), file_name);
    undo_stack_->resetClean();
    return report;
}

void ProgramDocument::save(const QString& path, bool compiled) {
    if (compiled) refuse_program_file(path);
    program_.SaveProgram(path_bytes(path), compiled);
    if (compiled) {
        emit saved(path, true);
        return;
    }
    file_name_ = absolute_path(path);
    undo_stack_->setClean();
    emit file_changed();
    // The file now holds the whole table.
    if (!load_notes_.empty()) {
        load_notes_.clear();
        emit notes_changed();
    }
    emit saved(path, false);
}

void ProgramDocument::refuse_program_file(const QString& path) const {
    if (file_name_.isEmpty() || !same_file(path_bytes(path), path_bytes(file_name_))) return;
    throw FileError("cannot write \"" + path_bytes(path) + "\": it is the program file \"" +
                    path_bytes(file_name_) + "\"");
}

void ProgramDocument::new_program() {
    list_model_->begin_reset();
    program_.new_program();
    list_model_->end_reset();
    selected_rows_.clear();
    load_notes_.clear();
    replace_done(QString());
}

void ProgramDocument::replace_done(const QString& path) {
    // A new program starts a new history.
    undo_stack_->clear();
    file_name_ = path;
    emit replaced();
    emit file_changed();
    emit notes_changed();
}

}  // namespace dozu
