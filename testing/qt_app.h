#pragma once
// The one QApplication of a test program, created on first use, offscreen unless the
// environment names a platform. Windows, timers and child processes of the tests need it.
#include <QApplication>

namespace zel::qttest {

QApplication& App();

}  // namespace zel::qttest
