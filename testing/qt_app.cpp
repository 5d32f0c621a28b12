#include "testing/qt_app.h"

#include <QByteArray>

namespace zel::qttest {

QApplication& App() {
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) return *app;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "zel_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    // A test closes windows of its own; that must never end the test program's event loop.
    QApplication::setQuitOnLastWindowClosed(false);
    return *app;
}

}  // namespace zel::qttest
