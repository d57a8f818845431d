// The program frame as a real widget, driven by simulated clicks and keys.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCompleter>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QUndoStack>

#include "io/file_io.h"
#include "support/temp_dir.h"
#include "ui/frame_program.h"
#include "ui/program_document.h"

using namespace dozu;
using namespace dozu::testing;

namespace {

class Frame : public ::testing::Test {
protected:
    Frame() {
        frame.resize(600, 260);
        frame.show();
        frame.TakeChanged();
    }

    QPushButton* button(int tag) { return frame.findChild<QPushButton*>(QString("Button%1").arg(tag)); }
    void click(int tag) { QTest::mouseClick(button(tag), Qt::LeftButton); }
    static QStringList code(const TFrameProgram& f) {
        QStringList lines;
        const QAbstractItemModel* model = f.LBCode->model();
        for (int i = 0; i < model->rowCount(); ++i) lines << model->index(i, 0).data().toString();
        return lines;
    }
    QStringList code() const { return code(frame); }
    // The line the list highlights, -1 for none; also its current line.
    static int shown(const TFrameProgram& f) {
        const QModelIndexList rows = f.LBCode->selectionModel()->selectedRows();
        if (rows.size() > 1) return -2;
        const int row = rows.empty() ? -1 : rows.front().row();
        return f.LBCode->currentIndex().row() == row ? row : -3;
    }
    int shown() const { return shown(frame); }
    void click_code_line(int row) {
        const QRect r = frame.LBCode->visualRect(frame.LBCode->model()->index(row, 0));
        QTest::mouseClick(frame.LBCode->viewport(), Qt::LeftButton, {}, r.center());
    }

    ProgramDocument document;
    TFrameProgram frame{document};
};

}  // namespace

TEST_F(Frame, ControlsAndLayout) {
    EXPECT_EQ(frame.LBCode->width(), 113);
    EXPECT_EQ(frame.PanelLeft->width(), 98);
    EXPECT_EQ(frame.CBTraceMode->text(), "trace mode");
    EXPECT_FALSE(frame.StringGrid->isVisible());
    EXPECT_TRUE(frame.LBMessages->isVisible());
    EXPECT_EQ(button(4)->geometry(), QRect(50, 2 + 16 * 2, 49, 17));
    EXPECT_EQ(button(19)->geometry(), QRect(0, 2 + 16 * 10, 49, 17));
    EXPECT_EQ(frame.StringGrid->horizontalHeaderItem(1)->text(), "Interpreter code");
    frame.show_command_table(true);
    EXPECT_TRUE(frame.StringGrid->isVisible());
    EXPECT_FALSE(frame.LBMessages->isVisible());
}

// Each line of the program list drawn whole, in the editor's font: the
// number clear of the focus ring at the list's edge, the text clear of the
// rows above and below (an underscore over a macron).
TEST_F(Frame, ProgramListLinesAreDrawnWhole) {
    QFont font("Sans Serif");
    font.setPixelSize(11);
    frame.setFont(font);
    for (int tag : {1, 6, 4, 13, 14, 3}) click(tag);
    document.select_line(-1);
    const QImage list = frame.LBCode->viewport()->grab().toImage();
    const auto ink = [&](int x, int y) { return qGray(list.pixel(x, y)) < 160; };
    for (int row = 0; row < 6; ++row) {
        const QRect r = frame.LBCode->visualRect(frame.LBCode->model()->index(row, 0));
        for (int x = r.left(); x <= r.right(); ++x) EXPECT_FALSE(ink(x, r.top()) || ink(x, r.bottom())) << row;
        for (int y = r.top(); y <= r.bottom(); ++y) EXPECT_FALSE(ink(0, y) || ink(1, y) || ink(2, y)) << row;
    }
}

TEST_F(Frame, CaptionTimer) {
    EXPECT_TRUE(frame.Hack->isActive());
    EXPECT_EQ(button(7)->text(), "Button7");
    EXPECT_TRUE(QTest::qWaitFor([&] { return button(7)->text() == "  <  "; }, 2000));
    EXPECT_EQ(button(20)->text(), "");
    EXPECT_EQ(button(14)->text(), QString::fromLatin1("  \xAF  "));
    EXPECT_FALSE(frame.Hack->isActive());

    // An edit of a title cell shows on the button at the timer's next firing;
    // lines already in the program keep their text.
    click(4);
    frame.TakeChanged();
    frame.StringGrid->item(1, 3)->setText("bigger");
    EXPECT_EQ(button(4)->text(), "grow_r");
    EXPECT_TRUE(frame.Hack->isActive());
    EXPECT_TRUE(QTest::qWaitFor([&] { return button(4)->text() == "bigger"; }, 2000));
    frame.StringGrid->item(1, 4)->setText("R4");
    EXPECT_EQ(code(), QStringList{"R2 "});
    EXPECT_EQ(frame.program().table.interpreter_code(4), "R4");
    EXPECT_FALSE(frame.TakeChanged());  // an edit starts no run

    // A key press in the grid starts the timer, and does not restart it.
    QTest::qWaitFor([&] { return !frame.Hack->isActive(); }, 2000);
    frame.show_command_table(true);
    QTest::keyClick(frame.StringGrid, Qt::Key_Right);
    EXPECT_TRUE(frame.Hack->isActive());
    const int left = frame.Hack->remainingTime();
    QTest::qWait(50);
    QTest::keyClick(frame.StringGrid, Qt::Key_Left);
    EXPECT_LT(frame.Hack->remainingTime(), left);
}

TEST_F(Frame, ClicksInsertAfterTheSelection) {
    click(1);
    click(2);
    EXPECT_EQ(code(), (QStringList{"* ", "= "}));
    EXPECT_EQ(shown(), 1);
    EXPECT_TRUE(frame.TakeChanged());
    click(6);
    click(4);
    click(17);
    click_code_line(2);
    EXPECT_EQ(shown(), 2);
    click(13);
    EXPECT_EQ(code(), (QStringList{"* ", "= ", "S4 ", "B ", "R2 ", "^ "}));
    EXPECT_EQ(frame.program().steps(), (std::vector<uint8_t>{1, 2, 6, 13, 4, 17}));
    EXPECT_EQ(shown(), 3);
    EXPECT_EQ(frame.program().selected(), 3);

    frame.TakeChanged();
    for (int tag = 20; tag <= 26; ++tag) click(tag);
    EXPECT_EQ(code().size(), 6);
    EXPECT_FALSE(frame.TakeChanged());
}

TEST_F(Frame, DeleteKey) {
    click(1);
    click(2);
    click(17);
    frame.TakeChanged();
    // Only Delete deletes: "." once had Delete's key code.
    for (Qt::Key key : {Qt::Key_Period, Qt::Key_Backspace, Qt::Key_Insert}) QTest::keyClick(frame.LBCode, key);
    EXPECT_EQ(code().size(), 3);
    QTest::keyClick(frame.LBCode, Qt::Key_Delete);
    EXPECT_EQ(code(), (QStringList{"* ", "= "}));
    EXPECT_EQ(frame.program().steps(), (std::vector<uint8_t>{1, 2}));
    EXPECT_EQ(shown(), 1);
    EXPECT_TRUE(frame.TakeChanged());
    QTest::keyClick(frame.LBCode, Qt::Key_Delete);
    QTest::keyClick(frame.LBCode, Qt::Key_Delete);
    EXPECT_TRUE(code().isEmpty());
    EXPECT_EQ(shown(), -1);
    frame.TakeChanged();
    QTest::keyClick(frame.LBCode, Qt::Key_Delete);
    EXPECT_FALSE(frame.TakeChanged());
}

TEST_F(Frame, TraceMode) {
    for (int tag : {1, 6, 4, 2, 17}) click(tag);
    EXPECT_EQ(frame.run_count(), 5);
    QTest::mouseClick(frame.CBTraceMode, Qt::LeftButton);
    EXPECT_TRUE(frame.CBTraceMode->isChecked());
    EXPECT_TRUE(frame.TakeChanged());
    click_code_line(1);
    EXPECT_EQ(frame.run_count(), 2);
    EXPECT_TRUE(frame.TakeChanged());
    // Moving the selection with the keyboard runs again up to the new line.
    QTest::keyClick(frame.LBCode, Qt::Key_Down);
    EXPECT_EQ(frame.run_count(), 3);
    EXPECT_TRUE(frame.TakeChanged());
    QTest::mouseClick(frame.CBTraceMode, Qt::LeftButton);
    EXPECT_TRUE(frame.TakeChanged());
    click_code_line(0);
    EXPECT_FALSE(frame.TakeChanged());
    EXPECT_EQ(frame.run_count(), 5);
}

TEST_F(Frame, MessageClickSelectsTheTaggedLine) {
    for (int tag : {1, 6, 4, 2}) click(tag);
    frame.messages = {{"error: one", 1}, {"error: beyond", 9}};
    frame.show_messages();
    ASSERT_EQ(frame.LBMessages->count(), 2);
    EXPECT_EQ(frame.LBMessages->item(0)->data(Qt::UserRole).toInt(), 1);
    frame.TakeChanged();
    QTest::mouseClick(frame.LBMessages->viewport(), Qt::LeftButton, {},
                      frame.LBMessages->visualItemRect(frame.LBMessages->item(0)).center());
    EXPECT_EQ(shown(), 1);
    EXPECT_EQ(frame.program().selected(), 1);
    QTest::mouseClick(frame.LBMessages->viewport(), Qt::LeftButton, {},
                      frame.LBMessages->visualItemRect(frame.LBMessages->item(1)).center());
    EXPECT_EQ(shown(), 1);
    EXPECT_FALSE(frame.TakeChanged());
}

TEST_F(Frame, LoadAndSaveThroughTheFrame) {
    TempDir dir;
    for (int tag : {1, 2}) click(tag);
    document.save(QString::fromStdString(dir / "p.tpg"), false);
    EXPECT_EQ(read_bytes(dir / "p.tpg").size(), 425u);
    document.save(QString::fromStdString(dir / "p.out"), true);
    EXPECT_EQ(read_text(dir / "p.out"),
              "turtle:init_stack_frame\xFF"
              "turtle:first\xFF");

    ProgramDocument other_document;
    TFrameProgram other(other_document);
    other.StringGrid->item(0, 0)->setText("mine");
    other.TakeChanged();
    other_document.load(QString::fromStdString(dir / "p.tpg"));
    EXPECT_EQ(code(other).size(), 2);
    EXPECT_EQ(code(other)[1], "= ");
    EXPECT_EQ(shown(other), 1);
    EXPECT_EQ(other.StringGrid->item(0, 0)->text(), "init");
    EXPECT_EQ(other.Buttons[0]->text(), "init");  // captions follow a load at once
    EXPECT_TRUE(other.TakeChanged());

    // A file that cannot be read changes nothing; neither does a failed save.
    EXPECT_THROW(other_document.load(QString::fromStdString(dir / "none.tpg")), FileError);
    EXPECT_EQ(code(other).size(), 2);
    std::filesystem::create_directory(dir / "sub");
    EXPECT_THROW(other_document.save(QString::fromStdString(dir / "sub"), false), FileError);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "sub"));
    EXPECT_EQ(read_bytes(dir / "p.tpg").size(), 425u);
}

// The editor's side of a program past the line text limit: a load that
// fails leaves the buttons, the list, the history and what Save writes as
// they were, and a click that would pass it inserts nothing and says why.
TEST_F(Frame, TooLargeProgramsChangeNothing) {
    TempDir dir;
    for (int tag : {1, 2}) click(tag);
    document.undo_stack()->setClean();
    CommandTable table;
    table.set_cell(CommandTable::code_column(20), CommandTable::row_of(20), std::string(65536, '^'));
    write_bytes(dir / "big.tpg", encode_program_file(table, std::vector<uint8_t>(65536, 20)));
    const QString caption = frame.Buttons[19]->toolTip();
    frame.TakeChanged();
    EXPECT_THROW(document.load(QString::fromStdString(dir / "big.tpg")), ProgramTooLarge);
    EXPECT_EQ(frame.Buttons[19]->toolTip(), caption);
    EXPECT_EQ(code(), (QStringList{"* ", "= "}));
    EXPECT_EQ(shown(), 1);
    EXPECT_TRUE(document.undo_stack()->isClean());
    EXPECT_EQ(document.undo_stack()->count(), 2);
    EXPECT_TRUE(document.file_name().isEmpty());
    EXPECT_FALSE(frame.TakeChanged());
    document.save(QString::fromStdString(dir / "p.tpg"), false);
    EXPECT_EQ(read_bytes(dir / "p.tpg"), encode_program_file(CommandTable(), {1, 2}));

    // Lines of 13 MiB: the list shows their start.
    QStringList refused;
    frame.refuse = [&](const QString& text) { refused << text; };
    document.set_cell(CommandTable::code_column(20), CommandTable::row_of(20), std::string(13 << 20, 'V'));
    for (int i = 0; i < 4; ++i) frame.ButtonClick(20);
    EXPECT_TRUE(refused.isEmpty());
    frame.ButtonClick(20);
    EXPECT_EQ(refused, QStringList{"program too large: its lines would hold 68157449 bytes, the limit is 64 MiB"});
    EXPECT_EQ(code().size(), 6);
    EXPECT_EQ(code()[2].left(3), "VVV");
    EXPECT_LT(code()[2].size(), 2000);
    EXPECT_EQ(document.undo_stack()->count(), 6);

    // A cell whose file would be too large for a load: refused, and shown
    // as it stays.
    refused.clear();
    frame.StringGrid->item(0, 0)->setText(QString((3 << 20) - 1, 't'));
    EXPECT_EQ(refused,
              QStringList{"Nothing was changed: the program's file would pass 16 MiB, the most a load reads."});
    EXPECT_EQ(frame.StringGrid->item(0, 0)->text(), "init");
    EXPECT_EQ(document.undo_stack()->count(), 6);
}

TEST_F(Frame, TheMessageListShowsTheFirstThousandMessages) {
    frame.ButtonClick(1);  // a program with lines numbers its messages
    frame.messages.assign(1500, Message{"error: stack underflow, pop statement ignored", 7});
    frame.show_messages();
    ASSERT_EQ(frame.LBMessages->count(), 1001);
    EXPECT_EQ(frame.LBMessages->item(999)->text(), "8: error: stack underflow, pop statement ignored");
    EXPECT_EQ(frame.LBMessages->item(1000)->text(), "... and 500 more messages");
}

TEST_F(Frame, DialogFilters) {
    EXPECT_EQ(frame.ODProgram->nameFilters(), QStringList{"Program (*.tpg)"});
    EXPECT_EQ(frame.SDProgram->nameFilters(), (QStringList{"Program [*.tpg] (*.tpg)", "All files [*.*] (*)"}));
    EXPECT_EQ(frame.SDProgram->defaultSuffix(), "tpg");
    EXPECT_EQ(frame.SDProgram->acceptMode(), QFileDialog::AcceptSave);
}

TEST_F(Frame, TheListShowsTheModelsSelection) {
    for (int tag : {1, 6, 4}) click(tag);
    click_code_line(1);
    EXPECT_EQ(shown(), 1);
    // Below the last line: nothing is picked, and the next click inserts at
    // the top.
    QTest::mouseClick(frame.LBCode->viewport(), Qt::LeftButton, {},
                      QPoint(20, frame.LBCode->viewport()->height() - 5));
    EXPECT_EQ(frame.program().selected(), -1);
    EXPECT_EQ(shown(), -1);
    click(2);
    EXPECT_EQ(code(), (QStringList{"= ", "* ", "S4 ", "R2 "}));
    EXPECT_EQ(shown(), 0);
    // So does a Ctrl+click on the only selected line.
    click_code_line(2);
    QTest::mouseClick(frame.LBCode->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      frame.LBCode->visualRect(frame.LBCode->model()->index(2, 0)).center());
    EXPECT_EQ(frame.program().selected(), -1);
    EXPECT_EQ(shown(), -1);
}

TEST_F(Frame, UndoAndRedo) {
    QUndoStack& undo = *document.undo_stack();
    for (int tag : {1, 6, 4}) click(tag);
    click_code_line(0);
    click(2);
    EXPECT_EQ(undo.undoText(), "Insert first");
    undo.undo();
    EXPECT_EQ(code(), (QStringList{"* ", "S4 ", "R2 "}));
    EXPECT_EQ(shown(), 0);
    undo.redo();
    EXPECT_EQ(code(), (QStringList{"* ", "= ", "S4 ", "R2 "}));
    EXPECT_EQ(frame.program().steps(), (std::vector<uint8_t>{1, 2, 6, 4}));
    EXPECT_EQ(shown(), 1);

    click_code_line(2);
    QTest::keyClick(frame.LBCode, Qt::Key_Delete);
    EXPECT_EQ(undo.undoText(), "Delete grow_s");
    frame.TakeChanged();
    undo.undo();
    EXPECT_TRUE(frame.TakeChanged());
    EXPECT_EQ(code(), (QStringList{"* ", "= ", "S4 ", "R2 "}));
    EXPECT_EQ(frame.program().steps(), (std::vector<uint8_t>{1, 2, 6, 4}));
    EXPECT_EQ(shown(), 2);

    // A cell edit: the old code comes back in the table and the grid, and
    // the title on the button with the caption timer.
    frame.StringGrid->item(2, 3)->setText("big");  // tag 6's title
    EXPECT_EQ(frame.program().table.title(6), "big");
    EXPECT_EQ(undo.undoText(), "Edit Button Title of grow_s");
    undo.undo();
    EXPECT_EQ(frame.program().table.title(6), "grow_s");
    EXPECT_EQ(frame.StringGrid->item(2, 3)->text(), "grow_s");
    EXPECT_TRUE(QTest::qWaitFor([&] { return button(6)->text() == "grow_s"; }, 2000));
    undo.redo();
    EXPECT_EQ(frame.StringGrid->item(2, 3)->text(), "big");

    // A load starts a new history, clean.
    TempDir dir;
    document.save(QString::fromStdString(dir / "p.tpg"), false);
    EXPECT_TRUE(undo.isClean());
    click(1);
    EXPECT_FALSE(undo.isClean());
    document.load(QString::fromStdString(dir / "p.tpg"));
    EXPECT_EQ(undo.count(), 0);
    EXPECT_TRUE(undo.isClean());
}

TEST_F(Frame, ShortFileWarnsAndNewRestoresTheTable) {
    TempDir dir;
    write_bytes(dir / "empty.tpg", {});
    frame.messages = {{"hint: one", 0}, {"error: two", 2}};
    document.load(QString::fromStdString(dir / "empty.tpg"));
    ASSERT_EQ(frame.LBMessages->count(), 4);
    EXPECT_EQ(frame.LBMessages->item(0)->text(),
              "warning: does not look like a dozu program: its table ends before the 78th cell");
    EXPECT_EQ(frame.LBMessages->item(1)->text(),
              "warning: file ends after 0 of 78 table cells; the rest are empty");
    EXPECT_EQ(frame.LBMessages->item(3)->text(), "error: two");  // no line to number
    for (QPushButton* b : frame.Buttons) {
        EXPECT_EQ(b->text(), "");
        EXPECT_FALSE(b->isEnabled());
        EXPECT_TRUE(b->toolTip().contains("empty"));
    }
    document.new_program();
    EXPECT_EQ(frame.program().table, CommandTable());
    EXPECT_EQ(document.file_name(), "");
    EXPECT_EQ(frame.LBMessages->count(), 2);
    EXPECT_EQ(button(6)->text(), "grow_s");
    EXPECT_TRUE(button(6)->isEnabled());
    EXPECT_EQ(button(6)->toolTip(),
              "grow_s: Lengthens the steps from here on by 0.52.\nInterpreter code: S4\nCompiled code: "
              "turtle:grow_s\nKey: F in the program list");
}

TEST_F(Frame, CompiledSaveOffersABinFile) {
    TempDir dir;
    const QString program = QString::fromStdString(dir / "chain.tpg");
    document.save(program, false);
    QStringList filters;
    QString suggested, suffix;
    frame.exec_file_dialog = [&](QFileDialog* dialog) {
        filters = dialog->nameFilters();
        suffix = dialog->defaultSuffix();
        suggested = QDir(dialog->directory()).filePath(dialog->selectedFiles().value(0));
        return QString::fromStdString(dir / "chain.bin");
    };
    click(1);
    ASSERT_TRUE(frame.SaveProgram(true));
    EXPECT_EQ(filters.value(0), "Compiled [*.bin] (*.bin)");
    EXPECT_EQ(suffix, "bin");
    EXPECT_EQ(QFileInfo(suggested).fileName(), "chain.bin");
    EXPECT_EQ(read_text(dir / "chain.bin"), "turtle:init_stack_frame\xFF");
    EXPECT_EQ(document.file_name(), program);  // still the program's file
    EXPECT_FALSE(document.undo_stack()->isClean());

    ASSERT_TRUE(frame.SaveProgram(false));
    EXPECT_EQ(filters.value(0), "Program [*.tpg] (*.tpg)");
    EXPECT_EQ(suffix, "tpg");
    EXPECT_EQ(QFileInfo(suggested).fileName(), "chain.tpg");
}

TEST_F(Frame, ButtonsAreReachedWithTheKeyboard) {
    frame.activateWindow();
    frame.CBTraceMode->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return frame.CBTraceMode->hasFocus(); }, 2000));
    QTest::keyClick(frame.CBTraceMode, Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), button(1));
    QTest::keyClick(button(1), Qt::Key_Space);
    QTest::keyClick(button(1), Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_EQ(code(), (QStringList{"* ", "= "}));
}

TEST_F(Frame, LoadDialogLeavesNoPopupBehind) {
    TempDir dir;
    document.save(QString::fromStdString(dir / "chain.tpg"), false);
    frame.ODProgram->setDirectory(QString::fromStdString(dir.path().string()));
    bool popup_seen = false;
    QTimer::singleShot(100, [&] {
        auto* name = frame.ODProgram->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        QTest::keyClicks(name, "cha");
        // The completer offers chain.tpg in its popup, then Enter accepts.
        // Its file model is filled on a thread of its own, which can be slow
        // on a loaded machine.
        popup_seen =
            QTest::qWaitFor([&] { return name->completer() && name->completer()->popup()->isVisible(); }, 30000);
        QTest::keyClicks(name, "in.tpg");
        QTest::keyClick(name, Qt::Key_Return);
        if (frame.ODProgram->isVisible()) QTest::keyClick(name, Qt::Key_Return);
    });
    ASSERT_TRUE(frame.LoadProgram().has_value());
    EXPECT_TRUE(popup_seen);
    QTest::qWait(100);
    for (QWidget* w : QApplication::topLevelWidgets())
        EXPECT_FALSE(w->isVisible() && w->windowType() == Qt::Popup) << w->metaObject()->className();
}

// Lines picked with Shift and Ctrl, cut, pasted elsewhere and moved with
// the list's keys; each edit undoes as one step, the selection with it.
TEST_F(Frame, CutPasteAndMoveLinesWithUndo) {
    for (int tag : {1, 6, 4, 2, 17, 17, 13}) click(tag);
    EXPECT_EQ(frame.LBCode->model()->index(1, 0).data(Qt::AccessibleTextRole).toString(), "2 grow_s S4 ");
    QUndoStack& undo = *document.undo_stack();
    QClipboard& clipboard = *QGuiApplication::clipboard();
    const auto click_with = [&](int row, Qt::KeyboardModifiers keys) {
        QTest::mouseClick(frame.LBCode->viewport(), Qt::LeftButton, keys,
                          frame.LBCode->visualRect(frame.LBCode->model()->index(row, 0)).center());
    };
    // Through the window, as the keyboard sends them: shortcuts see them.
    const auto key = [&](Qt::Key key, Qt::KeyboardModifiers keys = {}) {
        QTest::keyClick(frame.windowHandle(), key, keys);
    };
    frame.activateWindow();
    frame.LBCode->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return frame.LBCode->hasFocus(); }, 2000));
    click_code_line(1);
    click_with(2, Qt::ShiftModifier);
    click_with(6, Qt::ControlModifier);
    EXPECT_EQ(document.selection(), (LineSelection{{1, 2, 6}, 6}));

    key(Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(clipboard.text(), "S4\nR2\nB\n");
    EXPECT_EQ(code(), (QStringList{"* ", "= ", "^ ", "^ "}));
    EXPECT_EQ(undo.undoText(), "Cut 3 lines");
    click_code_line(3);
    key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(code(), (QStringList{"* ", "= ", "^ ", "^ ", "S4 ", "R2 ", "B "}));
    EXPECT_EQ(frame.program().steps(), (std::vector<uint8_t>{1, 2, 17, 17, 6, 4, 13}));
    EXPECT_EQ(document.selection(), (LineSelection{{4, 5, 6}, 6}));
    key(Qt::Key_Up, Qt::AltModifier);
    key(Qt::Key_Up, Qt::AltModifier);
    EXPECT_EQ(code(), (QStringList{"* ", "= ", "S4 ", "R2 ", "B ", "^ ", "^ "}));
    EXPECT_EQ(document.selection(), (LineSelection{{2, 3, 4}, 4}));
    EXPECT_EQ(undo.undoText(), "Move Up 3 lines");
    // A letter clicks its button, after the current line.
    key(Qt::Key_M);
    EXPECT_EQ(code()[5], "B ");

    for (int i = 0; i < 3; ++i) undo.undo();
    EXPECT_EQ(code(), (QStringList{"* ", "= ", "^ ", "^ ", "S4 ", "R2 ", "B "}));
    EXPECT_EQ(document.selection(), (LineSelection{{4, 5, 6}, 6}));
    undo.undo();
    undo.undo();
    EXPECT_EQ(code(), (QStringList{"* ", "S4 ", "R2 ", "= ", "^ ", "^ ", "B "}));
    EXPECT_EQ(frame.program().steps(), (std::vector<uint8_t>{1, 6, 4, 2, 17, 17, 13}));
    EXPECT_EQ(document.selection(), (LineSelection{{1, 2, 6}, 6}));
    EXPECT_EQ(shown(), -2);  // the list shows the three lines

    // Text with a line that no button has is refused whole.
    QStringList refused;
    frame.refuse = [&](const QString& text) { refused << text; };
    clipboard.setText("*\nR7\n");
    const int steps = undo.count();
    key(Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(refused,
              QStringList{"Nothing was pasted: line 2 of the clipboard, \"R7\", is the code of no button."});
    EXPECT_EQ(code().size(), 7);
    EXPECT_EQ(undo.count(), steps);
}
