#include "ui/program_line_delegate.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QPainter>

#include "ui/program_list_model.h"

namespace dozu {

ProgramLineDelegate::ProgramLineDelegate(std::function<QStringList()> titles, QObject* parent)
    : QStyledItemDelegate(parent), titles_(std::move(titles)) {}

ProgramLineDelegate::Columns ProgramLineDelegate::columns(const QStyleOptionViewItem& option,
                                                          const QModelIndex& index) const {
    const QFontMetrics& metrics = option.fontMetrics;
    const QStringList titles = titles_();
    if (titles != measured_titles_ || option.font != measured_font_) {
        title_width_ = 0;
        for (const QString& title : titles)
            title_width_ = std::max(title_width_, metrics.horizontalAdvance(title));
        measured_titles_ = titles;
        measured_font_ = option.font;
    }
    int digits = 1;
    for (int rows = index.model()->rowCount(); rows >= 10; rows /= 10) ++digits;
    return {metrics.horizontalAdvance(QString(digits, '0')), title_width_, metrics.horizontalAdvance("  ")};
}

void ProgramLineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    const QString code = item.text;
    item.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    // The row's background, selection and focus as the style draws them.
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

    const Columns c = columns(option, index);
    const QRect text = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget);
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette::ColorGroup group = option.state & QStyle::State_Active ? QPalette::Active : QPalette::Inactive;
    const QColor ink = option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
    QColor faint = ink;
    if (!selected) faint.setAlphaF(0.55f);

    painter->save();
    painter->setClipRect(text);
    QRect cell(text.left(), text.top(), c.number, text.height());
    painter->setPen(faint);
    painter->drawText(cell, Qt::AlignRight | Qt::AlignVCenter, QString::number(index.row() + 1));
    painter->setPen(ink);
    // A list too narrow for all three keeps the number and the code, the
    // same for every row.
    if (c.number + c.title + 2 * c.gap + option.fontMetrics.horizontalAdvance("Y-C") <= text.width()) {
        cell.setRect(cell.right() + 1 + c.gap, text.top(), c.title, text.height());
        painter->drawText(cell, Qt::AlignLeft | Qt::AlignVCenter,
                          option.fontMetrics.elidedText(index.data(ProgramListModel::kTitleRole).toString(),
                                                        Qt::ElideRight, c.title));
    }
    cell.setRect(cell.right() + 1 + c.gap, text.top(), std::max(0, text.right() - cell.right() - c.gap),
                 text.height());
    painter->drawText(cell, Qt::AlignLeft | Qt::AlignVCenter,
                      option.fontMetrics.elidedText(code, Qt::ElideRight, cell.width()));
    painter->restore();
}

QSize ProgramLineDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const Columns c = columns(option, index);
    const QSize code = QStyledItemDelegate::sizeHint(option, index);
    return {c.number + c.title + 2 * c.gap + code.width(), code.height()};
}

}  // namespace dozu
