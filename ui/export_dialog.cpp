#include "ui/export_dialog.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <cmath>

#include "ui/path_bytes.h"

namespace dozu {

namespace {

QString filter_of(const MeshFormatInfo& info) { return QString("%1 (*.%2)").arg(info.title, info.extension); }

QString extension_list() {
    QStringList list;
    for (const MeshFormatInfo& info : mesh_formats()) list << QString(".") + info.extension;
    return list.join(", ");
}

}  // namespace

bool resolve_export_name(const QString& name, MeshFormat filter_format, QString& path, MeshFormat& format) {
    const QFileInfo file(name);
    if (file.suffix().isEmpty()) {
        format = filter_format;
        path = name + (name.endsWith('.') ? "" : ".") + mesh_format_info(format).extension;
        return true;
    }
    path = name;
    return mesh_format_of(QFile::encodeName(file.fileName()).toStdString(), format);
}

bool parse_scale(const QString& text, double& scale) {
    bool ok = false;
    const double value = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !(value > 0) || !std::isfinite(value)) return false;
    scale = value;
    return true;
}

ExportMeshDialog::ExportMeshDialog(QWidget* parent) : QFileDialog(parent) {
    setObjectName("SDExportMesh");
    setWindowTitle("Export Mesh");
    setAcceptMode(QFileDialog::AcceptSave);
    // The name is checked before the dialog closes, which a desktop's own
    // dialog would not let us do.
    setOption(QFileDialog::DontUseNativeDialog);
    QStringList filters;
    for (const MeshFormatInfo& info : mesh_formats()) filters << filter_of(info);
    setNameFilters(filters);

    Scale = new QLineEdit("1");
    Scale->setObjectName("Scale");
    Scale->setToolTip(
        "Every position is multiplied by this number, as dozu-cli's --scale does. "
        "3MF and STL files are read in millimetres: the scale is millimetres per model unit.");
    auto* label = new QLabel("Sc&ale:");
    label->setBuddy(Scale);
    // The dialog's own grid: a row of its own below the file type.
    if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
        const int row = grid->rowCount();
        grid->addWidget(label, row, 0);
        grid->addWidget(Scale, row, 1);
    }
}

MeshFormat ExportMeshDialog::filter_format() const {
    const qsizetype index = nameFilters().indexOf(selectedNameFilter());
    return index >= 0 && size_t(index) < mesh_formats().size() ? mesh_formats()[size_t(index)].format
                                                               : MeshFormat::obj;
}

void ExportMeshDialog::suggest(const QString& program_file) {
    const QFileInfo file(shown_path(program_file));
    // A folder whose name is not UTF-8 cannot be shown: the dialog stays
    // where it was.
    if (!program_file.isEmpty() && file.filePath() == program_file) setDirectory(file.absolutePath());
    const QString name = program_file.isEmpty() ? QString("untitled") : file.completeBaseName();
    selectFile(name + "." + mesh_format_info(filter_format()).extension);
}

void ExportMeshDialog::accept() {
    const QStringList files = selectedFiles();
    // No name yet, or a folder to open: the dialog's own business.
    if (files.size() != 1 || QFileInfo(files.front()).isDir()) return QFileDialog::accept();
    double scale = 1;
    if (!parse_scale(Scale->text(), scale)) {
        QMessageBox::warning(this, windowTitle(),
                             QString("The scale \"%1\" is not a number above 0.").arg(Scale->text().trimmed()));
        Scale->setFocus();
        return;
    }
    QString path;
    MeshFormat format;
    if (!resolve_export_name(files.front(), filter_format(), path, format)) {
        QMessageBox::warning(
            this, windowTitle(),
            QString("Cannot export to \"%1\": .%2 is not the extension of a mesh format.\n\n"
                    "Use %3, or leave the extension out for the type chosen below.")
                .arg(QFileInfo(files.front()).fileName(), QFileInfo(files.front()).suffix(), extension_list()));
        return;
    }
    chosen_path_ = path;
    chosen_format_ = format;
    chosen_scale_ = scale;
    if (path != files.front()) selectFile(path);
    QFileDialog::accept();
}

}  // namespace dozu
