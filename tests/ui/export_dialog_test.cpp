// The Export Mesh dialog on Qt's offscreen platform.
#include "ui/export_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>

#include "support/temp_dir.h"

using namespace dozu;

TEST(ExportDialog, NamesTakeTheFiltersTypeOrTheirOwnExtension) {
    QString path;
    MeshFormat format;
    EXPECT_TRUE(resolve_export_name("/d.x/model", MeshFormat::glb, path, format));
    EXPECT_EQ(path, "/d.x/model.glb");
    EXPECT_EQ(format, MeshFormat::glb);
    EXPECT_TRUE(resolve_export_name("/d/model.", MeshFormat::three_mf, path, format));
    EXPECT_EQ(path, "/d/model.3mf");
    EXPECT_TRUE(resolve_export_name("/d/model.STL", MeshFormat::glb, path, format));
    EXPECT_EQ(path, "/d/model.STL");
    EXPECT_EQ(format, MeshFormat::stl);
    EXPECT_FALSE(resolve_export_name("/d/model.v2", MeshFormat::obj, path, format));
}

TEST(ExportDialog, OffersEveryFormatAndStaysOpenForAnUnknownExtension) {
    const dozu::testing::TempDir dir;
    ExportMeshDialog dialog;
    ASSERT_EQ(size_t(dialog.nameFilters().size()), mesh_formats().size());
    EXPECT_EQ(dialog.nameFilters()[3], "glTF 2.0, binary (*.glb)");
    dialog.setDirectory(QString::fromStdString(dir.path().string()));
    dialog.selectNameFilter(dialog.nameFilters()[3]);
    dialog.show();
    auto* name = dialog.findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(name, nullptr);

    // The warning comes up over the open dialog; whatever it says is read
    // and it is closed.
    QString warning;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            warning = box->text();
            box->accept();
        }
    });
    closer.start(10);
    name->setText("model.v2");
    dialog.accept();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(warning.contains("model.v2")) << warning.toStdString();
    EXPECT_TRUE(warning.contains(".3mf")) << warning.toStdString();

    name->setText("model");
    dialog.accept();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.chosen_path().toStdString(), dir / "model.glb");
    EXPECT_EQ(dialog.chosen_format(), MeshFormat::glb);
}
