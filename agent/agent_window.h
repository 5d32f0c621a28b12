#pragma once
// The agent's main window: activity view, button column, status bar, tray icon and menu, the
// file dialog and the mail timer. It only forwards to AgentController.
#include <QFileDialog>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QSystemTrayIcon>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>

#include "agent/agent_controller.h"

namespace zel::agent {

// The file dialog's filter in the "name|pattern|name|pattern" form, as Qt name filters.
QStringList DialogFilters(const std::string& filter);
inline constexpr const char* kOpenDialogFilter =
    "zel|*.zel|OBP|*.obp|OBC|*.obc|ini|*.ini|OBQ|*.obq";

class TForm1 : public QMainWindow, public AgentView {
    Q_OBJECT

public:
    // Builds the window hidden and runs FormCreate: tray icon, hub client, working folder,
    // mail timer and the first mail check. `beforeCreate` runs on the built window just before
    // FormCreate (the program offers its automation interface there).
    TForm1(const std::string& iniPath, const std::string& programFolder,
           const std::function<void(TForm1&)>& beforeCreate = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    AgentController& Controller() { return controller_; }

    // AgentView
    void AddActivityLine(const std::string& text) override;
    void ClearActivity() override;
    void SetStatusText(const std::string& text) override;
    bool IsShown() const override;

    QPlainTextEdit* Memo1 = nullptr;
    QWidget* Panel1 = nullptr;
    QPushButton* cmdCheckMessage = nullptr;
    QPushButton* cmdSendMessage = nullptr;
    QPushButton* cmdSendFiles = nullptr;
    QStatusBar* StatusBar = nullptr;
    QLabel* StatusPanel = nullptr;
    QMenu* MnuTray = nullptr;
    QAction* MnuDetail = nullptr;
    QAction* MnuClose = nullptr;
    QAction* mnuSubscriptions = nullptr;
    QAction* MnuAbout = nullptr;
    QFileDialog* OpenDialog = nullptr;
    QTimer* tmr_CheckMail = nullptr;
    QSystemTrayIcon* TrayIcon = nullptr;

public slots:
    void cmdCheckMessageClick();
    void cmdSendMessageClick();
    void cmdSendFilesClick();
    void tmr_CheckMailTimer();
    void MnuAboutClick();
    void MnuCloseClick();
    void MnuDetailClick();
    void mnuSubscriptionsClick();
    void TrayIconMessage(QSystemTrayIcon::ActivationReason reason);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    template <typename F>
    void ShowingErrors(F&& op);

    AgentController controller_;
    bool FClosing = false;
};

}  // namespace zel::agent
