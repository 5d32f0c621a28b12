#pragma once
// The statistics counters in the settings store (application "Zel", section
// "Distributor\Settings\Connection\Statistics"): "Item1-1" to "Item1-6" for stock queries,
// "Item2-1" to "Item2-6" for purchase orders, each a whole number kept as decimal text.
//
// During a request the bumps live in memory and go onto what is stored then (so neither a Reset
// in the monitor nor another instance's counts are undone) in one forced write when the request
// ends, at the query's pause exit, before a restart of the program and before the error
// handler ends it.
#include <cstdint>
#include <string>
#include <vector>

namespace zel::processor {

// The twelve counter keys, in the order the monitor shows them.
const std::vector<std::string>& StatisticKeys();

// From here bumps go to memory until SaveStatistics.
void BeginStatistics();
// Adds `increment` to the counter `key` (a missing counter counts from 0). A stored value that
// is not a number, or a sum that would leave 32 bits, counts as 0 before the increment: a
// damaged counter must not stop every request. Outside BeginStatistics/SaveStatistics the
// counter is saved at once.
void BumpStatistic(const std::string& key, std::int32_t increment = 1);
// Saves the counters bumped since BeginStatistics in one write and leaves the in-memory mode.
// Nothing is written when none was bumped. Raises the store's error when it cannot be written.
void SaveStatistics();

// The counter's stored text, "0" when it is missing.
std::string ReadStatistic(const std::string& key);
// All twelve stored texts (StatisticKeys order) from one read of the store.
std::vector<std::string> ReadStatistics();

// Deletes every counter; a store without counters is no error.
void ResetStatistics();

}  // namespace zel::processor
