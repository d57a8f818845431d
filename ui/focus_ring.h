// A ring in the highlight colour around the list or button that has the
// keyboard focus, which the desktop style marks too faintly on the small
// command buttons and not at all on a list without a frame. It follows the
// focus through every window of the application, drawn on the widget's own
// border by a child laid over it that lets the mouse through.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

namespace dozu {

class FocusRing : public QObject {
    Q_OBJECT

public:
    explicit FocusRing(QObject* parent = nullptr);
    ~FocusRing() override;

    // Whether a widget with the focus gets the ring: lists, tables,
    // buttons and check boxes.
    static bool marks(const QWidget* widget);
    // The ring while it is shown, laid over the widget with the focus.
    QWidget* ring() const { return ring_ && ring_->isVisible() ? ring_.data() : nullptr; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow(QWidget* now);

    // Made again when the widget it lay over was destroyed with its window
    // (a message box).
    QPointer<QWidget> ring_;
};

}  // namespace dozu
