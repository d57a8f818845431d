#include "ui/recent_files.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QVariantList>

#include "ui/path_bytes.h"

namespace dozu {

namespace {

constexpr const char* kKey = "recentFiles";

QSettings settings() { return QSettings("dozu", "dozu"); }

}  // namespace

QStringList recent_captions(const QStringList& files) {
    QStringList names, captions;
    for (const QString& file : files) names << shown_file_name(file);
    const QString home = QDir::homePath();
    for (qsizetype i = 0; i < files.size(); ++i) {
        if (names.count(names[i]) == 1) {
            captions << names[i];
            continue;
        }
        QString folder = shown_path(QFileInfo(files[i]).path());
        if (folder == home || folder.startsWith(home + "/")) folder.replace(0, home.size(), "~");
        captions << QString("%1 (%2)").arg(names[i], folder);
    }
    return captions;
}

// A name that is not UTF-8 is kept as its bytes: a settings file holds text
// as UTF-8, which would lose it.
QStringList RecentFiles::list() const {
    // A settings file gives a list of one as that one value.
    const QVariant value = settings().value(kKey);
    const bool one = value.typeId() == QMetaType::QString || value.typeId() == QMetaType::QByteArray;
    QStringList files;
    for (const QVariant& file : one ? QVariantList{value} : value.toList())
        files << (file.typeId() == QMetaType::QByteArray ? path_from_bytes(file.toByteArray().toStdString())
                                                         : file.toString());
    return files.mid(0, kMax);
}

void RecentFiles::add(const QString& path) {
    const QString file = absolute_path(path);
    QStringList files = list();
    files.removeAll(file);
    files.prepend(file);
    store(files.mid(0, kMax));
}

void RecentFiles::remove(const QString& path) {
    QStringList files = list();
    files.removeAll(absolute_path(path));
    store(files);
}

void RecentFiles::store(const QStringList& files) {
    QVariantList values;
    for (const QString& file : files) {
        if (shown_path(file) == file)
            values << file;
        else
            values << QByteArray::fromStdString(path_bytes(file));
    }
    settings().setValue(kKey, values);
}

}  // namespace dozu
