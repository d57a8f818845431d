// The Export Picture dialog: a PNG file and the picture's size, the view's
// own or one chosen (each side 1 to 4096 pixels, as the batch tool's
// --size). A name without an extension gets .png; another extension is
// refused while the dialog stays open.
#pragma once

#include <QDialog>
#include <QSize>
#include <functional>

class QFileDialog;
class QLineEdit;
class QRadioButton;
class QSpinBox;

namespace dozu {

class ExportPictureDialog : public QDialog {
    Q_OBJECT

public:
    static constexpr int kMaxSide = 4096;

    explicit ExportPictureDialog(QWidget* parent = nullptr);

    QLineEdit* FileName;
    QRadioButton* ViewSize;
    QRadioButton* OtherSize;
    QSpinBox* PictureWidth;
    QSpinBox* PictureHeight;
    QFileDialog* SDPicture;  // behind the Browse button

    // Shows the file dialog modally; tests put their own answer here.
    std::function<QString(QFileDialog*)> exec_file_dialog;

    // Before it is shown: the view's size, and the file to suggest when
    // none was chosen yet.
    void prepare(QSize view, const QString& suggested_path);
    // After exec() returned Accepted.
    QString chosen_path() const { return chosen_path_; }
    QSize chosen_size() const;

    void accept() override;

private:
    void browse();

    QSize view_;
    QString chosen_path_;
};

}  // namespace dozu
