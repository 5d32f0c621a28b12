#include "processor/utilities.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <string>
#include <utility>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/settings.h"
#include "platform/test_support.h"
#include "processor/globals.h"
#include "processor/hooks.h"
#include "processor/request_documents.h"

namespace zel::processor {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

std::string Padded(const std::string& s) {
    return s + std::string(kWrappedLineWidth - s.size(), ' ');
}

// --- Emergency message lines ------------------------------------------------------------------

TEST(WrapEmergencyMessage, CutsAtTheLastSpaceUnlessTheNextCharacterIsOne) {
    EmergencyRemarks remarks;
    gState.gEmergencyMessage = std::string(36, 'A');
    remarks = WrapEmergencyMessage();
    EXPECT_EQ(remarks.count, 1);
    EXPECT_EQ(remarks.wrappedLines[1], std::string(36, 'A'));

    gState.gEmergencyMessage = std::string(37, 'B');
    remarks = WrapEmergencyMessage();
    EXPECT_EQ(remarks.count, 2);
    EXPECT_EQ(remarks.wrappedLines[1], std::string(36, 'B'));
    EXPECT_EQ(remarks.wrappedLines[2], Padded("B"));

    // Last space within the first 36 at position 30, character 37 a letter.
    std::string first = std::string(29, 'C') + " ";
    gState.gEmergencyMessage = first + std::string(10, 'D');
    remarks = WrapEmergencyMessage();
    EXPECT_EQ(remarks.count, 2);
    EXPECT_EQ(remarks.wrappedLines[1], Padded(first));
    EXPECT_EQ(remarks.wrappedLines[2], Padded(std::string(10, 'D')));

    // Character 37 a space: a full first line, and the second begins with that space.
    gState.gEmergencyMessage = "RUSH ORDER " + std::string(25, 'E') + " CALL";
    remarks = WrapEmergencyMessage();
    EXPECT_EQ(remarks.count, 2);
    EXPECT_EQ(remarks.wrappedLines[1], "RUSH ORDER " + std::string(25, 'E'));
    EXPECT_EQ(remarks.wrappedLines[2], Padded(" CALL"));
}

TEST(WrapEmergencyMessage, ClearsOldLinesAndKeepsTwentyAtMost) {
    EmergencyRemarks remarks;
    gState.gEmergencyMessage = std::string(36 * 3, 'X');
    remarks = WrapEmergencyMessage();
    EXPECT_EQ(remarks.count, 3);
    gState.gEmergencyMessage = "SHORT";
    remarks = WrapEmergencyMessage();
    EXPECT_EQ(remarks.count, 1);
    EXPECT_EQ(remarks.wrappedLines[2], std::string(36, ' '));
    EXPECT_EQ(remarks.wrappedLines[3], std::string(36, ' '));

    gState.gEmergencyMessage = std::string(36 * 25, 'Y');
    remarks = WrapEmergencyMessage();
    EXPECT_EQ(remarks.count, 20);
    EXPECT_EQ(remarks.wrappedLines[20], std::string(36, 'Y'));

    gState.gEmergencyMessage.clear();
    remarks = WrapEmergencyMessage();
    EXPECT_EQ(remarks.count, 0);
    EXPECT_EQ(remarks.wrappedLines[1], std::string(36, ' '));
}

TEST(WrapEmergencyMessage, ALeadingSpaceAloneStillMakesProgress) {
    EmergencyRemarks remarks;
    gState.gEmergencyMessage = " " + std::string(40, 'Z');
    remarks = WrapEmergencyMessage();
    EXPECT_EQ(remarks.count, 3);
    EXPECT_EQ(remarks.wrappedLines[1], Padded(" "));
    EXPECT_EQ(remarks.wrappedLines[2], std::string(36, 'Z'));
    EXPECT_EQ(remarks.wrappedLines[3], Padded("ZZZZ"));
}

// --- Units of measure, digits, numbers ---------------------------------------------------------

TEST(UnitOfMeasureText, WholeCodeComparedWithCase) {
    EXPECT_EQ(UnitOfMeasureText(" "), "Each");
    EXPECT_EQ(UnitOfMeasureText("A"), "gallon");
    EXPECT_EQ(UnitOfMeasureText("V"), "Sleve of Pounds");
    EXPECT_EQ(UnitOfMeasureText("2"), "Can of Pounds");
    EXPECT_EQ(UnitOfMeasureText("M"), "Can of Pounds");
    EXPECT_EQ(UnitOfMeasureText("5"), "Can of Gallons");
    for (const char* none : {"3", "4", "6", "7", "8", "9", "a", "m", "", "AA", "  "})
        EXPECT_EQ(UnitOfMeasureText(none), "") << '"' << none << '"';
}

// --- Without windows ----------------------------------------------------------------------------

class NoWindowsTest : public ::testing::Test {
protected:
    void SetUp() override { saved_ = std::exchange(gWindowHooks, WindowHooks{}); }
    void TearDown() override { gWindowHooks = saved_; }
    static std::string Stored() {
        return platform::GetSetting(kSettingsApp, kSettingsSection, "PickTicketCounter", "<none>");
    }
    platform::testing::SandboxEnv env;

private:
    WindowHooks saved_;
};

TEST_F(NoWindowsTest, PickTicketNumbersComeFromTheStoredCounter) {
    platform::SaveSetting(kSettingsApp, kSettingsSection, "PickTicketCounter", "41.5");
    EXPECT_EQ(NextPickTicketNumber(), 42);
    EXPECT_EQ(Stored(), "43");
    EXPECT_EQ(NextPickTicketNumber(), 43);
    platform::SaveSetting(kSettingsApp, kSettingsSection, "PickTicketCounter", "2147483647");
    EXPECT_THROW(NextPickTicketNumber(), platform::RuntimeError);
    EXPECT_EQ(Stored(), "2147483647");
}

// Links planted under the store's lock names are replaced by lock files of our own; a lock that
// cannot be had stops the draw before any number moves.
TEST_F(NoWindowsTest, PickTicketNumbersAreDrawnOnlyUnderTheLocks) {
    platform::SaveSetting(kSettingsApp, kSettingsSection, "PickTicketCounter", "7");
    const std::string store = platform::SettingsFilePath(kSettingsApp);
    const std::string nowhere = env.dir().path() + "/nowhere";
    for (const char* lock : {".lock", ".counter-lock"}) {
        ::unlink((store + lock).c_str());
        ASSERT_EQ(::symlink(nowhere.c_str(), (store + lock).c_str()), 0);
    }
    EXPECT_EQ(NextPickTicketNumber(), 7);
    EXPECT_EQ(Stored(), "8");
    for (const char* lock : {".lock", ".counter-lock"}) {
        struct stat st {};
        ASSERT_EQ(::lstat((store + lock).c_str(), &st), 0) << lock;
        EXPECT_TRUE(S_ISREG(st.st_mode)) << lock;
    }
    EXPECT_FALSE(env.dir().Exists("nowhere"));

    ASSERT_EQ(::unlink((store + ".counter-lock").c_str()), 0);
    ASSERT_EQ(::mkdir((store + ".counter-lock").c_str(), 0700), 0);
    EXPECT_THROW(NextPickTicketNumber(), platform::RuntimeError);
    EXPECT_EQ(Stored(), "8");
}

// An instance stopped while it holds one of the store's locks: the draw of another fails after
// the store's wait, naming the lock, and moves nothing.
TEST_F(NoWindowsTest, ALockHolderThatNeverLetsGoFailsTheDrawNamingTheLock) {
    platform::SaveSetting(kSettingsApp, kSettingsSection, "PickTicketCounter", "7");
    const std::string store = platform::SettingsFilePath(kSettingsApp);
    const auto wait = platform::SetSettingsLockWait(std::chrono::milliseconds(1));
    for (const std::string& lock : {store + ".lock", store + kCounterLockEnding}) {
        int held[2];
        ASSERT_EQ(::pipe(held), 0);
        const pid_t holder = ::fork();
        ASSERT_GE(holder, 0);
        if (holder == 0) {
            platform::ScopedFileLock hold(lock);
            if (::write(held[1], "x", 1) != 1) ::_exit(1);
            ::raise(SIGSTOP);
            for (;;) ::pause();
        }
        ::close(held[1]);
        char x = 0;
        ASSERT_EQ(::read(held[0], &x, 1), 1);
        ::close(held[0]);
        try {
            NextPickTicketNumber();
            ADD_FAILURE() << "no error with " << lock << " held";
        } catch (const platform::RuntimeError& e) {
            EXPECT_EQ(e.Number(), platform::err::kPermissionDenied);
            EXPECT_THAT(e.Description(), HasSubstr(lock + " held by another program"));
        }
        ::kill(holder, SIGKILL);
        ::waitpid(holder, nullptr, 0);
        EXPECT_EQ(Stored(), "7");
    }
    platform::SetSettingsLockWait(wait);
    EXPECT_EQ(NextPickTicketNumber(), 7);
}

TEST_F(NoWindowsTest, AShareThatDoesNotAnswerShowsNothingAndTheMonitorFieldsAreEmpty) {
    gState.gHost = "NOSUCHHOST";
    gState.gDirectory = "1";
    CheckConnection();  // returns at once: there is no window to show
    gState.gHost.clear();
    gState.gDirectory.clear();
    EXPECT_EQ(MonitorDirectoryText(), "");
    SetMonitorProgress("1", "2");
}

}  // namespace
}  // namespace zel::processor
