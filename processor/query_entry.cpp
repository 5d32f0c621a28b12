#include "processor/query_entry.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <limits>

#include "engine/facade.h"
#include "platform/currency.h"
#include "platform/ini_text.h"
#include "processor/dealer_check.h"
#include "processor/globals.h"
#include "processor/line_part_lookup.h"
#include "processor/lookup_support.h"
#include "processor/price_lookup.h"
#include "processor/statistics.h"
#include "processor/supersession.h"
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

    void ReadLocationCount();
    void AnswerItem(std::int32_t n);
    // The "S" entry's line and part at data set `dataSet` (catalog fallback allowed); nothing
    // when the entry is empty or (with `knownLineOnly`) names no line.
    Replacement LookUpReplacement(const std::string& entry, const std::string& dataSet,
                                  bool knownLineOnly);
    std::int64_t OtherLocations(QueryItem& item, const std::string& section, const std::string& kept);
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
    if (gState.gQueryNotes) Write("Count", "NotesCount", Decimal(static_cast<std::int64_t>(gState.gQueryNotes->size())));
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
    const std::string section = "POITEMS" + Decimal(n);
    ctx_.step = 70;
    QueryItem item = ReadQueryItem(ctx_, n, customer_, location_);
    const bool unauthorized = item.Unauthorized;
    std::string memo;
    std::int64_t available = 0;
    bool alternate = false;
    std::string kept = item.PartNumber;

    clsParts& requested = item.Part;
    clsParts* answering = &requested;
    clsLines* answeringLine = &item.Line;
    Replacement replacement;
    clsParts alternatePart;
    Currency retail;  // no price lookup: 0, never another item's
    Currency cost;

    if (!unauthorized) {
        ctx_.step = 80;
        std::string z = "Z";
        std::string s = "S";
        std::int32_t lineNumber = item.Line.Line;
        std::string supersession = GetSupersession(lineNumber, item.PartNumber, z);
        lineNumber = item.Line.Line;
        const std::string entry = GetSupersession(lineNumber, item.PartNumber, s);
        kept = item.PartNumber;

        ctx_.step = 90;
        replacement = LookUpReplacement(entry, Decimal(location_), true);
        if (replacement.looked) {
            std::int32_t line = replacement.line.Line;
            std::string number = replacement.part.Part_Number;
            std::string text = GetSupersession(line, number, z);
            if (!text.empty()) supersession = text;
        }

        ctx_.step = 100;
        if (requested.Record_Number > 0) available = WholeUnits(requested.Quantity_On_Hand);
        if (requested.Quantity_On_Hand < Currency::FromUnits(item.Quantity) || onHand_) {
            ctx_.step = 110;
            if (!supersession.empty() && replacement.looked && replacement.part.Record_Number > 0) {
                answering = &replacement.part;
                answeringLine = &replacement.line;
                available += WholeUnits(replacement.part.Quantity_On_Hand);
                alternate = true;
            }
            if (available < item.Quantity) {
                ctx_.step = 120;
                std::int32_t lineNumberArg = item.Line.Line;
                std::int32_t quantity = item.Quantity;
                std::int32_t record = requested.Record_Number;
                const Alternates alternates =
                    GetDbAlternates(item.MfgCode, lineNumberArg, item.PartNumber, quantity, record);
                if (alternates.count != 0) {
                    alternatePart = alternates.altPart;
                    answering = &alternatePart;
                    available = alternates.altTotal;
                    alternate = true;
                    std::int32_t line = alternatePart.Line;
                    std::string number = alternatePart.Part_Number;
                    std::string text = GetSupersession(line, number, z);
                    if (!text.empty()) supersession = text;
                }
            }
        }
        if (available < 0) available = 0;

        ctx_.step = 130;
        if (requested.Record_Number == 0 && !alternate) {
            requested.Part_Number = item.PartNumber;
            requested.Description = "Part Not Found";
        }
        if (requested.Record_Number != 0) {
            ctx_.step = 140;
            Currency unitCost;
            std::int32_t level = 0;
            float bump = 0;
            GetPrice(*answering, *answeringLine, customer_, retail, cost, unitCost, level, bump);
        }
    }

    ctx_.step = 150;
    const bool onFile = requested.Record_Number != 0;
    Write(section, "PartNumber", onFile ? requested.Part_w_Dash : answering->Part_Number);
    Write(section, "PartDesc", onFile ? requested.Description : answering->Description);
    Write(section, "QueryQty", Decimal(item.Quantity));
    Write(section, "Retail", Amount(retail));
    Write(section, "Cost", Amount(cost));
    if (retail != Currency{}) {
        Write(section, "PartDiscount",
              Decimal(pf::RoundQuotientHalfAway((retail - cost).Raw(), 100, retail.Raw())));
    }
    Write(section, "Quantity" + Decimal(location_), Decimal(Shown(available, item.Quantity)));
    marks_.StartItem();

    std::int64_t total = 0;
    if (!unauthorized) {
        ctx_.step = 160;
        marks_.Mark(location_);
        total = available;
        if ((available < item.Quantity || onHand_) && gState.gMultiBranch) {
            total += OtherLocations(item, section, kept);
        }
    }

    ctx_.step = 200;
    Write(section, "MfgCode", item.MfgCode);
    Write(section, "CustomerManufacturerCode", answeringLine->Alpha_Line);
    Write(section, "CustPartNum", kept);
    Write(section, "UnitOfMeasure", UnitOfMeasureText(answering->Unit_of_Measure));
    if (alternate) {
        Write(section, "AlternateManufacturerCode1", answeringLine->Alpha_Line);
        Write(section, "AlternateManufacturerCodeCount", "1");
        Write(section, "AlternatePartReason1", "SUPERCEDED");
        Write(section, "AlternatePartReasonCount", "1");
        Write(section, "AlternatePartNumber1", answering->Part_Number);
        Write(section, "AlternatePartNumCount", "1");
    }
    if (answering->F_Freight_Resale > Currency{}) {
        Write(section, "AdditionalItemCharge1", Amount(requested.F_Freight_Resale));
        Write(section, "AdditionalItemChargeDescription1", "Factory Freight");
        Write(section, "AdditionalChargeDescriptionCount", "1");
    }

    ctx_.step = 220;
    StatusFacts facts;
    facts.unauthorized = unauthorized;
    facts.total = total;
    facts.requested = item.Quantity;
    facts.recordNumber = answering->Record_Number;
    facts.orderCode = answering->Order_Code;
    facts.backOrdered = answering->Qty_Back_Ordered;
    facts.onOrder = answering->Quantity_On_Order;
    const ItemStatus status = StockStatus(facts);
    if (unauthorized) {
        Write(section, "StatusCode", "-1");
        memo = kUnauthorizedLine;
    }
    if (!status.message.empty()) Write(section, "StatusMessage", status.message);
    if (!status.counter.empty()) BumpStatistic(status.counter);

    ctx_.step = 230;
    Write(section, "PackageCount", Decimal(std::min<std::int32_t>(requested.Package_Quantity, 1)));
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
        const clsParts there = GetPart(item.Line.Alpha_Line, number, record, orb, dataSet, partsFileOnly);
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
    std::snprintf(text, sizeof text, "%04d%02d%02d %d:%d:%d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
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
    return k >= 0 && static_cast<std::size_t>(k) < marked_.size() && marked_[static_cast<std::size_t>(k)];
}

RequestItems ItemsToAnswer(const std::string& value, std::string_view requestBytes) {
    RequestItems items;
    const std::int32_t count = WholeRequestNumber(value);
    if (count <= kItemCountCut) {
        items.count = count;
        for (std::int32_t n = 1; n <= count; ++n) items.numbers.push_back(n);
        return items;
    }
    // Section names as the request's reads match them: any case, blanks around trimmed.
    pf::ini::ForEachLine(requestBytes, [&](std::string_view text, std::string_view) {
        std::string name;
        if (pf::ini::HeaderName(text, name)) {
            const std::optional<std::int32_t> n = ItemSectionNumber(name);
            if (n && *n <= count) items.numbers.push_back(*n);
        }
        return true;
    });
    // A section named twice is read as its first one: answered once.
    std::sort(items.numbers.begin(), items.numbers.end());
    items.numbers.erase(std::unique(items.numbers.begin(), items.numbers.end()), items.numbers.end());
    items.count = static_cast<std::int32_t>(items.numbers.size());
    return items;
}

std::optional<std::int32_t> ItemSectionNumber(std::string_view section) {
    static constexpr std::string_view kPrefix = "POITEMS";
    if (section.size() <= kPrefix.size() || section.size() > kPrefix.size() + 10) return std::nullopt;
    if (UpperCase(section.substr(0, kPrefix.size())) != kPrefix) return std::nullopt;
    const std::string_view digits = section.substr(kPrefix.size());
    if (digits.front() == '0') return std::nullopt;
    std::int64_t n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + (c - '0');
    }
    if (n > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    return static_cast<std::int32_t>(n);
}

}  // namespace zel::processor
