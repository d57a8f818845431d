#include "app/help.h"

#include <zlib.h>

#include <QAction>
#include <QCoreApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QShortcut>
#include <QTableWidget>
#include <QVBoxLayout>

namespace dozu {

namespace {

QString plain(QString text) {
    text.remove(QRegularExpression("&(?!&)"));
    if (text.endsWith("...")) text.chop(3);
    return text;
}

QString keys_of(const QList<QKeySequence>& keys) {
    QStringList texts;
    for (const QKeySequence& key : keys) texts << key.toString(QKeySequence::NativeText);
    return texts.join(", ");
}

void add_menu_rows(QMenu* menu, const QString& where, std::vector<ShortcutRow>& rows, QList<QAction*>& seen) {
    for (QAction* action : menu->actions()) {
        seen << action;
        if (action->menu()) {
            add_menu_rows(action->menu(), where + " \u203a " + plain(action->text()), rows, seen);
        } else if (!action->shortcuts().isEmpty()) {
            rows.push_back({keys_of(action->shortcuts()), plain(action->text()), where});
        }
    }
}

// A part of the window by the name it shows.
QString name_of(const QObject* o) {
    const auto* w = qobject_cast<const QWidget*>(o);
    if (!w) return {};
    return w->accessibleName().isEmpty() ? w->objectName() : w->accessibleName();
}

// An action of a dialog's own, which works only while it is open.
bool in_dialog(const QObject* o) {
    for (; o; o = o->parent())
        if (qobject_cast<const QDialog*>(o)) return true;
    return false;
}

// The part of the window whose action it is.
QString where_of(const QAction* action) {
    for (const QObject* o : action->associatedObjects())
        if (o->isWidgetType()) return name_of(o);
    return {};
}

}  // namespace

QString about_text(const QString& gl_version) {
    QFile licence(":/dozu/LICENSE");
    licence.open(QIODevice::ReadOnly);
    QString text = QString::fromUtf8(licence.readAll()).toHtmlEscaped();
    // The notice's paragraphs, without the title and the copyright line
    // shown above them.
    QStringList paragraphs = text.split("\n\n", Qt::SkipEmptyParts);
    const QString copyright = paragraphs.size() > 1 ? paragraphs[1] : QString();
    paragraphs = paragraphs.mid(2);
    for (QString& p : paragraphs) p = "<p style='font-size:small'>" + p.simplified() + "</p>";
    return QString(
               "<h3>dozu %1</h3>"
               "<p>A 3D model encoder: models built as short turtle programs.</p>"
               "<p>%2<br>Released under the MIT License:</p>%3"
               "<p>It uses Qt %4 (LGPL-3.0), OpenGL through the system's libGL%5, GLU, Xlib and zlib %6.</p>")
        .arg(DOZU_VERSION, copyright, paragraphs.join(""), qVersion(),
             gl_version.isEmpty() ? QString() : " (" + gl_version.toHtmlEscaped() + ")", zlibVersion());
}

std::vector<ShortcutRow> shortcut_rows(QWidget* window, const std::vector<ShortcutRow>& handled) {
    std::vector<ShortcutRow> rows;
    QList<QAction*> seen;
    if (auto* bar = window->findChild<QMenuBar*>())
        for (QAction* top : bar->actions())
            if (top->menu()) add_menu_rows(top->menu(), plain(top->text()), rows, seen);
    for (QAction* action : window->findChildren<QAction*>()) {
        if (seen.contains(action) || action->shortcuts().isEmpty() || action->text().isEmpty() ||
            in_dialog(action))
            continue;
        rows.push_back({keys_of(action->shortcuts()), plain(action->text()), where_of(action)});
    }
    for (QShortcut* shortcut : window->findChildren<QShortcut*>())
        if (!shortcut->whatsThis().isEmpty() && !in_dialog(shortcut))
            rows.push_back({keys_of(shortcut->keys()), shortcut->whatsThis(), name_of(shortcut->parent())});
    rows.insert(rows.end(), handled.begin(), handled.end());
    return rows;
}

ShortcutsDialog::ShortcutsDialog(const std::vector<ShortcutRow>& rows, QWidget* parent) : QDialog(parent) {
    setObjectName("ShortcutsDialog");
    setWindowTitle("Keyboard Shortcuts");
    table_ = new QTableWidget(int(rows.size()), 3);
    table_->setHorizontalHeaderLabels({"Keys", "Command", "Where"});
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    for (int r = 0; r < int(rows.size()); ++r) {
        const ShortcutRow& row = rows[size_t(r)];
        table_->setItem(r, 0, new QTableWidgetItem(row.keys));
        table_->setItem(r, 1, new QTableWidgetItem(row.command));
        table_->setItem(r, 2, new QTableWidgetItem(row.where));
    }
    table_->resizeColumnsToContents();
    table_->horizontalHeader()->setStretchLastSection(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_);
    layout->addWidget(buttons);
    int width = 0;
    for (int c = 0; c < 3; ++c) width += table_->columnWidth(c);
    resize(width + 60, 480);
}

QString manual_path() {
    const QString installed = QCoreApplication::applicationDirPath() + "/../share/doc/dozu/README.md";
    // In a build tree, a link to the source tree's README lies there too.
    return QFileInfo(installed).canonicalFilePath();
}

}  // namespace dozu
