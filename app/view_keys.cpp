#include "app/view_keys.h"

#include <QEvent>
#include <QKeyEvent>

namespace dozu {

bool ViewKeys::key(int key) {
    switch (key) {
        case Qt::Key_Left: turn(-kTurnDegrees, 0); return true;
        case Qt::Key_Right: turn(kTurnDegrees, 0); return true;
        case Qt::Key_Up: turn(0, kTurnDegrees); return true;
        case Qt::Key_Down: turn(0, -kTurnDegrees); return true;
        // = is + without Shift on most keyboards.
        case Qt::Key_Plus:
        case Qt::Key_Equal: zoom(1); return true;
        case Qt::Key_Minus: zoom(-1); return true;
        default: return false;
    }
}

bool ViewKeys::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress: {
            const auto* press = static_cast<QKeyEvent*>(event);
            const Qt::KeyboardModifiers other = press->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
            if (other == Qt::NoModifier && key(press->key())) return true;
            break;
        }
        case QEvent::FocusIn:
        case QEvent::FocusOut:
            if (focus_changed) focus_changed();
            break;
        default: break;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace dozu
