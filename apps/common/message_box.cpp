#include "apps/common/message_box.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <string>

#include "platform/files.h"
#include "platform/seams.h"

namespace zel::apps {
namespace {

using platform::MsgBoxRequest;
using platform::MsgButtons;
using platform::MsgIcon;
using platform::MsgResult;

bool HasScreen() {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return false;
    const QString p = QGuiApplication::platformName();
    return p != "offscreen" && p != "minimal";
}

MsgResult WindowBox(const MsgBoxRequest& r) {
    if (!HasScreen()) return platform::UnattendedBox(r);
    const std::string title = r.title.empty() ? platform::ProgramName() : r.title;
    QMessageBox box;
    box.setWindowTitle(QString::fromStdString(title));
    box.setText(QString::fromLatin1(r.text.data(), static_cast<int>(r.text.size())));
    switch (r.icon) {
        case MsgIcon::Information: box.setIcon(QMessageBox::Information); break;
        case MsgIcon::Warning: box.setIcon(QMessageBox::Warning); break;
        case MsgIcon::Critical: box.setIcon(QMessageBox::Critical); break;
        case MsgIcon::Question: box.setIcon(QMessageBox::Question); break;
        case MsgIcon::None: break;
    }
    switch (r.buttons) {
        case MsgButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
        case MsgButtons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case MsgButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
        case MsgButtons::RetryCancel:
            box.setStandardButtons(QMessageBox::Retry | QMessageBox::Cancel);
            break;
        case MsgButtons::YesNoCancel:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
    }
    switch (box.exec()) {
        case QMessageBox::Cancel: return MsgResult::Cancel;
        case QMessageBox::Yes: return MsgResult::Yes;
        case QMessageBox::No: return MsgResult::No;
        case QMessageBox::Retry: return MsgResult::Retry;
        default: return MsgResult::Ok;
    }
}

}  // namespace

void InstallWindowMessageBox() { platform::SetMsgBoxHandler(WindowBox); }

}  // namespace zel::apps
