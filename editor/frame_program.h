// The program editor frame: the program list, the 26 command buttons, the
// message list, the trace-mode check box, the hidden command table grid and
// the file dialogs. Its handlers forward to the Program model and mirror it.
#pragma once

#include <QWidget>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "editor/program.h"

class QCheckBox;
class QFileDialog;
class QListWidget;
class QPushButton;
class QSplitter;
class QStackedWidget;
class QTableWidget;
class QTimer;

namespace dozu {

class TFrameProgram : public QWidget {
    Q_OBJECT

public:
    explicit TFrameProgram(QWidget* parent = nullptr);

    QFileDialog* ODProgram;
    QFileDialog* SDProgram;
    QTableWidget* StringGrid;
    QWidget* PanelLeft;
    QListWidget* LBCode;
    std::array<QPushButton*, CommandTable::kButtons> Buttons;  // Button1 to Button26
    QSplitter* Splitter1;
    QTimer* Hack;
    QListWidget* LBMessages;
    QCheckBox* CBTraceMode;

    Program& program() { return program_; }
    // The messages of the latest run; ShowMessages puts them into LBMessages.
    MessageList messages;
    void ShowMessages();

    bool TakeChanged() { return program_.TakeChanged(); }
    const std::vector<std::string>& LockProgram() { return program_.LockProgram(); }
    void UnlockProgram() { program_.UnlockProgram(); }
    int RunCount() const { return program_.run_count(); }

    // Ask for a file, then load or save it; nullopt or false when the dialog
    // was cancelled. File errors are thrown as FileError, before anything
    // changed. A load returns the skipped step bytes.
    std::optional<std::vector<SkippedStep>> LoadProgram();
    bool SaveProgram(bool compiled);
    // The same without a dialog. Returns the skipped step bytes.
    std::vector<SkippedStep> LoadProgramFrom(const QString& path);
    void SaveProgramTo(const QString& path, bool compiled);

    // Shows the command table in place of the message list, or hides it.
    void ShowCommandTable(bool show);

    void ButtonClick(int tag);
    void LBCodeKeyDown(int key);
    void LBCodeClick();
    void LBMessagesClick();
    void CBTraceModeClick();
    void StringGridKeyDown();
    void HackTimer();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void RefreshCaptions();
    void FillGrid();
    void SyncCode();
    void StringGridCellEdited(int row, int column);

    Program program_;
    QStackedWidget* messages_or_table_;
    bool filling_grid_ = false;
    bool syncing_ = false;  // the frame itself is updating LBCode
};

}  // namespace dozu
