#pragma once
// frmError: the widgets of the "Connection Error" window. It shows what ErrorController holds
// and passes the Pause button and the close box on to it.
#include <QWidget>

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace zel::processor {

class ErrorController;

class frmError : public QWidget {
    Q_OBJECT

public:
    explicit frmError(ErrorController& controller, QWidget* parent = nullptr);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Refresh();

    ErrorController& controller_;
    QPlainTextEdit* txtError_;
    QLineEdit* txtDate_;
    QLineEdit* txtTime_;
    QPushButton* btnPause_;
};

}  // namespace zel::processor
