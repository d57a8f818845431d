// The Export Mesh and Export Picture dialogs on Qt's offscreen platform.
#include "ui/export_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>

#include "support/temp_dir.h"
#include "ui/export_picture_dialog.h"

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
    EXPECT_EQ(dialog.chosen_scale(), 1.0);

    // The scale, read as --scale reads it; anything but a number above 0
    // keeps the dialog open.
    dialog.show();
    for (const char* refused : {"0", "-2", "abc", "1e999", "nan", "2,5"}) {
        warning.clear();
        dialog.Scale->setText(refused);
        name->setText("scaled");
        dialog.accept();
        EXPECT_TRUE(dialog.isVisible()) << refused;
        EXPECT_TRUE(warning.contains(refused)) << warning.toStdString();
    }
    dialog.Scale->setText(" 2.5e-1 ");
    dialog.accept();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.chosen_scale(), 0.25);
}

TEST(ExportPictureDialog, TakesAPngNameAndASize) {
    const dozu::testing::TempDir dir;
    ExportPictureDialog dialog;
    QString warning;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            warning = box->text();
            box->accept();
        }
    });
    closer.start(10);
    dialog.prepare(QSize(746, 288), QString::fromStdString(dir / "chain.png"));
    EXPECT_EQ(dialog.FileName->text().toStdString(), dir / "chain.png");
    dialog.show();
    dialog.FileName->setText(QString::fromStdString(dir / "chain.jpg"));
    dialog.accept();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(warning.contains("chain.jpg")) << warning.toStdString();

    dialog.FileName->setText(QString::fromStdString(dir / "chain"));
    dialog.accept();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.chosen_path().toStdString(), dir / "chain.png");
    EXPECT_EQ(dialog.chosen_size(), QSize(746, 288));

    // A size typed in is chosen; the next view's size does not replace it.
    dialog.PictureHeight->setValue(5000);
    EXPECT_TRUE(dialog.OtherSize->isChecked());
    dialog.prepare(QSize(800, 300), "elsewhere.png");
    EXPECT_EQ(dialog.FileName->text().toStdString(), dir / "chain.png");
    EXPECT_EQ(dialog.chosen_size(), QSize(746, ExportPictureDialog::kMaxSide));
}
