#include "ui/program_document.h"

#include <QUndoStack>
#include <algorithm>

#include "io/file_io.h"
#include "io/same_file.h"
#include "ui/path_bytes.h"
#include "ui/program_commands.h"
#include "ui/program_list_model.h"

namespace dozu {

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
    if (program_.selected() >= 0) undo_stack_->push(new DeleteLineCommand(*this, program_.selected()));
}

void ProgramDocument::edit_cell(int column, int row, const std::string& text) {
    const std::string& before = program_.table.cell(column, row);
    if (text == before) return;
    undo_stack_->push(new EditCellCommand(*this, column, row, before, text));
}

void ProgramDocument::insert_line(int at, uint8_t tag, const std::string& text) {
    at = std::clamp(at, 0, int(program_.lines().size()));
    list_model_->begin_insert(at);
    program_.insert_line(at, tag, text);
    list_model_->end_insert();
    emit selection_changed();
}

void ProgramDocument::remove_line(int at) {
    if (at < 0 || size_t(at) >= program_.lines().size()) return;
    list_model_->begin_remove(at);
    program_.remove_line(at);
    list_model_->end_remove();
    emit selection_changed();
}

void ProgramDocument::set_cell(int column, int row, const std::string& text) {
    program_.table.set_cell(column, row, text);
    emit cell_changed(column, row);
}

void ProgramDocument::select_line(int line) {
    program_.select(line);
    if (program_.trace_mode()) program_.request_run();
    emit selection_changed();
}

LoadReport ProgramDocument::load(const QString& path) { return *load(path, nullptr); }

std::optional<LoadReport> ProgramDocument::load(const QString& path, const LoadAnyway& load_anyway) {
    // The new program is built aside first: a load that fails, or is not
    // wanted, changes nothing.
    LoadedProgram loaded = Program::prepare(read_file(path_bytes(path), kMaxProgramFileSize));
    const std::string& not_a_program = loaded.report.not_a_program;
    if (!not_a_program.empty() && load_anyway && !load_anyway(path, not_a_program)) return std::nullopt;
    list_model_->begin_reset();
    const LoadReport report = program_.replace(std::move(loaded));
    list_model_->end_reset();
    load_notes_.clear();
    if (!report.not_a_program.empty())
        load_notes_.push_back({"warning: does not look like a dozu program: " + report.not_a_program, -1});
    if (const std::string warning = report.table_warning(); !warning.empty())
        load_notes_.push_back({"warning: " + warning, -1});
    replace_done(absolute_path(path));
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
