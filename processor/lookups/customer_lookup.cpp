#include "processor/lookups/customer_lookup.h"

#include <exception>

#include "processor/globals.h"
#include "processor/lookups/lookup_support.h"
#include "processor/restart.h"

namespace zel::processor {

using lookup::DataEngine;

namespace {

std::string CustomerKey(std::int32_t number) {
    std::string key = lookup::Zeros(4);
    lookup::PackAt(key, 'L', number, 1);
    return key;
}

std::int32_t Find(const char* index, std::int32_t number) {
    std::string key = CustomerKey(number);
    std::string buff;
    std::int32_t r = 0;
    DataEngine().KFind(index, buff, key, r, true);
    return r;
}

std::string ReadCustomerRecord(std::int32_t r) {
    return DataEngine().LreadFile("CUSTL", r, true) + DataEngine().LreadFile("ECUSTL", r, true);
}

LookedUpCustomer Lookup(std::int32_t number) {
    LookedUpCustomer result;
    bool linked = false;
    for (;;) {
        const std::int32_t r = Find("CUSTI", number);
        if (r < 1) break;
        result.Unpack(ReadCustomerRecord(r));
        result.Recno = r;
        const std::string m = DataEngine().LreadFile("MCUSTL", r, true);
        if (m.empty()) return result;
        const std::int32_t link = lookup::UnpackAt(m, 'D', 173);
        if (link < 1 || linked) return result;
        result.OriginalCustomerState = result.State;
        number = link;
        linked = true;
    }

    // Not a customer: customer 0's record gives the default fields, the mailing list the name.
    const std::int32_t zero = Find("CUSTI", 0);
    if (zero > 0) result.Unpack(ReadCustomerRecord(zero));
    const std::int32_t r = Find("MAILI", number);
    std::string text;
    if (r > 0) {
        std::string rec = DataEngine().LreadFile("MAILL", r, true);
        text = lookup::ExpandAt(rec, 7, 80);
        result.Recno = -r;
    } else {
        text = "Customer not Found" + std::string(102, ' ');
        result.Recno = 0;
    }
    result.Account = number;
    result.Name = lookup::Mid(text, 1, 30);
    result.Address_Line_1 = lookup::Mid(text, 31, 30);
    result.Address_Line_2 = lookup::Mid(text, 61, 30);
    result.Address_Line_3 = lookup::Mid(text, 91, 30);
    return result;
}

}  // namespace

LookedUpCustomer GetCustomer(std::int32_t CustomerNumber) {
    try {
        return Lookup(CustomerNumber);
    } catch (const std::exception&) {
        // A failure that a fresh start did not cure would restart the program for ever: the
        // second time round it is the request's own failure.
        if (!gState.gCurrentRequest.empty() &&
            gState.gCurrentRequest == gState.gRestartedForRequest)
            throw;
        RestartProgram(gState.gCurrentRequest);
    }
}

}  // namespace zel::processor
