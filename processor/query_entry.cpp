#include "processor/query_entry.h"

namespace zel::processor {

// The query answer is not built yet: the answer work file keeps the request's header alone.
void AnswerStockQuery(RequestContext&) {}

}  // namespace zel::processor
