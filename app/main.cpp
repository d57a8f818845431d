// The editor: creates the main window, then the mesh debugger window, and
// runs the event loop. A program file given on the command line is loaded
// as "&Load" would load it.
#include <QApplication>
#include <QStringList>

#include "viewer/debug_mesh.h"
#include "viewer/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("dozu");

    dozu::TFormMain FormMain;
    dozu::TFormDebugMesh FormDebugMesh;
    FormMain.FormDebugMesh = &FormDebugMesh;
    FormMain.show();

    const QStringList args = QApplication::arguments();
    if (args.size() > 1) FormMain.LoadFile(args.at(1));
    return QApplication::exec();
}
