#include "processor/windows/monitor_widget.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVBoxLayout>

#include "platform/files.h"
#include "processor/utilities.h"
#include "processor/windows/monitor.h"

namespace zel::processor {
namespace {

QString Text(const std::string& s) {
    return QString::fromLatin1(s.data(), static_cast<int>(s.size()));
}
std::string Bytes(const QString& s) { return s.toLatin1().toStdString(); }

QLineEdit* Box(QWidget* parent, const QString& name, bool readOnly) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setReadOnly(readOnly);
    return box;
}

void SetTextIfDifferent(QLineEdit* box, const std::string& text) {
    QString t = Text(text);
    if (box->text() != t) box->setText(t);
}

}  // namespace

frmMonitor::frmMonitor(MonitorController& controller, QWidget* parent)
    : QWidget(parent), controller_(controller) {
    setObjectName("frmMonitor");
    setWindowIcon(style()->standardIcon(QStyle::SP_ComputerIcon));

    // --- Connection -------------------------------------------------------------------------
    auto* frame1 = new QGroupBox("Connection", this);
    frame1->setObjectName("Frame1");
    auto* lblHost = new QLabel("Server:", frame1);
    lblHost->setObjectName("lblHost");
    txtServer_ = Box(frame1, "txtServer", false);
    auto* lblDirectory = new QLabel("Directory:", frame1);
    lblDirectory->setObjectName("lblDirectory");
    txtDirectory_ = Box(frame1, "txtDirectory", false);
    auto* label2 = new QLabel("Interval", frame1);
    label2->setObjectName("Label2");
    List1_ = new QListWidget(frame1);
    List1_->setObjectName("List1");
    for (const char* entry : MonitorController::kIntervalTexts) List1_->addItem(entry);
    // Every interval in sight, none cut at the list's edge: the rows beside it are lower than
    // six entries, so the list would otherwise get only their height.
    List1_->setFixedHeight(List1_->sizeHintForRow(0) * List1_->count() + 2 * List1_->frameWidth());
    xStartUp_ = new QCheckBox("Auto-start service when OS starts", frame1);
    xStartUp_->setObjectName("xStartUp");
    btnStart_ = new QPushButton("&Start", frame1);
    btnStart_->setObjectName("btnStart");
    btnPause_ = new QPushButton("&Pause", frame1);
    btnPause_->setObjectName("btnPause");
    btnSettings_ = new QPushButton("&Default Settings", frame1);
    btnSettings_->setObjectName("btnSettings");

    auto* connGrid = new QGridLayout(frame1);
    connGrid->addWidget(lblHost, 0, 0);
    connGrid->addWidget(txtServer_, 0, 1);
    connGrid->addWidget(lblDirectory, 1, 0);
    connGrid->addWidget(txtDirectory_, 1, 1);
    connGrid->addWidget(label2, 0, 2);
    connGrid->addWidget(List1_, 1, 2, 3, 1);
    connGrid->addWidget(xStartUp_, 2, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(btnStart_);
    buttons->addWidget(btnPause_);
    buttons->addWidget(btnSettings_);
    connGrid->addLayout(buttons, 3, 0, 1, 2);

    // --- Statistics ---------------------------------------------------------------------------
    auto* frame2 = new QGroupBox("Statistics", this);
    frame2->setObjectName("Frame2");
    auto* statGrid = new QGridLayout(frame2);
    static const char* const kHeads[7] = {"Transaction Type", "Processed",     "Items",
                                          "Fillable",         "Special Order", "Back-Ordered",
                                          "Non-Stock"};
    for (int k = 0; k < 7; ++k) {
        auto* head = new QLabel(kHeads[k], frame2);
        head->setObjectName(QString("Label1_%1").arg(k));
        statGrid->addWidget(head, 0, k);
    }
    static const char* const kRowTitles[3] = {"Stock Queries ", "Orders ", "Order Queries "};
    for (int row = 0; row < 3; ++row)
        for (int k = 0; k < 7; ++k) {
            auto* box = Box(frame2, QString("txtItem%1_%2").arg(row + 1).arg(k), true);
            if (k == 0) box->setText(kRowTitles[row]);
            txtItem_[row][k] = box;
            statGrid->addWidget(box, row + 1, k);
        }
    btnReset_ = new QPushButton("&Reset", frame2);
    btnReset_->setObjectName("btnReset");
    btnReset_->setToolTip(" Clear All Statistics ");
    statGrid->addWidget(btnReset_, 4, 6);

    // --- Progress -----------------------------------------------------------------------------
    auto* label3 = new QLabel("Proccessing Item:", this);
    label3->setObjectName("Label3");
    txtCntr_ = Box(this, "txtCntr", true);
    auto* label4 = new QLabel("of", this);
    label4->setObjectName("Label4");
    txtCount_ = Box(this, "txtCount", true);
    txtStartTime_ = Box(this, "txtStartTime", true);
    txtEndTime_ = Box(this, "txtEndTime", true);
    auto* progress = new QHBoxLayout;
    progress->addWidget(label3);
    progress->addWidget(txtCntr_);
    progress->addWidget(label4);
    progress->addWidget(txtCount_);
    progress->addStretch();
    progress->addWidget(txtStartTime_);
    progress->addWidget(txtEndTime_);

    lblNotice_ = new QLabel(this);
    lblNotice_->setObjectName("lblNotice");
    lblNotice_->setWordWrap(true);
    lblNotice_->hide();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame1);
    layout->addWidget(frame2);
    layout->addLayout(progress);
    layout->addWidget(lblNotice_);

    // --- Tray menu ----------------------------------------------------------------------------
    mPopUpSys_ = new QMenu("&SysTray", this);
    mPopUpSys_->setObjectName("mPopUpSys");
    QAction* restore = mPopUpSys_->addAction("&Restore");
    restore->setObjectName("mPopRestore");
    QAction* exitAction = mPopUpSys_->addAction("&Exit");
    exitAction->setObjectName("mPopExit");
    connect(restore, &QAction::triggered, this, [this] { Restore(); });
    connect(exitAction, &QAction::triggered, this, [this] { controller_.mPopExit_Click(); });

    // --- Wiring -------------------------------------------------------------------------------
    txtServer_->installEventFilter(this);
    txtDirectory_->installEventFilter(this);
    connect(txtServer_, &QLineEdit::textChanged, this, [this](const QString& t) {
        if (!refreshing_) controller_.SetServerText(Bytes(t));
    });
    connect(txtDirectory_, &QLineEdit::textChanged, this, [this](const QString& t) {
        if (!refreshing_) controller_.SetDirectoryText(Bytes(t));
    });
    connect(List1_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (!refreshing_) RunHandler([this, row] { controller_.List1_Click(row); });
    });
    connect(xStartUp_, &QCheckBox::clicked, this, [this](bool on) {
        RunHandler([this, on] { controller_.xStartUp_Click(on ? 1 : 0); });
    });
    connect(btnStart_, &QPushButton::clicked, this,
            [this] { RunHandler([this] { controller_.btnStart_Click(); }); });
    connect(btnPause_, &QPushButton::clicked, this,
            [this] { RunHandler([this] { controller_.btnPause_Click(); }); });
    connect(btnSettings_, &QPushButton::clicked, this,
            [this] { RunHandler([this] { controller_.btnSettings_Click(); }); });
    connect(btnReset_, &QPushButton::clicked, this,
            [this] { RunHandler([this] { controller_.btnReset_Click(); }); });
    connect(&controller_, &MonitorController::changed, this, &frmMonitor::Refresh);
    connect(&controller_, &MonitorController::repaintNow, this, [this] {
        if (isVisible()) repaint();
    });
    connect(&controller_, &MonitorController::showWindow, this, [this] {
        show();
        repaint();
    });
    connect(&controller_, &MonitorController::addTrayIcon, this, &frmMonitor::AddTrayIcon);
    connect(&controller_, &MonitorController::removeTrayIcon, this, &frmMonitor::RemoveTrayIcon);
    connect(&controller_, &MonitorController::notice, this, &frmMonitor::ShowNotice);
    Refresh();
}

frmMonitor::~frmMonitor() { RemoveTrayIcon(); }

void frmMonitor::Refresh() {
    refreshing_ = true;
    setWindowTitle(Text(controller_.Caption()));
    SetTextIfDifferent(txtServer_, controller_.txtServer());
    SetTextIfDifferent(txtDirectory_, controller_.txtDirectory());
    txtServer_->setEnabled(controller_.txtServerEnabled());
    txtDirectory_->setEnabled(controller_.txtDirectoryEnabled());
    if (List1_->currentRow() != controller_.List1Index())
        List1_->setCurrentRow(controller_.List1Index());
    xStartUp_->setCheckState(controller_.xStartUp() == 0   ? Qt::Unchecked
                             : controller_.xStartUp() == 2 ? Qt::PartiallyChecked
                                                           : Qt::Checked);
    btnStart_->setEnabled(controller_.btnStartEnabled());
    btnPause_->setEnabled(controller_.btnPauseEnabled());
    btnSettings_->setEnabled(controller_.btnSettingsEnabled());
    for (int row = 1; row <= 2; ++row)
        for (int k = 1; k <= 6; ++k)
            SetTextIfDifferent(txtItem_[row - 1][k], controller_.txtItem(row, k));
    SetTextIfDifferent(txtCntr_, controller_.txtCntr());
    SetTextIfDifferent(txtCount_, controller_.txtCount());
    SetTextIfDifferent(txtStartTime_, controller_.txtStartTime());
    SetTextIfDifferent(txtEndTime_, controller_.txtEndTime());
    if (lblNotice_->text() != Text(controller_.Notice())) {
        lblNotice_->setText(Text(controller_.Notice()));
        lblNotice_->setVisible(!controller_.Notice().empty());
    }
    refreshing_ = false;
}

void frmMonitor::AddTrayIcon() {
    if (trayIcon_ || !QSystemTrayIcon::isSystemTrayAvailable()) return;
    trayIcon_ = new QSystemTrayIcon(windowIcon(), this);
    trayIcon_->setToolTip(MonitorController::kTrayTip);
    trayIcon_->setContextMenu(mPopUpSys_);
    connect(trayIcon_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason r) {
                if (r == QSystemTrayIcon::DoubleClick) Restore();
            });
    trayIcon_->show();
}

void frmMonitor::RemoveTrayIcon() {
    if (!trayIcon_) return;
    trayIcon_->hide();
    trayIcon_->deleteLater();
    trayIcon_ = nullptr;
}

void frmMonitor::ShowNotice(const std::string& text) {
    const QString title = Text(platform::ProgramName());
    if (HasTrayIcon()) {
        trayIcon_->showMessage(title, Text(text), QSystemTrayIcon::Warning);
        return;
    }
    // One box gathers the notices of a start; it is never modal, so the timer goes on.
    if (notice_) {
        notice_->setText(notice_->text() + "\n\n" + Text(text));
    } else {
        notice_ = new QMessageBox(QMessageBox::Warning, title, Text(text), QMessageBox::Ok, this);
        notice_->setAttribute(Qt::WA_DeleteOnClose);
        notice_->setWindowModality(Qt::NonModal);
    }
    notice_->show();
}

bool frmMonitor::HasTrayIcon() const { return trayIcon_ != nullptr && trayIcon_->isVisible(); }

void frmMonitor::Restore() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void frmMonitor::closeEvent(QCloseEvent* event) {
    // The close box hides the window to the tray. Without a tray icon there would be no way
    // back to a hidden window, so the close box then ends the program.
    if (HasTrayIcon()) {
        event->ignore();
        hide();
        return;
    }
    event->accept();
    controller_.mPopExit_Click();
}

void frmMonitor::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMinimized() && HasTrayIcon())
        QTimer::singleShot(0, this, [this] { hide(); });
}

bool frmMonitor::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == txtServer_ || watched == txtDirectory_) && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        QString typed = key->text();
        // Only typed characters are filtered; editing keys (arrows, Delete, ...) pass.
        if (typed.size() == 1 && typed[0].unicode() >= 32 && typed[0].unicode() != 127) {
            char c = typed[0].unicode() < 256 ? static_cast<char>(typed[0].toLatin1()) : 0;
            char result = c == 0                  ? 0
                          : watched == txtServer_ ? MonitorController::txtServer_KeyPress(c)
                                                  : MonitorController::txtDirectory_KeyPress(c);
            if (result == 0) return true;
            if (result != c) {
                static_cast<QLineEdit*>(watched)->insert(QString(QChar::fromLatin1(result)));
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace zel::processor
