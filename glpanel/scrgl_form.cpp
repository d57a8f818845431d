#include "glpanel/scrgl_form.h"

#include <QEvent>
#include <QPlatformSurfaceEvent>
#include <QWindow>
#include <exception>
#include <string>

#include "glpanel/scrgl.h"
#include "glpanel/scrgl_loader.h"
#include "glpanel/scrgl_log.h"

namespace dozu {

namespace {

constexpr const char* kHolder = "ScrGLSubclass";
constexpr const char* kFilter = "ScrGLOldWndProc";

QObject* object_property(const QObject* object, const char* name) {
    const QVariant value = object->property(name);
    return value.canConvert<QObject*>() ? value.value<QObject*>() : nullptr;
}

}  // namespace

TSglFormFilter::TSglFormFilter(QWidget* form) : QObject(form), form_(form) {
    form->installEventFilter(this);
    // The end of the native window is told to the window, not the widget.
    if (QWindow* window = form->windowHandle()) window->installEventFilter(this);
}

bool TSglFormFilter::eventFilter(QObject* watched, QEvent* event) {
    if (form_ && (watched == form_ || watched == form_->windowHandle())) {
        if (TSglPanel* panel = sglFormHolder(form_)) {
            try {
                Dispatch(panel, event);
            } catch (const std::exception& e) {
                sglLog(1, std::string("Form event failed: ") + e.what());
            } catch (...) {
                sglLog(1, "Form event failed");
            }
        }
    }
    return false;  // the form handles every event as before
}

void TSglFormFilter::Dispatch(TSglPanel* panel, QEvent* event) {
    switch (event->type()) {
        case QEvent::WindowActivate:
            if (sglUses3dfxStyle()) panel->ClipMouse();
            break;
        case QEvent::WindowDeactivate:
            if (sglUses3dfxStyle()) panel->UnclipMouse();
            break;
        case QEvent::DeferredDelete: panel->ResetScreenMode(); break;
        case QEvent::PlatformSurface:
            if (static_cast<QPlatformSurfaceEvent*>(event)->surfaceEventType() ==
                QPlatformSurfaceEvent::SurfaceAboutToBeDestroyed) {
                panel->InvalidateGLHandle();
                panel->ResetScreenMode();
            }
            break;
        case QEvent::Move:
        case QEvent::Resize: panel->CheckIfMoved(); break;
        default: break;
    }
}

bool sglHoldForm(QWidget* form, TSglPanel* panel) {
    if (!form || object_property(form, kHolder)) return false;
    form->setProperty(kHolder, QVariant::fromValue<QObject*>(panel));
    if (!object_property(form, kFilter))
        form->setProperty(kFilter, QVariant::fromValue<QObject*>(new TSglFormFilter(form)));
    return true;
}

void sglReleaseForm(QWidget* form, TSglPanel* panel) {
    if (!form || object_property(form, kHolder) != panel) return;
    if (auto* filter = qobject_cast<TSglFormFilter*>(object_property(form, kFilter))) {
        form->removeEventFilter(filter);
        if (QWindow* window = form->windowHandle()) window->removeEventFilter(filter);
        // It may be running right now: the form's destruction ends here.
        filter->deleteLater();
        form->setProperty(kFilter, QVariant());
    }
    form->setProperty(kHolder, QVariant());
}

TSglPanel* sglFormHolder(const QWidget* form) {
    return form ? qobject_cast<TSglPanel*>(object_property(form, kHolder)) : nullptr;
}

}  // namespace dozu
