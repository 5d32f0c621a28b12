#pragma once
// The message box of the window programs: a modal Qt box when the session has a display, the
// platform's unattended box otherwise. Installed once at start-up, after the QApplication.
namespace zel::apps {

void InstallWindowMessageBox();

}  // namespace zel::apps
