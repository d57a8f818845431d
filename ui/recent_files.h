// The program files used last, newest first, kept in the user's settings:
// the only settings dozu keeps.
#pragma once

#include <QStringList>

namespace dozu {

// How a menu names the files: by their names, and where two share one,
// with their folders ("chain.tpg (~/models)").
QStringList recent_captions(const QStringList& files);

class RecentFiles {
public:
    static constexpr int kMax = 8;

    QStringList list() const;
    // Puts the file first, by its absolute path.
    void add(const QString& path);
    void remove(const QString& path);

private:
    void store(const QStringList& files);
};

}  // namespace dozu
