// The 3D view's keyboard, once Tab has brought the focus to it: the arrow
// keys turn the model, + and - zoom, and the view shows that it has the
// focus. An event filter on the view, so that the GL panel stays a panel.
#pragma once

#include <QObject>
#include <functional>

namespace dozu {

class ViewKeys : public QObject {
    Q_OBJECT

public:
    static constexpr float kTurnDegrees = 15;  // a turn button's angle

    explicit ViewKeys(QObject* parent = nullptr) : QObject(parent) {}

    // The model turned to the right and its front up, in degrees.
    std::function<void(float right, float up)> turn;
    // Wheel notches: positive brings the model closer.
    std::function<void(int notches)> zoom;
    // The view gained or lost the keyboard focus.
    std::function<void()> focus_changed;

    // What a key does to the view; false when it is not the view's.
    bool key(int key);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace dozu
