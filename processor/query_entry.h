#pragma once
// Entry point of the stock-query branch of the request cycle.
#include "processor/request_cycle.h"

namespace zel::processor {

// Answers a "QUERY" request: checks the dealer, answers every item into ctx.answerWork as a
// "QUERYRESPONSE" and bumps the query counters. Request-level errors go to
// AddError(ctx.exceptionsWork, ...); the step number is kept in ctx.step; a pause of monitoring
// requested during the dealer check sets ctx.leaveAtOnce.
void AnswerStockQuery(RequestContext& ctx);

}  // namespace zel::processor
