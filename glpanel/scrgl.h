// TSglPanel: a widget that owns one OpenGL rendering context. It loads its
// driver by name, chooses a pixel format by score, creates the context in
// its first paint and then raises OnGLPaint on every paint with the context
// current. Failures are reported through OnGLError and the log, never
// thrown. Include this header to draw: it brings the sgl wrappers along.
#pragma once

#include <QAbstractNativeEventFilter>
#include <QColor>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <string>

#include "glpanel/scrgl_gl.h"
#include "glpanel/scrgl_log.h"
#include "glpanel/scrgl_platform.h"
#include "glpanel/scrgl_screen.h"

namespace dozu {

// The toolkit's mouse button order.
enum TMouseButton { mbLeft = 0, mbRight = 1, mbMiddle = 2 };

// Keys and buttons held during a mouse event, or'ed together.
enum TShiftFlag : unsigned {
    ssShift = 1,
    ssAlt = 2,
    ssCtrl = 4,
    ssLeft = 8,
    ssRight = 16,
    ssMiddle = 32,
    ssDouble = 64,
};
using TShiftState = unsigned;

class TSglPanel : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString glDriver READ glDriver WRITE SetglDriver)
    Q_PROPERTY(int glBpp READ glBpp WRITE SetglBpp)
    Q_PROPERTY(int glDepth READ glDepth WRITE SetglDepth)
    Q_PROPERTY(int glDblBuff READ glDblBuff WRITE SetglDblBuff)
    Q_PROPERTY(int glAcc READ glAcc WRITE SetglAcc)
    Q_PROPERTY(int ScreenWidth READ ScreenWidth WRITE SetScreenWidth)
    Q_PROPERTY(int ScreenHeight READ ScreenHeight WRITE SetScreenHeight)
    Q_PROPERTY(int ScreenBpp READ ScreenBpp WRITE SetScreenBpp)
    Q_PROPERTY(QColor Color READ Color WRITE SetColor)

public:
    using TNotifyEvent = std::function<void(TSglPanel* sender)>;
    using TGLErrorEvent = std::function<void(TSglPanel* sender, const std::string& err)>;
    // May replace the chosen format number.
    using TGLPixelFormatEvent =
        std::function<void(TSglPanel* sender, TSglDC dc, int& num, int bpp, int depth, int dbl, int acc)>;
    // Positions are in panel pixels, counted from the top left.
    using TMouseEvent =
        std::function<void(TSglPanel* sender, TMouseButton button, TShiftState shift, int x, int y)>;
    using TMouseMoveEvent = std::function<void(TSglPanel* sender, TShiftState shift, int x, int y)>;
    // delta in eighths of a degree: one notch of a common wheel is 120,
    // positive away from the user.
    using TMouseWheelEvent = std::function<void(TSglPanel* sender, TShiftState shift, int delta, int x, int y)>;

    explicit TSglPanel(QWidget* owner = nullptr);
    ~TSglPanel() override;

    // A change of the file name part (any letter case) drops the context
    // and unloads the driver; another path to the same file name is ignored.
    QString glDriver() const { return glDriver_; }
    void SetglDriver(const QString& value);
    // Stored, and passed on to ScreenBpp: the colour bits asked for.
    int glBpp() const { return glBpp_; }
    void SetglBpp(int value);
    // The other properties drop the context when they change; -1 is "any"
    // (or "keep", for the screen mode).
    int glDepth() const { return glDepth_; }
    void SetglDepth(int value);
    int glDblBuff() const { return glDblBuff_; }
    void SetglDblBuff(int value);
    int glAcc() const { return glAcc_; }
    void SetglAcc(int value);
    int ScreenWidth() const { return screenWidth_; }
    void SetScreenWidth(int value);
    int ScreenHeight() const { return screenHeight_; }
    void SetScreenHeight(int value);
    int ScreenBpp() const { return screenBpp_; }
    void SetScreenBpp(int value);
    // An invalid colour is "none": the panel then never clears by itself.
    // Otherwise colour and depth buffers are cleared before each OnGLPaint.
    QColor Color() const { return color_; }
    void SetColor(const QColor& value);

    TGLPixelFormatEvent OnGLPixelFormat;
    TNotifyEvent OnGLInit;     // once after each context creation, context current
    TNotifyEvent OnGLPaint;    // on each paint, context current
    TNotifyEvent OnGLDestroy;  // before the context is deleted, context current
    TGLErrorEvent OnGLError;   // when the context cannot be created
    TNotifyEvent OnResize;     // after the viewport was reset for a new size or position
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TMouseWheelEvent OnMouseWheel;

    void GLHandleNeeded();
    void InvalidateGLHandle();
    bool GLHandleAllocated() const { return rc_ != nullptr; }
    bool GetIsOn() const { return rc_ != nullptr; }
    TSglDC GetGLCanvasHandle();
    bool SwapBuffers();
    void Invalidate() { update(); }
    int ClientWidth() const;
    int ClientHeight() const;

    void EnterMode();
    void ExitMode();
    void ChangeScreenMode();
    void ResetScreenMode();
    void ClipMouse();
    void UnclipMouse();
    bool MouseClipped() const { return mouseClipped_; }
    void CheckIfMoved();
    void GLError(const std::string& text);

protected:
    QPaintEngine* paintEngine() const override { return nullptr; }
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool WndProc(QEvent* event);

private:
    // The GL window lies over the panel's own window and takes its expose
    // events: an exposed GL window means a paint of the panel.
    class ExposeFilter : public QAbstractNativeEventFilter {
    public:
        explicit ExposeFilter(TSglPanel& panel) : panel_(panel) {}
        bool nativeEventFilter(const QByteArray& type, void* message, qintptr* result) override;

    private:
        TSglPanel& panel_;
    };

    void Paint();
    void Resized();
    void MouseEvent(QEvent* event);
    void WindowDestroyed();
    void DestroyWindowHandle();
    void ReleaseCanvas();
    void MakeCurrent();
    void ApplyClearColor();
    void Save3dfxSize();
    void DropContextIfChanged(int& field, int value);
    QPoint ClientOrigin() const;
    TSglSize ScreenSize() const;
    template <typename Handler, typename... Args>
    void Raise(const char* name, const Handler& handler, Args&&... args);

    QString glDriver_ = QStringLiteral("opengl32.dll");
    int glBpp_ = -1;
    int glDepth_ = 16;
    int glDblBuff_ = 1;
    int glAcc_ = 1;
    int screenWidth_ = -1;
    int screenHeight_ = -1;
    int screenBpp_ = -1;
    QColor color_;

    bool libraryLoaded_ = false;
    TSglDC dc_ = nullptr;
    WId canvasHost_ = 0;
    TSglRC rc_ = nullptr;
    bool initFailed_ = false;
    bool pixelFormatSet_ = false;
    bool swapReported_ = false;
    QPointer<QWindow> watchedWindow_;

    bool sizeSaved_ = false;
    QSize savedSize_;

    bool screenModeChanged_ = false;
    TSglDisplayMode modeInForce_;

    QPoint lastOrigin_;
    QPointer<QWidget> subclassed_;

    bool mouseClipped_ = false;
    int savedAcceleration_ = 0;

    ExposeFilter exposeFilter_{*this};
    bool exposeFilterInstalled_ = false;
};

}  // namespace dozu
