#include "ui/recent_files.h"

#include <QFileInfo>
#include <QSettings>

namespace dozu {

namespace {

constexpr const char* kKey = "recentFiles";

QSettings settings() { return QSettings("dozu", "dozu"); }

}  // namespace

QStringList RecentFiles::list() const { return settings().value(kKey).toStringList().mid(0, kMax); }

void RecentFiles::add(const QString& path) {
    const QString file = QFileInfo(path).absoluteFilePath();
    QStringList files = list();
    files.removeAll(file);
    files.prepend(file);
    store(files.mid(0, kMax));
}

void RecentFiles::remove(const QString& path) {
    QStringList files = list();
    files.removeAll(QFileInfo(path).absoluteFilePath());
    store(files);
}

void RecentFiles::store(const QStringList& files) { settings().setValue(kKey, files); }

}  // namespace dozu
