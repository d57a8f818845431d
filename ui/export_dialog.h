// The Export Mesh dialog: a save dialog with one filter per mesh format. A
// name with a mesh format's extension is written in that format; a name
// without an extension gets the extension of the type chosen in the filter;
// a name with another extension is refused while the dialog stays open.
// Below the file type, the scale that every position is multiplied by, as
// the batch tool's --scale; a scale that is not a number above 0 is refused
// in the same way.
#pragma once

#include <QFileDialog>

#include "export/mesh_format.h"

class QLineEdit;

namespace dozu {

// What a typed name means with the format chosen in the filter: the path
// (with the format's extension appended when the name has none) and its
// format. False when the name ends in another extension.
bool resolve_export_name(const QString& name, MeshFormat filter_format, QString& path, MeshFormat& format);

// A scale as typed: a finite number above 0 (C locale, as --scale reads
// it); false otherwise.
bool parse_scale(const QString& text, double& scale);

class ExportMeshDialog : public QFileDialog {
    Q_OBJECT
public:
    explicit ExportMeshDialog(QWidget* parent = nullptr);
    // The format of the type chosen in the filter.
    MeshFormat filter_format() const;
    // Offers the program's name ("untitled" without a file) in its folder,
    // with the extension of the type chosen in the filter; choosing another
    // type changes the extension of the name shown.
    void suggest(const QString& program_file);
    // After exec() returned Accepted.
    QString chosen_path() const { return chosen_path_; }
    MeshFormat chosen_format() const { return chosen_format_; }
    double chosen_scale() const { return chosen_scale_; }

    QLineEdit* Scale;

    void accept() override;

private:
    QString chosen_path_;
    MeshFormat chosen_format_ = MeshFormat::obj;
    double chosen_scale_ = 1.0;
};

}  // namespace dozu
