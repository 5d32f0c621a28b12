#include "processor/answers/stock_query.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <utility>

#include "engine/facade.h"
#include "platform/currency.h"
#include "platform/ini_text.h"
#include "processor/answers/dealer_check.h"
#include "processor/globals.h"
#include "processor/lookups/line_part_lookup.h"
#include "processor/lookups/lookup_support.h"
#include "processor/lookups/price_lookup.h"
#include "processor/lookups/supersession.h"
#include "processor/statistics.h"
#include "processor/utilities.h"

namespace zel::processor {

namespace {

namespace pf = zel::platform;
using pf::Currency;
using records::clsLines;
using records::clsParts;

constexpr const char* kHeader = "ZELINFO";
constexpr const char* kResponse = "QUERYRESPONSE";
// Product line 550 stands for every line code that names no line.
constexpr std::int32_t kUnknownLine = 550;

std::string Decimal(std::int64_t n) { return std::to_string(n); }

// Stock is kept in tenths; the answer counts whole units, halves to the even neighbour.
std::int64_t WholeUnits(Currency quantity) { return quantity.ToUnits(1); }

std::string Amount(Currency value) { return pf::FormatPointTwo(value.Raw(), Currency::kScale); }

std::tm LocalNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

// The answer, one stock query long: the values that live for the whole request.
class StockQuery {
public:
    explicit StockQuery(RequestContext& ctx) : ctx_(ctx) {}
    void Run();

private:
    struct Replacement {
        clsLines line;
        clsParts part;
        bool looked = false;  // the "S" entry named a known line and the part was looked up
    };

    // One item's answer on its way from the lookups to the answer's keys. It points into
    // itself, so it stays where it was made.
    struct ItemAnswer {
        ItemAnswer(std::int32_t n, QueryItem read)
            : section("POITEMS" + Decimal(n)),
              item(std::move(read)),
              kept(item.PartNumber),
              answering(&item.Part),
              answeringLine(&item.Line) {}
        ItemAnswer(const ItemAnswer&) = delete;
        ItemAnswer& operator=(const ItemAnswer&) = delete;

        std::string section;
        QueryItem item;
        std::string kept;          // the part number as the answer repeats it
        std::string supersession;  // substitutes ("Z") of the part last taken
        std::int64_t available = 0;
        std::int64_t total = 0;  // available here and at the other locations
        bool alternate = false;  // another part answers for the requested one
        Replacement replacement;
        clsParts alternatePart;
        // The part that answers (the requested one, its replacement or the last alternate) and
        // its line.
        clsParts* answering;
        clsLines* answeringLine;
        Currency retail;  // no price lookup: 0, never another item's
        Currency cost;
    };

    void ReadLocationCount();
    void AnswerItem(std::int32_t n);
    void LookUpSupersession(ItemAnswer& a);
    void LookUpStock(ItemAnswer& a);
    void LookUpPrice(ItemAnswer& a);
    void WritePart(ItemAnswer& a);
    void WriteCodes(const ItemAnswer& a);
    void WriteStatus(const ItemAnswer& a);
    // The "S" entry's line and part at data set `dataSet` (catalog fallback allowed); nothing
    // when the entry is empty or (with `knownLineOnly`) names no line.
    Replacement LookUpReplacement(const std::string& entry, const std::string& dataSet,
                                  bool knownLineOnly);
    std::int64_t OtherLocations(QueryItem& item, const std::string& section,
                                const std::string& kept);
    std::int64_t Shown(std::int64_t quantity, std::int32_t requested) const {
        return onHand_ ? quantity : std::min<std::int64_t>(quantity, requested);
    }
    void Write(const std::string& section, const std::string& key, const std::string& value) {
        WriteValue(ctx_.answer, section, key, value);
    }

    RequestContext& ctx_;
    LookedUpCustomer customer_;
    std::int16_t location_ = 1;
    std::int32_t locationCount_ = 0;
    bool onHand_ = false;  // mode 1: the whole quantity on hand is answered
    LocationMarks marks_;
};

void StockQuery::Run() {
    ctx_.step = 44;
    if (gState.gMultiBranch) ReadLocationCount();
    ctx_.step = 46;
    BumpStatistic("Item1-1");
    ctx_.step = 48;
    Write(kHeader, "DocType", "QUERYRESPONSE");

    ctx_.step = 50;
    customer_ = CheckQueryDealer(ctx_, ReadValue(ctx_.request, kHeader, "DealerNumber"));
    if (ctx_.leaveAtOnce) return;
    ctx_.step = 55;
    location_ = LocationNumber(customer_);

    ctx_.step = 60;
    Write(kResponse, "Vendor", ReadValue(ctx_.request, kHeader, "TradePartner"));
    Write(kResponse, "DateTime", QueryDateTime(LocalNow()));

    ctx_.step = 65;
    const RequestItems items =
        ItemsToAnswer(ReadValue(ctx_.request, "COUNT", "POItemCount"), ctx_.request.Bytes());
    const std::int32_t count = items.count;
    BumpStatistic("Item1-2", count);
    onHand_ = gState.gQueryResp == 1;

    for (const std::int32_t n : items.numbers) AnswerItem(n);

    ctx_.step = 270;
    if (gState.gQueryNotes) {
        const std::vector<std::string>& notes = *gState.gQueryNotes;
        for (std::size_t k = 0; k < notes.size(); ++k) {
            Write("Notes", "NotesLine" + Decimal(static_cast<std::int64_t>(k) + 1), notes[k]);
        }
    }
    ctx_.step = 275;
    for (std::int32_t k = 1; k <= locationCount_; ++k) {
        // Nothing in the business files names a location: the names are empty.
        if (marks_.IsMarked(k)) Write("Locations", "Name" + Decimal(k), "");
    }
    ctx_.step = 280;
    Write("Count", "PartsCount", Decimal(count));
    Write("Count", "Locations", Decimal(marks_.Count()));
    if (gState.gQueryNotes)
        Write("Count", "NotesCount",
              Decimal(static_cast<std::int64_t>(gState.gQueryNotes->size())));
}

void StockQuery::ReadLocationCount() {
    engine::cBusinessBasic& engine = lookup::DataEngine();
    const std::string block = engine.BlockReadFile("FILE0", 0, false);
    std::string code = "B";
    locationCount_ = engine.Unpack(code, block, 472);
}

StockQuery::Replacement StockQuery::LookUpReplacement(const std::string& entry,
                                                      const std::string& dataSet,
                                                      bool knownLineOnly) {
    Replacement r;
    if (entry.empty()) return r;
    r.line = GetLine(static_cast<std::int32_t>(LeadingNumber(entry.substr(0, 3))));
    if (knownLineOnly && r.line.Line == kUnknownLine) return r;
    std::string number = entry.size() > 4 ? entry.substr(4) : std::string();
    std::int32_t record = 0;
    bool orb = false;
    std::string set = dataSet;
    bool partsFileOnly = false;
    r.part = GetPart(r.line.Alpha_Line, number, record, orb, set, partsFileOnly);
    r.looked = true;
    return r;
}

void StockQuery::AnswerItem(std::int32_t n) {
    ctx_.step = 70;
    ItemAnswer a(n, ReadQueryItem(ctx_, n, customer_, location_));
    if (!a.item.Unauthorized) {
        LookUpSupersession(a);
        LookUpStock(a);
        LookUpPrice(a);
    }
    WritePart(a);
    WriteCodes(a);
    WriteStatus(a);
}

// The substitutes of the requested part and the part that supersedes it (on a known line);
// the replacement's own substitutes, when it has any, stand for the requested part's.
void StockQuery::LookUpSupersession(ItemAnswer& a) {
    QueryItem& item = a.item;
    ctx_.step = 80;
    std::string z = "Z";
    std::string s = "S";
    std::int32_t lineNumber = item.Line.Line;
    a.supersession = GetSupersession(lineNumber, item.PartNumber, z);
    lineNumber = item.Line.Line;
    const std::string entry = GetSupersession(lineNumber, item.PartNumber, s);
    a.kept = item.PartNumber;

    ctx_.step = 90;
    a.replacement = LookUpReplacement(entry, Decimal(location_), true);
    if (a.replacement.looked) {
        std::int32_t line = a.replacement.line.Line;
        std::string number = a.replacement.part.Part_Number;
        std::string text = GetSupersession(line, number, z);
        if (!text.empty()) a.supersession = text;
    }
}

// What is available here: the requested part's stock; short of the quantity (or in mode 1)
// the replacement's added, and still short the alternates' total instead.
void StockQuery::LookUpStock(ItemAnswer& a) {
    QueryItem& item = a.item;
    const clsParts& requested = item.Part;
    ctx_.step = 100;
    if (requested.Record_Number > 0) a.available = WholeUnits(requested.Quantity_On_Hand);
    if (requested.Quantity_On_Hand < Currency::FromUnits(item.Quantity) || onHand_) {
        ctx_.step = 110;
        if (!a.supersession.empty() && a.replacement.looked &&
            a.replacement.part.Record_Number > 0) {
            a.answering = &a.replacement.part;
            a.answeringLine = &a.replacement.line;
            a.available += WholeUnits(a.replacement.part.Quantity_On_Hand);
            a.alternate = true;
        }
        if (a.available < item.Quantity) {
            ctx_.step = 120;
            std::int32_t lineNumberArg = item.Line.Line;
            std::int32_t quantity = item.Quantity;
            std::int32_t record = requested.Record_Number;
            const Alternates alternates =
                GetDbAlternates(item.MfgCode, lineNumberArg, item.PartNumber, quantity, record);
            if (alternates.count != 0) {
                a.alternatePart = alternates.altPart;
                a.answering = &a.alternatePart;
                a.available = alternates.altTotal;
                a.alternate = true;
                std::int32_t line = a.alternatePart.Line;
                std::string number = a.alternatePart.Part_Number;
                std::string z = "Z";
                std::string text = GetSupersession(line, number, z);
                if (!text.empty()) a.supersession = text;
            }
        }
    }
    if (a.available < 0) a.available = 0;
}

// A part found nowhere and answered by no other is named as asked; a part found anywhere is
// priced from the part that answers.
void StockQuery::LookUpPrice(ItemAnswer& a) {
    clsParts& requested = a.item.Part;
    ctx_.step = 130;
    if (requested.Record_Number == 0 && !a.alternate) {
        requested.Part_Number = a.item.PartNumber;
        requested.Description = "Part Not Found";
    }
    if (requested.Record_Number != 0) {
        ctx_.step = 140;
        Currency unitCost;
        std::int32_t level = 0;
        float bump = 0;
        GetPrice(*a.answering, *a.answeringLine, customer_, a.retail, a.cost, unitCost, level,
                 bump);
    }
}

// The part, its price and its stock here, then at the other locations.
void StockQuery::WritePart(ItemAnswer& a) {
    const std::string& section = a.section;
    const clsParts& requested = a.item.Part;
    ctx_.step = 150;
    const bool onFile = requested.Record_Number != 0;
    Write(section, "PartNumber", onFile ? requested.Part_w_Dash : a.answering->Part_Number);
    Write(section, "PartDesc", onFile ? requested.Description : a.answering->Description);
    Write(section, "QueryQty", Decimal(a.item.Quantity));
    Write(section, "Retail", Amount(a.retail));
    Write(section, "Cost", Amount(a.cost));
    if (a.retail != Currency{}) {
        Write(section, "PartDiscount",
              Decimal(pf::RoundQuotientHalfAway((a.retail - a.cost).Raw(), 100, a.retail.Raw())));
    }
    Write(section, "Quantity" + Decimal(location_), Decimal(Shown(a.available, a.item.Quantity)));
    marks_.StartItem();

    if (!a.item.Unauthorized) {
        ctx_.step = 160;
        marks_.Mark(location_);
        a.total = a.available;
        if ((a.available < a.item.Quantity || onHand_) && gState.gMultiBranch) {
            a.total += OtherLocations(a.item, section, a.kept);
        }
    }
}

void StockQuery::WriteCodes(const ItemAnswer& a) {
    const std::string& section = a.section;
    const clsParts& answering = *a.answering;
    ctx_.step = 200;
    Write(section, "MfgCode", a.item.MfgCode);
    Write(section, "CustomerManufacturerCode", a.answeringLine->Alpha_Line);
    Write(section, "CustPartNum", a.kept);
    Write(section, "UnitOfMeasure", UnitOfMeasureText(answering.Unit_of_Measure));
    if (a.alternate) {
        Write(section, "AlternateManufacturerCode1", a.answeringLine->Alpha_Line);
        Write(section, "AlternateManufacturerCodeCount", "1");
        Write(section, "AlternatePartReason1", "SUPERCEDED");
        Write(section, "AlternatePartReasonCount", "1");
        Write(section, "AlternatePartNumber1", answering.Part_Number);
        Write(section, "AlternatePartNumCount", "1");
    }
    if (answering.F_Freight_Resale > Currency{}) {
        Write(section, "AdditionalItemCharge1", Amount(a.item.Part.F_Freight_Resale));
        Write(section, "AdditionalItemChargeDescription1", "Factory Freight");
        Write(section, "AdditionalChargeDescriptionCount", "1");
    }
}

void StockQuery::WriteStatus(const ItemAnswer& a) {
    const std::string& section = a.section;
    const bool unauthorized = a.item.Unauthorized;
    ctx_.step = 220;
    StatusFacts facts;
    facts.unauthorized = unauthorized;
    facts.total = a.total;
    facts.requested = a.item.Quantity;
    facts.recordNumber = a.answering->Record_Number;
    facts.orderCode = a.answering->Order_Code;
    facts.backOrdered = a.answering->Qty_Back_Ordered;
    facts.onOrder = a.answering->Quantity_On_Order;
    const ItemStatus status = StockStatus(facts);
    std::string memo;
    if (unauthorized) {
        Write(section, "StatusCode", "-1");
        memo = kUnauthorizedLine;
    }
    if (!status.message.empty()) Write(section, "StatusMessage", status.message);
    if (!status.counter.empty()) BumpStatistic(status.counter);

    ctx_.step = 230;
    Write(section, "PackageCount",
          Decimal(std::min<std::int32_t>(a.item.Part.Package_Quantity, 1)));
    Write(section, "ItemMemo", memo);
}

std::int64_t StockQuery::OtherLocations(QueryItem& item, const std::string& section,
                                        const std::string& kept) {
    std::int64_t sum = 0;
    std::string& number = item.PartNumber;
    for (std::int32_t k = 1; k <= locationCount_; ++k) {
        if (k == location_) continue;
        ctx_.step = 170;
        std::int64_t here = 0;
        std::string dataSet = Decimal(k);
        std::int32_t record = 0;
        bool orb = false;
        bool partsFileOnly = true;
        const clsParts there =
            GetPart(item.Line.Alpha_Line, number, record, orb, dataSet, partsFileOnly);
        number = kept;

        ctx_.step = 180;
        std::int32_t lineNumber = item.Line.Line;
        std::string s = "S";
        const std::string entry = GetSupersession(lineNumber, number, s);
        const Replacement replacement = LookUpReplacement(entry, dataSet, false);
        if (replacement.looked && replacement.part.Record_Number > 0) {
            here += WholeUnits(replacement.part.Quantity_On_Hand);
        }
        if (there.Record_Number > 0) here += WholeUnits(there.Quantity_On_Hand);

        ctx_.step = 190;
        sum += here;
        Write(section, "Quantity" + Decimal(k), Decimal(Shown(here, item.Quantity)));
        marks_.CountLocation(k);
    }
    return sum;
}

}  // namespace

void AnswerStockQuery(RequestContext& ctx) { StockQuery(ctx).Run(); }

std::string QueryDateTime(const std::tm& local) {
    char text[48];
    std::snprintf(text, sizeof text, "%04d%02d%02d %d:%d:%d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

ItemStatus StockStatus(const StatusFacts& facts) {
    if (facts.unauthorized) return {kUnauthorizedLine, ""};
    if (facts.total >= facts.requested) return {"Available", "Item1-3"};
    if (facts.recordNumber < 1 || facts.orderCode == "Z") {
        return {facts.recordNumber == 0 ? "Part Not Found" : "Special Order Only", "Item1-6"};
    }
    if (facts.backOrdered > 0) return {"Factory Back-Ordered", "Item1-5"};
    if (facts.onOrder > 0) return {"On-Order, Awaiting Delivery", "Item1-4"};
    return {};
}

void LocationMarks::StartItem() {
    count_ = 1;
    Mark(1);
}

void LocationMarks::Mark(std::int32_t k) {
    if (k < 0) return;
    const auto at = static_cast<std::size_t>(k);
    if (at >= marked_.size()) marked_.resize(at + 1, false);
    marked_[at] = true;
}

void LocationMarks::CountLocation(std::int32_t k) {
    Mark(k);
    ++count_;
}

bool LocationMarks::IsMarked(std::int32_t k) const {
    return k >= 0 && static_cast<std::size_t>(k) < marked_.size() &&
           marked_[static_cast<std::size_t>(k)];
}

RequestItems ItemsToAnswer(const std::string& value, std::string_view requestBytes) {
    RequestItems items;
    const std::int32_t count = WholeRequestNumber(value);
    if (count <= kItemCountCut) {
        items.count = count;
        for (std::int32_t n = 1; n <= count; ++n) items.numbers.push_back(n);
        return items;
    }
    // Section names as the request's reads match them: any case, blanks around trimmed. A
    // section named twice is read as its first one: answered once. No more are answered than
    // the cut's count would have, the lowest numbers first; the list is trimmed to them as it
    // grows, so a request of a million sections holds no more than twice the cut.
    auto keepLowest = [&] {
        std::sort(items.numbers.begin(), items.numbers.end());
        items.numbers.erase(std::unique(items.numbers.begin(), items.numbers.end()),
                            items.numbers.end());
        if (items.numbers.size() > static_cast<std::size_t>(kItemCountCut))
            items.numbers.resize(static_cast<std::size_t>(kItemCountCut));
    };
    pf::ini::ForEachLine(requestBytes, [&](std::string_view text, std::string_view) {
        std::string name;
        if (pf::ini::HeaderName(text, name)) {
            const std::optional<std::int32_t> n = ItemSectionNumber(name);
            if (n && *n <= count) {
                items.numbers.push_back(*n);
                if (items.numbers.size() >= 2 * static_cast<std::size_t>(kItemCountCut))
                    keepLowest();
            }
        }
        return true;
    });
    keepLowest();
    items.count = static_cast<std::int32_t>(items.numbers.size());
    return items;
}

std::optional<std::int32_t> ItemSectionNumber(std::string_view section) {
    static constexpr std::string_view kPrefix = "POITEMS";
    if (section.size() <= kPrefix.size() || section.size() > kPrefix.size() + 10)
        return std::nullopt;
    if (UpperCase(section.substr(0, kPrefix.size())) != kPrefix) return std::nullopt;
    const std::string_view digits = section.substr(kPrefix.size());
    if (digits.front() == '0') return std::nullopt;
    std::int64_t n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return pf::Int32Of(n);
}

}  // namespace zel::processor
