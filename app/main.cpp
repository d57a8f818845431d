// The editor: reads its command line, makes sure there is a display to show
// it on, creates the main window, then the mesh debugger window, and runs
// the event loop. It offers the unsaved changes of an editor that quit
// unexpectedly; a program file given on the command line is loaded as
// "&Load" would load it. SIGINT, SIGTERM and SIGHUP keep the unsaved
// changes for the next start before the editor ends.
#include <QApplication>
#include <QCommandLineParser>
#include <QStringList>
#include <cstdio>
#include <optional>

#include "app/identity.h"
#include "app/main_window.h"
#include "app/stop_signals.h"
#include "glpanel/scrgl_platform.h"
#include "io/file_io.h"
#include "ui/debug_mesh.h"
#include "ui/path_bytes.h"

namespace {

constexpr int kOk = 0, kUsage = 2;

// The view draws with GLX, so the editor needs an X display. It starts on
// xcb unless a platform other than Wayland's is forced: a Wayland session
// serves xcb through XWayland, and on Wayland itself the view would stay
// black. False, after saying why, when there is no display. The connection
// that asked is kept in `hold` until Qt has made its own.
bool display_ready(std::optional<dozu::glplatform::DisplayHold>& hold) {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.isEmpty() || platform.startsWith("wayland"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    else if (!platform.startsWith("xcb"))
        return true;  // another platform was asked for: Qt's to judge
    const QByteArray display = qgetenv("DISPLAY");
    if (!display.isEmpty() && hold.emplace(display.constData()).answered()) return true;
    if (display.isEmpty())
        std::fputs(
            "dozu: the editor needs an X display (on a Wayland desktop, XWayland), and none is set (DISPLAY is "
            "empty).\n",
            stderr);
    else
        std::fprintf(stderr, "dozu: the editor needs a desktop display, and %s does not answer.\n",
                     display.constData());
    std::fputs(
        "The batch tool works without one, for example:\n"
        "  dozu-cli run examples/chain.tpg --png chain.png\n",
        stderr);
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    dozu::set_application_names();
    QCommandLineParser parser;
    parser.setApplicationDescription("dozu, a 3D model encoder: models built as short turtle programs.");
    const QCommandLineOption help({"h", "help"}, "Shows this help.");
    const QCommandLineOption version({"v", "version"}, "Shows the version.");
    parser.addOption(help);
    parser.addOption(version);
    parser.addPositionalArgument("FILE.tpg", "A program file to load.", "[FILE.tpg]");
    // As the bytes they are: a file name need not be UTF-8.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << dozu::path_from_bytes(argv[i]);
    if (!parser.parse(arguments) || parser.positionalArguments().size() > 1) {
        const QString error =
            parser.positionalArguments().size() > 1 ? "one program file at most" : parser.errorText();
        std::fprintf(stderr, "dozu: %s\nTry 'dozu --help'.\n", qPrintable(error));
        return kUsage;
    }
    if (parser.isSet(help)) {
        std::fputs(qPrintable(parser.helpText().replace("<executable_name>", "dozu")), stdout);
        return kOk;
    }
    if (parser.isSet(version)) {
        std::printf("dozu %s\n", DOZU_VERSION);
        return kOk;
    }
    std::optional<dozu::glplatform::DisplayHold> display_hold;
    if (!display_ready(display_hold)) return kUsage;

    dozu::remove_temporary_file_on_signals();
    QApplication app(argc, argv);
    display_hold.reset();
    dozu::set_application_identity();

    dozu::TFormMain FormMain;
    dozu::TFormDebugMesh FormDebugMesh;
    FormMain.FormDebugMesh = &FormDebugMesh;
    FormMain.show();
    const dozu::StopSignals stop_signals([&FormMain](int signal) {
        FormMain.keep_changes_for_end();
        dozu::end_by_signal(signal);
    });
    FormMain.start(parser.positionalArguments().value(0));
    return QApplication::exec();
}
