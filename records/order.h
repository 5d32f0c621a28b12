#pragma once
// A purchase order as the order export holds it in memory: one header (clsInvoiceHeader) and a
// collection of order lines (clsItems of clsItemDetail). The header and line classes are plain
// field sets; a new object's fields are 0, false, empty text or the empty date.
//
// clsItems keys compare without regard to case. Errors, raised as platform::RuntimeError:
//   457 "This key is already associated with an element of this collection": Add with a key
//       that is present (nothing is added);
//   5   "Invalid procedure call or argument": Item or Remove with a position outside 1 to
//       Count or a key that is not present.
#include <cstdint>
#include <memory>
#include <string>

#include "engine/dates.h"
#include "engine/keyedlist.h"
#include "platform/currency.h"

namespace zel::records {

using platform::Currency;

class clsInvoiceHeader {
public:
    std::int32_t BillToAccount = 0;
    std::string BillToName;
    std::string BillToAddress1;
    std::string BillToAddress2;
    std::string BillToAddress3;
    std::int32_t BillToAreaCode = 0;
    std::int32_t BillToPhone = 0;
    engine::DateTime InvoiceDate;
    std::string PONumber;
    std::int32_t Terminal = 0;
    std::int32_t UPSboxes = 0;
    std::int16_t CreatedByEDI = 0;
    std::int16_t NonDemandSale = 0;
    std::int16_t EmergencyOrder = 0;
    std::int32_t PayType1 = 0;
    Currency PayAmount1;
    std::int32_t PayType2 = 0;
    Currency PayAmount2;
    std::int32_t PayType3 = 0;
    Currency PayAmount3;
    std::string AttentionOf;
    std::int32_t Counterman = 0;
    std::int32_t Salesman = 0;
    bool PartialShip = false;
    bool BackOrders = false;
    bool DropShip = false;
    std::int32_t DeliveryCode = 0;
    std::int32_t ShipToAccount = 0;
    std::string ShipToName;
    std::string ShipToAddress1;
    std::string ShipToAddress2;
    std::string ShipToAddress3;
    std::string ShipToAddress4;
    std::int32_t ShipToAreaCode = 0;
    std::int32_t ShipToPhone = 0;
    std::int32_t Department = 0;
    std::string SalesCode;
    std::string TaxCode;
    std::int32_t PackingSlipNumber = 0;
    std::int32_t Category = 0;
    bool SplitShip = false;
    std::string BillToAccountNotes1;
    std::string BillToAccountNotes2;
    std::string BillToAccountNotes3;
    std::string BillToAccountNotes4;
    std::string BillToAccountNotes5;
    std::string ShipToAccountNotes1;
    std::string ShipToAccountNotes2;
    std::string ShipToAccountNotes3;
    std::string ShipToAccountNotes4;
    std::string ShipToAccountNotes5;
};

class clsItemDetail {
public:
    std::int32_t ItemNumber = 0;
    std::string Line;
    std::string Part;
    std::int32_t Quantity = 0;
    std::string Description;
    std::string Comment;
    Currency Price;
    Currency Cost;
    std::int32_t BoQty = 0;
    std::string Commodity;
    std::int16_t Taxable = 0;
    std::int16_t FactoryFreight = 0;
    std::int16_t Defect = 0;
    std::int16_t Rebate = 0;
    std::int16_t ReturnItem = 0;
    std::int16_t NonStock = 0;
    std::int16_t Emergency = 0;
    std::int16_t ServicePolicy = 0;
    std::int16_t Warranty = 0;
    std::int16_t PriceChanged = 0;
    std::int16_t EstimatedCost = 0;
    std::int16_t CostEntered = 0;
    std::int16_t NonReplacedSale = 0;
    std::int16_t PrePosted = 0;
    std::int16_t TradeIn = 0;
    std::int16_t SpecialOrder = 0;
};

// Order lines in the order they were added. Iterating (for (const auto& m : items)) gives each
// member's key and object.
class clsItems : public engine::KeyedList<clsItemDetail> {
public:
    // Note the argument order: price before the flags, the flags in reverse field order,
    // Description last.
    std::shared_ptr<clsItemDetail> Add(
        std::int32_t ItemNumber, const std::string& Line, const std::string& Part,
        std::int32_t Quantity, Currency Price, std::int16_t SpecialOrder, std::int16_t TradeIn,
        std::int16_t PrePosted, std::int16_t NonReplacedSale, std::int16_t CostEntered,
        std::int16_t EstimatedCost, std::int16_t PriceChanged, std::int16_t Warranty,
        std::int16_t ServicePolicy, std::int16_t Emergency, std::int16_t NonStock,
        std::int16_t ReturnItem, std::int16_t Rebate, std::int16_t Defect,
        std::int16_t FactoryFreight, std::int16_t Taxable, const std::string& Commodity,
        std::int32_t BoQty, Currency Cost, const std::string& Comment,
        const std::string& Description, const std::string& sKey = "");

    std::shared_ptr<clsItemDetail> Item(std::int32_t position) const;
    std::shared_ptr<clsItemDetail> Item(const std::string& key) const;
    std::shared_ptr<clsItemDetail> Item(const char* key) const { return Item(std::string(key)); }
    void Remove(std::int32_t position);
    void Remove(const std::string& key);
    void Remove(const char* key) { Remove(std::string(key)); }

private:
    using Base = engine::KeyedList<clsItemDetail>;
    void CheckPosition(std::int32_t position, const char* source) const;
};

}  // namespace zel::records
