#include "processor/statistics.h"

#include <exception>
#include <map>
#include <optional>
#include <utility>

#include "platform/convert.h"
#include "platform/error.h"
#include "platform/settings.h"
#include "processor/globals.h"
#include "processor/utilities.h"

namespace zel::processor {

namespace {

// This request's bumps of one counter, in order: they go onto what is stored when it is saved.
using Increments = std::vector<std::int32_t>;

// The counters bumped by the request in progress, by folded key; nothing while no request runs.
std::optional<std::map<std::string, Increments>>& Pending() {
    static std::optional<std::map<std::string, Increments>> pending;
    return pending;
}

std::int32_t Bumped(const std::string& stored, std::int32_t increment) {
    std::int64_t base = 0;
    if (const auto number = platform::ParseNumber(stored))
        base = platform::WholeInt32(*number).value_or(0);
    return platform::Int32Of(base + increment).value_or(increment);
}

std::string Folded(const std::string& key) { return platform::UpperCase(key); }

}  // namespace

const std::vector<std::string>& StatisticKeys() {
    static const std::vector<std::string> keys = [] {
        std::vector<std::string> k;
        for (int row = 1; row <= 2; ++row)
            for (int n = 1; n <= 6; ++n)
                k.push_back("Item" + std::to_string(row) + "-" + std::to_string(n));
        return k;
    }();
    return keys;
}

void BeginStatistics() { Pending().emplace(); }

void BumpStatistic(const std::string& key, std::int32_t increment) {
    auto& pending = Pending();
    if (!pending) {
        platform::SaveSetting(kSettingsApp, kStatisticsSection, key,
                              std::to_string(Bumped(ReadStatistic(key), increment)));
        return;
    }
    (*pending)[Folded(key)].push_back(increment);
}

void SaveStatistics() {
    auto& pending = Pending();
    if (!pending) return;
    std::vector<std::string> names;
    std::vector<std::vector<std::int32_t>> increments;
    for (auto& [key, bumps] : *pending) {
        // Stored under the name the monitor shows (the store matches keys without case).
        std::string name = key;
        for (const auto& shown : StatisticKeys())
            if (Folded(shown) == key) name = shown;
        names.push_back(name);
        increments.push_back(std::move(bumps));
    }
    pending.reset();
    if (names.empty()) return;
    // Other instances sharing this store count their own requests meanwhile (and a Reset may
    // have come): this request's bumps go onto what is stored now, not onto what was read at
    // its start, with no other instance's save between the read and the write.
    CounterLock lock;
    const std::vector<std::string> stored =
        platform::GetSettings(kSettingsApp, kStatisticsSection, names, "0");
    std::vector<std::pair<std::string, std::string>> values;
    for (std::size_t i = 0; i < names.size(); ++i) {
        std::string text = stored[i];
        for (const std::int32_t increment : increments[i])
            text = std::to_string(Bumped(text, increment));
        values.emplace_back(names[i], text);
    }
    platform::SaveSettings(kSettingsApp, kStatisticsSection, values);
}

std::string ReadStatistic(const std::string& key) {
    return platform::GetSetting(kSettingsApp, kStatisticsSection, key, "0");
}

std::vector<std::string> ReadStatistics() {
    return platform::GetSettings(kSettingsApp, kStatisticsSection, StatisticKeys(), "0");
}

void ResetStatistics() {
    try {
        // Under the counter lock: a save of another instance holds it from its read of the
        // counts to its write of them, and a Reset between the two would be written over.
        CounterLock lock;
        platform::DeleteSetting(kSettingsApp, kStatisticsSection);
    } catch (const std::exception&) {
        // A store that cannot be changed keeps its counters; a Reset must not end the program.
    }
}

}  // namespace zel::processor
