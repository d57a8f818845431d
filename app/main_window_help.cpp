// The main window's Help menu: the About box, the table of shortcuts and
// the manual in the desktop's viewer.
#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

#include "app/help.h"
#include "app/main_window.h"
#include "ui/command_help.h"
#include "ui/latin1_text.h"

namespace dozu {

void TFormMain::MIAboutClick() { QMessageBox::about(this, "About dozu", about_text(gl_version_)); }

void TFormMain::MIShortcutsClick() {
    // The keys that widgets take themselves, besides their actions'.
    std::vector<ShortcutRow> handled = {
        {"Tab, Shift+Tab", "Moves the keyboard focus: the view, the program list, the buttons, the messages",
         "Window"},
        {"Left, Right", "Turns the model to the left or right", "View"},
        {"Up, Down", "Turns the model's front up or down", "View"},
        {"+, \u2212", "Zooms in or out", "View"},
        {"Del", "Deletes the selected line", "Program list"},
        {"Space", "Clicks the button that has the focus", "Command buttons"},
    };
    // The letters click the buttons, A the first: as the table names them now.
    const CommandTable& table = document_.program().table;
    for (int tag = 1; tag <= CommandTable::kButtons; ++tag) {
        QString title = shown_text(table.title(tag)).trimmed();
        if (table.interpreter_code(tag).empty()) title = "empty";
        handled.push_back({command_key(tag),
                           QString("Clicks button %1%2").arg(tag).arg(title.isEmpty() ? QString() : ", " + title),
                           "Program list"});
    }
    ShortcutsDialog dialog(shortcut_rows(this, handled), this);
    dialog.exec();
}

void TFormMain::MIManualClick() {
    const QString path = manual_path();
    if (path.isEmpty()) {
        QMessageBox::warning(this, "Manual", "The manual (README.md) is not installed beside dozu.");
        return;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        QMessageBox::warning(this, "Manual",
                             QString("No program is set up to show %1. Open it with a text viewer or a web "
                                     "browser.")
                                 .arg(path));
}

}  // namespace dozu
