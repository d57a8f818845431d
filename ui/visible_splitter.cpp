#include "ui/visible_splitter.h"

#include <QEvent>
#include <QPainter>
#include <QSplitterHandle>

namespace dozu {

namespace {

class VisibleHandle : public QSplitterHandle {
public:
    VisibleHandle(Qt::Orientation orientation, QSplitter* parent) : QSplitterHandle(orientation, parent) {
        setAttribute(Qt::WA_Hover);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QPalette& pal = palette();
        p.fillRect(rect(),
                   underMouse() ? pal.color(QPalette::Highlight).lighter(160) : pal.color(QPalette::Button));
        p.setPen(pal.color(QPalette::Mid));
        const bool across = orientation() == Qt::Vertical;  // a horizontal band
        if (across) {
            p.drawLine(0, 0, width(), 0);
            p.drawLine(0, height() - 1, width(), height() - 1);
        } else {
            p.drawLine(0, 0, 0, height());
            p.drawLine(width() - 1, 0, width() - 1, height());
        }
        p.setPen(Qt::NoPen);
        p.setBrush(pal.color(QPalette::Dark));
        const QPoint c = rect().center();
        for (int i = -2; i <= 2; ++i) {
            const QPoint at = across ? QPoint(c.x() + 6 * i, c.y()) : QPoint(c.x(), c.y() + 6 * i);
            p.drawEllipse(at, 1, 1);
        }
    }

    bool event(QEvent* e) override {
        if (e->type() == QEvent::HoverEnter || e->type() == QEvent::HoverLeave) update();
        return QSplitterHandle::event(e);
    }
};

}  // namespace

VisibleSplitter::VisibleSplitter(Qt::Orientation orientation, QWidget* parent) : QSplitter(orientation, parent) {
    setHandleWidth(kHandleWidth);
}

QSplitterHandle* VisibleSplitter::createHandle() { return new VisibleHandle(orientation(), this); }

}  // namespace dozu
