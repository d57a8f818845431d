// The program frame as a real widget, driven by simulated clicks and keys.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFileDialog>
#include <QListWidget>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include "editor/file_io.h"
#include "editor/frame_program.h"
#include "temp_dir.h"

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
    QStringList code() const {
        QStringList lines;
        for (int i = 0; i < frame.LBCode->count(); ++i) lines << frame.LBCode->item(i)->text();
        return lines;
    }
    void click_code_line(int row) {
        const QRect r = frame.LBCode->visualItemRect(frame.LBCode->item(row));
        QTest::mouseClick(frame.LBCode->viewport(), Qt::LeftButton, {}, r.center());
    }

    TFrameProgram frame;
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
    frame.ShowCommandTable(true);
    EXPECT_TRUE(frame.StringGrid->isVisible());
    EXPECT_FALSE(frame.LBMessages->isVisible());
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
    frame.ShowCommandTable(true);
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
    EXPECT_EQ(frame.LBCode->currentRow(), 1);
    EXPECT_TRUE(frame.TakeChanged());
    click(6);
    click(4);
    click(17);
    click_code_line(2);
    EXPECT_EQ(frame.LBCode->currentRow(), 2);
    click(13);
    EXPECT_EQ(code(), (QStringList{"* ", "= ", "S4 ", "B ", "R2 ", "^ "}));
    EXPECT_EQ(frame.program().steps(), (std::vector<uint8_t>{1, 2, 6, 13, 4, 17}));
    EXPECT_EQ(frame.LBCode->currentRow(), 3);
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
    QTest::keyClick(frame.LBCode, Qt::Key_Delete);
    EXPECT_EQ(code(), (QStringList{"* ", "= "}));
    EXPECT_EQ(frame.program().steps(), (std::vector<uint8_t>{1, 2}));
    EXPECT_EQ(frame.LBCode->currentRow(), 1);
    EXPECT_TRUE(frame.TakeChanged());
    QTest::keyClick(frame.LBCode, Qt::Key_Delete);
    QTest::keyClick(frame.LBCode, Qt::Key_Delete);
    EXPECT_TRUE(code().isEmpty());
    EXPECT_EQ(frame.LBCode->currentRow(), -1);
    frame.TakeChanged();
    QTest::keyClick(frame.LBCode, Qt::Key_Delete);
    EXPECT_FALSE(frame.TakeChanged());
}

TEST_F(Frame, TraceMode) {
    for (int tag : {1, 6, 4, 2, 17}) click(tag);
    EXPECT_EQ(frame.RunCount(), 5);
    QTest::mouseClick(frame.CBTraceMode, Qt::LeftButton);
    EXPECT_TRUE(frame.CBTraceMode->isChecked());
    EXPECT_TRUE(frame.TakeChanged());
    click_code_line(1);
    EXPECT_EQ(frame.RunCount(), 2);
    EXPECT_TRUE(frame.TakeChanged());
    // Moving the selection with the keyboard runs again up to the new line.
    QTest::keyClick(frame.LBCode, Qt::Key_Down);
    EXPECT_EQ(frame.RunCount(), 3);
    EXPECT_TRUE(frame.TakeChanged());
    QTest::mouseClick(frame.CBTraceMode, Qt::LeftButton);
    EXPECT_TRUE(frame.TakeChanged());
    click_code_line(0);
    EXPECT_FALSE(frame.TakeChanged());
    EXPECT_EQ(frame.RunCount(), 5);
}

TEST_F(Frame, MessageClickSelectsTheTaggedLine) {
    for (int tag : {1, 6, 4, 2}) click(tag);
    frame.messages = {{"error: one", 1}, {"error: beyond", 9}};
    frame.ShowMessages();
    ASSERT_EQ(frame.LBMessages->count(), 2);
    EXPECT_EQ(frame.LBMessages->item(0)->data(Qt::UserRole).toInt(), 1);
    frame.TakeChanged();
    QTest::mouseClick(frame.LBMessages->viewport(), Qt::LeftButton, {},
                      frame.LBMessages->visualItemRect(frame.LBMessages->item(0)).center());
    EXPECT_EQ(frame.LBCode->currentRow(), 1);
    EXPECT_EQ(frame.program().selected(), 1);
    QTest::mouseClick(frame.LBMessages->viewport(), Qt::LeftButton, {},
                      frame.LBMessages->visualItemRect(frame.LBMessages->item(1)).center());
    EXPECT_EQ(frame.LBCode->currentRow(), 1);
    EXPECT_FALSE(frame.TakeChanged());
}

TEST_F(Frame, LoadAndSaveThroughTheFrame) {
    TempDir dir;
    for (int tag : {1, 2}) click(tag);
    frame.SaveProgramTo(QString::fromStdString(dir / "p.tpg"), false);
    EXPECT_EQ(read_bytes(dir / "p.tpg").size(), 425u);
    frame.SaveProgramTo(QString::fromStdString(dir / "p.out"), true);
    EXPECT_EQ(read_text(dir / "p.out"), "turtle:init_stack_frame\xFF" "turtle:first\xFF");

    TFrameProgram other;
    other.StringGrid->item(0, 0)->setText("mine");
    other.TakeChanged();
    other.LoadProgramFrom(QString::fromStdString(dir / "p.tpg"));
    EXPECT_EQ(other.LBCode->count(), 2);
    EXPECT_EQ(other.LBCode->item(1)->text(), "= ");
    EXPECT_EQ(other.LBCode->currentRow(), 1);
    EXPECT_EQ(other.StringGrid->item(0, 0)->text(), "init");
    EXPECT_EQ(other.Buttons[0]->text(), "init");  // captions follow a load at once
    EXPECT_TRUE(other.TakeChanged());

    // A file that cannot be read changes nothing; neither does a failed save.
    EXPECT_THROW(other.LoadProgramFrom(QString::fromStdString(dir / "none.tpg")), FileError);
    EXPECT_EQ(other.LBCode->count(), 2);
    std::filesystem::create_directory(dir / "sub");
    EXPECT_THROW(other.SaveProgramTo(QString::fromStdString(dir / "sub"), false), FileError);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "sub"));
    EXPECT_EQ(read_bytes(dir / "p.tpg").size(), 425u);
}

TEST_F(Frame, DialogFilters) {
    EXPECT_EQ(frame.ODProgram->nameFilters(), QStringList{"Program (*.tpg)"});
    EXPECT_EQ(frame.SDProgram->nameFilters(), (QStringList{"Program [*.tpg] (*.tpg)", "All files [*.*] (*)"}));
    EXPECT_EQ(frame.SDProgram->defaultSuffix(), "tpg");
    EXPECT_EQ(frame.SDProgram->acceptMode(), QFileDialog::AcceptSave);
}
