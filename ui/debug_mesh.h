// The mesh debugger window: the quad indices and the vertices of a mesh as
// text, filled with a snapshot on demand. An index line jumps to its vertex.
#pragma once

#include <QWidget>

#include "ui/mesh_listing.h"

class QLabel;
class QListView;
class QSplitter;

namespace dozu {

class ListingModel;

class TFormDebugMesh : public QWidget {
    Q_OBJECT

public:
    explicit TFormDebugMesh(QWidget* parent = nullptr);
    ~TFormDebugMesh() override;

    QLabel* TxtIndices;
    QListView* LBIndices;
    QSplitter* Splitter;
    QLabel* TxtVertices;
    QListView* LBVertices;

    // Rebuilds both lists from a snapshot of the mesh, scrolled to their
    // tops; the title names the mesh ("Input mesh") and its counts.
    void fill(const MeshView& mesh, const QString& name);
    // The same after a run, keeping where each list is scrolled to and its
    // current line, as far as the new mesh has them.
    void refill(const MeshView& mesh, const QString& name);
    // Shows the window, or gives it the focus when it is visible.
    void bring_up();

    void LBIndicesClick();
    void LBVerticesClick() {}

    const MeshListing& listing() const { return listing_; }

private:
    MeshListing listing_;
    ListingModel* indices_model_;
    ListingModel* vertices_model_;
};

}  // namespace dozu
