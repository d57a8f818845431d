// The program document without a window: each edit one undoable step, the
// list model and the signals in step with the program, files and history.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QUndoStack>
#include <filesystem>

#include "io/file_io.h"
#include "support/temp_dir.h"
#include "ui/program_document.h"
#include "ui/program_list_model.h"

using namespace dozu;
using namespace dozu::testing;

namespace {

QStringList rows(const ProgramDocument& document) {
    QStringList lines;
    const ProgramListModel& model = *document.list_model();
    for (int i = 0; i < model.rowCount(); ++i) lines << model.index(i, 0).data().toString();
    return lines;
}

}  // namespace

TEST(ProgramDocument, EditsUndoAndRedoWithoutAWindow) {
    ProgramDocument document;
    QUndoStack& undo = *document.undo_stack();
    const Program& program = document.program();
    QSignalSpy selections(&document, &ProgramDocument::selection_changed);
    QSignalSpy cells(&document, &ProgramDocument::cell_changed);

    for (int tag : {1, 6, 4}) EXPECT_TRUE(document.click_button(tag));
    EXPECT_FALSE(document.click_button(20));  // a button without a code
    document.select_line(0);
    EXPECT_TRUE(document.click_button(2));
    EXPECT_EQ(rows(document), (QStringList{"* ", "= ", "S4 ", "R2 "}));
    EXPECT_EQ(program.steps(), (std::vector<uint8_t>{1, 2, 6, 4}));
    EXPECT_EQ(undo.count(), 4);
    EXPECT_EQ(undo.undoText(), "Insert first");
    EXPECT_EQ(selections.count(), 5);

    undo.undo();
    EXPECT_EQ(rows(document), (QStringList{"* ", "S4 ", "R2 "}));
    EXPECT_EQ(program.selected(), 0);  // the line it was inserted after
    undo.redo();
    EXPECT_EQ(program.selected(), 1);

    document.select_line(2);
    document.delete_selected();
    EXPECT_EQ(undo.undoText(), "Delete grow_s");
    EXPECT_EQ(rows(document), (QStringList{"* ", "= ", "R2 "}));
    undo.undo();
    EXPECT_EQ(rows(document), (QStringList{"* ", "= ", "S4 ", "R2 "}));
    EXPECT_EQ(program.steps(), (std::vector<uint8_t>{1, 2, 6, 4}));
    EXPECT_EQ(program.selected(), 2);

    // A cell edit, named by the button's title; an edit to the same text is
    // no step at all.
    const int count = undo.index();
    document.edit_cell(CommandTable::title_column(6), CommandTable::row_of(6), "grow_s");
    EXPECT_EQ(undo.index(), count);
    document.edit_cell(CommandTable::code_column(6), CommandTable::row_of(6), "S9");
    EXPECT_EQ(undo.undoText(), "Edit Interpreter code of grow_s");
    EXPECT_EQ(program.table.interpreter_code(6), "S9");
    EXPECT_EQ(cells.count(), 1);
    undo.undo();
    EXPECT_EQ(program.table.interpreter_code(6), "S4");
    EXPECT_EQ(cells.count(), 2);
    EXPECT_EQ(rows(document)[2], "S4 ");  // lines keep the text they were made with

    // Lines past their limit: nothing is pushed, nothing changes.
    document.set_cell(CommandTable::code_column(20), CommandTable::row_of(20), std::string(15 << 20, 'V'));
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(document.click_button(20));
    EXPECT_THROW(document.click_button(20), ProgramTooLarge);
    EXPECT_EQ(rows(document).size(), 8);
    EXPECT_EQ(undo.index(), count + 4);
}

TEST(ProgramDocument, FilesSetTheNameAndStartANewHistory) {
    TempDir dir;
    ProgramDocument document;
    QUndoStack& undo = *document.undo_stack();
    QSignalSpy replaced(&document, &ProgramDocument::replaced);
    QSignalSpy files(&document, &ProgramDocument::file_changed);
    for (int tag : {1, 2}) document.click_button(tag);
    EXPECT_FALSE(undo.isClean());

    const QString path = QString::fromStdString(dir / "p.tpg");
    document.save(QString::fromStdString(dir / "p.bin"), true);
    EXPECT_TRUE(document.file_name().isEmpty());
    EXPECT_FALSE(undo.isClean());
    document.save(path, false);
    EXPECT_EQ(document.file_name(), path);
    EXPECT_TRUE(undo.isClean());
    EXPECT_EQ(files.count(), 1);

    document.click_button(17);
    EXPECT_THROW(document.load(QString::fromStdString(dir / "none.tpg")), FileError);
    EXPECT_EQ(rows(document).size(), 3);
    EXPECT_EQ(replaced.count(), 0);
    document.load(path);
    EXPECT_EQ(rows(document), (QStringList{"* ", "= "}));
    EXPECT_EQ(undo.count(), 0);
    EXPECT_TRUE(undo.isClean());
    EXPECT_EQ(replaced.count(), 1);

    write_bytes(dir / "short.tpg", {'a', 0xFF});
    document.load(QString::fromStdString(dir / "short.tpg"));
    ASSERT_EQ(document.load_notes().size(), 2u);
    EXPECT_EQ(document.load_notes()[0].text,
              "warning: does not look like a dozu program: its table ends before the 78th cell");
    EXPECT_EQ(document.load_notes()[1].text, "warning: file ends after 1 of 78 table cells; the rest are empty");
    document.new_program();
    EXPECT_TRUE(document.load_notes().empty());
    EXPECT_TRUE(document.file_name().isEmpty());
    EXPECT_EQ(document.program().table, CommandTable());
    EXPECT_EQ(files.count(), 4);
}

// Every edit and save keeps the program's file within what a load reads:
// a click, a paste or a cell edit past it is refused and changes nothing,
// a program that passed it otherwise is not saved, and one at the limit
// saves and loads back.
TEST(ProgramDocument, EditsAndSavesKeepTheProgramLoadable) {
    TempDir dir;
    ProgramDocument document;
    const int title = CommandTable::title_column(20), row = CommandTable::row_of(20);
    const size_t table = program_file_size(CommandTable(), 0) - CommandTable().cell(title, row).size();
    document.set_cell(title, row, std::string(kMaxProgramFileSize - table - 1000, 't'));
    QString text;
    for (int i = 0; i < 600; ++i) text += "^\n";
    EXPECT_EQ(document.paste(text), "");
    EXPECT_EQ(document.paste(text),
              "Nothing was pasted: the program's file would pass 16 MiB, the most a load reads.");
    EXPECT_EQ(document.paste(text.left(800)), "");
    EXPECT_THROW(document.click_button(17), ProgramFileTooLarge);
    EXPECT_EQ(document.edit_cell(CommandTable::code_column(1), 1, "**"),
              "Nothing was changed: the program's file would pass 16 MiB, the most a load reads.");
    EXPECT_EQ(document.program().table.interpreter_code(1), "*");
    EXPECT_EQ(document.program().lines().size(), 1000u);
    EXPECT_EQ(document.undo_stack()->count(), 2);
    const QString path = QString::fromStdString(dir / "p.tpg");
    document.save(path, false);
    EXPECT_EQ(std::filesystem::file_size(dir / "p.tpg"), kMaxProgramFileSize);
    EXPECT_NO_THROW(document.load(path));
    EXPECT_EQ(document.program().lines().size(), 1000u);

    document.set_cell(title, row, std::string(kMaxProgramFileSize, 't'));
    EXPECT_THROW(document.save(path, false), ProgramFileTooLarge);
    EXPECT_EQ(std::filesystem::file_size(dir / "p.tpg"), kMaxProgramFileSize);
}
