#include "platform/paths.h"

#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/test_support.h"

using namespace zel::platform;
using zel::platform::testing::SandboxEnv;
using zel::platform::testing::ScopedEnv;

TEST(Paths, UncDriveAndNativeForms) {
    SandboxEnv env;
    EXPECT_EQ(NativePath("\\\\HOST\\Share\\a\\b.txt"), env.UncRoot() + "/HOST/Share/a/b.txt");
    EXPECT_EQ(NativePath("//HOST/Share/x"), env.UncRoot() + "/HOST/Share/x");
    EXPECT_EQ(NativePath("Z:\\etc\\hosts"), "/etc/hosts");
    EXPECT_EQ(NativePath("z:/etc"), "/etc");
    EXPECT_EQ(NativePath("/etc/hosts"), "/etc/hosts");
}

TEST(Paths, ExistingComponentsMatchWithoutCaseNewOnesKeepSpelling) {
    SandboxEnv env;
    env.dir().MakeDirs("unc/host/DadAri/zeldist");
    env.dir().Write("unc/host/DadAri/zeldist/Order1.REQ", "x");
    EXPECT_EQ(NativePath("\\\\HOST\\dadari\\ZELDIST\\order1.req"),
              env.UncRoot() + "/host/DadAri/zeldist/Order1.REQ");
    EXPECT_EQ(NativePath("\\\\host\\dadari\\zeldist\\New.Req"),
              env.UncRoot() + "/host/DadAri/zeldist/New.Req");
    EXPECT_EQ(NativePath("\\\\host\\dadari\\NewDir\\Sub"), env.UncRoot() + "/host/DadAri/NewDir/Sub");
}

TEST(Paths, DotDotNeverClimbsAboveTheShareRoot) {
    SandboxEnv env;
    EXPECT_EQ(NativePath("\\\\host\\..\\..\\etc\\passwd"), env.UncRoot() + "/etc/passwd");
    EXPECT_EQ(NativePath("\\\\host\\a\\.\\b\\..\\c"), env.UncRoot() + "/host/a/c");
}

TEST(Paths, UnmappablePathsAreClearErrors) {
    ScopedEnv unset("ZEL_UNC_ROOT", std::nullopt);
    try {
        NativePath("\\\\host\\share\\x");
        FAIL() << "expected an error";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.Number(), 76);
        EXPECT_NE(e.Description().find("ZEL_UNC_ROOT"), std::string::npos);
    }
    EXPECT_THROW(NativePath(""), RuntimeError);
    EXPECT_THROW(NativePath("Q:\\x"), RuntimeError);
    ScopedEnv q("ZEL_DRIVE_Q", "/srv/q");
    EXPECT_EQ(NativePath("q:\\x"), "/srv/q/x");
}

TEST(Paths, WindowsFormRoundTripsAndPartsSplit) {
    SandboxEnv env;
    EXPECT_EQ(WindowsPath(env.UncRoot() + "/host/DadAri"), "\\\\host\\DadAri");
    EXPECT_EQ(WindowsPath("/usr/bin/x"), "Z:\\usr\\bin\\x");
    EXPECT_EQ(NativePath(WindowsPath("/usr/bin")), "/usr/bin");
    EXPECT_EQ(FileNamePart("\\\\h\\s\\a.req"), "a.req");
    EXPECT_EQ(FolderPart("\\\\h\\s\\a.req"), "\\\\h\\s");
    EXPECT_EQ(JoinPath("C:\\x\\", "y"), "C:\\x\\y");
    EXPECT_EQ(JoinPath("C:\\x", "y"), "C:\\x\\y");
}
