#pragma once
// What a customer pays for a part, the list price beside it and the part's unit cost, by the
// business system's pricing rules: the customer's price level and percentage bump, special
// prices by price matrix from the index "SPECI" (by part, part-number prefix, price code,
// commodity and whole line, with chaining from one matrix to another), the line's price
// definitions standing in for a level without a price, a step down through the levels, a
// minimum retail markup and price brackets, all from FILE0's first block.
#include <cstdint>

#include "platform/currency.h"
#include "records/customers.h"
#include "records/lines.h"
#include "records/parts.h"

namespace zel::processor {

// Outputs:
//   RetailPrice  the list price, never below the net price plus the minimum markup;
//   NetPrice     the customer's price;
//   UnitCost     Cost divided by the part's units per cost (from its package code);
//   Level, Bump  the price level and the percentage bump that gave the net price.
// The three amounts are rounded to whole cents (halves away from zero). `Line` is replaced by a
// fresh GetLine of its Alpha_Line. A chain of matrices that comes back to one already used and
// line definitions that send levels to each other end with what was found. No error handler:
// a FILE0 that cannot be opened (error 53), SPECI not linked and overflow reach the caller's.
void GetPrice(records::clsParts& Part, records::clsLines& Line, records::clsCustomers& Customer,
              platform::Currency& RetailPrice, platform::Currency& NetPrice,
              platform::Currency& UnitCost, std::int32_t& Level, float& Bump);

}  // namespace zel::processor
