#include "processor/statistics.h"

#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/settings.h"
#include "platform/test_support.h"
#include "processor/globals.h"

namespace zel::processor {
namespace {

namespace pf = zel::platform;

int ErrorNumber(const std::string& key) {
    try {
        BumpStatistic(key);
    } catch (const pf::RuntimeError& e) {
        return e.Number();
    }
    return 0;
}

TEST(Statistics, CountersGoUpFromStoredText) {
    pf::testing::SandboxEnv env;
    BumpStatistic("Item1-1");
    BumpStatistic("Item1-1", 5);
    BumpStatistic("Item2-2", 3);
    EXPECT_EQ(ReadStatistic("Item1-1"), "6");
    EXPECT_EQ(ReadStatistic("item2-2"), "3");
    EXPECT_EQ(ReadStatistic("Item1-3"), "0");
    EXPECT_EQ(pf::GetSetting("Zel", "Distributor\\Settings\\Connection\\Statistics", "Item1-1"), "6");
}

TEST(Statistics, BadStoredValueRaisesAndStays) {
    pf::testing::SandboxEnv env;
    pf::SaveSetting(kSettingsApp, kStatisticsSection, "Item1-2", "lots");
    pf::SaveSetting(kSettingsApp, kStatisticsSection, "Item1-3", "2147483647");
    EXPECT_EQ(ErrorNumber("Item1-2"), 13);
    EXPECT_EQ(ErrorNumber("Item1-3"), 6);
    EXPECT_EQ(ReadStatistic("Item1-2"), "lots");
    EXPECT_EQ(ReadStatistic("Item1-3"), "2147483647");
}

TEST(Statistics, ResetClearsCountersOnly) {
    pf::testing::SandboxEnv env;
    ResetStatistics();  // nothing stored yet
    pf::SaveSetting(kSettingsApp, kSettingsSection, "Logging", "1");
    BumpStatistic("Item2-1");
    ResetStatistics();
    EXPECT_EQ(ReadStatistic("Item2-1"), "0");
    EXPECT_EQ(pf::GetSetting(kSettingsApp, kSettingsSection, "Logging"), "1");
}

}  // namespace
}  // namespace zel::processor
