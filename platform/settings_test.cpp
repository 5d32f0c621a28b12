#include "platform/settings.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

#include "platform/error.h"
#include "platform/test_support.h"

using namespace zel::platform;
using zel::platform::testing::SandboxEnv;

TEST(Settings, SaveGetDeleteWithoutCaseInOneFilePerApplication) {
    SandboxEnv env;
    const std::string sec = "Distributor\\Settings\\Connection";
    EXPECT_EQ(GetSetting("Zel", sec, "Host", "dflt"), "dflt");
    SaveSetting("Zel", sec, "Host", "server1");
    SaveSetting("Zel", sec + "\\Statistics", "Item1-1", "5");
    SaveSetting("Zel", "Distributor\\Settings\\Other", "k", "v");
    SaveSetting("Corvel", "Connection", "Host", "other-app");
    EXPECT_EQ(GetSetting("Zel", "distributor\\settings\\connection", "HOST"), "server1");
    EXPECT_EQ(GetSetting("Corvel", "Connection", "Host"), "other-app");
    EXPECT_EQ(SettingsFilePath("Zel"), env.dir().path() + "/config/Zel/settings.ini");
    EXPECT_TRUE(env.dir().Exists("config/Zel/settings.ini"));

    DeleteSetting("Zel", sec + "\\Statistics");
    EXPECT_EQ(GetSetting("Zel", sec + "\\Statistics", "Item1-1", "0"), "0");
    EXPECT_EQ(GetSetting("Zel", sec, "Host"), "server1");
    EXPECT_EQ(GetSetting("Zel", "Distributor\\Settings\\Other", "k"), "v");

    SaveSetting("Zel", sec + "\\Statistics", "Item1-1", "7");
    DeleteSetting("Zel", sec);  // the section and what lies below it
    EXPECT_EQ(GetSetting("Zel", sec, "Host", "gone"), "gone");
    EXPECT_EQ(GetSetting("Zel", sec + "\\Statistics", "Item1-1", "gone"), "gone");
    EXPECT_EQ(GetSetting("Zel", "Distributor\\Settings\\Other", "k"), "v");
    DeleteSetting("Zel", "Never\\There");
    DeleteSetting("Zel", "Distributor\\Settings\\Other", "K");
    EXPECT_EQ(GetSetting("Zel", "Distributor\\Settings\\Other", "k", "none"), "none");
}

TEST(Settings, UnwritableStoreIsAnError) {
    SandboxEnv env;
    env.dir().Write("config/Blocked", "a file where the application folder should be");
    EXPECT_THROW(SaveSetting("Blocked", "S", "k", "v"), RuntimeError);
    EXPECT_EQ(GetSetting("Blocked", "S", "k", "d"), "d");
}

TEST(Settings, WritersInSeveralProcessesNeverLoseEachOthersKeys) {
    SandboxEnv env;
    constexpr int kProcs = 4, kKeys = 40;
    std::vector<pid_t> kids;
    for (int p = 0; p < kProcs; ++p) {
        pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (int k = 0; k < kKeys; ++k)
                SaveSetting("Zel", "S", "p" + std::to_string(p) + "k" + std::to_string(k), "1");
            ::_exit(0);
        }
        kids.push_back(pid);
    }
    for (pid_t pid : kids) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_EQ(WEXITSTATUS(status), 0);
    }
    for (int p = 0; p < kProcs; ++p)
        for (int k = 0; k < kKeys; ++k)
            EXPECT_EQ(GetSetting("Zel", "S", "p" + std::to_string(p) + "k" + std::to_string(k)),
                      "1");
}
