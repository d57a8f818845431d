// The program editor frame: the program list, the 26 command buttons, the
// message list, the trace-mode check box, the hidden command table grid and
// the program file dialogs. It shows a program document: its handlers
// forward to the document, and its widgets follow the document's signals,
// so that the list and the buttons always show the program as it is.
#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "program/program.h"
#include "ui/program_document.h"

class QAction;
class QCheckBox;
class QFileDialog;
class QListWidget;
class QPushButton;
class QSplitter;
class QStackedWidget;
class QTableView;
class QTableWidget;
class QTimer;

namespace dozu {

// The keys of the program list that the frame tells apart.
enum class Key { delete_line, other };

class TFrameProgram : public QWidget {
    Q_OBJECT

public:
    // The document must outlive the frame.
    explicit TFrameProgram(ProgramDocument& document, QWidget* parent = nullptr);
    ~TFrameProgram() override;

    QFileDialog* ODProgram;
    QFileDialog* SDProgram;
    QTableWidget* StringGrid;
    QWidget* PanelLeft;
    // The program list: a row per line, several rows may be selected.
    QTableView* LBCode;
    std::array<QPushButton*, CommandTable::kButtons> Buttons;  // Button1 to Button26
    QSplitter* Splitter1;
    QTimer* Hack;
    QListWidget* LBMessages;
    QCheckBox* CBTraceMode;

    ProgramDocument& document() { return document_; }
    Program& program();
    // The messages of the latest run; show_messages puts them into LBMessages
    // after what the last load had to say about its file.
    MessageList messages;
    void show_messages();

    bool TakeChanged() { return program().TakeChanged(); }
    LineView LockProgram() { return program().LockProgram(); }
    void UnlockProgram() { program().UnlockProgram(); }
    int run_count() { return program().run_count(); }

    // Shows a file dialog modally and returns the chosen file, or nothing
    // when it was cancelled. Tests put their own answer here.
    std::function<QString(QFileDialog*)> exec_file_dialog;
    // Says why a click inserted nothing, in a message box; tests put their
    // own here.
    std::function<void(const QString&)> refuse;

    // Ask for a file, then load or save it through the document; nullopt
    // or false when the dialog was cancelled (or load_anyway said no to a
    // file that does not look like a program). File errors are thrown as
    // FileError, a program whose lines would be too long as
    // ProgramTooLarge, both before anything changed.
    std::optional<LoadReport> LoadProgram(const ProgramDocument::LoadAnyway& load_anyway = {});
    bool SaveProgram(bool compiled);

    // Shows the command table in place of the message list, or hides it.
    void show_command_table(bool show);

    void ButtonClick(int tag);
    void LBCodeKeyDown(Key key);
    void LBCodeClick();
    void LBMessagesClick();
    void CBTraceModeClick();
    // The program list's edits of its selected lines, on its context menu
    // and its keys; each is one undoable step.
    QAction* MICutLines;
    QAction* MICopyLines;
    QAction* MIPasteLines;
    QAction* MIDeleteLines;
    QAction* MIMoveLinesUp;
    QAction* MIMoveLinesDown;
    QAction* MISelectAllLines;
    void cut_lines();
    void copy_lines();
    void paste_lines();
    void move_lines(bool up);
    void StringGridKeyDown();
    void HackTimer();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void create_dialogs();
    void create_command_table();
    void create_buttons();
    void create_program_list();
    void create_line_actions();
    void create_message_list();
    void create_layout();
    void create_caption_timer();
    void follow_document();

    void refresh_captions();
    void fill_grid();
    void fit_grid_column(int column);
    void fit_rows_to_font();
    void show_program();
    void show_selection();
    void show_cell(int column, int row);
    void LBCodeSelectionChanged();
    void update_line_actions();
    void StringGridCellEdited(int row, int column);
    QString dialog_start(const char* suffix) const;
    // The file chosen in the dialog; throws FileError for a name the dialog
    // could not hold.
    QString chosen_file(QFileDialog* dialog);

    ProgramDocument& document_;
    QStackedWidget* messages_or_table_;
    bool filling_grid_ = false;
    bool syncing_ = false;  // the frame itself is updating LBCode
};

}  // namespace dozu
