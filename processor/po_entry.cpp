#include "processor/po_entry.h"

#include <cmath>
#include <exception>
#include <limits>
#include <optional>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "processor/dealer_check.h"
#include "processor/globals.h"
#include "processor/line_part_lookup.h"
#include "processor/hooks.h"
#include "processor/monitor_view.h"
#include "processor/query_entry.h"
#include "processor/order_journal.h"
#include "processor/statistics.h"
#include "processor/supersession.h"
#include "processor/utilities.h"
#include "processor/web_task.h"
#include "records/customers.h"
#include "records/lines.h"
#include "records/parts.h"

namespace zel::processor {

namespace fs = zel::platform;
using records::clsCustomers;
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
    const std::int64_t units = quantity.ToUnits(1);
    if (units < std::numeric_limits<std::int32_t>::min() ||
        units > std::numeric_limits<std::int32_t>::max())
        fs::RaiseClassic(fs::err::kOverflow, "AcknowledgePurchaseOrder");
    return static_cast<std::int32_t>(units);
}

std::int32_t Checked(std::int64_t value) {
    if (value < std::numeric_limits<std::int32_t>::min() ||
        value > std::numeric_limits<std::int32_t>::max())
        fs::RaiseClassic(fs::err::kOverflow, "AcknowledgePurchaseOrder");
    return static_cast<std::int32_t>(value);
}

std::string ReadField(const std::string& request, const char* key) {
    return fs::GetProfileString(kPoHeader, key, "", kFieldBuffer, request);
}

// One purchase order from the request's header to the hand-over of its export.
class OrderAcknowledgement {
public:
    explicit OrderAcknowledgement(RequestContext& ctx)
        : ctx_(ctx), request_(ctx.requestFile), answer_(ctx.answerWork) {}

    void Run();

private:
    void Write(const std::string& section, const std::string& key, const std::string& value) {
        WriteValue(answer_, section, key, value);
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
    void Item(std::int32_t n);
    void End();
    void DrawTicket();
    void Seal(const std::string& exportFile);
    void FinishSealed();

    RequestContext& ctx_;
    const std::string& request_;
    const std::string& answer_;
    OrderJournal journal_;

    clsCustomers customer_;
    std::int32_t billToAccount_ = 0;
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

void OrderAcknowledgement::DrawTicket() {
    if (journal_.ticket) {
        gState.gPickTicketNumber = *journal_.ticket;
        return;
    }
    gState.gPickTicketNumber = NextPickTicketNumber();
    // Recorded at once: a rerun must never draw a second number for this order.
    journal_.ticket = gState.gPickTicketNumber;
    SaveOrderJournal(journal_);
}

void OrderAcknowledgement::Header() {
    ctx_.step = 300;
    BumpStatistic("Item2-1");

    ctx_.step = 305;
    const std::string dealer = ReadValue(request_, kHeader, "DealerNumber");
    customer_ = CheckOrderDealer(ctx_, dealer);
    billToAccount_ = WholeRequestNumber(TrimValue(dealer));

    ctx_.step = 310;
    if (gState.gMultiBranch) {
        branch_ = customer_.Responsibility_Cd;
    } else {
        const double directory =
            RoundHalfEven(LeadingNumber(MonitorDirectoryText()));
        branch_ = directory > std::numeric_limits<std::int32_t>::max()
                      ? std::numeric_limits<std::int32_t>::max()
                      : static_cast<std::int32_t>(std::max(directory, 0.0));
    }
    if (branch_ < 1) branch_ = 1;

    ctx_.step = 315;
    DrawTicket();

    ctx_.step = 320;
    Write(kHeader, "DocType", "ACKNOWLEDGEMENT");
    Write(kHeader, "DocVersion", "2.0");

    ctx_.step = 325;
    Write(kReceipt, "Type", "PO");
    Write(kReceipt, "Transaction", "???");
    Write(kReceipt, "Comments", gState.gTestFlag == "Y" ? kTestComment : OrderComment(gState.gPickTicketNumber));
    Write(kReceipt, "Time", ClockTime());
    Write(kReceipt, "Date", LocalTimeText("%Y%m%d"));
    Write(kReceipt, "VendorName", gState.gFile0Block1.size() > 150 ? gState.gFile0Block1.substr(150, 35) : "");

    ctx_.step = 330;
    const std::string poNumber = ReadField(request_, "PoNumber");
    Write(kReceipt, "PoNumber", poNumber);

    ctx_.step = 335;
    const std::string shipNoteAsRead = ReadValue(request_, kPoHeader, "ShipNote");
    Write(kReceipt, "ShipNote", shipNoteAsRead);
    std::string shipNote = UpperCase(TrimValue(shipNoteAsRead));

    ctx_.step = 340;
    const bool dropShip = UpperCase(ReadTrimmed(request_, kPoHeader, "DropShip")) == "Y";

    ctx_.step = 345;
    const std::string shipName = TrimValue(ReadField(request_, "ShipName"));
    const std::string shipAddr = TrimValue(ReadField(request_, "ShipAddr"));
    const std::string shipAddr2 = TrimValue(ReadField(request_, "ShipAddr2"));
    const std::string shipCity = TrimValue(ReadField(request_, "ShipCity"));
    const std::string shipState = TrimValue(ReadField(request_, "ShipStat"));
    const std::string shipZip = TrimValue(ReadField(request_, "ShipZip"));

    ctx_.step = 350;
    std::string phone;
    for (const char* key : {"ShipPhone", "ShipPhon"}) {
        const std::string value = ReadField(request_, key);
        if (!value.empty()) phone = DigitsOnly(TrimValue(value));
    }

    ctx_.step = 355;
    const std::string emergencyCode = UpperCase(ReadTrimmed(request_, kPoHeader, "EmergencyCode"));
    const bool emergency = emergencyCode == "Y" || emergencyCode == "E";

    ctx_.step = 360;
    order_.emplace();
    order_->Invoice_BillToAccount(billToAccount_);
    order_->Invoice_PackingSlipNumber(gState.gPickTicketNumber);
    order_->Invoice_SplitShip(ctx_.splitShipment);
    order_->Invoice_PONumber(poNumber);

    ctx_.step = 365;
    if (emergency) {
        const std::int16_t lines = WrapEmergencyMessage();
        for (std::int16_t i = 1; i <= lines; ++i) Remark(gState.gWrappedLines[static_cast<std::size_t>(i)]);
    }

    ctx_.step = 370;
    if (dropShip) {
        order_->Invoice_ShipToAddress1(shipName);
        order_->Invoice_ShipToAddress2(shipAddr);
        const std::string cityLine = shipCity + ", " + shipState + "  " + shipZip;
        if (!shipAddr2.empty()) {
            order_->Invoice_ShipToAddress3(shipAddr2);
            order_->Invoice_ShipToAddress4(cityLine);
        } else {
            order_->Invoice_ShipToAddress3(cityLine);
        }
        std::int32_t areaCode = 0;
        std::int32_t number = 0;
        if (phone.size() == 10) {
            areaCode = std::stoi(phone.substr(0, 3));
            number = std::stoi(phone.substr(3));
        } else if (phone.size() == 7) {
            number = std::stoi(phone);
        }
        order_->Invoice_ShipToAreaCode(areaCode);
        order_->Invoice_ShipToPhone(number);
    }

    ctx_.step = 375;
    while (!shipNote.empty()) {
        const std::size_t piece = std::min<std::size_t>(shipNote.size(), 36);
        Remark(shipNote.substr(0, piece));
        shipNote.erase(0, piece);
    }

    ctx_.step = 380;
    items_ = ItemsToAnswer(ReadTrimmed(request_, "COUNT", "PoItemCount"), ctx_.request.Bytes());
    itemCount_ = items_.count;
    BumpStatistic("Item2-2", itemCount_);

    ctx_.step = 385;
    Write(kReceipt, "ItemCount", std::to_string(itemCount_));
    Write(kReceipt, "ConfirmationNumber", std::to_string(gState.gPickTicketNumber));

    ctx_.step = 390;
    if (gMonitorView) gMonitorView->ShowItemCount(std::to_string(itemCount_));
}

void OrderAcknowledgement::Item(std::int32_t n) {
    ctx_.step = 400;
    std::int32_t alternates = 0;
    bool superseded = false;
    std::string substitute;
    std::string supersededNumber;
    if (gMonitorView) gMonitorView->ShowItemNumber(std::to_string(n));

    ctx_.step = 410;
    const std::string section = "POITEMS" + std::to_string(n);
    ReadTrimmed(request_, section, "IgnoreExceptions", "X");
    std::string mfgCode = ReadTrimmed(request_, section, "MfgCode");
    std::string partNumber = ReadTrimmed(request_, section, "PartNumber");
    const std::string quantityText = ReadTrimmed(request_, section, "PartQty");

    ctx_.step = 420;
    const std::int32_t ordered = WholeRequestNumber(quantityText);

    ctx_.step = 430;
    const clsLines line = GetLine(mfgCode, " ");

    ctx_.step = 440;
    if (IsUnauthorizedLine(line, customer_)) {
        WriteItem("MfgCode", n, mfgCode);
        WriteItem("PartNumber", n, partNumber);
        WriteItem("QtyOrdered", n, std::to_string(ordered));
        WriteItem("PartDisposition", n, "Unauthorized Product Line");
        return;
    }

    ctx_.step = 450;
    ++validLines_;
    std::int32_t recordNumber = 0;
    bool orb = false;
    std::string dataSet = std::to_string(branch_);
    bool partsFileOnly = false;
    const clsParts part = GetPart(line.Alpha_Line, partNumber, recordNumber, orb, dataSet, partsFileOnly);

    ctx_.step = 460;
    WriteItem("MfgCode", n, mfgCode);
    WriteItem("PartNumber", n, part.Part_w_Dash);
    WriteItem("QtyOrdered", n, std::to_string(ordered));

    ctx_.step = 470;
    clsParts currentPart = part;
    clsLines currentLine = line;
    std::int32_t available = Whole(part.Quantity_On_Hand);
    std::int32_t partLine = part.Line;
    std::string kind = "Z";
    std::string memo = GetSupersession(partLine, partNumber, kind);

    ctx_.step = 480;
    if (available < ordered) {
        kind = "S";
        const std::string s = GetSupersession(partLine, partNumber, kind);
        if (!s.empty()) {
            const double newLineNumber = RoundHalfEven(LeadingNumber(s.substr(0, 3)));
            std::string newPartNumber = s.size() > 4 ? s.substr(4) : std::string();
            const clsLines newLine = GetLine(static_cast<std::int32_t>(newLineNumber), " ");
            if (newLine.Line != 550) {
                std::int32_t newRecord = 0;
                bool newOrb = false;
                std::string newDataSet = std::to_string(branch_);
                bool newPartsFileOnly = false;
                const clsParts newPart = GetPart(newLine.Alpha_Line, newPartNumber, newRecord,
                                                 newOrb, newDataSet, newPartsFileOnly);
                currentPart = newPart;
                currentLine = newLine;
                available = Checked(std::int64_t{available} + Whole(newPart.Quantity_On_Hand));
                if (newPart.Quantity_On_Hand >= Currency{} || available < 1) {
                    substitute = newPart.Part_Number;
                    superseded = true;
                    supersededNumber = part.Part_Number;
                }
                std::int32_t newPartLine = newLine.Line;
                std::string newPartNo = newPart.Part_Number;
                kind = "Z";
                const std::string z = GetSupersession(newPartLine, newPartNo, kind);
                if (!z.empty()) memo = z;
            }
        }
    }

    ctx_.step = 500;
    if (available < ordered) {
        available = Whole(part.Quantity_On_Hand);
        gState.gAltPartNumbers[0] = part.Part_Number;
        gState.gAltQuantities[0] = Whole(part.Quantity_On_Hand);
        std::string alpha = line.Alpha_Line;
        std::int32_t requestedLine = part.Line;
        std::string requestedNumber = part.Part_Number;
        std::int32_t quantity = ordered;
        std::int32_t requestedRecord = part.Record_Number;
        alternates = GetDbAlternates(alpha, requestedLine, requestedNumber, quantity, requestedRecord);
        if (alternates != 0) {
            currentPart = gState.gAltPart;
            available = Checked(std::int64_t{available} + gState.gAltTotal);
            superseded = true;
            std::int32_t altLine = gState.gAltPart.Line;
            std::string altNumber = gState.gAltPart.Part_Number;
            kind = "Z";
            const std::string z = GetSupersession(altLine, altNumber, kind);
            if (!z.empty()) memo = z;
        }
    }

    ctx_.step = 550;
    WriteItem("ItemMemo", n, memo);

    if (superseded) {
        ctx_.step = 600;
        std::int32_t remaining = ordered;
        std::int32_t ship = ordered;
        std::int32_t backOrder = 0;
        if (available < ordered) {
            ship = available;
            backOrder = Checked(std::int64_t{ordered} - available);
        }
        WriteItem("PartDesc", n, currentPart.Description);
        WriteItem("QtyShipped", n, std::to_string(ship));
        WriteItem("QtyBo", n, std::to_string(backOrder));

        ctx_.step = 610;
        if (part.Quantity_On_Hand > Currency{}) {
            const std::int32_t onHand = Whole(part.Quantity_On_Hand);
            AddNextLine(mfgCode, part.Part_Number, onHand);
            remaining = Checked(std::int64_t{remaining} - onHand);
        }

        ctx_.step = 620;
        if (alternates > 0) {
            supersededNumber = part.Part_w_Dash;
            bool altLineWritten = false;
            for (std::int32_t k = 1; k <= alternates && remaining > 0; ++k) {
                const std::int32_t q = gState.gAltQuantities[static_cast<std::size_t>(k)];
                if (q == 0 && k != alternates) continue;
                const std::int32_t take = (k == alternates || q >= remaining) ? remaining : q;
                const std::string& altNumber = gState.gAltPartNumbers[static_cast<std::size_t>(k)];
                AddNextLine(mfgCode, altNumber, take);
                Remark("SUPERCEDES " + supersededNumber);
                remaining = Checked(std::int64_t{remaining} - take);
                supersededNumber = altNumber;
                substitute = altNumber;
                altLineWritten = true;
            }
            // Nothing was left to ship from the alternates: the order stands on the last
            // alternate, so that is the number the dealer is told.
            if (!altLineWritten) substitute = currentPart.Part_Number;
        } else {
            ctx_.step = 630;
            AddNextLine(currentLine.Alpha_Line, currentPart.Part_w_Dash, remaining);
            Remark("SUPERCEDES " + supersededNumber);
        }

        ctx_.step = 640;
        WriteItem("PartDisposition", n, "Superceded by " + substitute);
        return;
    }

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
    AddNextLine(currentLine.Alpha_Line, currentPart.Part_w_Dash, ordered);
}

// The journal is sealed once everything the order's rerun would need is on disk: the work
// files (its answer) and the complete export under its temporary name.
void OrderAcknowledgement::Seal(const std::string& exportFile) {
    ctx_.answer.Save(true);
    ctx_.exceptions.Save(true);
    journal_.exportFile = exportFile;
    journal_.errors = WholeQuantity(ReadValue(ctx_.exceptionsWork, "COUNT", "ErrCount", "0"));
    journal_.sealed = true;
    SaveOrderJournal(journal_);
}

void OrderAcknowledgement::End() {
    ctx_.step = 700;
    if (gState.gTestFlag == "Y") {
        Seal("");
        order_.reset();
        return;
    }
    if (validLines_ == 0) {
        AddLine(1, kRemark, "", 0, "ZEL ORDER WITH THE FOLLOWING ERRORS");
        AddLine(2, kRemark, "", 0, "NO VALID PRODUCT LINES");
    }

    ctx_.step = 710;
    const std::string temporary = ExportTemporaryPath(gState.gHost, gState.gPickTicketNumber);
    const std::string final = ExportFinalPath(temporary);
    // Something of this number's is in the way. This order gives the number up, so that its
    // rerun draws a new one instead of failing on this one for ever.
    auto giveUpTicket = [&](const std::string& taken) {
        journal_.ticket.reset();
        SaveOrderJournal(journal_);
        throw fs::RuntimeError(fs::err::kFileAlreadyExists, "Name", "File already exists: " + taken);
    };
    // A folder under the export's temporary name cannot be replaced as a name.
    if (fs::FolderExists(temporary)) giveUpTicket(temporary);
    order_->Publish(gState.gHost, [&] {
        // The final name is taken in whatever form it exists: another order's file, a folder,
        // a link (one that points nowhere as well).
        if (fs::NameExists(final)) {
            fs::TryDeleteFile(temporary);
            giveUpTicket(final);
        }
        Seal(temporary);
    });

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
void OrderAcknowledgement::FinishSealed() {
    ctx_.step = 710;
    if (!journal_.exportFile.empty() && fs::NameExists(journal_.exportFile)) {
        // The report names what is in the way, as the first run's does: it is the one thing
        // whoever reads the box has to go and look at.
        if (!fs::IsRegularFile(journal_.exportFile))
            throw fs::RuntimeError(fs::err::kPathFileAccess, "Name",
                                   "Path/File access error: " + journal_.exportFile);
        const std::string final = ExportFinalPath(journal_.exportFile);
        try {
            fs::RenameFile(journal_.exportFile, final);
        } catch (const fs::RuntimeError& e) {
            if (e.Number() != fs::err::kFileAlreadyExists) throw;
            throw fs::RuntimeError(e.Number(), e.Source(), e.Description() + ": " + final);
        }
        fs::SyncFolder(fs::FolderPart(journal_.exportFile));
    }

    ctx_.step = 720;
    if (journal_.errors == 0) {
        // The answer work file goes only after its copy was published; the set-up of this run
        // made it afresh, so the published copy is the answer.
        if (ReadValue(answer_, kReceipt, "ConfirmationNumber").empty() &&
            fs::FileExists(ctx_.answerFile)) {
            ctx_.answer.Assign(fs::ReadWholeFile(ctx_.answerFile));
        }
    } else {
        const std::int32_t errors =
            WholeQuantity(ReadValue(ctx_.exceptionsWork, "COUNT", "ErrCount", "0"));
        if (errors < journal_.errors && fs::FileExists(ctx_.exceptionsFile)) {
            ctx_.exceptions.Assign(fs::ReadWholeFile(ctx_.exceptionsFile));
        }
    }
    // The set-up copied the request's header over the answer's.
    Write(kHeader, "DocType", "ACKNOWLEDGEMENT");
    Write(kHeader, "DocVersion", "2.0");
}

void OrderAcknowledgement::Run() {
    ctx_.step = 295;
    journal_ = OpenOrderJournal(request_);
    ctx_.journal = journal_.path;
    if (journal_.sealed) {
        FinishSealed();
        return;
    }
    // The work files are kept while a journal is on disk. Until the order is sealed they hold
    // what an interrupted run wrote: its errors would be recorded twice and its item keys
    // could outlive changed stock, so the answer is written afresh.
    ctx_.exceptions.DeleteSection("ERRORINFO");
    ctx_.exceptions.DeleteSection("COUNT");
    ctx_.answer.DeleteSection(kReceipt);

    Header();
    for (const std::int32_t n : items_.numbers) Item(n);
    End();
}

}  // namespace

void AcknowledgePurchaseOrder(RequestContext& ctx) {
    OrderAcknowledgement(ctx).Run();
}

}  // namespace zel::processor
