#include "ui/program_line_delegate.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QPainter>
#include <cmath>

#include "ui/program_list_model.h"

namespace dozu {

ProgramLineDelegate::ProgramLineDelegate(std::function<QStringList()> titles, QObject* parent)
    : QStyledItemDelegate(parent), titles_(std::move(titles)) {}

namespace {

// Room at the left for the focus ring, which is drawn over the list's edge.
constexpr int kLeftMargin = 3;

// The width a text takes, rounded up: a column of the rounded-down width
// would elide its widest text.
int text_width(const QFont& font, const QString& text) {
    return int(std::ceil(QFontMetricsF(font).horizontalAdvance(text)));
}

}  // namespace

ProgramLineDelegate::Columns ProgramLineDelegate::columns(const QStyleOptionViewItem& option,
                                                          const QModelIndex& index) const {
    const QStringList titles = titles_();
    if (titles != measured_titles_ || option.font != measured_font_) {
        title_width_ = 0;
        for (const QString& title : titles) title_width_ = std::max(title_width_, text_width(option.font, title));
        measured_titles_ = titles;
        measured_font_ = option.font;
    }
    int digits = 1;
    for (int rows = index.model()->rowCount(); rows >= 10; rows /= 10) ++digits;
    return {text_width(option.font, QString(digits, '0')), title_width_, text_width(option.font, "  ")};
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
    const QRect text =
        style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget).adjusted(kLeftMargin, 0, 0, 0);
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
    // A list too narrow for the titles' column cuts the titles, with an
    // ellipsis; one too narrow even for an ellipsis keeps the number and
    // the code, the same for every row.
    const int ellipsis = text_width(option.font, "x\u2026");
    const int title = std::min(c.title, text.width() - c.number - 2 * c.gap - text_width(option.font, "Y-C"));
    if (title >= ellipsis) {
        cell.setRect(cell.right() + 1 + c.gap, text.top(), title, text.height());
        painter->drawText(cell, Qt::AlignLeft | Qt::AlignVCenter,
                          option.fontMetrics.elidedText(index.data(ProgramListModel::kTitleRole).toString(),
                                                        Qt::ElideRight, title));
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
    return {kLeftMargin + c.number + c.title + 2 * c.gap + code.width(), code.height()};
}

}  // namespace dozu
