#include "processor/statistics.h"

#include <exception>
#include <limits>

#include "platform/error.h"
#include "platform/settings.h"
#include "processor/globals.h"
#include "processor/request_cycle.h"

namespace zel::processor {

void BumpStatistic(const std::string& key, std::int32_t increment) {
    const std::int64_t sum = std::int64_t{ToInt32(ReadStatistic(key), "BumpStatistic")} + increment;
    if (sum < std::numeric_limits<std::int32_t>::min() ||
        sum > std::numeric_limits<std::int32_t>::max()) {
        platform::RaiseClassic(platform::err::kOverflow, "BumpStatistic");
    }
    platform::SaveSetting(kSettingsApp, kStatisticsSection, key, std::to_string(sum));
}

std::string ReadStatistic(const std::string& key) {
    return platform::GetSetting(kSettingsApp, kStatisticsSection, key, "0");
}

void ResetStatistics() {
    try {
        platform::DeleteSetting(kSettingsApp, kStatisticsSection);
    } catch (const std::exception&) {
    }
}

}  // namespace zel::processor
