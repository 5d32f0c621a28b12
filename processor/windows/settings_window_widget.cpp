#include "processor/windows/settings_window_widget.h"

#include <functional>

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "processor/utilities.h"
#include "processor/windows/settings_window.h"

namespace zel::processor {
namespace {

QString Text(const std::string& s) {
    return QString::fromLatin1(s.data(), static_cast<int>(s.size()));
}
std::string Bytes(const QString& s) { return s.toLatin1().toStdString(); }

// Colour values are kept as the business programs store them: blue, green, red from the top.
QColor FromColourValue(std::uint32_t v) {
    return QColor(v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF);
}

}  // namespace

frmSettings::frmSettings(SettingsController& controller, QWidget* parent)
    : QWidget(parent, Qt::Dialog), controller_(controller) {
    setObjectName("frmSettings");
    setWindowTitle("Default Settings");

    chkArchive_ = new QCheckBox("Archive Transactions", this);
    chkArchive_->setObjectName("chkArchive");
    chkArchive_->setToolTip(
        "Keep copys of all transactions in the zelarchive folder.  This will require periodic "
        "removal.");
    chkLogging_ = new QCheckBox("Logging", this);
    chkLogging_->setObjectName("chkLogging");
    chkLogging_->setToolTip(
        " Each answer is also copied as text into the folder dadari\\Zeltest, which must exist ");

    auto* label3 = new QLabel("Emergency Order Message", this);
    label3->setObjectName("Label3");
    EmergencyMessage_ = new QPlainTextEdit(this);
    EmergencyMessage_->setObjectName("EmergencyMessage");
    EmergencyMessage_->setToolTip(" This Will Appear on Ticket as REMarks on ALL Emergency Orders");
    EmergencyMessage_->installEventFilter(this);

    auto* label2 = new QLabel("Pick Ticket Counter........................", this);
    label2->setObjectName("Label2");
    TicketCounter_ = new QLineEdit(this);
    TicketCounter_->setObjectName("TicketCounter");
    TicketCounter_->setToolTip(" Starting Pick Ticket Number for Hub Orders ");
    auto* label1 = new QLabel("Pick Ticket Printer (Over-ride)........", this);
    label1->setObjectName("Label1");
    txtPrinter_ = new QLineEdit(this);
    txtPrinter_->setObjectName("txtPrinter");
    txtPrinter_->setToolTip(" Printer Number that Exists In ' RP ' ");

    auto* fPO = new QGroupBox("Purchase Orders", this);
    fPO->setObjectName("fPO");
    chkSkipDB_ = new QCheckBox("Skip DataBase Lookup", fPO);
    chkSkipDB_->setObjectName("chkSkipDB");
    chkSkipDB_->setToolTip(" Only Sell From Current Inventory ( INVFM )");
    chkSetupUnknown_ = new QCheckBox("Setup Unknown Parts", fPO);
    chkSetupUnknown_->setObjectName("chkSetupUnknown");
    chkSetupUnknown_->setToolTip(" Add Parts to INVFM if ' Skip DataBase Parts ' is Unchecked ");
    auto* poLayout = new QVBoxLayout(fPO);
    poLayout->addWidget(chkSkipDB_);
    poLayout->addWidget(chkSetupUnknown_);

    auto* fQuery = new QGroupBox("Query Response", this);
    fQuery->setObjectName("fQuery");
    auto* fAvail = new QGroupBox(fQuery);
    fAvail->setObjectName("fAvail");
    optQueryQty_ = new QRadioButton("Show Query Quantity", fAvail);
    optQueryQty_->setObjectName("optQueryQty");
    optQueryQty_->setToolTip(" When Queried, Only Show the Query Quantity as On-Hand");
    optQOH_ = new QRadioButton("Show On-Hand Quantity", fAvail);
    optQOH_->setObjectName("optQOH");
    optQOH_->setToolTip(" When Queried, Show Current On-Hand Quantity");
    // Neither option may be selected (a stored choice other than 1 or 2), so the controller,
    // not the buttons, keeps them exclusive.
    optQueryQty_->setAutoExclusive(false);
    optQOH_->setAutoExclusive(false);
    auto* availLayout = new QVBoxLayout(fAvail);
    availLayout->addWidget(optQueryQty_);
    availLayout->addWidget(optQOH_);
    auto* queryLayout = new QVBoxLayout(fQuery);
    queryLayout->addWidget(fAvail);

    btnClose_ = new QPushButton("&Close", this);
    btnClose_->setObjectName("btnClose");

    auto* grid = new QGridLayout(this);
    grid->addWidget(chkArchive_, 0, 0);
    grid->addWidget(chkLogging_, 0, 1);
    grid->addWidget(label3, 1, 0, 1, 2);
    grid->addWidget(EmergencyMessage_, 2, 0, 1, 2);
    grid->addWidget(label2, 3, 0);
    grid->addWidget(TicketCounter_, 3, 1);
    grid->addWidget(label1, 4, 0);
    grid->addWidget(txtPrinter_, 4, 1);
    grid->addWidget(fPO, 5, 0);
    grid->addWidget(fQuery, 5, 1);
    grid->addWidget(btnClose_, 6, 1, Qt::AlignRight);

    auto guarded = [](auto fn) { return [fn] { RunHandler(fn); }; };
    // Each box forwards to its own setter; the setters are bound here rather than passed as
    // member pointers, which this compiler mishandled inside the nested handler lambdas.
    const std::pair<QCheckBox*, std::function<void(bool)>> boxes[] = {
        {chkArchive_, [this](bool on) { controller_.SetArchive(on); }},
        {chkLogging_, [this](bool on) { controller_.SetLogging(on); }},
        {chkSkipDB_, [this](bool on) { controller_.SetSkipDB(on); }},
        {chkSetupUnknown_, [this](bool on) { controller_.SetSetupUnknown(on); }}};
    for (const auto& entry : boxes) {
        connect(entry.first, &QCheckBox::toggled, this, [this, set = entry.second](bool on) {
            if (!refreshing_) RunHandler([&set, on] { set(on); });
        });
    }
    connect(optQOH_, &QRadioButton::clicked, this,
            [this, guarded] { guarded([this] { controller_.SelectQOH(); })(); });
    connect(optQueryQty_, &QRadioButton::clicked, this,
            [this, guarded] { guarded([this] { controller_.SelectQueryQty(); })(); });
    connect(TicketCounter_, &QLineEdit::textChanged, this, [this](const QString& t) {
        if (!refreshing_) controller_.SetTicketCounter(Bytes(t));
    });
    connect(txtPrinter_, &QLineEdit::textChanged, this, [this](const QString& t) {
        if (!refreshing_) controller_.SetPrinter(Bytes(t));
    });
    connect(EmergencyMessage_, &QPlainTextEdit::textChanged, this, [this] {
        if (!refreshing_) controller_.SetEmergencyMessage(Bytes(EmergencyMessage_->toPlainText()));
    });
    connect(btnClose_, &QPushButton::clicked, this,
            [this, guarded] { guarded([this] { controller_.btnClose_Click(); })(); });
    connect(&controller_, &SettingsController::changed, this, &frmSettings::Refresh);
    connect(&controller_, &SettingsController::printerFocusRequested, this, [this] {
        if (isVisible()) txtPrinter_->setFocus();
    });
    Refresh();
}

void frmSettings::Refresh() {
    refreshing_ = true;
    chkArchive_->setChecked(controller_.chkArchive());
    chkLogging_->setChecked(controller_.chkLogging());
    chkSkipDB_->setChecked(controller_.chkSkipDB());
    chkSetupUnknown_->setChecked(controller_.chkSetupUnknown());
    optQOH_->setChecked(controller_.optQOH());
    optQueryQty_->setChecked(controller_.optQueryQty());
    if (Bytes(TicketCounter_->text()) != controller_.TicketCounter())
        TicketCounter_->setText(Text(controller_.TicketCounter()));
    if (Bytes(txtPrinter_->text()) != controller_.txtPrinter())
        txtPrinter_->setText(Text(controller_.txtPrinter()));
    if (Bytes(EmergencyMessage_->toPlainText()) != controller_.EmergencyMessage())
        EmergencyMessage_->setPlainText(Text(controller_.EmergencyMessage()));
    QPalette pal = TicketCounter_->palette();
    pal.setColor(QPalette::Base, FromColourValue(controller_.TicketCounterBackColor()));
    TicketCounter_->setPalette(pal);
    refreshing_ = false;
}

bool frmSettings::eventFilter(QObject* watched, QEvent* event) {
    if (watched == EmergencyMessage_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        QString typed = key->text();
        if (typed.size() == 1 && typed[0].unicode() < 256 && typed[0].isPrint()) {
            char c = static_cast<char>(typed[0].toLatin1());
            char upper = SettingsController::EmergencyMessageKey(c);
            if (upper != c) {
                EmergencyMessage_->insertPlainText(QString(QChar::fromLatin1(upper)));
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void frmSettings::closeEvent(QCloseEvent* event) {
    controller_.Unload();
    event->accept();
}

}  // namespace zel::processor
