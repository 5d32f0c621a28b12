#include "processor/answers/dealer_check.h"

#include <cmath>
#include <limits>

#include "platform/convert.h"
#include "processor/globals.h"
#include "processor/lookups/customer_lookup.h"
#include "processor/lookups/line_part_lookup.h"

namespace zel::processor {

namespace {

constexpr const char* kRestrictedStates = "CA.HI.NV.AZ.";

// The customer number a numeric dealer number is looked up as: the number itself below
// `bound`, else -1. A number below the 32-bit range cannot be a customer either (and must not
// end the program): -1 as well.
std::int32_t CustomerNumberOf(double value, double bound) {
    if (!(value < bound)) return -1;
    return platform::WholeInt32(value).value_or(-1);
}

LookedUpCustomer CheckDealer(RequestContext& ctx, const std::string& dealerNumber, double bound,
                             bool pauseExit) {
    const std::optional<double> value = platform::RequestNumber(dealerNumber);
    if (value) {
        LookedUpCustomer customer = GetCustomer(CustomerNumberOf(*value, bound));
        if (pauseExit && gState.gPauseRequested) {
            ctx.leaveAtOnce = true;
            return customer;
        }
        if (customer.Recno >= 1) return customer;
    }
    AddError(ctx.exceptions, "1",
             "Invalid Dealer Number: " + platform::TrimValue(dealerNumber) + ".  FATAL ERROR");
    return GetCustomer(0);
}

std::string WithoutAny(std::string text, const std::string& drop) {
    std::string out;
    for (char c : text)
        if (drop.find(c) == std::string::npos) out += c;
    return out;
}

}  // namespace

LookedUpCustomer CheckQueryDealer(RequestContext& ctx, const std::string& DealerNumber) {
    return CheckDealer(ctx, DealerNumber, 10000000.0, true);
}

LookedUpCustomer CheckOrderDealer(RequestContext& ctx, const std::string& DealerNumber) {
    return CheckDealer(ctx, DealerNumber, 2147483647.0, false);
}

std::int16_t LocationNumber(const records::clsCustomers& Customer) {
    std::int32_t location = 1;
    if (gState.gMultiBranch) location = Customer.Responsibility_Cd;
    if (location < 1) location = 1;
    if (location > std::numeric_limits<std::int16_t>::max())
        platform::RaiseClassic(platform::err::kOverflow, "LocationNumber");
    return static_cast<std::int16_t>(location);
}

bool IsUnauthorizedLine(const records::clsLines& Line, const LookedUpCustomer& Customer) {
    if (!gState.gRestrictLines) return false;
    if (Line.Alpha_Line != "ROP" && Line.Alpha_Line != "POU") return false;
    const std::string& state =
        Customer.OriginalCustomerState.empty() ? Customer.State : Customer.OriginalCustomerState;
    return std::string(kRestrictedStates).find(state) == std::string::npos;
}

QueryItem ReadQueryItem(const RequestContext& ctx, std::int32_t ItemNumber,
                        const LookedUpCustomer& Customer, std::int16_t Location) {
    const std::string section = "POITEMS" + std::to_string(ItemNumber);
    const platform::ProfileReader& request = ctx.request;
    QueryItem item;
    platform::UpperCase(ReadTrimmed(request, section, "IgnoreExceptions", "X"));
    item.MfgCode = WithoutAny(ReadValue(request, section, "MfgCode"), std::string(1, '\0'));
    item.PartNumber = WithoutAny(ReadValue(request, section, "PartNumber"), " -");
    item.Quantity = WholeRequestNumber(ReadValue(request, section, "PartQty"));

    item.Line = GetLine(item.MfgCode, " ");
    if (IsUnauthorizedLine(item.Line, Customer)) {
        item.Unauthorized = true;
        item.Line = records::clsLines();
        item.Line.Alpha_Line = item.MfgCode;
        item.Part = records::clsParts();
        item.Part.Part_Number = item.PartNumber;
        return item;
    }
    std::int32_t record = 0;
    bool orb = false;
    std::string dataSet = std::to_string(Location);
    bool partsFileOnly = false;
    item.Part = GetPart(item.Line.Alpha_Line, item.PartNumber, record, orb, dataSet, partsFileOnly);
    return item;
}

}  // namespace zel::processor
