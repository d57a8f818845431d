// The program lines as a Qt list model, for the program list's view. It
// reads the Program model directly; the document that edits the program
// tells it around each edit, so that the view's rows always match the lines.
// A row shows its line's text; the title of the button that made it is a
// role of its own, so that the list can show both beside the line number.
#pragma once

#include <QAbstractListModel>

#include "program/program.h"
#include "ui/latin1_text.h"

namespace dozu {

class ProgramListModel : public QAbstractListModel {
public:
    // The title of the line's button, without the blanks around it.
    static constexpr int kTitleRole = Qt::UserRole + 1;

    ProgramListModel(const Program& program, QObject* parent) : QAbstractListModel(parent), program_(program) {}

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(program_.lines().size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || size_t(index.row()) >= program_.lines().size()) return {};
        const size_t row = size_t(index.row());
        switch (role) {
            case Qt::DisplayRole: return shown_text(program_.lines()[row]);
            case kTitleRole: return title(row);
            case Qt::AccessibleTextRole:
                return QString("%1 %2 %3").arg(row + 1).arg(title(row), shown_text(program_.lines()[row]));
            default: return {};
        }
    }

    // Call before and after the program gains, loses or moves rows first
    // to last, or changes altogether.
    void begin_insert(int first, int last) { beginInsertRows({}, first, last); }
    void end_insert() { endInsertRows(); }
    void begin_remove(int first, int last) { beginRemoveRows({}, first, last); }
    void end_remove() { endRemoveRows(); }
    // The rows first to last go to stand before row `to` as it is now.
    void begin_move(int first, int last, int to) { beginMoveRows({}, first, last, {}, to); }
    void end_move() { endMoveRows(); }
    void begin_reset() { beginResetModel(); }
    void end_reset() { endResetModel(); }
    // The command table changed: titles may read differently.
    void titles_changed() {
        if (rowCount() > 0) emit dataChanged(index(0), index(rowCount() - 1), {kTitleRole});
    }

private:
    QString title(size_t row) const { return shown_text(program_.table.title(program_.steps()[row])).trimmed(); }

    const Program& program_;
};

}  // namespace dozu
