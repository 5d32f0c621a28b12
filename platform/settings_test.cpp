#include "platform/settings.h"

#include <gtest/gtest.h>

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
