#include "processor/statistics.h"

#include <gtest/gtest.h>

#include <chrono>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/profile.h"
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
    EXPECT_EQ(pf::GetSetting("Zel", "Distributor\\Settings\\Connection\\Statistics", "Item1-1"),
              "6");
}

// A damaged counter used to end the program at every request; it now counts from 0 again.
TEST(Statistics, BadOrFullStoredValueCountsFromZero) {
    pf::testing::SandboxEnv env;
    pf::SaveSetting(kSettingsApp, kStatisticsSection, "Item1-2", "lots");
    pf::SaveSetting(kSettingsApp, kStatisticsSection, "Item1-3", "2147483647");
    pf::SaveSetting(kSettingsApp, kStatisticsSection, "Item1-4", "1e300");
    EXPECT_EQ(ErrorNumber("Item1-2"), 0);
    EXPECT_EQ(ErrorNumber("Item1-3"), 0);
    BumpStatistic("Item1-4", 7);
    EXPECT_EQ(ReadStatistic("Item1-2"), "1");
    EXPECT_EQ(ReadStatistic("Item1-3"), "1");
    EXPECT_EQ(ReadStatistic("Item1-4"), "7");
    // The same inside a request.
    pf::SaveSetting(kSettingsApp, kStatisticsSection, "Item2-2", "x");
    BeginStatistics();
    BumpStatistic("Item2-2", 2);
    BumpStatistic("Item2-2", 2);
    SaveStatistics();
    EXPECT_EQ(ReadStatistic("Item2-2"), "4");
}

// During a request the counters are bumped in memory and saved once, in one write, onto what is
// stored then, so a Reset before it is never undone.
TEST(Statistics, ARequestsBumpsAreSavedOnceAtItsEnd) {
    pf::testing::SandboxEnv env;
    BumpStatistic("Item1-1", 10);
    ResetStatistics();  // the monitor's Reset, between two requests
    BeginStatistics();
    for (int i = 0; i < 100; ++i) BumpStatistic("item1-3");
    BumpStatistic("Item1-1");
    EXPECT_EQ(ReadStatistic("Item1-3"), "0");  // nothing stored yet
    const std::string store = pf::SettingsFilePath(kSettingsApp);
    SaveStatistics();
    EXPECT_EQ(ReadStatistic("Item1-3"), "100");
    EXPECT_EQ(ReadStatistic("Item1-1"), "1");
    EXPECT_EQ(ReadStatistics(), (std::vector<std::string>{"1", "0", "100", "0", "0", "0", "0", "0",
                                                          "0", "0", "0", "0"}));
    // The keys are stored as the monitor names them.
    EXPECT_EQ(pf::GetProfileSectionLines(kStatisticsSection, store),
              (std::vector<std::string>{"Item1-1=1", "Item1-3=100"}));
    // A request that bumps nothing writes nothing; after it, bumps go to the store at once.
    BeginStatistics();
    SaveStatistics();
    BumpStatistic("Item2-1");
    EXPECT_EQ(ReadStatistic("Item2-1"), "1");
}

// Another instance sharing the store counts its own requests meanwhile: neither's counts are
// lost when this request's are saved.
TEST(Statistics, CountsOfAnotherInstanceDuringARequestAreKept) {
    pf::testing::SandboxEnv env;
    BumpStatistic("Item1-1", 3);
    BeginStatistics();
    BumpStatistic("Item1-1");
    BumpStatistic("Item1-2", 8);
    pf::SaveSetting(kSettingsApp, kStatisticsSection, "Item1-1", "4");  // the other one's query
    pf::SaveSetting(kSettingsApp, kStatisticsSection, "Item1-2", "2");
    SaveStatistics();
    EXPECT_EQ(ReadStatistic("Item1-1"), "5");
    EXPECT_EQ(ReadStatistic("Item1-2"), "10");
}

// Another instance's save holds the counter lock from its read of the counts to its write of
// them; a Reset in between would be written over, so a Reset waits for that lock as well.
TEST(Statistics, AResetDoesNotGoBetweenTheReadAndWriteOfASave) {
    pf::testing::SandboxEnv env;
    BumpStatistic("Item1-1", 5);
    {
        pf::ScopedFileLock save(pf::SettingsFilePath(kSettingsApp) + kCounterLockEnding);
        const auto wait = pf::SetSettingsLockWait(std::chrono::milliseconds(1));
        ResetStatistics();
        pf::SetSettingsLockWait(wait);
        EXPECT_EQ(ReadStatistic("Item1-1"), "5");
    }
    ResetStatistics();
    EXPECT_EQ(ReadStatistic("Item1-1"), "0");
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
