#pragma once
// The customer lookup: the only way the request processor reads customers.
#include <cstdint>

#include "records/customers.h"

namespace zel::processor {

// The customer record of `CustomerNumber`, always a new object. A customer whose record links
// to another account (MCUSTL) gives that account's record, once: gState.gOriginalCustomerState then
// holds the asked-for customer's state (else it is empty). A number that is no customer gives
// customer 0's fields (when customer 0 exists) with Account = the number and the name and
// address of its mailing-list entry, or "Customer not Found". Recno: > 0 the customer's record,
// < 0 minus the mailing-list record, 0 neither; callers treat a Recno below 1 as no customer.
//
// Any error inside restarts the program (RestartProgram with the current request, which stays
// in the request folder), except when this instance was itself started by a restart for the
// current request: the error then reaches ProcessRequest's handler instead of restarting again.
records::clsCustomers GetCustomer(std::int32_t CustomerNumber);

}  // namespace zel::processor
