#include "agent/agent_window.h"

#include <QGuiApplication>

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QStyle>
#include <QVBoxLayout>
#include <exception>

#include "agent/agent_core.h"
#include "platform/paths.h"
#include "platform/seams.h"

namespace zel::agent {

QStringList DialogFilters(const std::string& filter) {
    QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList out;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        out << QStringLiteral("%1 (%2)").arg(parts[i], QString(parts[i + 1]).replace(';', ' '));
    return out;
}

TForm1::TForm1(const std::string& iniPath, const std::string& programFolder,
               const std::function<void(TForm1&)>& beforeCreate, QWidget* parent)
    : QMainWindow(parent), controller_(iniPath, programFolder, *this) {
    setWindowTitle(QStringLiteral("ZEL Agent"));

    auto* central = new QWidget(this);
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    Panel1 = new QWidget(central);
    Panel1->setMinimumWidth(88);
    Panel1->setMaximumWidth(170);
    auto* column = new QVBoxLayout(Panel1);
    cmdCheckMessage = new QPushButton(QStringLiteral("&GET NEXT"), Panel1);
    cmdSendMessage = new QPushButton(QStringLiteral("&SEND TEST"), Panel1);
    cmdSendFiles = new QPushButton(QStringLiteral("SEND &FILES"), Panel1);
    column->addWidget(cmdCheckMessage);
    column->addWidget(cmdSendMessage);
    column->addWidget(cmdSendFiles);
    column->addStretch();

    Memo1 = new QPlainTextEdit(central);
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setStyleSheet(
        QStringLiteral("QPlainTextEdit { background: #808000; color: white; font-weight: bold; }"));

    row->addWidget(Panel1);
    row->addWidget(Memo1, 1);
    setCentralWidget(central);

    StatusBar = new QStatusBar(this);
    StatusPanel = new QLabel(StatusBar);
    StatusPanel->setMinimumWidth(50);
    StatusBar->addWidget(StatusPanel);
    setStatusBar(StatusBar);

    MnuTray = new QMenu(this);
    MnuDetail = MnuTray->addAction(QStringLiteral("&Open Zel Agent"));
    MnuClose = MnuTray->addAction(QStringLiteral("&Exit Zel agent"));
    mnuSubscriptions = MnuTray->addAction(QStringLiteral("S&ubscriptions"));
    MnuAbout = MnuTray->addAction(QStringLiteral("&About"));

    OpenDialog = new QFileDialog(this, QStringLiteral("Select Files to Send"));
    OpenDialog->setFileMode(QFileDialog::ExistingFiles);
    OpenDialog->setNameFilters(DialogFilters(kOpenDialogFilter));
    OpenDialog->setSizeGripEnabled(true);

    tmr_CheckMail = new QTimer(this);
    TrayIcon = new QSystemTrayIcon(this);

    connect(cmdCheckMessage, &QPushButton::clicked, this, &TForm1::cmdCheckMessageClick);
    connect(cmdSendMessage, &QPushButton::clicked, this, &TForm1::cmdSendMessageClick);
    connect(cmdSendFiles, &QPushButton::clicked, this, &TForm1::cmdSendFilesClick);
    connect(MnuDetail, &QAction::triggered, this, &TForm1::MnuDetailClick);
    connect(MnuClose, &QAction::triggered, this, &TForm1::MnuCloseClick);
    connect(mnuSubscriptions, &QAction::triggered, this, &TForm1::mnuSubscriptionsClick);
    connect(MnuAbout, &QAction::triggered, this, &TForm1::MnuAboutClick);
    connect(tmr_CheckMail, &QTimer::timeout, this, &TForm1::tmr_CheckMailTimer);
    connect(TrayIcon, &QSystemTrayIcon::activated, this, &TForm1::TrayIconMessage);

    if (beforeCreate) beforeCreate(*this);
    FormCreate();
}

TForm1::~TForm1() {
    // FormDestroy: the icon goes first; the hub client goes with the controller.
    tmr_CheckMail->stop();
    TrayIcon->hide();
}

namespace {
// A desktop without a notification area: a window hidden to the tray could never be reached
// again, so it is shown at start and its close box ends the program. (Offscreen sessions have
// no tray either, but nobody looks at them.)
bool DesktopWithoutTray() {
    QString p = QGuiApplication::platformName();
    return !QSystemTrayIcon::isSystemTrayAvailable() && p != "offscreen" && p != "minimal";
}
}  // namespace

template <typename F>
void TForm1::ShowingErrors(F&& op) {
    try {
        op();
    } catch (const std::exception& e) {
        platform::MsgBox(e.what(), platform::MsgButtons::Ok, "", platform::MsgIcon::Critical);
    }
}

void TForm1::FormCreate() {
    QIcon icon = QApplication::windowIcon();
    if (icon.isNull()) icon = style()->standardIcon(QStyle::SP_ComputerIcon);
    setWindowIcon(icon);
    TrayIcon->setIcon(icon);
    TrayIcon->setToolTip(QStringLiteral("Zel Agent"));
    TrayIcon->setContextMenu(MnuTray);
    TrayIcon->show();

    // A working folder that cannot be made leaves the agent running; mail is then checked on
    // the usual interval and each check reports the missing folder.
    tmr_CheckMail->setInterval(kMailIntervalMs);
    tmr_CheckMail->start();
    ShowingErrors([&] {
        controller_.Start();
        OpenDialog->setDirectory(
            QString::fromStdString(platform::NativePath(controller_.Documents().WorkingDir)));
        controller_.CheckMail();
    });
    if (DesktopWithoutTray()) show();
}

void TForm1::AddActivityLine(const std::string& text) {
    // Documents and the texts about them are ISO-8859-1.
    Memo1->appendPlainText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}

void TForm1::ClearActivity() {
    Memo1->clear();
    Memo1->repaint();
}

void TForm1::SetStatusText(const std::string& text) {
    StatusPanel->setText(QString::fromStdString(text));
    StatusBar->repaint();
}

bool TForm1::IsShown() const { return isVisible(); }

void TForm1::cmdCheckMessageClick() {
    ShowingErrors([&] { controller_.CheckMessage(); });
}

void TForm1::cmdSendMessageClick() {
    ShowingErrors([&] { controller_.SendTest(); });
}

void TForm1::cmdSendFilesClick() {
    ShowingErrors([&] {
        OpenDialog->setDirectory(
            QString::fromStdString(platform::NativePath(controller_.Documents().WorkingDir)));
        OpenDialog->selectFile(QString());
        if (OpenDialog->exec() != QDialog::Accepted) return;
        std::vector<std::string> files;
        for (const QString& f : OpenDialog->selectedFiles()) files.push_back(f.toStdString());
        controller_.SendFiles(files);
    });
}

void TForm1::tmr_CheckMailTimer() {
    ShowingErrors([&] { controller_.CheckMail(); });
}

void TForm1::MnuAboutClick() {
    platform::MsgBox(AboutText(), platform::MsgButtons::Ok, "", platform::MsgIcon::Information);
}

void TForm1::MnuCloseClick() {
    FClosing = true;
    close();
    QApplication::quit();
}

void TForm1::MnuDetailClick() {
    if (!isVisible()) show();
    raise();
    activateWindow();
}

void TForm1::mnuSubscriptionsClick() {
    ShowingErrors([&] { controller_.OpenSubscriptionPage(""); });
}

void TForm1::TrayIconMessage(QSystemTrayIcon::ActivationReason reason) {
    // Double-click opens the window; the context menu opens by itself.
    if (reason == QSystemTrayIcon::DoubleClick) MnuDetailClick();
}

void TForm1::closeEvent(QCloseEvent* event) {
    if (!FClosing && DesktopWithoutTray()) {
        MnuCloseClick();
        return;
    }
    if (FClosing) {
        event->accept();
        return;
    }
    event->ignore();
    hide();
}

}  // namespace zel::agent
