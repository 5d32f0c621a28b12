#include "platform/folder_index.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/test_support.h"

using namespace zel::platform;
using zel::platform::testing::SandboxEnv;

namespace {

// A file made behind the platform's back, as another program would make it.
void Touch(const std::string& native) {
    const int fd = ::open(native.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0) << native;
    ::close(fd);
}

std::string Name(const std::string& windowsPath) { return FileNamePart(NativePath(windowsPath)); }

}  // namespace

// The index never hides a name another writer made or removed: a new file is never given a
// second name that differs from an existing one only in case.
TEST(FolderIndex, NamesMadeOrRemovedByOthersAreSeenAtOnce) {
    SandboxEnv env;
    const std::string dir = env.dir().MakeDirs("unc/h/s");
    EXPECT_EQ(Name("\\\\h\\s\\new.txt"), "new.txt");  // the folder is indexed now
    Touch(dir + "/NEW.TXT");
    EXPECT_EQ(Name("\\\\h\\s\\new.txt"), "NEW.TXT");
    WriteWholeFile("\\\\h\\s\\new.txt", "x");  // the existing name is written, no second one
    EXPECT_EQ(env.dir().Read("unc/h/s/NEW.TXT"), "x");
    EXPECT_FALSE(env.dir().Exists("unc/h/s/new.txt"));

    Touch(dir + "/New.txt");  // two names of one fold, possible here
    std::remove((dir + "/NEW.TXT").c_str());
    EXPECT_EQ(Name("\\\\h\\s\\new.txt"), "New.txt");
    std::filesystem::rename(dir + "/New.txt", dir + "/Other.TXT");
    EXPECT_EQ(Name("\\\\h\\s\\new.txt"), "new.txt");
    EXPECT_EQ(Name("\\\\h\\s\\other.txt"), "Other.TXT");

    // A folder removed and made again under another case.
    std::filesystem::remove_all(dir);
    env.dir().MakeDirs("unc/h/S");
    Touch(env.dir().path() + "/unc/h/S/Again.txt");
    EXPECT_EQ(NativePath("\\\\h\\s\\again.txt"), env.UncRoot() + "/h/S/Again.txt");

    // Another process's changes, and its own look-ups, are right too.
    const pid_t child = ::fork();
    if (child == 0) {
        const bool seen = NativePath("\\\\h\\s\\again.txt") == env.UncRoot() + "/h/S/Again.txt";
        Touch(env.dir().path() + "/unc/h/S/FROM-CHILD.txt");
        ::_exit(seen ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(Name("\\\\h\\s\\from-child.txt"), "FROM-CHILD.txt");
    EXPECT_EQ(Name("\\\\h\\s\\again.txt"), "Again.txt");
}

// Look-ups of names a large folder does not hold (every new file's name) list the folder once,
// not once each.
TEST(FolderIndex, LookUpsInALargeFolderListItOnce) {
    SandboxEnv env;
    const std::string dir = env.dir().MakeDirs("unc/h/DadAri/ZelArchive");
    for (int i = 0; i < 5000; ++i) Touch(dir + "/" + std::to_string(i) + ".REQ");
    EXPECT_EQ(Name("\\\\h\\dadari\\zelarchive\\0.req"), "0.REQ");
    const std::size_t before = detail::FolderListings();
    for (int i = 0; i < 1000; ++i) {
        EXPECT_EQ(Name("\\\\h\\dadari\\zelarchive\\new" + std::to_string(i) + ".req"),
                  "new" + std::to_string(i) + ".req");
        EXPECT_EQ(Name("\\\\h\\dadari\\zelarchive\\" + std::to_string(i) + ".req"),
                  std::to_string(i) + ".REQ");
        if (i % 100 == 0) Touch(dir + "/X" + std::to_string(i) + ".LOG");
    }
    EXPECT_EQ(detail::FolderListings(), before);
    EXPECT_EQ(Name("\\\\h\\dadari\\zelarchive\\x500.log"), "X500.LOG");
}

// A folder that only grows with the lower-case names the programs write (the archive) costs no
// memory however many it holds, and its names are still found in any case, as are the few that
// others gave capitals.
TEST(FolderIndex, AFolderOfLowerCaseNamesHoldsNoneOfThem) {
    SandboxEnv env;
    const std::string dir = env.dir().MakeDirs("unc/h/s/archive");
    for (int i = 0; i < 5000; ++i) Touch(dir + "/" + std::to_string(i) + ".req");
    Touch(dir + "/Mixed.Req");
    Touch(dir + "/UPPER.LOG");
    const std::size_t before = detail::IndexedNames();
    EXPECT_EQ(Name("\\\\h\\s\\archive\\4999.REQ"), "4999.req");
    EXPECT_EQ(Name("\\\\h\\s\\archive\\mixed.req"), "Mixed.Req");
    for (int i = 0; i < 200; ++i)
        WriteWholeFile("\\\\h\\s\\archive\\new" + std::to_string(i) + ".req", "x");
    EXPECT_EQ(Name("\\\\h\\s\\archive\\NEW199.req"), "new199.req");
    EXPECT_EQ(detail::IndexedNames(), before + 2);

    Touch(dir + "/Other.TXT");
    std::remove((dir + "/UPPER.LOG").c_str());
    EXPECT_EQ(Name("\\\\h\\s\\archive\\other.txt"), "Other.TXT");
    EXPECT_EQ(Name("\\\\h\\s\\archive\\upper.log"), "upper.log");
    EXPECT_EQ(detail::IndexedNames(), before + 2);
}
