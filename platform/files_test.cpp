#include "platform/files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>

#include "platform/error.h"
#include "platform/profile.h"
#include "platform/seams.h"
#include "platform/test_support.h"

using namespace zel::platform;
using zel::platform::testing::SandboxEnv;
using zel::platform::testing::ScopedEnv;

TEST(Files, CopyDeleteRenameAndMakeDirectory) {
    SandboxEnv env;
    env.dir().Write("unc/h/s/a.txt", "hello");
    env.dir().Write("unc/h/s/b.txt", "old contents that are longer");
    CopyFile("\\\\h\\s\\A.TXT", "\\\\h\\s\\b.txt");
    EXPECT_EQ(env.dir().Read("unc/h/s/b.txt"), "hello");
    try {
        CopyFile("\\\\h\\s\\missing", "\\\\h\\s\\c.txt");
        FAIL();
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.Number(), 53);
    }
    EXPECT_THROW(CopyFile("\\\\h\\s\\a.txt", "\\\\h\\s\\nodir\\c.txt"), RuntimeError);

    RenameFile("\\\\h\\s\\a.txt", "\\\\h\\s\\c.txt");
    EXPECT_FALSE(FileExists("\\\\h\\s\\a.txt"));
    EXPECT_TRUE(FileExists("\\\\h\\s\\C.txt"));
    EXPECT_THROW(RenameFile("\\\\h\\s\\c.txt", "\\\\h\\s\\b.txt"), RuntimeError);
    EXPECT_EQ(env.dir().Read("unc/h/s/b.txt"), "hello");
    RenameFile("\\\\h\\s\\c.txt", "\\\\h\\s\\b.txt", true);

    DeleteFile("\\\\h\\s\\B.TXT");
    EXPECT_FALSE(FileExists("\\\\h\\s\\b.txt"));
    EXPECT_THROW(DeleteFile("\\\\h\\s\\b.txt"), RuntimeError);
    EXPECT_TRUE(TryDeleteFile("\\\\h\\s\\b.txt"));

    MakeDirectory("\\\\h\\s\\NewDir");
    EXPECT_TRUE(FolderExists("\\\\h\\s\\newdir"));
    EXPECT_FALSE(FileExists("\\\\h\\s\\newdir"));
    EXPECT_THROW(MakeDirectory("\\\\h\\s\\newdir"), RuntimeError);
    EXPECT_THROW(MakeDirectory("\\\\h\\s\\a\\b\\c"), RuntimeError);
}

TEST(Files, ListingMatchesWildcardsWithoutCase) {
    SandboxEnv env;
    env.dir().Write("unc/h/DadAri/zeldist/ONE.REQ", "1");
    env.dir().Write("unc/h/DadAri/zeldist/two.req", "2");
    env.dir().Write("unc/h/DadAri/zeldist/two.req.a", "x");
    env.dir().Write("unc/h/DadAri/zeldist/three.req.~zel1-0", "x");
    env.dir().MakeDirs("unc/h/DadAri/zeldist/dir.req");
    auto names = ListDirectory("\\\\h\\dadari\\zeldist\\*.req");
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"ONE.REQ", "two.req"}));
    EXPECT_EQ(ListDirectory("\\\\h\\dadari\\zeldist\\t?o.*").size(), 2u);
    EXPECT_EQ(ListDirectory("\\\\h\\dadari\\zeldist\\*.req", true).size(), 3u);
    EXPECT_TRUE(ListDirectory("\\\\h\\missing\\*.req").empty());
    ScopedEnv unset("ZEL_UNC_ROOT", std::nullopt);
    EXPECT_TRUE(ListDirectory("\\\\h\\dadari\\zeldist\\*.req").empty());
    EXPECT_FALSE(FolderExists("\\\\h\\dadari"));
}

TEST(Files, StationAndProgramFacts) {
    SandboxEnv env;
    EXPECT_EQ(TempFolder(), "Z:" + [&] {
        std::string p = env.Temp();
        std::replace(p.begin(), p.end(), '/', '\\');
        return p;
    }() + "\\");
    {
        ScopedEnv name("COMPUTERNAME", "STATION7");
        EXPECT_EQ(ComputerName(), "STATION7");
    }
    std::string n = ComputerName();
    EXPECT_FALSE(n.empty());
    EXPECT_EQ(n.find('.'), std::string::npos);
    EXPECT_EQ(ProgramName(), "zel_platform_tests");
    EXPECT_EQ(ProgramPath().substr(0, 3), "Z:\\");
    EXPECT_TRUE(FolderExists(ProgramFolder()));
}

TEST(Seams, BoxesAndEndingAreReplaceable) {
    std::string seen;
    auto old = SetMsgBoxHandler([&](const MsgBoxRequest& r) {
        seen = r.text;
        return MsgResult::No;
    });
    EXPECT_EQ(MsgBox("Continue?", MsgButtons::YesNo), MsgResult::No);
    EXPECT_EQ(seen, "Continue?");
    SetMsgBoxHandler(old);
    // Without a display the default box answers its first button instead of waiting.
    EXPECT_EQ(MsgBox("unattended", MsgButtons::RetryCancel), MsgResult::Retry);

    ScopedEndProgramThrows ends;
    try {
        EndProgram(3);
        FAIL();
    } catch (const ProgramEnded& e) {
        EXPECT_EQ(e.code, 3);
    }
}

TEST(Files, WritesPassOverTemporaryNamesLeftByAnEarlierProcessWithOurNumber) {
    SandboxEnv env;
    env.dir().Write("unc/h/s/a.req", "[S]\r\nk=1\r\n");
    const std::string pid = std::to_string(::getpid());
    for (int n = 0; n < 500; ++n) {
        env.dir().Write("unc/h/s/a.req.a.~zel" + pid + "-" + std::to_string(n), "left over");
        env.dir().Write("unc/h/s/a.req.1.~zel" + pid + "-" + std::to_string(n), "left over");
    }
    ASSERT_TRUE(WriteProfileString("S", "k", "2", "\\\\h\\s\\a.req.a"));
    CopyFile("\\\\h\\s\\a.req.a", "\\\\h\\s\\a.req.1");
    EXPECT_EQ(env.dir().Read("unc/h/s/a.req.1"), "[S]\r\nk=2\r\n");
}

TEST(Files, DocumentsWithNamesNearTheLongestAllowedCanBeWritten) {
    SandboxEnv env;
    const std::string stem(240, 'n');
    env.dir().Write("unc/h/s/" + stem + ".req", "[S]\r\nk=1\r\n");
    const std::string request = "\\\\h\\s\\" + stem + ".req";
    ASSERT_TRUE(WriteProfileString("S", "k", "2", request + ".a"));
    CopyFile(request + ".a", request + ".1");
    WriteWholeFile(request + ".2", "x");
    EXPECT_EQ(env.dir().Read("unc/h/s/" + stem + ".req.1"), "[S]\r\nk=2\r\n");
    // Nothing but the documents is left beside them.
    EXPECT_EQ(ListDirectory("\\\\h\\s\\*").size(), 4u);
}
