// Draws a row of the program list as "12  grow_s  S4": the line's number
// (counted from 1, as messages and the status bar count), the title of the
// button that made it and the line's code, each in a column of its own so
// that the codes stand one under another.
#pragma once

#include <QStringList>
#include <QStyledItemDelegate>
#include <functional>

namespace dozu {

class ProgramLineDelegate : public QStyledItemDelegate {
public:
    // The titles of every button, for the width of the title column.
    ProgramLineDelegate(std::function<QStringList()> titles, QObject* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    struct Columns {
        int number, title, gap;
    };
    Columns columns(const QStyleOptionViewItem& option, const QModelIndex& index) const;

    std::function<QStringList()> titles_;
    // The widest title, kept for the titles it was measured for.
    mutable QStringList measured_titles_;
    mutable QFont measured_font_;
    mutable int title_width_ = 0;
};

}  // namespace dozu
