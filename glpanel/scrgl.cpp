#include "glpanel/scrgl.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPlatformSurfaceEvent>
#include <QScreen>
#include <QWheelEvent>
#include <QWindow>
#include <exception>

#include "glpanel/scrgl_driver_list.h"
#include "glpanel/scrgl_form.h"
#include "glpanel/scrgl_loader.h"
#include "glpanel/scrgl_pixel_format.h"
#include "glpanel/scrgl_system.h"
#include "glpanel/scrgl_window_system.h"

namespace dozu {

namespace {

QString file_name_part(const QString& path) {
    return path.mid(std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\'))) + 1);
}

TShiftState shift_state(const QMouseEvent* event) {
    TShiftState shift = 0;
    const Qt::KeyboardModifiers keys = event->modifiers();
    if (keys & Qt::ShiftModifier) shift |= ssShift;
    if (keys & Qt::AltModifier) shift |= ssAlt;
    if (keys & Qt::ControlModifier) shift |= ssCtrl;
    const Qt::MouseButtons buttons = event->buttons();
    if (buttons & Qt::LeftButton) shift |= ssLeft;
    if (buttons & Qt::RightButton) shift |= ssRight;
    if (buttons & Qt::MiddleButton) shift |= ssMiddle;
    return shift;
}

bool toolkit_button(Qt::MouseButton button, TMouseButton& out) {
    switch (button) {
        case Qt::LeftButton: out = mbLeft; return true;
        case Qt::RightButton: out = mbRight; return true;
        case Qt::MiddleButton: out = mbMiddle; return true;
        default: return false;
    }
}

}  // namespace

TSglPanel::TSglPanel(QWidget* owner) : QWidget(owner) {
    sglLog(0, "Starting constructor");
    // Its own native window, painted by GL alone: Qt neither paints nor
    // clears it.
    setAttribute(Qt::WA_NativeWindow);
    setAttribute(Qt::WA_PaintOnScreen);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAutoFillBackground(false);
    setMouseTracking(true);
    resize(100, 100);
    sglLog(0, "Done constructor");
}

TSglPanel::~TSglPanel() {
    // The owner may be half destroyed already: no more events for it.
    OnGLPixelFormat = nullptr;
    OnGLInit = nullptr;
    OnGLPaint = nullptr;
    OnGLDestroy = nullptr;
    OnGLError = nullptr;
    OnResize = nullptr;
    OnMouseDown = nullptr;
    OnMouseUp = nullptr;
    OnMouseMove = nullptr;
    OnMouseWheel = nullptr;
    if (exposeFilterInstalled_ && qGuiApp) qGuiApp->removeNativeEventFilter(&exposeFilter_);

    sglLog(0, "~TSglPanel... commencing destructor.");
    ResetScreenMode();
    if (watchedWindow_) watchedWindow_->removeEventFilter(this);
    if (dc_ || internalWinId()) DestroyWindowHandle();
    ExitMode();
    if (libraryLoaded_) {
        if (sglDriverName() == glDriver_.toStdString()) sglFreeLibrary();
        libraryLoaded_ = false;
    }
    sglLog(0, "~TSglPanel. Finished destructor.");
}

// --- properties

void TSglPanel::SetglDriver(const QString& value) {
    if (file_name_part(value).compare(file_name_part(glDriver_), Qt::CaseInsensitive) == 0) return;
    InvalidateGLHandle();
    if (libraryLoaded_) {
        if (sglDriverName() == glDriver_.toStdString()) sglFreeLibrary();
        libraryLoaded_ = false;
    }
    glDriver_ = value;
}

void TSglPanel::DropContextIfChanged(int& field, int value) {
    if (field == value) return;
    field = value;
    InvalidateGLHandle();
}

void TSglPanel::SetglBpp(int value) {
    glBpp_ = value;
    SetScreenBpp(value);
}

void TSglPanel::SetglDepth(int value) { DropContextIfChanged(glDepth_, value); }
void TSglPanel::SetglDblBuff(int value) { DropContextIfChanged(glDblBuff_, value); }
void TSglPanel::SetglAcc(int value) { DropContextIfChanged(glAcc_, value); }
void TSglPanel::SetScreenWidth(int value) { DropContextIfChanged(screenWidth_, value); }
void TSglPanel::SetScreenHeight(int value) { DropContextIfChanged(screenHeight_, value); }
void TSglPanel::SetScreenBpp(int value) { DropContextIfChanged(screenBpp_, value); }

void TSglPanel::SetColor(const QColor& value) {
    if (value == color_) return;
    color_ = value;
    if (color_.isValid() && rc_) {
        MakeCurrent();
        ApplyClearColor();
    }
    if (internalWinId()) repaint();
}

void TSglPanel::ApplyClearColor() {
    // Divided by 256, as the panel always did: full red is 255/256.
    sglClearColor(GLclampf(color_.red() / 256.0), GLclampf(color_.green() / 256.0),
                  GLclampf(color_.blue() / 256.0), 0.0f);
}

// --- events

template <typename Handler, typename... Args>
void TSglPanel::Raise(const char* name, const Handler& handler, Args&&... args) {
    if (!handler) return;
    // The handler may replace itself while it runs.
    const Handler call = handler;
    try {
        call(this, std::forward<Args>(args)...);
    } catch (const std::exception& e) {
        sglLog(1, std::string(name) + " failed: " + e.what());
    } catch (...) {
        sglLog(1, std::string(name) + " failed");
    }
}

bool TSglPanel::event(QEvent* event) {
    try {
        return WndProc(event);
    } catch (const std::exception& e) {
        sglLog(1, std::string("GL panel event failed: ") + e.what());
    } catch (...) {
        sglLog(1, "GL panel event failed");
    }
    return true;
}

bool TSglPanel::WndProc(QEvent* event) {
    switch (event->type()) {
        case QEvent::Paint: Paint(); return true;
        case QEvent::Resize:
            glplatform::resize_canvas(dc_, ClientWidth(), ClientHeight());
            if (!rc_) return true;
            Resized();
            break;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
            // The panel takes its mouse events: they do not go on to its form.
            MouseEvent(event);
            event->accept();
            return true;
        case QEvent::Wheel: {
            const auto* wheel = static_cast<const QWheelEvent*>(event);
            const qreal ratio = devicePixelRatioF();
            TShiftState shift = 0;
            if (wheel->modifiers() & Qt::ShiftModifier) shift |= ssShift;
            if (wheel->modifiers() & Qt::AltModifier) shift |= ssAlt;
            if (wheel->modifiers() & Qt::ControlModifier) shift |= ssCtrl;
            Raise("OnMouseWheel", OnMouseWheel, shift, wheel->angleDelta().y(),
                  qRound(wheel->position().x() * ratio), qRound(wheel->position().y() * ratio));
            event->accept();
            return true;
        }
        case QEvent::ParentChange:
            // Another form: the old one is let go, the next paint starts over.
            InvalidateGLHandle();
            break;
        case QEvent::WinIdChange:
            if (dc_ && internalWinId() != canvasHost_) WindowDestroyed();
            break;
        default: break;
    }
    return QWidget::event(event);
}

bool TSglPanel::ExposeFilter::nativeEventFilter(const QByteArray& type, void* message, qintptr*) {
    if (type == "xcb_generic_event_t" && glplatform::canvas_exposed(panel_.dc_, message)) panel_.update();
    return false;
}

bool TSglPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == watchedWindow_ && event->type() == QEvent::PlatformSurface &&
        static_cast<QPlatformSurfaceEvent*>(event)->surfaceEventType() ==
            QPlatformSurfaceEvent::SurfaceAboutToBeDestroyed) {
        try {
            WindowDestroyed();
        } catch (...) {
            sglLog(1, "GL panel window destruction failed");
        }
    }
    return false;
}

void TSglPanel::Paint() {
    CheckIfMoved();
    GLHandleNeeded();
    if (!rc_) return;
    MakeCurrent();
    if (color_.isValid()) sglClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    Raise("OnGLPaint", OnGLPaint);
}

void TSglPanel::Resized() {
    lastOrigin_ = ClientOrigin();
    MakeCurrent();
    sglViewport(0, 0, ClientWidth(), ClientHeight());
    Raise("OnResize", OnResize);
}

void TSglPanel::MouseEvent(QEvent* event) {
    const auto* mouse = static_cast<const QMouseEvent*>(event);
    const qreal ratio = devicePixelRatioF();
    const int x = qRound(mouse->position().x() * ratio);
    const int y = qRound(mouse->position().y() * ratio);
    TShiftState shift = shift_state(mouse);
    if (event->type() == QEvent::MouseMove) {
        Raise("OnMouseMove", OnMouseMove, shift, x, y);
        return;
    }
    TMouseButton button;
    if (!toolkit_button(mouse->button(), button)) return;
    if (event->type() == QEvent::MouseButtonRelease) {
        Raise("OnMouseUp", OnMouseUp, button, shift, x, y);
        return;
    }
    if (event->type() == QEvent::MouseButtonDblClick) shift |= ssDouble;
    Raise("OnMouseDown", OnMouseDown, button, shift, x, y);
}

// --- the context

TSglDC TSglPanel::GetGLCanvasHandle() {
    if (dc_) return dc_;
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11) return nullptr;
    const WId host = winId();
    dc_ = glplatform::open_canvas(x11->display(), host, ClientWidth(), ClientHeight());
    if (!dc_) return nullptr;
    if (!exposeFilterInstalled_) {
        qGuiApp->installNativeEventFilter(&exposeFilter_);
        exposeFilterInstalled_ = true;
    }
    canvasHost_ = host;
    QWindow* window = windowHandle();
    if (window != watchedWindow_) {
        if (watchedWindow_) watchedWindow_->removeEventFilter(this);
        if (window) window->installEventFilter(this);
        watchedWindow_ = window;
    }
    return dc_;
}

void TSglPanel::GLHandleNeeded() {
    if (initFailed_ || rc_) return;
    if (pixelFormatSet_) {
        // A pixel format is set once per window: start over on a new one.
        ReleaseCanvas();
    }
    TSglDC dc = GetGLCanvasHandle();
    if (!dc) {
        initFailed_ = true;
        GLError("No device context: the GL panel needs an X11 window");
        return;
    }
    glsystem::mask_fpu_exceptions();
    glsystem::set_environment("FX_GLIDE_NO_SPLASH", "1");

    const std::string driver = glDriver_.toStdString();
    const bool board_3dfx = sglIsDriver3dfx(driver);
    const TSglDisplayMode wanted{screenWidth_, screenHeight_, screenBpp_};
    if (board_3dfx && !sizeSaved_) {
        Save3dfxSize();
    } else if (!board_3dfx && !(wanted == modeInForce_)) {
        sglLog(0, "About to change screen mode");
        if (wanted == TSglDisplayMode{})
            ResetScreenMode();
        else
            ChangeScreenMode();
        sglLog(0, "Changed screen mode");
    }

    sglLog(0, "About to load library");
    if (!libraryLoaded_ || !sglLibraryHandle() || sglDriverName() != driver) {
        libraryLoaded_ = sglLoadLibrary(driver) != nullptr;
        if (!libraryLoaded_) {
            initFailed_ = true;
            GLError("Error loading library " + driver);
            return;
        }
    }
    sglLog(0, "Loaded library");

    sglLog(0, "Choosing pixel format");
    int bpp = screenBpp_, depth = glDepth_, dbl = glDblBuff_, acc = glAcc_;
    int format = sglChoosePixelFormatEx(dc, &bpp, &depth, &dbl, &acc);
    Raise("OnGLPixelFormat", OnGLPixelFormat, dc, format, bpp, depth, dbl, acc);
    if (format == 0) {
        initFailed_ = true;
        GLError("ChoosePixelFormat failed");
        return;
    }

    sglLog(0, "Got pixel format; setting it...");
    if (!sglSetPixelFormat(dc, format)) {
        initFailed_ = true;
        GLError("SetPixelFormat failed");
        return;
    }
    pixelFormatSet_ = true;

    sglLog(0, "Set pixel format; creating context...");
    rc_ = sglCreateContext(dc);
    if (!rc_) {
        initFailed_ = true;
        GLError("Error creating context: " + glplatform::last_error());
        return;
    }

    sglLog(0, "Created context. Making it current...");
    if (!sglMakeCurrent(dc, rc_)) {
        // Without a current context every GL call of the owner would be lost.
        sglDeleteContext(rc_);
        rc_ = nullptr;
        initFailed_ = true;
        GLError("Error making context current: " + glplatform::last_error());
        return;
    }
    sglLog(0, "Made it current");
    swapReported_ = false;
    lastOrigin_ = ClientOrigin();

    if (color_.isValid()) ApplyClearColor();

    sglLog(0, "Entering mode...");
    EnterMode();
    sglLog(0, "Entered mode. Initing...");
    Raise("OnGLInit", OnGLInit);
    sglLog(0, "Done init");
}

void TSglPanel::InvalidateGLHandle() {
    initFailed_ = false;
    if (rc_) {
        MakeCurrent();
        Raise("OnGLDestroy", OnGLDestroy);
        if (sglCurrentContext() == rc_) sglMakeCurrent(dc_, nullptr);
        sglDeleteContext(rc_);
        rc_ = nullptr;
    }
    ExitMode();
}

void TSglPanel::MakeCurrent() {
    if (rc_ && sglCurrentContext() != rc_) sglMakeCurrent(dc_, rc_);
}

bool TSglPanel::SwapBuffers() {
    if (!dc_ || !rc_) return false;
    if (sglSwapBuffers(dc_)) return true;
    if (!swapReported_) {
        swapReported_ = true;
        GLError("SwapBuffers failed: " + glplatform::last_error());
    }
    return false;
}

void TSglPanel::GLError(const std::string& text) {
    sglLog(1, text);
    Raise("OnGLError", OnGLError, text);
}

void TSglPanel::WindowDestroyed() {
    InvalidateGLHandle();
    ReleaseCanvas();
    ResetScreenMode();
}

void TSglPanel::DestroyWindowHandle() {
    sglLog(0, "DestroyWindowHandle... but first, destroying the GL handle");
    WindowDestroyed();
}

void TSglPanel::ReleaseCanvas() {
    glplatform::close_canvas(dc_);
    dc_ = nullptr;
    canvasHost_ = 0;
    pixelFormatSet_ = false;
}

int TSglPanel::ClientWidth() const { return qRound(width() * devicePixelRatioF()); }

int TSglPanel::ClientHeight() const { return qRound(height() * devicePixelRatioF()); }

QPoint TSglPanel::ClientOrigin() const { return mapToGlobal(QPoint(0, 0)); }

TSglSize TSglPanel::ScreenSize() const {
    const QScreen* where = screen();
    if (!where) return {};
    const qreal ratio = where->devicePixelRatio();
    return {qRound(where->geometry().width() * ratio), qRound(where->geometry().height() * ratio)};
}

void TSglPanel::CheckIfMoved() {
    if (!rc_) return;
    const QPoint origin = ClientOrigin();
    if (origin == lastOrigin_) return;
    sglLog(0, "The window has moved!");
    lastOrigin_ = origin;
    MakeCurrent();
    sglViewport(0, 0, ClientWidth(), ClientHeight());
    Raise("OnResize", OnResize);
}

// --- the form, the screen mode and the 3dfx path

void TSglPanel::EnterMode() {
    if (subclassed_) return;
    QWidget* form = window();
    if (!sglHoldForm(form, this)) return;
    subclassed_ = form;
    if (sglUses3dfxStyle()) ClipMouse();
}

void TSglPanel::ExitMode() {
    UnclipMouse();
    if (sizeSaved_) {
        resize(savedSize_);
        sizeSaved_ = false;
    }
    if (subclassed_) sglReleaseForm(subclassed_, this);
    subclassed_ = nullptr;
}

void TSglPanel::Save3dfxSize() {
    savedSize_ = size();
    const TSglSize render = sgl3dfxRenderSize(screenHeight_);
    sizeSaved_ = true;
    if (size() == QSize(render.width, render.height)) return;
    resize(render.width, render.height);
    Raise("OnResize", OnResize);
}

void TSglPanel::ChangeScreenMode() {
    if (!parentWidget()) return;
    const TSglDisplayMode mode{screenWidth_, screenHeight_, screenBpp_};
    if (!glscreen::test_display_mode(mode) || !glscreen::apply_display_mode(mode)) return;
    const TSglSize screen = ScreenSize();
    window()->setGeometry(0, 0, mode.width == -1 ? screen.width : mode.width,
                          mode.height == -1 ? screen.height : mode.height);
    screenModeChanged_ = true;
    modeInForce_ = mode;
}

void TSglPanel::ResetScreenMode() {
    if (!screenModeChanged_) return;
    glscreen::restore_display_mode();
    screenModeChanged_ = false;
    modeInForce_ = TSglDisplayMode{};
}

void TSglPanel::ClipMouse() {
    if (mouseClipped_) return;
    const TSglSize panel =
        sizeSaved_ ? TSglSize{savedSize_.width(), savedSize_.height()} : TSglSize{ClientWidth(), ClientHeight()};
    const TSglSize screen = ScreenSize();
    const QPoint origin = ClientOrigin();
    const TSglPoint at{origin.x(), origin.y()};
    TSglPoint cursor;
    if (glscreen::cursor_position(cursor)) glscreen::move_cursor(sglConfinedCursor(cursor, panel, screen, at));
    glscreen::confine_cursor(at, panel);
    savedAcceleration_ = glscreen::mouse_acceleration();
    glscreen::set_mouse_acceleration(sglConfinedAcceleration(savedAcceleration_, panel, screen));
    mouseClipped_ = true;
}

void TSglPanel::UnclipMouse() {
    if (!mouseClipped_) return;
    const TSglSize panel =
        sizeSaved_ ? TSglSize{savedSize_.width(), savedSize_.height()} : TSglSize{ClientWidth(), ClientHeight()};
    const QPoint origin = ClientOrigin();
    glscreen::set_mouse_acceleration(savedAcceleration_);
    glscreen::confine_cursor({}, {});
    TSglPoint cursor;
    if (glscreen::cursor_position(cursor))
        glscreen::move_cursor(sglReleasedCursor(cursor, panel, ScreenSize(), {origin.x(), origin.y()}));
    mouseClipped_ = false;
}

}  // namespace dozu
