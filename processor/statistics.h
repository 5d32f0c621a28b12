#pragma once
// The statistics counters in the settings store (application "Zel", section
// "Distributor\Settings\Connection\Statistics"): "Item1-1" to "Item1-6" for stock queries,
// "Item2-1" to "Item2-6" for purchase orders, each a whole number kept as decimal text.
#include <cstdint>
#include <string>

namespace zel::processor {

// Adds `increment` to the counter `key` (a missing counter counts from 0). A stored value that
// is not numeric raises RuntimeError 13, a sum beyond 32 bits 6; the stored value then stays.
void BumpStatistic(const std::string& key, std::int32_t increment = 1);

// The counter's stored text, "0" when it is missing.
std::string ReadStatistic(const std::string& key);

// Deletes every counter; a store without counters is no error.
void ResetStatistics();

}  // namespace zel::processor
