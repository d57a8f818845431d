#include "app/identity.h"

#include <QApplication>
#include <QIcon>

namespace dozu {

void set_application_names() {
    QCoreApplication::setApplicationName("dozu");
    QCoreApplication::setOrganizationName("dozu");
    QCoreApplication::setApplicationVersion(DOZU_VERSION);
}

void set_application_identity() {
    set_application_names();
    QGuiApplication::setDesktopFileName("dozu");
    QApplication::setWindowIcon(QIcon(":/dozu/dozu.svg"));
}

}  // namespace dozu
