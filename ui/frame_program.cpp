#include "ui/frame_program.h"

#include <QCheckBox>
#include <QCompleter>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListView>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTimer>

#include "io/file_io.h"
#include "ui/latin1_text.h"
#include "ui/path_bytes.h"
#include "ui/program_document.h"
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

class FixedHeightDelegate : public QStyledItemDelegate {
public:
    FixedHeightDelegate(int height, QObject* parent) : QStyledItemDelegate(parent), height_(height) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {QStyledItemDelegate::sizeHint(option, index).width(), height_};
    }

private:
    int height_;
};

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
    LBCode = new QListView;
    LBCode->setObjectName("LBCode");
    LBCode->setFrameShape(QFrame::NoFrame);
    LBCode->setItemDelegate(new FixedHeightDelegate(kItemHeight, LBCode));
    LBCode->setUniformItemSizes(true);
    LBCode->setSelectionMode(QAbstractItemView::SingleSelection);
    LBCode->setEditTriggers(QAbstractItemView::NoEditTriggers);
    LBCode->setMinimumWidth(kCodeMinWidth);
    LBCode->setModel(document_.list_model());
    LBCode->installEventFilter(this);
    connect(LBCode->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TFrameProgram::LBCodeSelectionChanged);
    connect(LBCode->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TFrameProgram::LBCodeSelectionChanged);
    connect(LBCode, &QListView::clicked, this, &TFrameProgram::LBCodeClick);
}

void TFrameProgram::create_message_list() {
    LBMessages = new QListWidget;
    LBMessages->setObjectName("LBMessages");
    LBMessages->setMinimumWidth(kMessagesMinWidth);
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
        auto* item = new QListWidgetItem(latin1(m.text), LBMessages);
        item->setData(Qt::UserRole, m.tag);
    }
    const size_t shown = std::min(messages.size(), kMaxShownMessages);
    for (size_t i = 0; i < shown; ++i) {
        const Message& m = messages[i];
        // Numbered from 1, as the batch tool numbers them; a program
        // without lines has no line to number.
        const bool numbered = m.tag >= 0 && !program().lines().empty();
        const QString line = numbered ? QString("%1: ").arg(m.tag + 1) : QString();
        auto* item = new QListWidgetItem(line + latin1(m.text), LBMessages);
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
    filling_grid_ = false;
    // Titles show on the buttons with the next firing of the caption timer.
    StringGridKeyDown();
}

bool TFrameProgram::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (watched == LBCode) {
            const bool del = key->key() == Qt::Key_Delete;
            LBCodeKeyDown(del ? Key::delete_line : Key::other);
            if (del) return true;
        } else if (watched == StringGrid) {
            StringGridKeyDown();
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
        const bool empty = table.interpreter_code(tag).empty();
        b->setEnabled(!empty);
        const QString title = shown_text(table.title(tag)).trimmed();
        b->setToolTip(empty ? QString("Button %1 is empty: it has no interpreter code").arg(tag)
                            : QString("%1\nInterpreter code: %2\nCompiled code: %3")
                                  .arg(title.isEmpty() ? QString("Button %1").arg(tag) : title,
                                       shown_text(table.interpreter_code(tag)),
                                       shown_text(table.compiled_code(tag))));
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
    filling_grid_ = false;
}

void TFrameProgram::StringGridCellEdited(int row, int column) {
    if (filling_grid_) return;
    document_.edit_cell(column, row + 1, StringGrid->item(row, column)->text().toLatin1().toStdString());
}

void TFrameProgram::show_selection() {
    syncing_ = true;
    QItemSelectionModel* selection = LBCode->selectionModel();
    const int line = program().selected();
    if (line < 0) {
        selection->clear();
    } else {
        const QModelIndex index = document_.list_model()->index(line);
        selection->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        LBCode->scrollTo(index);
    }
    syncing_ = false;
}

void TFrameProgram::LBCodeSelectionChanged() {
    if (syncing_) return;
    // A row the user picked becomes the model's selection; anything else
    // (a click below the lines, say) puts the model's selection back.
    const QModelIndexList rows = LBCode->selectionModel()->selectedRows();
    if (rows.size() == 1) program().select(rows.front().row());
    show_selection();
}

}  // namespace dozu
