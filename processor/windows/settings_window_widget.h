#pragma once
// frmSettings: the widgets of the "Default Settings" window. It mirrors SettingsController and
// forwards the user's clicks and typing to it.
#include <QWidget>

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace zel::processor {

class SettingsController;

class frmSettings : public QWidget {
    Q_OBJECT

public:
    explicit frmSettings(SettingsController& controller, QWidget* parent = nullptr);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Refresh();

    SettingsController& controller_;
    QCheckBox* chkArchive_;
    QCheckBox* chkLogging_;
    QPlainTextEdit* EmergencyMessage_;
    QLineEdit* TicketCounter_;
    QLineEdit* txtPrinter_;
    QCheckBox* chkSkipDB_;
    QCheckBox* chkSetupUnknown_;
    QRadioButton* optQueryQty_;
    QRadioButton* optQOH_;
    QPushButton* btnClose_;
    bool refreshing_ = false;
};

}  // namespace zel::processor
