#pragma once
// WebTask: one purchase order on its way to the business system. The order's header values are
// set through the write-only Invoice_ properties, its lines through AddItem (they live as long
// as the WebTask), and Publish writes the order export file into "\\host\DadAri\WebTask\In"
// for the business system to pick up.
//
// Export file: single-byte text, lines ended by CR LF, first "***850ZEL", then the tagged
// header lines and per order line "D01", "D02" and either "D06" (a "REM" line) or "D03" and
// "D04". It is written as "<PackingSlipNumber>.tmp", made only where nothing carries that name
// and held by a claim of the operating system until it is published, forced to disk, then moved
// to the same name ending ".txt" without ever replacing what carries that name; the folder is
// then forced to disk. Several programs may export into one folder: a number whose ".tmp" or
// ".txt" name anything carries (another order's export in flight or published, a leftover, a
// folder, a link) is another's, and nothing under either name is ever removed, replaced or
// written through.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "records/order.h"

namespace zel::processor {

// "\\host\DadAri\WebTask\In"
std::string ExportFolder(const std::string& host);
// Where the claims on exports are taken: the request folder's claims file, so that the folder
// the business system reads holds nothing but exports.
std::string ExportClaimsFolder(const std::string& host);
// The export's name while it is written, and the name it is published under.
std::string ExportTemporaryPath(const std::string& host, std::int32_t packingSlipNumber);
std::string ExportFinalPath(const std::string& temporaryPath);
// The ticket of a name as ExportTemporaryPath makes it ("<ticket>.tmp"), or none for any other.
std::optional<std::int32_t> ExportTicketOf(const std::string& name);

class WebTask {
public:
    WebTask() = default;
    WebTask(const WebTask&) = delete;
    WebTask& operator=(const WebTask&) = delete;

    records::clsInvoiceHeader Header;
    // The order's lines, in the order they were added.
    records::clsItems Items;

    void Invoice_PackingSlipNumber(std::int32_t vNewvalue) { Header.PackingSlipNumber = vNewvalue; }
    void Invoice_BillToAccount(std::int32_t vNewvalue) { Header.BillToAccount = vNewvalue; }
    void Invoice_PONumber(std::string vNewvalue) { Header.PONumber = std::move(vNewvalue); }
    void Invoice_ShipToAddress1(std::string vNewvalue) {
        Header.ShipToAddress1 = std::move(vNewvalue);
    }
    void Invoice_ShipToAddress2(std::string vNewvalue) {
        Header.ShipToAddress2 = std::move(vNewvalue);
    }
    void Invoice_ShipToAddress3(std::string vNewvalue) {
        Header.ShipToAddress3 = std::move(vNewvalue);
    }
    void Invoice_ShipToAddress4(std::string vNewvalue) {
        Header.ShipToAddress4 = std::move(vNewvalue);
    }
    void Invoice_ShipToAreaCode(std::int32_t vNewvalue) { Header.ShipToAreaCode = vNewvalue; }
    void Invoice_ShipToPhone(std::int32_t vNewvalue) { Header.ShipToPhone = vNewvalue; }
    void Invoice_SplitShip(bool vNewvalue) { Header.SplitShip = vNewvalue; }
    void Invoice_DropShip(bool vNewvalue) { Header.DropShip = vNewvalue; }

    // Appends one order line to Items (no key), the arguments in clsItems::Add's order.
    void AddItem(const std::int32_t& ItemNumber, const std::string& Line, const std::string& Part,
                 const std::int32_t& Quantity, const records::Currency& Price,
                 const std::int16_t& SpecialOrder, const std::int16_t& TradeIn,
                 const std::int16_t& PrePosted, const std::int16_t& NonReplacedSale,
                 const std::int16_t& CostEntered, const std::int16_t& EstimatedCost,
                 const std::int16_t& PriceChanged, const std::int16_t& Warranty,
                 const std::int16_t& ServicePolicy, const std::int16_t& Emergency,
                 const std::int16_t& NonStock, const std::int16_t& ReturnItem,
                 const std::int16_t& Rebate, const std::int16_t& Defect,
                 const std::int16_t& FactoryFreight, const std::int16_t& Taxable,
                 const std::string& Commodity, const std::int32_t& BoQty,
                 const records::Currency& Cost, const std::string& Comment,
                 const std::string& Description);

    // Writes the export file on host Path's share and publishes it under its final name.
    // A number that is taken (see above) is passed over: `numberTaken` gives the number to try
    // next, which becomes the PackingSlipNumber; without it, the failure (58) goes to the
    // caller. `beforeMove`, when given, runs once the complete temporary file is on disk and
    // before it takes its final name, and is given that file's name (the order journal records
    // the order there); its errors abort the publishing and reach the caller, and the temporary
    // file then stays.
    void Publish(const std::string& Path,
                 const std::function<void(const std::string& temporary)>& beforeMove = {},
                 const std::function<std::int32_t()>& numberTaken = {});

    // The export file's contents.
    std::string ExportText() const;
};

}  // namespace zel::processor
