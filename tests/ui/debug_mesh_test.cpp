#include <gtest/gtest.h>

#include <QLabel>
#include <QListView>
#include <QScrollBar>
#include <QTest>

#include "mesh/quad_mesh.h"
#include "ui/debug_mesh.h"

using namespace dozu;

namespace {

QuadMesh square_and_spare() {
    QuadMesh m;
    const float n[3] = {0, 0, 1};
    for (int i = 0; i < 6; ++i) {
        const float p[3] = {float(i), 0.5f, -0.25f};
        m.add_vertex(n, p);
    }
    m.add_quad(0, 5, 2, 1);
    return m;
}

QString line(QListView* list, int row) { return list->model()->index(row, 0).data().toString(); }

}  // namespace

TEST(DebugMesh, FillShowAndJump) {
    TFormDebugMesh form;
    EXPECT_EQ(form.windowTitle(), "DOZU - mesh debugger");
    EXPECT_EQ(form.TxtIndices->text(), "Indices:");
    EXPECT_EQ(form.TxtVertices->text(), "Vertices:");
    EXPECT_FALSE(form.isVisible());

    QuadMesh m = square_and_spare();
    form.fill(output_mesh_view(m), "Output mesh");
    form.bring_up();
    EXPECT_EQ(form.windowTitle(), "DOZU - mesh debugger - Output mesh: 6 vertices, 1 quads");
    EXPECT_TRUE(form.isVisible());
    ASSERT_EQ(form.LBIndices->model()->rowCount(), 4);
    EXPECT_EQ(line(form.LBIndices, 1), "5");
    ASSERT_EQ(form.LBVertices->model()->rowCount(), 42);
    EXPECT_EQ(line(form.LBVertices, 35), "----- vertex #5 [referenced]");
    EXPECT_EQ(line(form.LBVertices, 39), " x: 5");
    EXPECT_EQ(line(form.LBVertices, 40), " y: .5");

    // Clicking the index line "5" selects line 35, vertex 5's first line.
    const QModelIndex five = form.LBIndices->model()->index(1, 0);
    QTest::mouseClick(form.LBIndices->viewport(), Qt::LeftButton, {}, form.LBIndices->visualRect(five).center());
    EXPECT_EQ(form.LBVertices->currentIndex().row(), 35);
    ASSERT_GT(form.LBVertices->verticalScrollBar()->value(), 0);

    // Filling again replaces the lists and starts them at the top.
    form.fill(output_mesh_view(m), "Input mesh");
    EXPECT_EQ(form.LBVertices->verticalScrollBar()->value(), 0);
    EXPECT_TRUE(form.windowTitle().contains("Input mesh"));
    QuadMesh empty;
    form.fill(output_mesh_view(empty), "Output mesh");
    EXPECT_EQ(form.LBIndices->model()->rowCount(), 0);
    EXPECT_EQ(form.LBVertices->model()->rowCount(), 0);
    form.bring_up();
    EXPECT_TRUE(form.isVisible());
}
