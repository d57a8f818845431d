#include "ui/frame_program.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QCompleter>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>

#include "interpreter/message.h"
#include "io/file_io.h"
#include "ui/command_help.h"
#include "ui/latin1_text.h"
#include "ui/path_bytes.h"
#include "ui/program_document.h"
#include "ui/program_line_delegate.h"
#include "ui/program_list_model.h"

namespace dozu {

namespace {

constexpr int kButtonWidth = 49, kButtonHeight = 17;
constexpr int kColumnStep = 50, kRowStep = 16, kTopMargin = 2;
constexpr int kCodeWidth = 113, kPanelWidth = 98, kMinHeight = 227;
constexpr int kItemHeight = 13, kGridRowHeight = 15;
constexpr int kCaptionDelayMs = 400;
// A program can make a message per line; the list shows the first ones.
constexpr size_t kMaxShownMessages = 1000;
constexpr int kCodeMinWidth = 60, kMessagesMinWidth = 120;
const QStringList kProgramFilters = {"Program [*.tpg] (*.tpg)", "All files [*.*] (*)"};
const QStringList kCompiledFilters = {"Compiled [*.bin] (*.bin)", "All files [*.*] (*)"};

// A message's kind as the theme's icon shows it.
QIcon message_icon(const std::string& text, const QStyle* style) {
    switch (message_kind(text)) {
        case MessageKind::fatal:
        case MessageKind::error:
            return QIcon::fromTheme("dialog-error", style->standardIcon(QStyle::SP_MessageBoxCritical));
        case MessageKind::warning:
            return QIcon::fromTheme("dialog-warning", style->standardIcon(QStyle::SP_MessageBoxWarning));
        case MessageKind::hint:
            return QIcon::fromTheme("dialog-information", style->standardIcon(QStyle::SP_MessageBoxInformation));
        case MessageKind::none: break;
    }
    return {};
}

// The list's rows as the user selected them, ascending.
std::vector<int> selected_rows(const QAbstractItemView* view) {
    std::vector<int> rows;
    for (const QItemSelectionRange& range : view->selectionModel()->selection())
        for (int row = range.top(); row <= range.bottom(); ++row) rows.push_back(row);
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

QString run_file_dialog(QFileDialog* dialog) {
    const bool accepted = dialog->exec() == QDialog::Accepted && !dialog->selectedFiles().isEmpty();
    // The file name's completer can leave its popup on screen after Enter
    // accepted the dialog; the next click would only close it.
    for (QCompleter* completer : dialog->findChildren<QCompleter*>()) completer->popup()->hide();
    return accepted ? dialog->selectedFiles().front() : QString();
}

}  // namespace

TFrameProgram::TFrameProgram(ProgramDocument& document, QWidget* parent)
    : QWidget(parent),
      exec_file_dialog(run_file_dialog),
      refuse([this](const QString& text) { QMessageBox::warning(this, window()->windowTitle(), text); }),
      document_(document) {
    setMinimumHeight(kMinHeight);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);

    create_dialogs();
    create_command_table();
    create_buttons();
    create_program_list();
    create_line_actions();
    create_message_list();
    create_layout();
    create_caption_timer();
    follow_document();

    fill_grid();
    Hack->start();
}

void TFrameProgram::create_dialogs() {
    ODProgram = new QFileDialog(this);
    ODProgram->setObjectName("ODProgram");
    ODProgram->setAcceptMode(QFileDialog::AcceptOpen);
    ODProgram->setFileMode(QFileDialog::ExistingFile);
    ODProgram->setNameFilter("Program (*.tpg)");
    ODProgram->setDefaultSuffix("tpg");

    SDProgram = new QFileDialog(this);
    SDProgram->setObjectName("SDProgram");
    SDProgram->setAcceptMode(QFileDialog::AcceptSave);
    SDProgram->setFileMode(QFileDialog::AnyFile);
    SDProgram->setNameFilters(kProgramFilters);
    SDProgram->setDefaultSuffix("tpg");
    SDProgram->setSizeGripEnabled(true);
}

void TFrameProgram::create_command_table() {
    StringGrid = new QTableWidget(CommandTable::kRows - 1, CommandTable::kColumns);
    StringGrid->setObjectName("StringGrid");
    StringGrid->verticalHeader()->setDefaultSectionSize(kGridRowHeight);
    StringGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    StringGrid->setSelectionMode(QAbstractItemView::ContiguousSelection);
    StringGrid->installEventFilter(this);
    connect(StringGrid, &QTableWidget::cellChanged, this, &TFrameProgram::StringGridCellEdited);
}

void TFrameProgram::create_buttons() {
    PanelLeft = new QWidget;
    PanelLeft->setObjectName("PanelLeft");
    PanelLeft->setFixedWidth(kPanelWidth);
    CBTraceMode = new QCheckBox("trace mode", PanelLeft);
    CBTraceMode->setObjectName("CBTraceMode");
    CBTraceMode->setGeometry(0, kTopMargin, kPanelWidth, kButtonHeight);
    connect(CBTraceMode, &QCheckBox::clicked, this, &TFrameProgram::CBTraceModeClick);
    for (int tag = 1; tag <= CommandTable::kButtons; ++tag) {
        auto* b = new QPushButton(QString("Button%1").arg(tag), PanelLeft);
        b->setObjectName(QString("Button%1").arg(tag));
        b->setProperty("tag", tag);
        // Reached with Tab; a click leaves the keyboard focus where it was.
        b->setFocusPolicy(Qt::TabFocus);
        const int row = CommandTable::row_of(tag);
        b->setGeometry(tag % 2 ? 0 : kColumnStep, kTopMargin + kRowStep * row, kButtonWidth, kButtonHeight);
        connect(b, &QPushButton::clicked, this, [this, tag] { ButtonClick(tag); });
        Buttons[size_t(tag - 1)] = b;
    }
}

void TFrameProgram::create_program_list() {
    // A table of one column: its rows are header sections of one height,
    // so a change of a long program costs the list no pass over every row.
    LBCode = new QTableView;
    LBCode->setObjectName("LBCode");
    // What screen readers and the shortcuts' table call it.
    LBCode->setAccessibleName("Program list");
    LBCode->setFrameShape(QFrame::NoFrame);
    LBCode->horizontalHeader()->hide();
    LBCode->horizontalHeader()->setStretchLastSection(true);
    LBCode->verticalHeader()->hide();
    LBCode->verticalHeader()->setMinimumSectionSize(kItemHeight);
    LBCode->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    fit_rows_to_font();
    LBCode->setShowGrid(false);
    LBCode->setWordWrap(false);
    LBCode->setTabKeyNavigation(false);
    LBCode->setItemDelegate(new ProgramLineDelegate(
        [this] {
            QStringList titles;
            for (int tag = 1; tag <= CommandTable::kButtons; ++tag)
                titles << shown_text(program().table.title(tag)).trimmed();
            return titles;
        },
        LBCode));
    LBCode->setSelectionBehavior(QAbstractItemView::SelectRows);
    LBCode->setSelectionMode(QAbstractItemView::ExtendedSelection);
    LBCode->setEditTriggers(QAbstractItemView::NoEditTriggers);
    LBCode->setMinimumWidth(kCodeMinWidth);
    LBCode->setModel(document_.list_model());
    LBCode->installEventFilter(this);
    LBCode->viewport()->installEventFilter(this);
    connect(LBCode->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TFrameProgram::LBCodeSelectionChanged);
    connect(LBCode->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TFrameProgram::LBCodeSelectionChanged);
    connect(LBCode, &QAbstractItemView::clicked, this, &TFrameProgram::LBCodeClick);
}

void TFrameProgram::create_line_actions() {
    const auto add = [this](const QString& text, const QKeySequence& key, auto handler) {
        auto* action = new QAction(text, LBCode);
        action->setShortcut(key);
        action->setShortcutContext(Qt::WidgetShortcut);
        action->setShortcutVisibleInContextMenu(true);
        connect(action, &QAction::triggered, this, handler);
        LBCode->addAction(action);
        return action;
    };
    MICutLines = add("Cu&t", QKeySequence::Cut, &TFrameProgram::cut_lines);
    MICopyLines = add("&Copy", QKeySequence::Copy, &TFrameProgram::copy_lines);
    MIPasteLines = add("&Paste", QKeySequence::Paste, &TFrameProgram::paste_lines);
    // Delete is the list's own key (LBCodeKeyDown): the menu only names it.
    MIDeleteLines = add("&Delete\tDel", {}, [this] { LBCodeKeyDown(Key::delete_line); });
    MIMoveLinesUp = add("Move &Up", QKeySequence(Qt::ALT | Qt::Key_Up), [this] { move_lines(true); });
    MIMoveLinesDown = add("Move Do&wn", QKeySequence(Qt::ALT | Qt::Key_Down), [this] { move_lines(false); });
    MISelectAllLines = add("Select &All", QKeySequence::SelectAll, [this] { LBCode->selectAll(); });
    LBCode->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(LBCode, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        update_line_actions();
        QMenu menu;
        menu.addActions({MICutLines, MICopyLines, MIPasteLines, MIDeleteLines});
        menu.addSeparator();
        menu.addActions({MIMoveLinesUp, MIMoveLinesDown});
        menu.addSeparator();
        menu.addAction(MISelectAllLines);
        menu.exec(LBCode->viewport()->mapToGlobal(at));
    });
    update_line_actions();
}

void TFrameProgram::create_message_list() {
    LBMessages = new QListWidget;
    LBMessages->setObjectName("LBMessages");
    LBMessages->setMinimumWidth(kMessagesMinWidth);
    // The kind's icon no taller than the text beside it.
    LBMessages->setIconSize(QSize(kItemHeight, kItemHeight));
    connect(LBMessages, &QListWidget::itemClicked, this, &TFrameProgram::LBMessagesClick);

    // The grid lies in the message list's place and is shown only on request.
    messages_or_table_ = new QStackedWidget;
    messages_or_table_->addWidget(LBMessages);
    messages_or_table_->addWidget(StringGrid);
}

void TFrameProgram::create_layout() {
    auto* right = new QWidget;
    auto* right_layout = new QHBoxLayout(right);
    right_layout->setContentsMargins(0, 0, 0, 0);
    right_layout->setSpacing(0);
    right_layout->addWidget(PanelLeft);
    right_layout->addWidget(messages_or_table_, 1);

    Splitter1 = new QSplitter(Qt::Horizontal);
    Splitter1->setObjectName("Splitter1");
    Splitter1->setHandleWidth(3);
    Splitter1->setChildrenCollapsible(false);
    Splitter1->addWidget(LBCode);
    Splitter1->addWidget(right);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({kCodeWidth, 10000});

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Splitter1);

    setTabOrder(LBCode, CBTraceMode);
    QWidget* previous = CBTraceMode;
    for (QPushButton* b : Buttons) {
        setTabOrder(previous, b);
        previous = b;
    }
    setTabOrder(previous, LBMessages);
}

void TFrameProgram::create_caption_timer() {
    Hack = new QTimer(this);
    Hack->setObjectName("Hack");
    Hack->setSingleShot(true);
    Hack->setInterval(kCaptionDelayMs);
    connect(Hack, &QTimer::timeout, this, &TFrameProgram::HackTimer);
}

void TFrameProgram::follow_document() {
    connect(&document_, &ProgramDocument::replaced, this, &TFrameProgram::show_program);
    connect(&document_, &ProgramDocument::selection_changed, this, &TFrameProgram::show_selection);
    connect(&document_, &ProgramDocument::cell_changed, this, &TFrameProgram::show_cell);
    connect(&document_, &ProgramDocument::notes_changed, this, &TFrameProgram::show_messages);
}

TFrameProgram::~TFrameProgram() {
    // The list's selection changes while the widgets are destroyed.
    LBCode->selectionModel()->disconnect(this);
}

Program& TFrameProgram::program() { return document_.program(); }

void TFrameProgram::show_messages() {
    LBMessages->setUpdatesEnabled(false);
    LBMessages->clear();
    for (const Message& m : document_.load_notes()) {
        auto* item = new QListWidgetItem(message_icon(m.text, style()), latin1(m.text), LBMessages);
        item->setData(Qt::UserRole, m.tag);
    }
    const size_t shown = std::min(messages.size(), kMaxShownMessages);
    for (size_t i = 0; i < shown; ++i) {
        const Message& m = messages[i];
        // Numbered from 1, as the batch tool numbers them; a program
        // without lines has no line to number.
        const bool numbered = m.tag >= 0 && !program().lines().empty();
        const QString line = numbered ? QString("%1: ").arg(m.tag + 1) : QString();
        auto* item = new QListWidgetItem(message_icon(m.text, style()), line + latin1(m.text), LBMessages);
        item->setData(Qt::UserRole, m.tag);
    }
    if (shown < messages.size())
        new QListWidgetItem(QString("... and %1 more messages").arg(qulonglong(messages.size() - shown)),
                            LBMessages);
    LBMessages->setUpdatesEnabled(true);
}

std::optional<LoadReport> TFrameProgram::LoadProgram(const ProgramDocument::LoadAnyway& load_anyway) {
    if (!document_.file_name().isEmpty()) ODProgram->setDirectory(QFileInfo(document_.file_name()).dir());
    const QString path = chosen_file(ODProgram);
    if (path.isEmpty()) return std::nullopt;
    return document_.load(path, load_anyway);
}

QString TFrameProgram::chosen_file(QFileDialog* dialog) {
    const QString path = exec_file_dialog(dialog);
    if (const QString problem = unheld_name_problem(path); !problem.isEmpty())
        throw FileError(problem.toUtf8().toStdString());
    return path;
}

QString TFrameProgram::dialog_start(const char* suffix) const {
    const QString& file_name = document_.file_name();
    if (file_name.isEmpty()) return QString("untitled.") + suffix;
    const QFileInfo file(file_name);
    return file.dir().filePath(file.completeBaseName() + "." + suffix);
}

bool TFrameProgram::SaveProgram(bool compiled) {
    // One dialog for both, set up for what is written: a compiled save must
    // not offer the program's own file.
    SDProgram->setNameFilters(compiled ? kCompiledFilters : kProgramFilters);
    SDProgram->setDefaultSuffix(compiled ? "bin" : "tpg");
    SDProgram->setWindowTitle(compiled ? "Save Compiled" : "Save As");
    const QString& file_name = document_.file_name();
    SDProgram->selectFile(compiled || file_name.isEmpty() ? dialog_start(compiled ? "bin" : "tpg") : file_name);
    const QString path = chosen_file(SDProgram);
    if (path.isEmpty()) return false;
    document_.save(path, compiled);
    return true;
}

void TFrameProgram::show_program() {
    fill_grid();
    refresh_captions();
    show_selection();
}

void TFrameProgram::show_command_table(bool show) {
    messages_or_table_->setCurrentWidget(show ? static_cast<QWidget*>(StringGrid) : LBMessages);
}

void TFrameProgram::ButtonClick(int tag) {
    try {
        document_.click_button(tag);
    } catch (const ProgramTooLarge& e) {
        refuse(QString::fromLatin1(e.what()));
    } catch (const ProgramFileTooLarge& e) {
        refuse(refusal("added", e));
    }
}

void TFrameProgram::LBCodeKeyDown(Key key) {
    if (key == Key::delete_line) document_.delete_selected();
    // In trace mode any key runs the program again up to the selection.
    program().LBCodeKeyDown();
}

void TFrameProgram::LBCodeClick() { program().LBCodeClick(program().selected()); }

void TFrameProgram::LBMessagesClick() {
    const int row = LBMessages->currentRow() - int(document_.load_notes().size());
    if (row < 0 || size_t(row) >= kMaxShownMessages) return;
    program().LBMessagesClick(messages, row);
    show_selection();
}

void TFrameProgram::CBTraceModeClick() { program().CBTraceModeClick(CBTraceMode->isChecked()); }

void TFrameProgram::StringGridKeyDown() {
    if (!Hack->isActive()) Hack->start();
}

void TFrameProgram::HackTimer() {
    Hack->stop();
    refresh_captions();
}

void TFrameProgram::show_cell(int column, int row) {
    filling_grid_ = true;
    StringGrid->item(row - 1, column)->setText(latin1(program().table.cell(column, row)));
    fit_grid_column(column);
    filling_grid_ = false;
    // Titles show on the buttons with the next firing of the caption timer.
    StringGridKeyDown();
}

void TFrameProgram::fit_rows_to_font() {
    // A pixel above and below the text: an underscore at the foot of one
    // row and a macron at the head of the next would otherwise touch.
    LBCode->verticalHeader()->setDefaultSectionSize(std::max(kItemHeight, LBCode->fontMetrics().height() + 2));
}

bool TFrameProgram::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FontChange && watched == LBCode) fit_rows_to_font();
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (watched == LBCode) {
            if (const int tag = command_of_key(key->key(), key->modifiers())) {
                ButtonClick(tag);
                return true;
            }
            const bool del = key->key() == Qt::Key_Delete;
            LBCodeKeyDown(del ? Key::delete_line : Key::other);
            if (del) return true;
        } else if (watched == StringGrid) {
            StringGridKeyDown();
        }
    } else if (event->type() == QEvent::MouseButtonPress && watched == LBCode->viewport()) {
        // A click below the lines picks none: the next click inserts at the
        // top.
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (!LBCode->indexAt(mouse->position().toPoint()).isValid() && mouse->button() == Qt::LeftButton) {
            document_.select_line(-1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TFrameProgram::refresh_captions() {
    const CommandTable& table = program().table;
    for (int tag = 1; tag <= CommandTable::kButtons; ++tag) {
        QPushButton* b = Buttons[size_t(tag - 1)];
        b->setText(caption_text(table.title(tag)));
        // A button without a code inserts nothing: it reads as empty.
        b->setEnabled(!table.interpreter_code(tag).empty());
        b->setToolTip(command_tooltip(table, tag));
    }
}

void TFrameProgram::fill_grid() {
    filling_grid_ = true;
    const CommandTable& table = program().table;
    QStringList header;
    for (int c = 0; c < CommandTable::kColumns; ++c) header << latin1(table.cell(c, 0));
    StringGrid->setHorizontalHeaderLabels(header);
    for (int r = 1; r < CommandTable::kRows; ++r)
        for (int c = 0; c < CommandTable::kColumns; ++c)
            StringGrid->setItem(r - 1, c, new QTableWidgetItem(latin1(table.cell(c, r))));
    for (int c = 0; c < CommandTable::kColumns; ++c) fit_grid_column(c);
    filling_grid_ = false;
}

void TFrameProgram::fit_grid_column(int column) {
    // Measured on the texts as a line shows them: a megabyte-long cell
    // would take seconds to measure whole, and no screen is that wide.
    constexpr int kMaxColumnWidth = 400;
    const QFontMetrics metrics = StringGrid->fontMetrics();
    const int margin = 2 * StringGrid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, StringGrid) + 8;
    int width = 0;
    for (int row = 0; row < CommandTable::kRows; ++row)
        width = std::max(width, metrics.horizontalAdvance(shown_text(program().table.cell(column, row))) + margin);
    StringGrid->setColumnWidth(column, std::min(width, kMaxColumnWidth));
}

void TFrameProgram::StringGridCellEdited(int row, int column) {
    if (filling_grid_) return;
    const QString refused =
        document_.edit_cell(column, row + 1, StringGrid->item(row, column)->text().toLatin1().toStdString());
    if (refused.isEmpty()) return;
    // The grid shows the cell as it stays.
    show_cell(column, row + 1);
    refuse(refused);
}

void TFrameProgram::show_selection() {
    const LineSelection shown = document_.selection();
    QItemSelectionModel* model = LBCode->selectionModel();
    const ProgramListModel& lines = *document_.list_model();
    syncing_ = true;
    if (shown.rows.empty()) {
        model->clear();
    } else {
        const QModelIndex current = LBCode->currentIndex();
        if (selected_rows(LBCode) != shown.rows) {
            QItemSelection selection;
            for (size_t i = 0, j = 0; i < shown.rows.size(); i = ++j) {
                while (j + 1 < shown.rows.size() && shown.rows[j + 1] == shown.rows[j] + 1) ++j;
                selection.select(lines.index(shown.rows[i]), lines.index(shown.rows[j]));
            }
            model->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            model->setCurrentIndex(lines.index(shown.current), QItemSelectionModel::NoUpdate);
        } else if (current.row() != shown.current && (!current.isValid() || model->isSelected(current))) {
            // A current row that the user moved off the selection (Ctrl
            // and an arrow) stays where it is.
            model->setCurrentIndex(lines.index(shown.current), QItemSelectionModel::NoUpdate);
        }
        LBCode->scrollTo(lines.index(shown.current));
    }
    syncing_ = false;
    update_line_actions();
}

void TFrameProgram::LBCodeSelectionChanged() {
    // While an edit changes the lines, the list's selection follows the
    // rows on its own; the document says what is selected afterwards.
    if (syncing_ || document_.editing()) return;
    document_.select_lines(selected_rows(LBCode), LBCode->currentIndex().row());
}

void TFrameProgram::update_line_actions() {
    const LineSelection selection = document_.selection();
    const bool any = !selection.rows.empty();
    for (QAction* action : {MICutLines, MICopyLines, MIDeleteLines}) action->setEnabled(any);
    MIMoveLinesUp->setEnabled(any && selection.rows.front() > 0);
    MIMoveLinesDown->setEnabled(any && size_t(selection.rows.back()) + 1 < program().lines().size());
}

void TFrameProgram::cut_lines() {
    const std::string text = document_.cut_selected();
    if (!text.empty()) QGuiApplication::clipboard()->setText(latin1(text));
}

void TFrameProgram::copy_lines() {
    const std::string text = document_.copy_selected();
    if (!text.empty()) QGuiApplication::clipboard()->setText(latin1(text));
}

void TFrameProgram::paste_lines() {
    try {
        const QString refused = document_.paste(QGuiApplication::clipboard()->text());
        if (!refused.isEmpty()) refuse(refused);
    } catch (const ProgramTooLarge& e) {
        refuse(QString::fromLatin1(e.what()));
    }
}

void TFrameProgram::move_lines(bool up) { document_.move_selected(up); }

}  // namespace dozu
