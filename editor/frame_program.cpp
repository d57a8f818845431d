#include "editor/frame_program.h"

#include <QCheckBox>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTimer>

namespace dozu {

namespace {

constexpr int kButtonWidth = 49, kButtonHeight = 17;
constexpr int kColumnStep = 50, kRowStep = 16, kTopMargin = 2;
constexpr int kCodeWidth = 113, kPanelWidth = 98, kMinHeight = 227;
constexpr int kItemHeight = 13, kGridRowHeight = 15;
constexpr int kCaptionDelayMs = 400;

QString latin1(const std::string& s) { return QString::fromLatin1(s.data(), qsizetype(s.size())); }

std::string path_bytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

class FixedHeightDelegate : public QStyledItemDelegate {
public:
    FixedHeightDelegate(int height, QObject* parent) : QStyledItemDelegate(parent), height_(height) {}
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {QStyledItemDelegate::sizeHint(option, index).width(), height_};
    }

private:
    int height_;
};

}  // namespace

TFrameProgram::TFrameProgram(QWidget* parent) : QWidget(parent) {
    setMinimumHeight(kMinHeight);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);

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
    SDProgram->setNameFilters({"Program [*.tpg] (*.tpg)", "All files [*.*] (*)"});
    SDProgram->setDefaultSuffix("tpg");
    SDProgram->setSizeGripEnabled(true);

    StringGrid = new QTableWidget(CommandTable::kRows - 1, CommandTable::kColumns);
    StringGrid->setObjectName("StringGrid");
    StringGrid->verticalHeader()->setDefaultSectionSize(kGridRowHeight);
    StringGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    StringGrid->setSelectionMode(QAbstractItemView::ContiguousSelection);
    StringGrid->installEventFilter(this);
    connect(StringGrid, &QTableWidget::cellChanged, this, &TFrameProgram::StringGridCellEdited);

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
        b->setFocusPolicy(Qt::NoFocus);
        const int row = CommandTable::row_of(tag);
        b->setGeometry(tag % 2 ? 0 : kColumnStep, kTopMargin + kRowStep * row, kButtonWidth, kButtonHeight);
        connect(b, &QPushButton::clicked, this, [this, tag] { ButtonClick(tag); });
        Buttons[size_t(tag - 1)] = b;
    }

    LBCode = new QListWidget;
    LBCode->setObjectName("LBCode");
    LBCode->setFrameShape(QFrame::NoFrame);
    LBCode->setItemDelegate(new FixedHeightDelegate(kItemHeight, LBCode));
    LBCode->setUniformItemSizes(true);
    LBCode->installEventFilter(this);
    connect(LBCode, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!syncing_) program_.select(row);
    });
    connect(LBCode, &QListWidget::itemClicked, this, &TFrameProgram::LBCodeClick);

    LBMessages = new QListWidget;
    LBMessages->setObjectName("LBMessages");
    connect(LBMessages, &QListWidget::itemClicked, this, &TFrameProgram::LBMessagesClick);

    // The grid lies in the message list's place and is shown only on request.
    messages_or_table_ = new QStackedWidget;
    messages_or_table_->addWidget(LBMessages);
    messages_or_table_->addWidget(StringGrid);

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

    Hack = new QTimer(this);
    Hack->setObjectName("Hack");
    Hack->setSingleShot(true);
    Hack->setInterval(kCaptionDelayMs);
    connect(Hack, &QTimer::timeout, this, &TFrameProgram::HackTimer);

    FillGrid();
    Hack->start();
}

void TFrameProgram::ShowMessages() {
    LBMessages->setUpdatesEnabled(false);
    LBMessages->clear();
    for (const Message& m : messages) {
        auto* item = new QListWidgetItem(latin1(m.text), LBMessages);
        item->setData(Qt::UserRole, m.tag);
    }
    LBMessages->setUpdatesEnabled(true);
}

std::optional<std::vector<SkippedStep>> TFrameProgram::LoadProgram() {
    if (ODProgram->exec() != QDialog::Accepted || ODProgram->selectedFiles().isEmpty()) return std::nullopt;
    return LoadProgramFrom(ODProgram->selectedFiles().front());
}

bool TFrameProgram::SaveProgram(bool compiled) {
    if (SDProgram->exec() != QDialog::Accepted || SDProgram->selectedFiles().isEmpty()) return false;
    SaveProgramTo(SDProgram->selectedFiles().front(), compiled);
    return true;
}

std::vector<SkippedStep> TFrameProgram::LoadProgramFrom(const QString& path) {
    std::vector<SkippedStep> skipped = program_.LoadProgram(path_bytes(path));
    FillGrid();
    RefreshCaptions();
    SyncCode();
    return skipped;
}

void TFrameProgram::SaveProgramTo(const QString& path, bool compiled) {
    program_.SaveProgram(path_bytes(path), compiled);
}

void TFrameProgram::ShowCommandTable(bool show) { messages_or_table_->setCurrentWidget(show ? static_cast<QWidget*>(StringGrid) : LBMessages); }

void TFrameProgram::ButtonClick(int tag) {
    if (!program_.ButtonClick(tag)) return;
    const int i = program_.selected();
    syncing_ = true;
    LBCode->insertItem(i, latin1(program_.lines()[size_t(i)]));
    LBCode->setCurrentRow(i);
    syncing_ = false;
}

void TFrameProgram::LBCodeKeyDown(int key) {
    const int before = program_.selected();
    const size_t lines_before = program_.lines().size();
    program_.LBCodeKeyDown(key);
    if (program_.lines().size() != lines_before) {
        syncing_ = true;
        delete LBCode->takeItem(before);
        LBCode->setCurrentRow(program_.selected());
        syncing_ = false;
    }
}

void TFrameProgram::LBCodeClick() { program_.LBCodeClick(LBCode->currentRow()); }

void TFrameProgram::LBMessagesClick() {
    program_.LBMessagesClick(messages, LBMessages->currentRow());
    syncing_ = true;
    LBCode->setCurrentRow(program_.selected());
    syncing_ = false;
}

void TFrameProgram::CBTraceModeClick() { program_.CBTraceModeClick(CBTraceMode->isChecked()); }

void TFrameProgram::StringGridKeyDown() {
    if (!Hack->isActive()) Hack->start();
}

void TFrameProgram::HackTimer() {
    Hack->stop();
    RefreshCaptions();
}

bool TFrameProgram::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (watched == LBCode) {
            LBCodeKeyDown(key->key() == Qt::Key_Delete ? kKeyDelete : key->key());
            if (key->key() == Qt::Key_Delete) return true;
        } else if (watched == StringGrid) {
            StringGridKeyDown();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TFrameProgram::RefreshCaptions() {
    for (int tag = 1; tag <= CommandTable::kButtons; ++tag)
        Buttons[size_t(tag - 1)]->setText(latin1(program_.table.title(tag)));
}

void TFrameProgram::FillGrid() {
    filling_grid_ = true;
    QStringList header;
    for (int c = 0; c < CommandTable::kColumns; ++c) header << latin1(program_.table.cell(c, 0));
    StringGrid->setHorizontalHeaderLabels(header);
    for (int r = 1; r < CommandTable::kRows; ++r)
        for (int c = 0; c < CommandTable::kColumns; ++c)
            StringGrid->setItem(r - 1, c, new QTableWidgetItem(latin1(program_.table.cell(c, r))));
    filling_grid_ = false;
}

void TFrameProgram::StringGridCellEdited(int row, int column) {
    if (filling_grid_) return;
    const QByteArray text = StringGrid->item(row, column)->text().toLatin1();
    program_.table.set_cell(column, row + 1, text.toStdString());
    // Edits show on the buttons with the next firing of the caption timer.
    StringGridKeyDown();
}

void TFrameProgram::SyncCode() {
    syncing_ = true;
    LBCode->setUpdatesEnabled(false);
    LBCode->clear();
    QStringList items;
    items.reserve(qsizetype(program_.lines().size()));
    for (const std::string& line : program_.lines()) items << latin1(line);
    LBCode->addItems(items);
    LBCode->setCurrentRow(program_.selected());
    LBCode->setUpdatesEnabled(true);
    syncing_ = false;
}

}  // namespace dozu
