// The program lines as a Qt list model, for the program list's view. It
// reads the Program model directly; the document that edits the program
// tells it around each edit, so that the view's rows always match the lines.
#pragma once

#include <QAbstractListModel>

#include "program/program.h"
#include "ui/latin1_text.h"

namespace dozu {

class ProgramListModel : public QAbstractListModel {
public:
    ProgramListModel(const Program& program, QObject* parent) : QAbstractListModel(parent), program_(program) {}

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(program_.lines().size());
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid() || size_t(index.row()) >= program_.lines().size())
            return {};
        return shown_text(program_.lines()[size_t(index.row())]);
    }

    // Call before and after the program gains or loses line `row`, or
    // changes altogether.
    void begin_insert(int row) { beginInsertRows({}, row, row); }
    void end_insert() { endInsertRows(); }
    void begin_remove(int row) { beginRemoveRows({}, row, row); }
    void end_remove() { endRemoveRows(); }
    void begin_reset() { beginResetModel(); }
    void end_reset() { endResetModel(); }

private:
    const Program& program_;
};

}  // namespace dozu
