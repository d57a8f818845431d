#include "ui/export_picture_dialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

namespace dozu {

namespace {

QSpinBox* side_box(const char* name) {
    auto* box = new QSpinBox;
    box->setObjectName(name);
    box->setRange(1, ExportPictureDialog::kMaxSide);
    box->setSuffix(" px");
    return box;
}

}  // namespace

ExportPictureDialog::ExportPictureDialog(QWidget* parent)
    : QDialog(parent), exec_file_dialog([](QFileDialog* d) {
          return d->exec() == QDialog::Accepted && !d->selectedFiles().isEmpty() ? d->selectedFiles().front()
                                                                                 : QString();
      }) {
    setObjectName("ExportPictureDialog");
    setWindowTitle("Export Picture");

    FileName = new QLineEdit;
    FileName->setObjectName("FileName");
    FileName->setMinimumWidth(320);
    auto* browse_button = new QPushButton("&Browse...");
    connect(browse_button, &QPushButton::clicked, this, &ExportPictureDialog::browse);
    auto* file_row = new QHBoxLayout;
    file_row->addWidget(FileName, 1);
    file_row->addWidget(browse_button);

    ViewSize = new QRadioButton;
    ViewSize->setObjectName("ViewSize");
    ViewSize->setChecked(true);
    OtherSize = new QRadioButton("&Other:");
    OtherSize->setObjectName("OtherSize");
    PictureWidth = side_box("PictureWidth");
    PictureHeight = side_box("PictureHeight");
    auto* other_row = new QHBoxLayout;
    other_row->addWidget(OtherSize);
    other_row->addWidget(PictureWidth);
    other_row->addWidget(new QLabel("\u00d7"));
    other_row->addWidget(PictureHeight);
    other_row->addStretch(1);
    for (QSpinBox* box : {PictureWidth, PictureHeight})
        connect(box, &QSpinBox::valueChanged, this, [this] { OtherSize->setChecked(true); });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &ExportPictureDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* file_label = new QLabel("&File:");
    file_label->setBuddy(FileName);
    auto* form = new QFormLayout(this);
    form->addRow(file_label, file_row);
    form->addRow("Size:", ViewSize);
    form->addRow("", other_row);
    form->addRow(buttons);

    SDPicture = new QFileDialog(this, "Export Picture");
    SDPicture->setObjectName("SDPicture");
    SDPicture->setAcceptMode(QFileDialog::AcceptSave);
    SDPicture->setNameFilter("PNG picture (*.png)");
    SDPicture->setDefaultSuffix("png");
}

void ExportPictureDialog::prepare(QSize view, const QString& suggested_path) {
    view_ = view;
    ViewSize->setText(QString("The &view's, %1 \u00d7 %2 px").arg(view.width()).arg(view.height()));
    if (FileName->text().isEmpty()) FileName->setText(suggested_path);
    if (!OtherSize->isChecked()) {
        const QSignalBlocker w(PictureWidth), h(PictureHeight);
        PictureWidth->setValue(view.width());
        PictureHeight->setValue(view.height());
    }
}

QSize ExportPictureDialog::chosen_size() const {
    return OtherSize->isChecked() ? QSize(PictureWidth->value(), PictureHeight->value()) : view_;
}

void ExportPictureDialog::browse() {
    SDPicture->selectFile(FileName->text());
    const QString path = exec_file_dialog(SDPicture);
    if (!path.isEmpty()) FileName->setText(path);
}

void ExportPictureDialog::accept() {
    QString path = FileName->text().trimmed();
    const QFileInfo file(path);
    QString refusal;
    if (path.isEmpty() || file.fileName().isEmpty())
        refusal = "Name the PNG file to write.";
    else if (file.isDir())
        refusal = QString("\"%1\" is a folder: name the PNG file to write.").arg(path);
    else if (!file.suffix().isEmpty() && file.suffix().compare("png", Qt::CaseInsensitive) != 0)
        refusal = QString("Cannot export to \"%1\": a picture is written as PNG, with the extension .png.")
                      .arg(file.fileName());
    else if (!chosen_size().isValid() || chosen_size().isEmpty())
        refusal = "The view has no size to take: choose one.";
    if (!refusal.isEmpty()) {
        QMessageBox::warning(this, windowTitle(), refusal);
        return;
    }
    if (file.suffix().isEmpty()) path += path.endsWith('.') ? "png" : ".png";
    FileName->setText(path);
    chosen_path_ = path;
    QDialog::accept();
}

}  // namespace dozu
