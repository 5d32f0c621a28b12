#include "processor/windows/error_window_widget.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "processor/utilities.h"
#include "processor/windows/error_window.h"

namespace zel::processor {

frmError::frmError(ErrorController& controller, QWidget* parent)
    : QWidget(parent, Qt::Dialog), controller_(controller) {
    setObjectName("frmError");
    setWindowTitle("Connection Error");

    txtError_ = new QPlainTextEdit(this);
    txtError_->setObjectName("txtError");
    txtError_->setReadOnly(true);
    txtDate_ = new QLineEdit(this);
    txtDate_->setObjectName("txtDate");
    txtDate_->setReadOnly(true);
    txtTime_ = new QLineEdit(this);
    txtTime_->setObjectName("txtTime");
    txtTime_->setReadOnly(true);
    btnPause_ = new QPushButton("&Pause", this);
    btnPause_->setObjectName("btnPause");

    auto* grid = new QGridLayout(this);
    grid->addWidget(txtError_, 0, 0, 1, 3);
    grid->addWidget(txtDate_, 1, 0);
    grid->addWidget(txtTime_, 1, 1);
    grid->addWidget(btnPause_, 1, 2);
    resize(360, 160);

    connect(btnPause_, &QPushButton::clicked, this,
            [this] { RunHandler([this] { controller_.btnPause_Click(); }); });
    connect(&controller_, &ErrorController::changed, this, &frmError::Refresh);
    Refresh();
}

void frmError::Refresh() {
    QString message = QString::fromLatin1(controller_.txtError().c_str()).replace("\r\n", "\n");
    if (txtError_->toPlainText() != message) txtError_->setPlainText(message);
    txtDate_->setText(QString::fromStdString(controller_.txtDate()));
    txtTime_->setText(QString::fromStdString(controller_.txtTime()));
}

void frmError::closeEvent(QCloseEvent* event) {
    controller_.Unload();
    event->accept();
}

}  // namespace zel::processor
