#pragma once
// Entry point of the purchase-order branch of the request cycle.
#include "processor/request_documents.h"

namespace zel::processor {

// Acknowledges a "PO" request: checks the dealer, draws the pick-ticket number, writes the
// "ACKNOWLEDGEMENT" into ctx.answer, bumps the order counters and, unless ctx.testFlag is
// "Y", exports the order. Everything it reads of the request comes from ctx.request.
// Request-level errors go to AddError(ctx.exceptions, ...); the step number is kept in
// ctx.step; ctx.splitShipment carries "POHEADER" "ShipSplt".
void AcknowledgePurchaseOrder(RequestContext& ctx);

}  // namespace zel::processor
