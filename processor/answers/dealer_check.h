#pragma once
// The checks before a stock query or a purchase order is answered: the dealer against the
// customer file, the location (branch) whose stock answers, the state rule of restricted
// product lines, and the query's reading of one item.
//
// The query branch: customer = CheckQueryDealer(ctx, dealerNumber); return at once when
// ctx.leaveAtOnce is set; location = LocationNumber(customer); then per item n
// ReadQueryItem(ctx, n, customer, location). The order branch: CheckOrderDealer, its own branch
// rule, and per item IsUnauthorizedLine on the line it looked up.
#include <cstdint>
#include <optional>
#include <string>

#include "processor/lookups/customer_lookup.h"
#include "processor/request_documents.h"
#include "records/customers.h"
#include "records/lines.h"
#include "records/parts.h"

namespace zel::processor {

// Dealer check of a stock query. `DealerNumber` is "ZELINFO" "DealerNumber" as read; whether it
// is numeric, and its value, are platform::RequestNumber's. A numeric value below 10,000,000 is
// looked up as that number (halves to the even neighbour), a larger one, or one below the 32-bit
// range, as customer -1. Then, when a pause of monitoring was asked for, ctx.leaveAtOnce is set and
// the caller must leave the request at once (nothing more written). A value that is not numeric, or
// a customer whose Recno is below 1, records error "1" ("Invalid Dealer Number: " + the trimmed
// value + ".  FATAL ERROR") in the exceptions document (ctx.exceptions) and gives customer 0's
// lookup instead; the request goes on.
LookedUpCustomer CheckQueryDealer(RequestContext& ctx, const std::string& DealerNumber);

// Dealer check of a purchase order: the same with the bound 2147483647 in place of 10,000,000
// and no pause test.
LookedUpCustomer CheckOrderDealer(RequestContext& ctx, const std::string& DealerNumber);

// The location whose stock answers a query: 1, or with the multi-location flag the customer's
// Responsibility_Cd; below 1 it is 1.
std::int16_t LocationNumber(const records::clsCustomers& Customer);

// The state rule, applied only while the restricted-lines flag is set: a line coded "ROP" or
// "POU" is unauthorized for a customer whose state (the asked-for customer's own state that
// GetCustomer kept when it followed a link, else the record's State) does not occur in
// "CA.HI.NV.AZ." (an empty state passes). True when the rule drops the line.
bool IsUnauthorizedLine(const records::clsLines& Line, const LookedUpCustomer& Customer);

// One item of a stock query as read and looked up.
struct QueryItem {
    std::string MfgCode;        // "MfgCode" without NUL characters, spaces and case kept
    std::string PartNumber;     // "PartNumber" without spaces and "-", then as GetPart left it
    std::int32_t Quantity = 0;  // "PartQty" (WholeRequestNumber)
    bool Unauthorized = false;  // the state rule dropped the line
    // The item's product line (line 550's for an unknown code); once dropped by the state rule,
    // an empty record whose Alpha_Line is the manufacturer code.
    records::clsLines Line;
    // The part at the location, catalog fallback allowed; once the line is dropped, an empty
    // record with record number 0 carrying the item's part number.
    records::clsParts Part;
};

// Reads item `ItemNumber` (section "POITEMS" + n) of the request and looks it up: reads
// "IgnoreExceptions" (no effect: single items never become errors), "MfgCode", "PartNumber",
// "PartQty", finds the line, applies the state rule and looks the part up with the location as
// data set.
QueryItem ReadQueryItem(const RequestContext& ctx, std::int32_t ItemNumber,
                        const LookedUpCustomer& Customer, std::int16_t Location);

}  // namespace zel::processor
