// The program editor frame: the program list, the 26 command buttons, the
// message list, the trace-mode check box, the hidden command table grid,
// the file dialogs and the undo stack. Its handlers forward to the Program
// model; the list and the buttons always show the model as it is.
#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "program/program.h"

class QCheckBox;
class QFileDialog;
class QListView;
class QListWidget;
class QPushButton;
class QSplitter;
class QStackedWidget;
class QTableWidget;
class QTimer;
class QUndoStack;

namespace dozu {

class ProgramListModel;

class TFrameProgram : public QWidget {
    Q_OBJECT

public:
    explicit TFrameProgram(QWidget* parent = nullptr);
    ~TFrameProgram() override;

    QFileDialog* ODProgram;
    QFileDialog* SDProgram;
    QTableWidget* StringGrid;
    QWidget* PanelLeft;
    QListView* LBCode;
    std::array<QPushButton*, CommandTable::kButtons> Buttons;  // Button1 to Button26
    QSplitter* Splitter1;
    QTimer* Hack;
    QListWidget* LBMessages;
    QCheckBox* CBTraceMode;
    // Every change to the program and the command table; clean when the
    // program is as last loaded or saved.
    QUndoStack* UndoStack;

    Program& program() { return program_; }
    // The messages of the latest run; ShowMessages puts them into LBMessages
    // after what the last load had to say about its file.
    MessageList messages;
    void ShowMessages();

    bool TakeChanged() { return program_.TakeChanged(); }
    LineView LockProgram() { return program_.LockProgram(); }
    void UnlockProgram() { program_.UnlockProgram(); }
    int RunCount() const { return program_.run_count(); }

    // The program file last loaded or saved, as an absolute path; empty for
    // a new program.
    const QString& FileName() const { return file_name_; }

    // Shows a file dialog modally and returns the chosen file, or nothing
    // when it was cancelled. Tests put their own answer here.
    std::function<QString(QFileDialog*)> ExecFileDialog;
    // Says why a click inserted nothing, in a message box; tests put their
    // own here.
    std::function<void(const QString&)> Refuse;

    // Ask for a file, then load or save it; nullopt or false when the dialog
    // was cancelled. File errors are thrown as FileError, a program whose
    // lines would be too long as ProgramTooLarge, both before anything
    // changed.
    std::optional<LoadReport> LoadProgram();
    bool SaveProgram(bool compiled);
    // The same without a dialog.
    LoadReport LoadProgramFrom(const QString& path);
    void SaveProgramTo(const QString& path, bool compiled);
    // The default command table and an empty program, without a file.
    void NewProgram();

    // Shows the command table in place of the message list, or hides it.
    void ShowCommandTable(bool show);

    void ButtonClick(int tag);
    void LBCodeKeyDown(Key key);
    void LBCodeClick();
    void LBMessagesClick();
    void CBTraceModeClick();
    void StringGridKeyDown();
    void HackTimer();

    // The edits the undo stack's steps are made of.
    void InsertLine(int at, uint8_t tag, const std::string& text);
    void RemoveLine(int at);
    void SetCell(int column, int row, const std::string& text);
    void SelectLine(int line);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void RefreshCaptions();
    void FillGrid();
    void ShowProgram();
    void ShowSelection();
    void ViewSelectionChanged();
    void StringGridCellEdited(int row, int column);
    QString DialogStart(const char* suffix) const;

    Program program_;
    ProgramListModel* code_model_;
    QStackedWidget* messages_or_table_;
    QString file_name_;
    MessageList load_notes_;
    bool filling_grid_ = false;
    bool syncing_ = false;  // the frame itself is updating LBCode
};

}  // namespace dozu
