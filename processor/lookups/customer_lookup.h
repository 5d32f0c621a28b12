#pragma once
// The customer lookup: the only way the request processor reads customers.
#include <cstdint>
#include <string>

#include "records/customers.h"

namespace zel::processor {

// A customer as the lookup found it: the record, and where the lookup followed a link to
// another account, the asked-for customer's own state.
struct LookedUpCustomer : records::clsCustomers {
    // The asked-for customer's State when the lookup followed a link; empty in every other case.
    std::string OriginalCustomerState;
};

// The customer record of `CustomerNumber`, always a new object. A customer whose record links
// to another account (MCUSTL) gives that account's record, once: OriginalCustomerState then
// holds the asked-for customer's state (else it is empty). A number that is no customer gives
// customer 0's fields (when customer 0 exists) with Account = the number and the name and
// address of its mailing-list entry, or "Customer not Found". Recno: > 0 the customer's record,
// < 0 minus the mailing-list record, 0 neither; callers treat a Recno below 1 as no customer.
//
// Any error inside restarts the program (RestartProgram with the current request, which stays
// in the request folder), except when this instance was itself started by a restart for the
// current request: the error then reaches ProcessRequest's handler instead of restarting again.
LookedUpCustomer GetCustomer(std::int32_t CustomerNumber);

}  // namespace zel::processor
