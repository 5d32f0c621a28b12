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
    EXPECT_EQ(NativePath("\\\\host\\dadari\\NewDir\\Sub"),
              env.UncRoot() + "/host/DadAri/NewDir/Sub");
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

TEST(Paths, LastComponentLosesTrailingBlanksAndPeriodsAsOnWindows) {
    SandboxEnv env;
    env.dir().Write("unc/host/QMRLINK/DB/PARTIAB", "x");
    // A one- or two-character line code leaves blanks at the end of a database name.
    EXPECT_EQ(NativePath("\\\\HOST\\QMRLINK\\DB\\PARTIAB "),
              env.UncRoot() + "/host/QMRLINK/DB/PARTIAB");
    EXPECT_EQ(NativePath("\\\\host\\qmrlink\\db\\partiab. . "),
              env.UncRoot() + "/host/QMRLINK/DB/PARTIAB");
    EXPECT_EQ(NativePath("\\\\host\\new\\name..."), env.UncRoot() + "/host/new/name");
    EXPECT_EQ(NativePath("Z:\\tmp\\x  "), "/tmp/x");
    // Only the last component, and not when the path ends in a separator.
    EXPECT_EQ(NativePath("\\\\host\\dir \\x"), env.UncRoot() + "/host/dir /x");
    EXPECT_EQ(NativePath("\\\\host\\dir \\"), env.UncRoot() + "/host/dir ");
    // "." and ".." keep their meaning; a last component of periods and blanks names its folder.
    EXPECT_EQ(NativePath("\\\\host\\a\\b\\.."), env.UncRoot() + "/host/a");
    EXPECT_EQ(NativePath("\\\\host\\a\\ . "), env.UncRoot() + "/host/a");
    // Native paths are the file system's own and are left as they are.
    EXPECT_EQ(NativePath("/tmp/x "), "/tmp/x ");
    EXPECT_THROW(NativePath(" . "), RuntimeError);
}

TEST(Paths, SearchingAFolderWithoutDescriptorsIsTooManyFilesNotAMissingName) {
    SandboxEnv env;
    env.dir().Write("unc/host/Share/File.Txt", "x");
    zel::platform::testing::DescriptorsExhausted exhausted;
    try {
        NativePath("\\\\host\\share\\file.txt");  // needs a folder listing to match the case
        FAIL() << "expected error 67";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.Number(), 67);
        EXPECT_EQ(e.Description(), "Too many files");
    }
    // The exact spelling needs no listing.
    EXPECT_EQ(NativePath("\\\\host\\Share\\File.Txt"), env.UncRoot() + "/host/Share/File.Txt");
}

// The extension is that of the last component only; a dot in a folder name is not one.
TEST(FileExt, OnlyTheLastComponentHasAnExtension) {
    EXPECT_EQ(ChangeFileExt("X:\\in.box\\123.req", ".err"), "X:\\in.box\\123.err");
    EXPECT_EQ(ChangeFileExt("\\\\h\\s.1\\doc", ".err"), "\\\\h\\s.1\\doc.err");
    EXPECT_EQ(ChangeFileExt("/tmp/a.b/c", ".INI"), "/tmp/a.b/c.INI");
    EXPECT_EQ(ExtractFileExt("Z:\\a.b\\c"), "");
    EXPECT_EQ(ExtractFileExt("Z:\\a\\c.tar.gz"), ".gz");
}

TEST(Paths, ExpandFileNameResolvesAgainstTheBaseWithoutClimbingAboveItsRoot) {
    EXPECT_EQ(ExpandFileName("in\\..\\out\\", "C:\\zel\\agent"), "C:\\zel\\agent\\out\\");
    EXPECT_EQ(ExpandFileName("\\top", "\\\\host\\share\\a\\b"), "\\\\host\\share\\top");
    EXPECT_EQ(ExpandFileName("..\\..\\..\\x", "\\\\host\\share\\a"), "\\\\host\\share\\x");
    EXPECT_EQ(ExpandFileName("D:\\a\\.\\b", "C:\\zel"), "D:\\a\\b");
    EXPECT_TRUE(IsAbsolutePath("\\\\h\\s"));
    EXPECT_TRUE(IsAbsolutePath("C:\\x"));
    EXPECT_FALSE(IsAbsolutePath("C:x"));
    EXPECT_FALSE(IsAbsolutePath("rel\\x"));
    EXPECT_EQ(IncludeTrailingBackslash("C:\\a"), "C:\\a\\");
    EXPECT_EQ(IncludeTrailingBackslash("C:\\a\\"), "C:\\a\\");
}
