#include "processor/answers/order_acknowledgement.h"

#include <chrono>
#include <cmath>
#include <exception>
#include <limits>
#include <optional>
#include <thread>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "processor/answers/dealer_check.h"
#include "processor/answers/order_journal.h"
#include "processor/answers/stock_query.h"
#include "processor/answers/web_task.h"
#include "processor/globals.h"
#include "processor/hooks.h"
#include "processor/lookups/line_part_lookup.h"
#include "processor/lookups/supersession.h"
#include "processor/monitor_view.h"
#include "processor/statistics.h"
#include "processor/utilities.h"
#include "records/customers.h"
#include "records/lines.h"
#include "records/parts.h"

namespace zel::processor {

namespace fs = zel::platform;
using records::clsLines;
using records::clsParts;
using records::Currency;

namespace {

constexpr const char* kHeader = "ZELINFO";
constexpr const char* kReceipt = "ReturnReceipt";
// The same section as kReceipt (section names ignore case); the item keys are written under
// this spelling.
constexpr const char* kReceiptItems = "RETURNRECEIPT";
constexpr const char* kPoHeader = "POHEADER";
constexpr const char* kRemark = "REM";

// Request fields read into fixed text fields of 30 characters: 29 of them arrive.
constexpr std::size_t kFieldBuffer = 30;

constexpr const char* kTestComment =
    "Thank you for your TEST order.  We have processed your order and DELETED it.  The ship "
    "quantities shown in this report are estimates based on quantites prior to submission of "
    "this order, and therefore could change if order was to be pulled.";

std::string OrderComment(std::int32_t ticket) {
    return "Thank you for your order.  We have processed your order and assigned Order Number " +
           std::to_string(ticket) +
           " to it.  The ship quantities shown in this report are estimates based on quantities "
           "prior to submission of this order, and therefore could change when the order is "
           "pulled.  Please check back regularly for Order Status updates and Shipper Tracking "
           "numbers.";
}

// An on-hand quantity (tenths) as a whole number, halves to even.
std::int32_t Whole(const Currency& quantity) {
    return fs::Int32Of(quantity.ToUnits(1), fs::err::kOverflow, "AcknowledgePurchaseOrder");
}

std::int32_t Checked(std::int64_t value) {
    return fs::Int32Of(value, fs::err::kOverflow, "AcknowledgePurchaseOrder");
}

std::string ReadField(const fs::ProfileReader& request, const char* key) {
    return request.GetString(kPoHeader, key, "", kFieldBuffer);
}

// Where a drop-shipped order goes, as the request gives it.
struct ShipTo {
    bool dropShip = false;
    std::string name;
    std::string addr;
    std::string addr2;
    std::string city;
    std::string state;
    std::string zip;
    std::string phone;  // digits only
};

// One item of the order on its way from the request to its disposition.
struct OrderItem {
    std::int32_t n = 0;
    std::string mfgCode;
    // "PartNumber" as read; the lookups leave their forms of it here.
    std::string partNumber;
    std::int32_t ordered = 0;
    clsLines line;  // the line of the manufacturer code
    clsParts part;  // the part as ordered
    // What the order stands on: the part ordered, the part that supersedes it or the last
    // alternate.
    clsParts currentPart;
    clsLines currentLine;
    std::int32_t available = 0;
    std::string memo;  // "ItemMemo": the substitutes
    bool superseded = false;
    std::string substitute;        // the number the dealer is told
    std::string supersededNumber;  // the number the next "SUPERCEDES" remark names
    Alternates alternates;
};

// One purchase order from the request's header to the hand-over of its export.
class OrderAcknowledgement {
public:
    explicit OrderAcknowledgement(RequestContext& ctx) : ctx_(ctx) {}

    void Run();

private:
    void Write(const std::string& section, const std::string& key, const std::string& value) {
        WriteValue(ctx_.answer, section, key, value);
    }
    void WriteItem(const char* key, std::int32_t n, const std::string& value) {
        Write(kReceiptItems, key + std::to_string(n), value);
    }
    void AddLine(std::int32_t itemNumber, const std::string& line, const std::string& part,
                 std::int32_t quantity, const std::string& comment);
    void AddNextLine(const std::string& line, const std::string& part, std::int32_t quantity,
                     const std::string& comment = "") {
        AddLine(++orderItem_, line, part, quantity, comment);
    }
    void Remark(const std::string& comment) { AddNextLine(kRemark, "", 0, comment); }

    void Header();
    void CheckDealer();
    ShipTo ReadShipTo();
    void SetShipTo(const ShipTo& to);
    void Item(std::int32_t n);
    OrderItem ReadItem(std::int32_t n);
    bool DropUnauthorizedLine(const OrderItem& item);
    void LookUpPart(OrderItem& item);
    void LookUpSupersession(OrderItem& item);
    void LookUpAlternates(OrderItem& item);
    void ShipSuperseded(OrderItem& item);
    void Dispose(const OrderItem& item);
    void End();
    void DrawTicket();
    std::int32_t TakeNextTicket();
    void Seal(const std::string& exportFile);
    void FinishSealed();

    RequestContext& ctx_;
    OrderJournal journal_;

    LookedUpCustomer customer_;
    std::int32_t billToAccount_ = 0;
    // The pick-ticket (order) number of this order.
    std::int32_t pickTicketNumber_ = 0;
    std::int32_t branch_ = 1;
    std::int32_t itemCount_ = 0;
    RequestItems items_;
    std::int32_t orderItem_ = 0;
    std::int32_t validLines_ = 0;
    std::optional<WebTask> order_;
};

void OrderAcknowledgement::AddLine(std::int32_t itemNumber, const std::string& line,
                                   const std::string& part, std::int32_t quantity,
                                   const std::string& comment) {
    const std::int16_t no = 0;
    const std::int32_t none = 0;
    const Currency zero;
    order_->AddItem(itemNumber, line, part, quantity, zero, no, no, no, no, no, no, no, no, no, no,
                    no, no, no, no, no, no, "", none, zero, comment, "");
}

// The number drawn is another order's (another workstation numbering from its own counter
// met it): the order takes the next one, recorded before anything is written under it, and the
// answer tells the number the order is exported under.
std::int32_t OrderAcknowledgement::TakeNextTicket() {
    pickTicketNumber_ = NextPickTicketNumber();
    journal_.ticket = pickTicketNumber_;
    SaveOrderJournal(journal_);
    Write(kReceipt, "Comments", OrderComment(pickTicketNumber_));
    Write(kReceipt, "ConfirmationNumber", std::to_string(pickTicketNumber_));
    return pickTicketNumber_;
}

void OrderAcknowledgement::DrawTicket() {
    if (journal_.ticket) {
        pickTicketNumber_ = *journal_.ticket;
        return;
    }
    // A journal that cannot be kept (a folder under its name, say) must fail the order before
    // a number is drawn: a drawn number that no journal holds is lost to every rerun.
    SaveOrderJournal(journal_);
    pickTicketNumber_ = NextPickTicketNumber();
    // Recorded at once: a rerun must never draw a second number for this order.
    journal_.ticket = pickTicketNumber_;
    SaveOrderJournal(journal_);
}

// The dealer, the account the order is billed to and the branch whose stock answers it.
void OrderAcknowledgement::CheckDealer() {
    ctx_.step = 300;
    BumpStatistic("Item2-1");

    ctx_.step = 305;
    const std::string dealer = ReadValue(ctx_.request, kHeader, "DealerNumber");
    customer_ = CheckOrderDealer(ctx_, dealer);
    billToAccount_ = WholeRequestNumber(TrimValue(dealer));

    ctx_.step = 310;
    if (gState.gMultiBranch) {
        branch_ = customer_.Responsibility_Cd;
    } else {
        const double directory = RoundHalfEven(LeadingNumber(MonitorDirectoryText()));
        branch_ = directory > std::numeric_limits<std::int32_t>::max()
                      ? std::numeric_limits<std::int32_t>::max()
                      : static_cast<std::int32_t>(std::max(directory, 0.0));
    }
    if (branch_ < 1) branch_ = 1;
}

void OrderAcknowledgement::Header() {
    CheckDealer();

    ctx_.step = 315;
    DrawTicket();

    ctx_.step = 320;
    Write(kHeader, "DocType", "ACKNOWLEDGEMENT");
    Write(kHeader, "DocVersion", "2.0");

    ctx_.step = 325;
    Write(kReceipt, "Type", "PO");
    Write(kReceipt, "Transaction", "???");
    Write(kReceipt, "Comments",
          ctx_.testFlag == "Y" ? kTestComment : OrderComment(pickTicketNumber_));
    Write(kReceipt, "Time", ClockTime());
    Write(kReceipt, "Date", LocalTimeText("%Y%m%d"));
    Write(kReceipt, "VendorName",
          gState.gFile0Block1.size() > 150 ? gState.gFile0Block1.substr(150, 35) : "");

    ctx_.step = 330;
    const std::string poNumber = ReadField(ctx_.request, "PoNumber");
    Write(kReceipt, "PoNumber", poNumber);

    ctx_.step = 335;
    const std::string shipNoteAsRead = ReadValue(ctx_.request, kPoHeader, "ShipNote");
    Write(kReceipt, "ShipNote", shipNoteAsRead);
    std::string shipNote = UpperCase(TrimValue(shipNoteAsRead));

    const ShipTo shipTo = ReadShipTo();

    ctx_.step = 355;
    const std::string emergencyCode =
        UpperCase(ReadTrimmed(ctx_.request, kPoHeader, "EmergencyCode"));
    const bool emergency = emergencyCode == "Y" || emergencyCode == "E";

    ctx_.step = 360;
    order_.emplace();
    order_->Invoice_BillToAccount(billToAccount_);
    order_->Invoice_PackingSlipNumber(pickTicketNumber_);
    order_->Invoice_SplitShip(ctx_.splitShipment);
    order_->Invoice_PONumber(poNumber);

    ctx_.step = 365;
    if (emergency) {
        const EmergencyRemarks remarks = WrapEmergencyMessage();
        for (std::int16_t i = 1; i <= remarks.count; ++i)
            Remark(remarks.wrappedLines[static_cast<std::size_t>(i)]);
    }

    SetShipTo(shipTo);

    ctx_.step = 375;
    while (!shipNote.empty()) {
        const std::size_t piece = std::min<std::size_t>(shipNote.size(), 36);
        Remark(shipNote.substr(0, piece));
        shipNote.erase(0, piece);
    }

    ctx_.step = 380;
    items_ = ItemsToAnswer(ReadTrimmed(ctx_.request, "COUNT", "PoItemCount"), ctx_.request.Bytes());
    itemCount_ = items_.count;
    BumpStatistic("Item2-2", itemCount_);

    ctx_.step = 385;
    Write(kReceipt, "ItemCount", std::to_string(itemCount_));
    Write(kReceipt, "ConfirmationNumber", std::to_string(pickTicketNumber_));

    ctx_.step = 390;
    if (gMonitorView) gMonitorView->ShowItemCount(std::to_string(itemCount_));
}

ShipTo OrderAcknowledgement::ReadShipTo() {
    ShipTo to;
    ctx_.step = 340;
    to.dropShip = UpperCase(ReadTrimmed(ctx_.request, kPoHeader, "DropShip")) == "Y";

    ctx_.step = 345;
    to.name = TrimValue(ReadField(ctx_.request, "ShipName"));
    to.addr = TrimValue(ReadField(ctx_.request, "ShipAddr"));
    to.addr2 = TrimValue(ReadField(ctx_.request, "ShipAddr2"));
    to.city = TrimValue(ReadField(ctx_.request, "ShipCity"));
    to.state = TrimValue(ReadField(ctx_.request, "ShipStat"));
    to.zip = TrimValue(ReadField(ctx_.request, "ShipZip"));

    ctx_.step = 350;
    for (const char* key : {"ShipPhone", "ShipPhon"}) {
        const std::string value = ReadField(ctx_.request, key);
        if (!value.empty()) to.phone = DigitsOnly(TrimValue(value));
    }
    return to;
}

// Only a drop-shipped order carries its address: the city line last, the phone split into
// area code and number when it has 10 or 7 digits.
void OrderAcknowledgement::SetShipTo(const ShipTo& to) {
    ctx_.step = 370;
    if (!to.dropShip) return;
    order_->Invoice_ShipToAddress1(to.name);
    order_->Invoice_ShipToAddress2(to.addr);
    const std::string cityLine = to.city + ", " + to.state + "  " + to.zip;
    if (!to.addr2.empty()) {
        order_->Invoice_ShipToAddress3(to.addr2);
        order_->Invoice_ShipToAddress4(cityLine);
    } else {
        order_->Invoice_ShipToAddress3(cityLine);
    }
    std::int32_t areaCode = 0;
    std::int32_t number = 0;
    if (to.phone.size() == 10) {
        areaCode = std::stoi(to.phone.substr(0, 3));
        number = std::stoi(to.phone.substr(3));
    } else if (to.phone.size() == 7) {
        number = std::stoi(to.phone);
    }
    order_->Invoice_ShipToAreaCode(areaCode);
    order_->Invoice_ShipToPhone(number);
}

void OrderAcknowledgement::Item(std::int32_t n) {
    OrderItem item = ReadItem(n);
    if (DropUnauthorizedLine(item)) return;
    LookUpPart(item);
    LookUpSupersession(item);
    LookUpAlternates(item);

    ctx_.step = 550;
    WriteItem("ItemMemo", n, item.memo);

    if (item.superseded) {
        ShipSuperseded(item);
    } else {
        Dispose(item);
    }
}

OrderItem OrderAcknowledgement::ReadItem(std::int32_t n) {
    ctx_.step = 400;
    OrderItem item;
    item.n = n;
    if (gMonitorView) gMonitorView->ShowItemNumber(std::to_string(n));

    ctx_.step = 410;
    const std::string section = "POITEMS" + std::to_string(n);
    ReadTrimmed(ctx_.request, section, "IgnoreExceptions", "X");
    item.mfgCode = ReadTrimmed(ctx_.request, section, "MfgCode");
    item.partNumber = ReadTrimmed(ctx_.request, section, "PartNumber");
    const std::string quantityText = ReadTrimmed(ctx_.request, section, "PartQty");

    ctx_.step = 420;
    item.ordered = WholeRequestNumber(quantityText);

    ctx_.step = 430;
    item.line = GetLine(item.mfgCode, " ");
    return item;
}

bool OrderAcknowledgement::DropUnauthorizedLine(const OrderItem& item) {
    ctx_.step = 440;
    if (!IsUnauthorizedLine(item.line, customer_)) return false;
    WriteItem("MfgCode", item.n, item.mfgCode);
    WriteItem("PartNumber", item.n, item.partNumber);
    WriteItem("QtyOrdered", item.n, std::to_string(item.ordered));
    WriteItem("PartDisposition", item.n, "Unauthorized Product Line");
    return true;
}

void OrderAcknowledgement::LookUpPart(OrderItem& item) {
    ctx_.step = 450;
    ++validLines_;
    std::int32_t recordNumber = 0;
    bool orb = false;
    std::string dataSet = std::to_string(branch_);
    bool partsFileOnly = false;
    item.part =
        GetPart(item.line.Alpha_Line, item.partNumber, recordNumber, orb, dataSet, partsFileOnly);

    ctx_.step = 460;
    WriteItem("MfgCode", item.n, item.mfgCode);
    WriteItem("PartNumber", item.n, item.part.Part_w_Dash);
    WriteItem("QtyOrdered", item.n, std::to_string(item.ordered));
}

// Short of stock, the part that supersedes the ordered one (on a known line) adds its stock,
// and the order stands on it.
void OrderAcknowledgement::LookUpSupersession(OrderItem& item) {
    ctx_.step = 470;
    item.currentPart = item.part;
    item.currentLine = item.line;
    item.available = Whole(item.part.Quantity_On_Hand);
    std::int32_t partLine = item.part.Line;
    std::string kind = "Z";
    item.memo = GetSupersession(partLine, item.partNumber, kind);

    ctx_.step = 480;
    if (item.available >= item.ordered) return;
    kind = "S";
    const std::string s = GetSupersession(partLine, item.partNumber, kind);
    if (s.empty()) return;
    const double newLineNumber = RoundHalfEven(LeadingNumber(s.substr(0, 3)));
    std::string newPartNumber = s.size() > 4 ? s.substr(4) : std::string();
    const clsLines newLine = GetLine(static_cast<std::int32_t>(newLineNumber), " ");
    if (newLine.Line == 550) return;
    std::int32_t newRecord = 0;
    bool newOrb = false;
    std::string newDataSet = std::to_string(branch_);
    bool newPartsFileOnly = false;
    const clsParts newPart =
        GetPart(newLine.Alpha_Line, newPartNumber, newRecord, newOrb, newDataSet, newPartsFileOnly);
    item.currentPart = newPart;
    item.currentLine = newLine;
    item.available = Checked(std::int64_t{item.available} + Whole(newPart.Quantity_On_Hand));
    if (newPart.Quantity_On_Hand >= Currency{} || item.available < 1) {
        item.substitute = newPart.Part_Number;
        item.superseded = true;
        item.supersededNumber = item.part.Part_Number;
    }
    std::int32_t newPartLine = newLine.Line;
    std::string newPartNo = newPart.Part_Number;
    kind = "Z";
    const std::string z = GetSupersession(newPartLine, newPartNo, kind);
    if (!z.empty()) item.memo = z;
}

// Still short, the ordered part's stock and the alternates of its database chain answer
// instead, and the order stands on the last alternate.
void OrderAcknowledgement::LookUpAlternates(OrderItem& item) {
    ctx_.step = 500;
    if (item.available >= item.ordered) return;
    item.available = Whole(item.part.Quantity_On_Hand);
    std::string alpha = item.line.Alpha_Line;
    std::int32_t requestedLine = item.part.Line;
    std::string requestedNumber = item.part.Part_Number;
    std::int32_t quantity = item.ordered;
    std::int32_t requestedRecord = item.part.Record_Number;
    item.alternates =
        GetDbAlternates(alpha, requestedLine, requestedNumber, quantity, requestedRecord);
    if (item.alternates.count == 0) return;
    const clsParts& last = item.alternates.altPart;
    item.currentPart = last;
    item.available = Checked(std::int64_t{item.available} + item.alternates.altTotal);
    item.superseded = true;
    std::int32_t altLine = last.Line;
    std::string altNumber = last.Part_Number;
    std::string kind = "Z";
    const std::string z = GetSupersession(altLine, altNumber, kind);
    if (!z.empty()) item.memo = z;
}

// The order lines of a superseded item: the ordered part's own stock first, then the
// alternates in chain order or else the superseding part, each followed by its remark.
void OrderAcknowledgement::ShipSuperseded(OrderItem& item) {
    const std::int32_t n = item.n;
    const std::int32_t ordered = item.ordered;
    ctx_.step = 600;
    std::int32_t remaining = ordered;
    std::int32_t ship = ordered;
    std::int32_t backOrder = 0;
    if (item.available < ordered) {
        ship = item.available;
        backOrder = Checked(std::int64_t{ordered} - item.available);
    }
    WriteItem("PartDesc", n, item.currentPart.Description);
    WriteItem("QtyShipped", n, std::to_string(ship));
    WriteItem("QtyBo", n, std::to_string(backOrder));

    ctx_.step = 610;
    if (item.part.Quantity_On_Hand > Currency{}) {
        const std::int32_t onHand = Whole(item.part.Quantity_On_Hand);
        AddNextLine(item.mfgCode, item.part.Part_Number, onHand);
        remaining = Checked(std::int64_t{remaining} - onHand);
    }

    ctx_.step = 620;
    const std::int32_t alternates = item.alternates.count;
    if (alternates > 0) {
        item.supersededNumber = item.part.Part_w_Dash;
        bool altLineWritten = false;
        for (std::int32_t k = 1; k <= alternates && remaining > 0; ++k) {
            const std::int32_t q = item.alternates.altQuantities[static_cast<std::size_t>(k)];
            if (q == 0 && k != alternates) continue;
            const std::int32_t take = (k == alternates || q >= remaining) ? remaining : q;
            const std::string& altNumber =
                item.alternates.altPartNumbers[static_cast<std::size_t>(k)];
            AddNextLine(item.mfgCode, altNumber, take);
            Remark("SUPERCEDES " + item.supersededNumber);
            remaining = Checked(std::int64_t{remaining} - take);
            item.supersededNumber = altNumber;
            item.substitute = altNumber;
            altLineWritten = true;
        }
        // Nothing was left to ship from the alternates: the order stands on the last
        // alternate, so that is the number the dealer is told.
        if (!altLineWritten) item.substitute = item.currentPart.Part_Number;
    } else {
        ctx_.step = 630;
        AddNextLine(item.currentLine.Alpha_Line, item.currentPart.Part_w_Dash, remaining);
        Remark("SUPERCEDES " + item.supersededNumber);
    }

    ctx_.step = 640;
    WriteItem("PartDisposition", n, "Superceded by " + item.substitute);
}

// An item that was not superseded: its disposition from the part's own stock, and one order
// line for the whole quantity.
void OrderAcknowledgement::Dispose(const OrderItem& item) {
    const std::int32_t n = item.n;
    const std::int32_t ordered = item.ordered;
    const clsParts& part = item.part;
    ctx_.step = 650;
    if (part.Record_Number > 0) {
        WriteItem("PartDesc", n, part.Description);
        if (part.Quantity_On_Hand >= Currency::FromUnits(ordered)) {
            WriteItem("QtyShipped", n, std::to_string(ordered));
            WriteItem("QtyBo", n, "0");
            WriteItem("PartDisposition", n, "In Stock - Available");
            BumpStatistic("Item2-3");
        } else if (part.Quantity_On_Hand >= Currency::FromUnits(1)) {
            const std::int32_t ship = Whole(part.Quantity_On_Hand);
            WriteItem("QtyShipped", n, std::to_string(ship));
            WriteItem("QtyBo", n, std::to_string(Checked(std::int64_t{ordered} - ship)));
            WriteItem("PartDisposition", n, "Partial Fill - Balance BackOrdered");
            BumpStatistic("Item2-5");
        } else {
            WriteItem("QtyShipped", n, "0");
            WriteItem("QtyBo", n, std::to_string(ordered));
            WriteItem("PartDisposition", n, "Out of Stock - Item BackOrdered");
            BumpStatistic(part.Order_Code == "Z" ? "Item2-4" : "Item2-5");
        }
    } else if (part.Record_Number < 0) {
        WriteItem("QtyShipped", n, "0");
        WriteItem("QtyBo", n, std::to_string(ordered));
        WriteItem("PartDisposition", n, "Out of Stock - Item BackOrdered");
        BumpStatistic("Item2-4");
    } else {
        WriteItem("PartDisposition", n, "Bad Part Number");
    }

    ctx_.step = 660;
    AddNextLine(item.currentLine.Alpha_Line, item.currentPart.Part_w_Dash, ordered);
}

// The sealed export's temporary name claimed, waiting out another holder: one clearing
// leftovers looks for a moment (and leaves what a journal names), another order that found the
// name free holds it while it writes. Held still after that, the holder is a program that
// stopped.
fs::FileClaim ClaimSealedExport(const std::string& exportFile) {
    constexpr auto kPatience = std::chrono::seconds(30);
    const auto until = std::chrono::steady_clock::now() + kPatience;
    for (;;) {
        fs::FileClaim claim(exportFile, ExportClaimsFolder(gState.gHost));
        if (claim.Result() != fs::FileClaim::Outcome::Held ||
            std::chrono::steady_clock::now() >= until)
            return claim;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

// The journal is sealed once everything the order's rerun would need is on disk: the work
// files (its answer) and the complete export under its temporary name.
void OrderAcknowledgement::Seal(const std::string& exportFile) {
    ctx_.answer.Save(true);
    ctx_.exceptions.Save(true);
    journal_.exportFile = exportFile;
    journal_.errors = ErrorCountOf(ReadValue(ctx_.exceptions, "COUNT", "ErrCount", "0"));
    journal_.sealed = true;
    SaveOrderJournal(journal_);
}

void OrderAcknowledgement::End() {
    ctx_.step = 700;
    if (ctx_.testFlag == "Y") {
        Seal("");
        order_.reset();
        return;
    }
    if (validLines_ == 0) {
        AddLine(1, kRemark, "", 0, "ZEL ORDER WITH THE FOLLOWING ERRORS");
        AddLine(2, kRemark, "", 0, "NO VALID PRODUCT LINES");
    }

    ctx_.step = 710;
    order_->Publish(
        gState.gHost, [&](const std::string& temporary) { Seal(temporary); },
        [&] { return TakeNextTicket(); });

    ctx_.step = 720;
    order_.reset();
}

// A rerun of a sealed order: its ticket was drawn, its answer written and its export complete.
// No lookup runs and no counter moves; the move of the export is finished when a crash cut it
// short, and the work files are made whole again for the end of the request. The number is in
// the answer already, so it cannot be given up: when the final name was taken since the seal,
// the move fails (error 58) at every start, and the export stays under its temporary name until
// the name is free. Only a regular file is the order's export: anything else under its
// temporary name (a link, say) was put there by someone else and is never published; it is
// reported (error 75) at every start as well.
//
// No other order takes the temporary name while this order's export carries it, so when
// another holds what carries it now, or it is empty (another order made it, found the number
// taken and ended before it could take it away), this order's export went out before the
// crash.
void OrderAcknowledgement::FinishSealed() {
    ctx_.step = 710;
    const std::string& exportFile = journal_.exportFile;
    if (!exportFile.empty() && fs::NameExists(exportFile)) {
        // The report names what is in the way, as the first run's does: it is the one thing
        // whoever reads the box has to go and look at.
        if (!fs::IsRegularFile(exportFile))
            throw fs::RuntimeError(fs::err::kPathFileAccess, "Name",
                                   "Path/File access error: " + exportFile);
        const fs::FileClaim claim = ClaimSealedExport(exportFile);
        if (claim.Result() == fs::FileClaim::Outcome::Held) {
            // Not this request's fault: the next start tries again.
            ctx_.rerunDiffers = true;
            throw fs::RuntimeError(fs::err::kPathFileAccess, "Name",
                                   "Path/File access error: " + exportFile + " is held");
        }
        if (claim.Result() != fs::FileClaim::Outcome::Gone && fs::FileSize(exportFile) > 0) {
            const std::string final = ExportFinalPath(exportFile);
            try {
                fs::RenameFile(exportFile, final);
            } catch (const fs::RuntimeError& e) {
                if (e.Number() != fs::err::kFileAlreadyExists) throw;
                // Published by a hard link, and cut short before the old name went.
                if (!fs::SameFile(exportFile, final))
                    throw fs::RuntimeError(e.Number(), e.Source(), e.Description() + ": " + final);
                fs::DeleteFile(exportFile);
            }
            fs::SyncFolder(fs::FolderPart(exportFile));
        }
    }

    ctx_.step = 720;
    if (journal_.errors == 0) {
        // The answer work file goes only after its copy was published; the set-up of this run
        // made it afresh, so the published copy is the answer.
        if (ReadValue(ctx_.answer, kReceipt, "ConfirmationNumber").empty() &&
            fs::NameExists(ctx_.answerFile)) {
            ctx_.answer.Assign(fs::ReadOwnFile(ctx_.answerFile, ctx_.readBackLimit));
        }
    } else {
        const std::int32_t errors =
            ErrorCountOf(ReadValue(ctx_.exceptions, "COUNT", "ErrCount", "0"));
        if (errors < journal_.errors && fs::NameExists(ctx_.exceptionsFile)) {
            ctx_.exceptions.Assign(fs::ReadOwnFile(ctx_.exceptionsFile, ctx_.readBackLimit));
        }
    }
    // The set-up copied the request's header over the answer's.
    Write(kHeader, "DocType", "ACKNOWLEDGEMENT");
    Write(kHeader, "DocVersion", "2.0");
}

void OrderAcknowledgement::Run() {
    ctx_.step = 295;
    journal_ = OpenOrderJournal(ctx_.requestFile, ctx_.request.Bytes());
    ctx_.journal = journal_.path;
    if (journal_.sealed) {
        FinishSealed();
        return;
    }
    // Until the order is sealed the work files start afresh (the request's set-up removed what
    // an earlier run wrote): its errors would be recorded twice and its item keys could outlive
    // changed stock, so the answer is written afresh.
    ctx_.exceptions.DeleteSection("ERRORINFO");
    ctx_.exceptions.DeleteSection("COUNT");
    ctx_.answer.DeleteSection(kReceipt);

    Header();
    for (const std::int32_t n : items_.numbers) Item(n);
    End();
}

}  // namespace

void AcknowledgePurchaseOrder(RequestContext& ctx) { OrderAcknowledgement(ctx).Run(); }

}  // namespace zel::processor
