#pragma once
// Entry point of the purchase-order branch of the request cycle.
#include "processor/request_cycle.h"

namespace zel::processor {

// Acknowledges a "PO" request: checks the dealer, draws the pick-ticket number, writes the
// "ACKNOWLEDGEMENT" into ctx.answerWork, bumps the order counters and, unless ctx.testFlag is
// "Y", exports the order. Request-level errors go to AddError(ctx.exceptionsWork, ...); the
// step number is kept in ctx.step; ctx.splitShipment carries "POHEADER" "ShipSplt".
void AcknowledgePurchaseOrder(RequestContext& ctx);

}  // namespace zel::processor
