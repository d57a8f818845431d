// The Help menu's content: the About box's text, the table of every
// keyboard shortcut the window has, and where the manual (the README) is.
#pragma once

#include <QDialog>
#include <QString>
#include <vector>

class QTableWidget;

namespace dozu {

// Version, licence and the libraries in use, as rich text for
// QMessageBox::about; gl_version names the OpenGL in use (may be empty).
QString about_text(const QString& gl_version);

struct ShortcutRow {
    QString keys;     // as the desktop writes them
    QString command;  // what they do
    QString where;    // the menu, or the part of the window that takes them
};

// Every action of the window with keys (the menus' first, in their order,
// then those of its widgets), then the rows of keys that widgets handle
// themselves.
std::vector<ShortcutRow> shortcut_rows(QWidget* window, const std::vector<ShortcutRow>& handled);

class ShortcutsDialog : public QDialog {
    Q_OBJECT

public:
    ShortcutsDialog(const std::vector<ShortcutRow>& rows, QWidget* parent = nullptr);
    QTableWidget* table() const { return table_; }

private:
    QTableWidget* table_;
};

// The README in share/doc/dozu beside the program's folder, as installed
// or as a build tree links it; empty when it is not there.
QString manual_path();

}  // namespace dozu
