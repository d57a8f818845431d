#include "ui/focus_ring.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QEvent>
#include <QPainter>

namespace dozu {

namespace {

class RingWidget : public QWidget {
public:
    RingWidget() {
        setObjectName("FocusRing");
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        QPen pen(palette().color(QPalette::Highlight), 2);
        pen.setJoinStyle(Qt::MiterJoin);
        p.setPen(pen);
        p.drawRect(QRectF(rect()).adjusted(1, 1, -1, -1));
    }
};

}  // namespace

FocusRing::FocusRing(QObject* parent) : QObject(parent) {
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { follow(now); });
    follow(QApplication::focusWidget());
}

FocusRing::~FocusRing() { delete ring_.data(); }

bool FocusRing::marks(const QWidget* widget) {
    return qobject_cast<const QAbstractButton*>(widget) || qobject_cast<const QAbstractItemView*>(widget);
}

void FocusRing::follow(QWidget* now) {
    if (ring_ && ring_->parentWidget()) ring_->parentWidget()->removeEventFilter(this);
    if (!now || !marks(now)) {
        if (ring_) ring_->hide();
        return;
    }
    if (!ring_) ring_ = new RingWidget;
    ring_->setParent(now);
    ring_->setGeometry(now->rect());
    ring_->raise();
    ring_->show();
    now->installEventFilter(this);
}

bool FocusRing::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Resize && ring_ && watched == ring_->parentWidget()) {
        ring_->setGeometry(ring_->parentWidget()->rect());
        ring_->raise();
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace dozu
