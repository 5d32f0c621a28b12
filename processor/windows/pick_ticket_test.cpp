#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QWidget>
#include <set>
#include <string>

#include "platform/error.h"
#include "platform/settings.h"
#include "processor/utilities.h"
#include "processor/windows/monitor_test_support.h"

namespace zel::processor {
namespace {

// --- Pick-ticket numbers -------------------------------------------------------------------------

class PickTicketTest : public testing::DulvanSandbox {
protected:
    static std::string Stored() {
        return platform::GetSetting(kSettingsApp, kSettingsSection, "PickTicketCounter", "<none>");
    }
    static void Store(const std::string& v) {
        platform::SaveSetting(kSettingsApp, kSettingsSection, "PickTicketCounter", v);
    }
};

TEST_F(PickTicketTest, HandsOutTheFieldValueAndAdvancesFieldAndStore) {
    Store("100");
    EXPECT_FALSE(SettingsController::Instance().IsLoaded());
    EXPECT_EQ(NextPickTicketNumber(), 100);  // loads the settings window first
    EXPECT_TRUE(SettingsController::Instance().IsLoaded());
    EXPECT_EQ(SettingsController::Instance().TicketCounter(), "101");
    EXPECT_EQ(Stored(), "101");
    EXPECT_EQ(NextPickTicketNumber(), 101);
    EXPECT_EQ(Stored(), "102");
}

TEST_F(PickTicketTest, TextThatIsNotANumberGivesZeroThenOne) {
    Store("x");
    EXPECT_EQ(NextPickTicketNumber(), 0);
    EXPECT_EQ(Stored(), "1");
    SettingsController::Instance().SetTicketCounter("  7.5 tickets");
    EXPECT_EQ(NextPickTicketNumber(), 8);  // halves to the even neighbour
    EXPECT_EQ(Stored(), "9");
}

TEST_F(PickTicketTest, NumbersOutsideThirtyTwoBitsRaiseOverflowAndChangeNothing) {
    Store("2147483647");
    try {
        NextPickTicketNumber();
        FAIL() << "no error";
    } catch (const platform::RuntimeError& e) {
        EXPECT_EQ(e.Number(), 6);
    }
    EXPECT_EQ(Stored(), "2147483647");
    SettingsController::Instance().SetTicketCounter("99999999999");
    EXPECT_THROW(NextPickTicketNumber(), platform::RuntimeError);
}

TEST_F(PickTicketTest, NoNumberTwiceAcrossUnloadsAndRestarts) {
    Store("500");
    std::set<std::int32_t> seen;
    for (int round = 0; round < 5; ++round) {
        for (int i = 0; i < 20; ++i) EXPECT_TRUE(seen.insert(NextPickTicketNumber()).second);
        // A restart of the program (and the settings window closed by its close box) start
        // again from what the store holds.
        SettingsController::Instance().Unload();
        ResetProgramState();
    }
    EXPECT_EQ(seen.size(), 100u);
    EXPECT_EQ(*seen.begin(), 500);
    EXPECT_EQ(*seen.rbegin(), 599);
}

TEST_F(PickTicketTest, AWindowLoadedBeforeAnotherInstanceDrewNumbersDoesNotRepeatThem) {
    Store("10");
    SettingsController::Instance().Load();  // this instance's window shows 10
    // Another instance sharing the store hands out 10 to 14 meanwhile.
    pid_t child = ::fork();
    if (child == 0) {
        for (int i = 10; i < 15; ++i)
            platform::SaveSetting(kSettingsApp, kSettingsSection, "PickTicketCounter",
                                  std::to_string(i + 1));
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(NextPickTicketNumber(), 15);
    EXPECT_EQ(Stored(), "16");
}

TEST_F(PickTicketTest, TwoProcessesDrawingAtOnceNeverShareANumber) {
    Store("1000");
    // Every process's window shows 1000 when the drawing starts.
    SettingsController::Instance().Load();
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    std::vector<pid_t> children;
    for (int p = 0; p < 4; ++p) {
        pid_t child = ::fork();
        if (child == 0) {
            ::close(fds[0]);
            for (int i = 0; i < 25; ++i) {
                std::int32_t n = NextPickTicketNumber();
                if (::write(fds[1], &n, sizeof n) != sizeof n) ::_exit(2);
            }
            ::_exit(0);
        }
        children.push_back(child);
    }
    ::close(fds[1]);
    std::multiset<std::int32_t> numbers;
    std::int32_t n;
    while (::read(fds[0], &n, sizeof n) == sizeof n) numbers.insert(n);
    ::close(fds[0]);
    for (pid_t c : children) ::waitpid(c, nullptr, 0);
    ASSERT_EQ(numbers.size(), 100u);
    EXPECT_EQ(std::set<std::int32_t>(numbers.begin(), numbers.end()).size(), 100u);
}

// --- The share test ----------------------------------------------------------------------------

TEST_F(PickTicketTest, CheckConnectionWithTheFolderPresentShowsNothing) {
    env.dir().MakeDirs("unc/HOST/QMRLINK/QMR1");
    gState.gHost = "HOST";
    gState.gDirectory = "1";
    bool shown = false;
    auto previous = ErrorController::SetViewFactory([&](ErrorController&) {
        shown = true;
        return std::unique_ptr<QWidget>();
    });
    CheckConnection();
    ErrorController::SetViewFactory(previous);
    EXPECT_FALSE(shown);
    EXPECT_EQ(ErrorController::Current(), nullptr);
}

}  // namespace
}  // namespace zel::processor
