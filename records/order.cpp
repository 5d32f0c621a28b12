#include "records/order.h"

#include "platform/error.h"

namespace zel::records {

namespace err = platform::err;

std::shared_ptr<clsItemDetail> clsItems::Add(
    std::int32_t ItemNumber, const std::string& Line, const std::string& Part,
    std::int32_t Quantity, Currency Price, std::int16_t SpecialOrder, std::int16_t TradeIn,
    std::int16_t PrePosted, std::int16_t NonReplacedSale, std::int16_t CostEntered,
    std::int16_t EstimatedCost, std::int16_t PriceChanged, std::int16_t Warranty,
    std::int16_t ServicePolicy, std::int16_t Emergency, std::int16_t NonStock,
    std::int16_t ReturnItem, std::int16_t Rebate, std::int16_t Defect, std::int16_t FactoryFreight,
    std::int16_t Taxable, const std::string& Commodity, std::int32_t BoQty, Currency Cost,
    const std::string& Comment, const std::string& Description, const std::string& sKey) {
    auto item = std::make_shared<clsItemDetail>();
    item->ItemNumber = ItemNumber;
    item->Line = Line;
    item->Part = Part;
    item->Quantity = Quantity;
    item->Description = Description;
    item->Comment = Comment;
    item->Price = Price;
    item->Cost = Cost;
    item->BoQty = BoQty;
    item->Commodity = Commodity;
    item->Taxable = Taxable;
    item->FactoryFreight = FactoryFreight;
    item->Defect = Defect;
    item->Rebate = Rebate;
    item->ReturnItem = ReturnItem;
    item->NonStock = NonStock;
    item->Emergency = Emergency;
    item->ServicePolicy = ServicePolicy;
    item->Warranty = Warranty;
    item->PriceChanged = PriceChanged;
    item->EstimatedCost = EstimatedCost;
    item->CostEntered = CostEntered;
    item->NonReplacedSale = NonReplacedSale;
    item->PrePosted = PrePosted;
    item->TradeIn = TradeIn;
    item->SpecialOrder = SpecialOrder;
    if (!Insert(sKey, item)) platform::RaiseClassic(err::kDuplicateKey, "Add");
    return item;
}

void clsItems::CheckPosition(std::int32_t position, const char* source) const {
    if (position < 1 || position > Count()) platform::RaiseClassic(err::kInvalidCall, source);
}

std::shared_ptr<clsItemDetail> clsItems::Item(std::int32_t position) const {
    CheckPosition(position, "Item");
    return Base::Item(position);
}

std::shared_ptr<clsItemDetail> clsItems::Item(const std::string& key) const {
    if (!Find(key)) platform::RaiseClassic(err::kInvalidCall, "Item");
    return Base::Item(key);
}

void clsItems::Remove(std::int32_t position) {
    CheckPosition(position, "Remove");
    Base::Remove(position);
}

void clsItems::Remove(const std::string& key) {
    if (!Find(key)) platform::RaiseClassic(err::kInvalidCall, "Remove");
    Base::Remove(key);
}

}  // namespace zel::records
