#include "ui/debug_mesh.h"

#include <QAbstractListModel>
#include <QLabel>
#include <QListView>
#include <QScrollBar>
#include <QSplitter>
#include <QVBoxLayout>
#include <functional>

namespace dozu {

// A list of text lines made on demand: a mesh can list tens of millions.
class ListingModel : public QAbstractListModel {
public:
    ListingModel(std::function<size_t()> count, std::function<std::string(size_t)> line, QObject* parent)
        : QAbstractListModel(parent), count_(std::move(count)), line_(std::move(line)) {}

    int rowCount(const QModelIndex& parent) const override {
        return parent.isValid() ? 0 : int(std::min<size_t>(count_(), size_t(INT32_MAX)));
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid()) return {};
        return QString::fromStdString(line_(size_t(index.row())));
    }
    using QAbstractListModel::beginResetModel;
    using QAbstractListModel::endResetModel;

private:
    std::function<size_t()> count_;
    std::function<std::string(size_t)> line_;
};

namespace {

constexpr int kItemHeight = 13;
constexpr const char* kCaption = "DOZU - mesh debugger";

QListView* make_list(const char* name, ListingModel* model) {
    auto* list = new QListView;
    list->setObjectName(name);
    list->setFrameShape(QFrame::NoFrame);
    list->setUniformItemSizes(true);
    list->setModel(model);
    list->setStyleSheet(QString("QListView::item { height: %1px; }").arg(kItemHeight));
    return list;
}

QLabel* make_caption(const char* name, const char* text) {
    auto* label = new QLabel(text);
    label->setObjectName(name);
    label->setFixedHeight(17);
    return label;
}

}  // namespace

TFormDebugMesh::TFormDebugMesh(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName("FormDebugMesh");
    setWindowTitle(kCaption);
    // It never keeps the application running once the main window closed.
    setAttribute(Qt::WA_QuitOnClose, false);
    setGeometry(251, 183, 333, 322);
    QFont f = font();
    f.setPixelSize(11);
    setFont(f);

    indices_model_ = new ListingModel([this] { return listing_.index_lines(); },
                                      [this](size_t i) { return listing_.index_line(i); }, this);
    vertices_model_ = new ListingModel([this] { return listing_.vertex_lines(); },
                                       [this](size_t i) { return listing_.vertex_line(i); }, this);

    TxtIndices = make_caption("TxtIndices", "Indices:");
    LBIndices = make_list("LBIndices", indices_model_);
    TxtVertices = make_caption("TxtVertices", "Vertices:");
    LBVertices = make_list("LBVertices", vertices_model_);
    connect(LBIndices, &QListView::clicked, this, &TFormDebugMesh::LBIndicesClick);
    connect(LBVertices, &QListView::clicked, this, &TFormDebugMesh::LBVerticesClick);

    auto* lower = new QWidget;
    auto* lower_layout = new QVBoxLayout(lower);
    lower_layout->setContentsMargins(0, 0, 0, 0);
    lower_layout->setSpacing(0);
    lower_layout->addWidget(TxtVertices);
    lower_layout->addWidget(LBVertices, 1);

    Splitter = new QSplitter(Qt::Vertical);
    Splitter->setObjectName("Splitter");
    Splitter->setHandleWidth(3);
    Splitter->setStyleSheet("QSplitter::handle { background: palette(button-text); }");
    Splitter->addWidget(LBIndices);
    Splitter->addWidget(lower);
    Splitter->setStretchFactor(1, 1);
    Splitter->setSizes({112, 190});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(TxtIndices);
    layout->addWidget(Splitter, 1);
}

TFormDebugMesh::~TFormDebugMesh() = default;

void TFormDebugMesh::fill(const MeshView& mesh, const QString& name) {
    indices_model_->beginResetModel();
    vertices_model_->beginResetModel();
    listing_ = MeshListing(mesh);
    vertices_model_->endResetModel();
    indices_model_->endResetModel();
    LBIndices->scrollToTop();
    LBVertices->scrollToTop();
    setWindowTitle(QString("%1 - %2: %3 vertices, %4 quads")
                       .arg(kCaption, name)
                       .arg(qulonglong(mesh.vertex_count))
                       .arg(qulonglong(mesh.index_count / 4)));
}

void TFormDebugMesh::refill(const MeshView& mesh, const QString& name) {
    QListView* lists[2] = {LBIndices, LBVertices};
    int scrolled[2], current[2];
    for (int i = 0; i < 2; ++i) {
        scrolled[i] = lists[i]->verticalScrollBar()->value();
        current[i] = lists[i]->currentIndex().row();
    }
    fill(mesh, name);
    for (int i = 0; i < 2; ++i) {
        if (current[i] >= 0 && current[i] < lists[i]->model()->rowCount())
            lists[i]->setCurrentIndex(lists[i]->model()->index(current[i], 0));
        lists[i]->verticalScrollBar()->setValue(scrolled[i]);
    }
}

void TFormDebugMesh::bring_up() {
    if (isVisible()) {
        raise();
        activateWindow();
    } else {
        show();
    }
}

void TFormDebugMesh::LBIndicesClick() {
    const QModelIndex current = LBIndices->currentIndex();
    if (!current.isValid()) return;
    const long long target = MeshListing::jump_target(listing_.index_line(size_t(current.row())));
    if (target < 0 || size_t(target) >= listing_.vertex_lines()) return;
    const QModelIndex line = vertices_model_->index(int(target));
    LBVertices->setCurrentIndex(line);
    LBVertices->scrollTo(line, QAbstractItemView::PositionAtTop);
}

}  // namespace dozu
