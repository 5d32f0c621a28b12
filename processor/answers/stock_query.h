#pragma once
// Entry point of the stock-query branch of the request cycle, and the small rules of the answer
// that need no business files (status of an item, location marks, item count).
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "processor/request_documents.h"

namespace zel::processor {

// Answers a "QUERY" request: checks the dealer, answers every item into ctx.answer as a
// "QUERYRESPONSE" and bumps the query counters. Request-level errors go to
// AddError(ctx.exceptions, ...); the step number is kept in ctx.step; a pause of monitoring
// requested during the dealer check sets ctx.leaveAtOnce.
void AnswerStockQuery(RequestContext& ctx);

// --- Rules of the answer ---------------------------------------------------------------------

// "DateTime" of the answer: four-digit year, two-digit month and day, a space, then hour, minute
// and second without leading zeros, separated by colons ("20240305 9:5:0").
std::string QueryDateTime(const std::tm& local);

// What decides an item's status, taken from the answering part and the item's sums.
struct StatusFacts {
    bool unauthorized = false;      // the state rule dropped the item's product line
    std::int64_t total = 0;         // available here plus at the other locations
    std::int32_t requested = 0;     // quantity asked for
    std::int32_t recordNumber = 0;  // answering part: above 0 parts file, below 0 database
    std::string orderCode;          // answering part's Order_Code
    std::int32_t backOrdered = 0;   // answering part's Qty_Back_Ordered
    std::int32_t onOrder = 0;       // answering part's Quantity_On_Order
};

// The "StatusMessage" of an item and the counter it bumps; first match wins. An item that fits
// no rule has neither (`message` empty: no status key is written).
struct ItemStatus {
    std::string message;
    std::string counter;
};
ItemStatus StockStatus(const StatusFacts& facts);

inline constexpr const char* kUnauthorizedLine = "Unauthorized Product Line";

// The locations answered in one query. Mark 0 counts the locations of the item answered last;
// marks 1 and up say which locations any item answered. Every location a business file can
// name (a 1-byte count, a 1-byte own location) has its mark, however many the site runs.
class LocationMarks {
public:
    // A new item: mark 0 restarts at 1 and location 1 is always reported.
    void StartItem();
    // The item answered location k (the own location: mark 0 is not counted up for it).
    void Mark(std::int32_t k);
    // The location loop answered location k: marked, and counted in mark 0.
    void CountLocation(std::int32_t k);
    bool IsMarked(std::int32_t k) const;
    std::int32_t Count() const { return count_; }

private:
    std::vector<bool> marked_;
    std::int32_t count_ = 0;
};

// Highest item count answered item by item from 1 to the count, whatever sections the request
// holds. A count above it is bounded by the request itself, and never answers more items than
// this.
inline constexpr std::int32_t kItemCountCut = 9999;

// The items a request's count ("POItemCount", "PoItemCount") asks for.
struct RequestItems {
    // The item count as the answer reports it: "PartsCount", "ItemCount", the counters of items
    // requested and the monitor's count box.
    std::int32_t count = 0;
    // The n of the "POITEMS"n sections to answer, in the order they are answered.
    std::vector<std::int32_t> numbers;
};

// The count `value` read as a whole number (WholeRequestNumber: 0 when it is not numeric or
// beyond 32 bits). Up to kItemCountCut: items 1 to the count, and the count as read (a count
// of 0 or below answers nothing). Above the cut the work is bounded by what the request holds,
// so that one planted section or a count typed wrong can neither keep the only thread busy for
// days nor grow the answer without end: only the "POITEMS"n sections of `requestBytes` with
// n <= the count are answered, ascending, each once under its own n, at most kItemCountCut of
// them (the lowest numbers), and the count is their number: one request's work is never more
// than a request the loop up to the cut could make.
RequestItems ItemsToAnswer(const std::string& value, std::string_view requestBytes);

// The n of a section named "POITEMS"n (n decimal, from 1, no padding, any letter case); nothing
// for any other name.
std::optional<std::int32_t> ItemSectionNumber(std::string_view section);

}  // namespace zel::processor
