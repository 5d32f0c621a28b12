#include "processor/po_entry.h"

namespace zel::processor {

// The acknowledgement is not built yet: the answer work file keeps the request's header alone.
void AcknowledgePurchaseOrder(RequestContext&) {}

}  // namespace zel::processor
