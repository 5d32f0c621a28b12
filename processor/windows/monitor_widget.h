#pragma once
// frmMonitor: the widgets of the monitor window and its tray icon. It mirrors MonitorController,
// forwards the user's actions to it, and hides to the tray on the close box and on minimising.
#include <QMessageBox>
#include <QPointer>
#include <QWidget>
#include <array>
#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QSystemTrayIcon;

namespace zel::processor {

class MonitorController;

class frmMonitor : public QWidget {
    Q_OBJECT

public:
    explicit frmMonitor(MonitorController& controller, QWidget* parent = nullptr);
    ~frmMonitor() override;

    // mPopRestore_Click and the tray icon's double-click: normal state, foreground, shown.
    void Restore();
    // Whether the tray icon is present (the desktop may have no notification area).
    bool HasTrayIcon() const;
    // The notice of requests set aside shown without a tray icon (nullptr when none is shown).
    QMessageBox* Notice() const { return notice_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Refresh();
    void AddTrayIcon();
    void RemoveTrayIcon();
    // The tray's message; without a tray icon a box that leaves the window and polling going.
    void ShowNotice(const std::string& text);

    MonitorController& controller_;
    QLineEdit* txtServer_;
    QLineEdit* txtDirectory_;
    QListWidget* List1_;
    QCheckBox* xStartUp_;
    QPushButton* btnStart_;
    QPushButton* btnPause_;
    QPushButton* btnSettings_;
    QPushButton* btnReset_;
    std::array<std::array<QLineEdit*, 7>, 3> txtItem_{};
    QLineEdit* txtCntr_;
    QLineEdit* txtCount_;
    QLineEdit* txtStartTime_;
    QLineEdit* txtEndTime_;
    QLabel* lblNotice_;
    QMenu* mPopUpSys_;
    QSystemTrayIcon* trayIcon_ = nullptr;
    QPointer<QMessageBox> notice_;
    bool refreshing_ = false;
};

}  // namespace zel::processor
