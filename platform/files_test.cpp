#include "platform/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>

#include "platform/atomic_file.h"
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
    // A name ending in blanks lists the file Windows would open under it.
    EXPECT_EQ(ListDirectory("\\\\h\\dadari\\zeldist\\one.req  "),
              (std::vector<std::string>{"ONE.REQ"}));
    ScopedEnv unset("ZEL_UNC_ROOT", std::nullopt);
    EXPECT_TRUE(ListDirectory("\\\\h\\dadari\\zeldist\\*.req").empty());
    EXPECT_FALSE(FolderExists("\\\\h\\dadari"));
}

TEST(Files, StationAndProgramFacts) {
    SandboxEnv env;
    EXPECT_EQ(
        TempFolder(), "Z:" + [&] {
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
    const std::string tail = detail::TemporaryTagOfThisProgram() + std::to_string(::getpid()) + "-";
    for (int n = 0; n < 500; ++n) {
        env.dir().Write("unc/h/s/a.req.a" + tail + std::to_string(n), "left over");
        env.dir().Write("unc/h/s/a.req.1" + tail + std::to_string(n), "left over");
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

namespace {

// The number of a process that has ended.
pid_t EndedProcess() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

}  // namespace

TEST(Files, StartUpRemovesOnlyThisProgramsOwnLeftoversOfEndedRuns) {
    SandboxEnv env;
    const std::string tag = detail::TemporaryTagOfThisProgram();
    const std::string dead = std::to_string(EndedProcess());
    const std::string parent = std::to_string(::getppid());
    const std::string dir = "unc/h/DadAri/zeldist/";
    const std::vector<std::string> gone = {
        "a.req.a" + tag + dead + "-0", "a.req.1" + tag + dead + "-17",
        "b.req.b" + tag + std::to_string(::getpid()) + "-3",  // an earlier run with our number
    };
    const std::vector<std::string> kept = {
        "a.req",
        "c.req.a" + tag + parent + "-0",  // its writer still runs
        "d.req.~zel-OTHERPROGRAM@" + ComputerName() + "-" + dead + "-0",
        "e.req" + tag.substr(0, tag.size() - 1) + "X-" + dead + "-0",  // another host
        "f.req.~zel" + dead + "-0",                                    // no program or host
        "g.req" + tag + dead + "-0x",
        "h.req" + tag + dead,
    };
    for (const auto& name : gone) env.dir().Write(dir + name, "x");
    for (const auto& name : kept) env.dir().Write(dir + name, "x");
    env.dir().MakeDirs(dir + "i" + tag + dead + "-0");  // a folder is nobody's temporary file

    EXPECT_EQ(RemoveOwnLeftovers("\\\\h\\dadari\\zeldist"), static_cast<int>(gone.size()));
    for (const auto& name : gone) EXPECT_FALSE(env.dir().Exists(dir + name)) << name;
    for (const auto& name : kept) EXPECT_TRUE(env.dir().Exists(dir + name)) << name;
    EXPECT_EQ(RemoveOwnLeftovers("\\\\h\\dadari\\missing"), 0);
}

// Two machines of one host name share the folder: the other's writer has a process number
// that means nothing here, and only its hold on the file tells that it is still being written.
TEST(Files, StartUpLeavesATemporaryItsLiveWriterHolds) {
    SandboxEnv env;
    const std::string name =
        "a.req.1" + detail::TemporaryTagOfThisProgram() + std::to_string(EndedProcess()) + "-0";
    const std::string path = env.dir().Write("unc/h/DadAri/zeldist/" + name, "half");
    const int writer = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    ASSERT_TRUE(detail::HoldTemporary(writer, path));
    EXPECT_EQ(RemoveOwnLeftovers("\\\\h\\dadari\\zeldist"), 0);
    EXPECT_TRUE(env.dir().Exists("unc/h/DadAri/zeldist/" + name));
    ::close(writer);
    EXPECT_EQ(RemoveOwnLeftovers("\\\\h\\dadari\\zeldist"), 1);
    EXPECT_FALSE(env.dir().Exists("unc/h/DadAri/zeldist/" + name));
}

TEST(Files, TemporaryNamesCarryProgramHostAndProcess) {
    const std::string tail = detail::TemporaryTail();
    EXPECT_EQ(tail.rfind(".~zel-" + ProgramName() + "@" + ComputerName() + "-" +
                             std::to_string(::getpid()) + "-",
                         0),
              0u)
        << tail;
    EXPECT_NE(detail::TemporaryTail(), tail);
}

TEST(Files, OnlyRegularFilesAreReadAsDocuments) {
    SandboxEnv env;
    const std::string fifo = env.dir().path() + "/unc/h/s/pipe.req";
    env.dir().MakeDirs("unc/h/s");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Without a writer a FIFO would hold the reader for ever; it is refused at once.
    EXPECT_THROW(ReadWholeFile("\\\\h\\s\\pipe.req"), RuntimeError);
    EXPECT_THROW(CopyFile("\\\\h\\s\\pipe.req", "\\\\h\\s\\copy.req"), RuntimeError);
    EXPECT_EQ(GetProfileString("S", "k", "default", 100, "\\\\h\\s\\pipe.req"), "default");
    // A device is no document either, whatever it would give.
    EXPECT_THROW(ReadWholeFile("/dev/null"), RuntimeError);
    EXPECT_THROW(ReadWholeFile("\\\\h\\s"), RuntimeError);
    EXPECT_FALSE(env.dir().Exists("unc/h/s/copy.req"));
}

TEST(Files, TextFileIsCreatedAfreshWrittenInPiecesAndClosedOnce) {
    SandboxEnv env;
    env.dir().Write("unc/h/s/7.tmp", "a leftover that is much longer than the new file");
    {
        TextFileWriter out("\\\\h\\s\\7.tmp");
        out.Write("***850ZEL\r\n");
        out.Write("H007\r\n");
        out.Close();
        out.Close();  // a second close is no error and changes nothing
        EXPECT_THROW(out.Write("late"), RuntimeError);
    }
    EXPECT_EQ(env.dir().Read("unc/h/s/7.tmp"), "***850ZEL\r\nH007\r\n");
    EXPECT_THROW(TextFileWriter("\\\\h\\s\\nodir\\7.tmp"), RuntimeError);
    EXPECT_NO_THROW(SyncFile("\\\\h\\s\\7.tmp"));
    EXPECT_NO_THROW(SyncFolder("\\\\h\\s"));
    EXPECT_THROW(SyncFolder("\\\\h\\s\\nodir"), RuntimeError);
}

// A folder others can write may hold, under the name about to be written, a link to a file
// elsewhere (or one pointing nowhere yet), a hard link, a FIFO or a folder. None of them is
// ever written through: the name gets a new file of its own, or the writing fails.
TEST(Files, TextFileReplacesWhatCarriesItsNameAndNeverWritesThroughIt) {
    SandboxEnv env;
    const std::string outside = env.dir().Write("outside.txt", "not yours");
    const std::string dir = env.dir().MakeDirs("unc/h/s");
    const std::string nowhere = env.dir().path() + "/nowhere.txt";
    ASSERT_EQ(::symlink(outside.c_str(), (dir + "/1.tmp").c_str()), 0);
    ASSERT_EQ(::symlink(nowhere.c_str(), (dir + "/2.tmp").c_str()), 0);
    ASSERT_EQ(::link(outside.c_str(), (dir + "/3.tmp").c_str()), 0);
    ASSERT_EQ(::mkfifo((dir + "/4.tmp").c_str(), 0600), 0);
    ASSERT_EQ(::symlink(outside.c_str(), (dir + "/5.TMP").c_str()), 0);  // found without case
    for (const std::string name : {"1.tmp", "2.tmp", "3.tmp", "4.tmp", "5.tmp"}) {
        SCOPED_TRACE(name);
        TextFileWriter out("\\\\h\\s\\" + name);
        out.Write("***850ZEL\r\n");
        out.Close();
    }
    for (const std::string name : {"1.tmp", "2.tmp", "3.tmp", "4.tmp", "5.TMP"}) {
        EXPECT_TRUE(IsRegularFile("\\\\h\\s\\" + name)) << name;
        EXPECT_EQ(env.dir().Read("unc/h/s/" + name), "***850ZEL\r\n") << name;
    }
    EXPECT_EQ(env.dir().Read("outside.txt"), "not yours");
    EXPECT_FALSE(env.dir().Exists("nowhere.txt"));

    env.dir().MakeDirs("unc/h/s/6.tmp");
    EXPECT_THROW(TextFileWriter("\\\\h\\s\\6.tmp"), RuntimeError);
    EXPECT_TRUE(FolderExists("\\\\h\\s\\6.tmp"));
}

TEST(Files, NameExistsSeesEveryEntryAndFollowsNoLink) {
    SandboxEnv env;
    const std::string dir = env.dir().MakeDirs("unc/h/s");
    env.dir().Write("unc/h/s/File.txt", "x");
    env.dir().MakeDirs("unc/h/s/folder");
    ASSERT_EQ(::symlink((dir + "/gone").c_str(), (dir + "/Dangling.txt").c_str()), 0);
    ASSERT_EQ(::symlink((dir + "/File.txt").c_str(), (dir + "/link.txt").c_str()), 0);
    for (const std::string name : {"file.TXT", "folder", "dangling.txt", "LINK.txt"})
        EXPECT_TRUE(NameExists("\\\\h\\s\\" + name)) << name;
    EXPECT_FALSE(FileExists("\\\\h\\s\\dangling.txt"));  // what FileExists says of it
    EXPECT_FALSE(NameExists("\\\\h\\s\\gone"));
    EXPECT_FALSE(NameExists("\\\\h\\missing\\gone"));
    EXPECT_FALSE(NameExists(""));
}

// Documents, copies and INI writes replace the name; a link's target keeps its bytes, and its
// permissions (an outside program's) are not given to the new document.
TEST(Files, DocumentsReplaceALinkAndTakeNothingFromItsTarget) {
    SandboxEnv env;
    const std::string outside = env.dir().Write("outside.sh", "#!/bin/sh\n");
    ASSERT_EQ(::chmod(outside.c_str(), 0755), 0);
    const std::string dir = env.dir().MakeDirs("unc/h/s");
    env.dir().Write("unc/h/s/source.req", "[A]\r\nk=v\r\n");
    for (const char* name : {"doc", "copy", "ini"})
        ASSERT_EQ(::symlink(outside.c_str(), (dir + "/" + name).c_str()), 0);
    WriteWholeFile("\\\\h\\s\\doc", "document", true);
    CopyFile("\\\\h\\s\\source.req", "\\\\h\\s\\copy");
    EXPECT_TRUE(WriteProfileString("A", "k", "w", "\\\\h\\s\\ini"));
    for (const char* name : {"doc", "copy", "ini"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(IsRegularFile(std::string("\\\\h\\s\\") + name));
        struct stat st {};
        ASSERT_EQ(::stat((dir + "/" + name).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0111, 0u);
    }
    EXPECT_EQ(env.dir().Read("unc/h/s/doc"), "document");
    EXPECT_EQ(env.dir().Read("outside.sh"), "#!/bin/sh\n");
}

// Whatever else carries the lock's name goes as a name and the lock is taken on a file of its
// own; a lock that cannot be had is an error, never a lock silently not held.
TEST(Files, LockIsNeverTakenThroughALink) {
    SandboxEnv env;
    const std::string dir = env.dir().MakeDirs("locks");
    const std::string nowhere = env.dir().path() + "/nowhere";
    ASSERT_EQ(::symlink(nowhere.c_str(), (dir + "/planted.lock").c_str()), 0);
    ASSERT_EQ(::mkfifo((dir + "/fifo.lock").c_str(), 0600), 0);
    for (const char* name : {"planted.lock", "fifo.lock"}) {
        SCOPED_TRACE(name);
        const std::string path = dir + "/" + name;
        ScopedFileLock lock(path);
        EXPECT_TRUE(lock.Held());
        struct stat st {};
        ASSERT_EQ(::lstat(path.c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode));
        const int other = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(other, 0);
        EXPECT_NE(::flock(other, LOCK_EX | LOCK_NB), 0);
        ::close(other);
    }
    EXPECT_FALSE(env.dir().Exists("nowhere"));

    env.dir().MakeDirs("locks/folder.lock");
    try {
        ScopedFileLock lock(dir + "/folder.lock");
        ADD_FAILURE() << "a folder under the lock's name was taken as the lock";
    } catch (const RuntimeError& e) {
        EXPECT_NE(e.Description().find(dir + "/folder.lock"), std::string::npos) << e.Description();
    }
}

// The crash seam must end the process before the k-th change is made and leave the earlier
// ones in place; a child process stands in for the program.
TEST(Files, CrashSeamEndsTheProcessJustBeforeTheKthChange) {
    SandboxEnv env;
    env.dir().MakeDirs("unc/h/s");
    auto runChild = [&](long k) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            CrashAtFileChange(k);
            WriteWholeFile("\\\\h\\s\\one", "1");                    // change 1
            WriteProfileString("S", "K", "v", "\\\\h\\s\\two.ini");  // change 2
            RenameFile("\\\\h\\s\\one", "\\\\h\\s\\three");          // change 3
            MakeDirectory("\\\\h\\s\\four");                         // change 4
            DeleteFile("\\\\h\\s\\three");                           // change 5
            ::_exit(FileChangesCounted() == 5 ? 0 : 1);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(runChild(3), kCrashExitCode);
    EXPECT_TRUE(env.dir().Exists("unc/h/s/one"));
    EXPECT_TRUE(env.dir().Exists("unc/h/s/two.ini"));
    EXPECT_FALSE(env.dir().Exists("unc/h/s/three"));

    EXPECT_EQ(runChild(1), kCrashExitCode);
    EXPECT_EQ(runChild(0), 0);
    EXPECT_FALSE(env.dir().Exists("unc/h/s/three"));
    EXPECT_TRUE(env.dir().Exists("unc/h/s/four"));
}

TEST(FileClaims, OneHolderAtATimeUntilTheClaimGoes) {
    SandboxEnv env;
    env.dir().Write("unc/h/s/r.req", "[ZELINFO]\r\n");
    const std::string file = "\\\\h\\s\\r.req";
    {
        FileClaim first(file);
        ASSERT_TRUE(first.Claimed());
        // Another descriptor of this very process stands for another program.
        EXPECT_EQ(FileClaim(file).Result(), FileClaim::Outcome::Held);
        EXPECT_EQ(FileClaim("\\\\h\\s\\R.REQ").Result(), FileClaim::Outcome::Held);
        // Readers are not kept out: the lock lies beyond the contents.
        EXPECT_EQ(ReadWholeFile(file), "[ZELINFO]\r\n");
        first.Release();
        FileClaim second(file);
        EXPECT_TRUE(second.Claimed());
        FileClaim moved(std::move(second));
        EXPECT_TRUE(moved.Claimed());
        EXPECT_EQ(FileClaim(file).Result(), FileClaim::Outcome::Held);
    }
    EXPECT_TRUE(FileClaim(file).Claimed());
}

TEST(FileClaims, TheClaimFollowsTheFileAndNothingElseIsClaimed) {
    SandboxEnv env;
    env.dir().Write("unc/h/s/r.req", "x");
    env.dir().MakeDirs("unc/h/s/folder.req");
    const std::string dir = env.UncRoot() + "/h/s";
    ASSERT_EQ(::symlink((dir + "/r.req").c_str(), (dir + "/link.req").c_str()), 0);

    EXPECT_EQ(FileClaim("\\\\h\\s\\missing.req").Result(), FileClaim::Outcome::Gone);
    EXPECT_EQ(FileClaim("\\\\h\\s\\folder.req").Result(), FileClaim::Outcome::Gone);
    EXPECT_EQ(FileClaim("\\\\h\\s\\link.req").Result(), FileClaim::Outcome::Gone);

    FileClaim held("\\\\h\\s\\r.req");
    ASSERT_TRUE(held.Claimed());
    RenameFile("\\\\h\\s\\r.req", "\\\\h\\s\\moved.req");
    EXPECT_EQ(FileClaim("\\\\h\\s\\moved.req").Result(), FileClaim::Outcome::Held);
    // A new file under the old name is another file, but the name is still being answered:
    // the new file waits until that claim ends.
    env.dir().Write("unc/h/s/r.req", "y");
    EXPECT_EQ(FileClaim("\\\\h\\s\\r.req").Result(), FileClaim::Outcome::Held);
    held.Release();
    EXPECT_TRUE(FileClaim("\\\\h\\s\\r.req").Claimed());
}

// Two instances that run as different users on one folder: the request belongs to one of them
// and the other may only read it. Each must keep the other out.
TEST(FileClaims, AClaimerThatMayOnlyReadAndOneThatMayWriteExcludeEachOther) {
    SandboxEnv env;
    env.dir().Write("unc/h/s/r.req", "x");
    const std::string file = "\\\\h\\s\\r.req";
    const std::string native = env.UncRoot() + "/h/s/r.req";
    // The reader is another user where this test may change users, else the file's own
    // user with the file made read-only (which keeps all but an administrator out).
    const bool root = ::geteuid() == 0;
    if (root) {
        for (std::string dir = env.UncRoot() + "/h/s"; dir.size() > 1; dir.resize(dir.rfind('/')))
            ::chmod(dir.c_str(), 0777);
        ::chmod(native.c_str(), 0644);
    } else {
        ::chmod(native.c_str(), 0444);
    }
    // A reader that claims the request, says whether it may write it and what its claim gave,
    // and holds it until it is killed.
    struct Reader {
        pid_t pid = -1;
        std::string said;
    };
    auto startReader = [&] {
        int pipeEnds[2];
        EXPECT_EQ(::pipe(pipeEnds), 0);
        Reader reader;
        reader.pid = ::fork();
        if (reader.pid == 0) {
            ::close(pipeEnds[0]);
            if (root && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(2);
            const int rw = ::open(native.c_str(), O_RDWR);
            FileClaim claim(file);
            const char said[2] = {rw < 0 ? 'r' : 'w', claim.Claimed() ? 'C'
                                                      : claim.Result() == FileClaim::Outcome::Held
                                                          ? 'H'
                                                          : 'U'};
            if (::write(pipeEnds[1], said, 2) != 2) ::_exit(1);
            for (;;) ::pause();
        }
        ::close(pipeEnds[1]);
        char said[2] = {};
        if (::read(pipeEnds[0], said, 2) == 2) reader.said.assign(said, 2);
        ::close(pipeEnds[0]);
        return reader;
    };
    auto stop = [](const Reader& reader) {
        ::kill(reader.pid, SIGKILL);
        ::waitpid(reader.pid, nullptr, 0);
    };

    {
        FileClaim writer(file);
        ASSERT_TRUE(writer.Claimed());
        const Reader reader = startReader();
        stop(reader);
        EXPECT_EQ(reader.said, "rH");
    }
    const Reader reader = startReader();
    EXPECT_EQ(reader.said, "rC");
    EXPECT_EQ(FileClaim(file).Result(), FileClaim::Outcome::Held);
    stop(reader);
    EXPECT_TRUE(FileClaim(file).Claimed());

    // A claims file this claimer cannot write: its claims cannot be taken, and it is told so
    // rather than shown every request as held.
    ::chmod((env.UncRoot() + "/h/s/" + FileClaim::kClaimsFile).c_str(), 0444);
    const Reader shut = startReader();
    stop(shut);
    EXPECT_EQ(shut.said, "rU");
}

// Nobody takes claims through a link, so one planted under the claims file's name goes.
TEST(FileClaims, AClaimsFilePlantedAsALinkIsMadeAnew) {
    SandboxEnv env;
    env.dir().Write("unc/h/s/r.req", "x");
    const std::string outside = env.dir().Write("outside", "");
    const std::string claims = env.UncRoot() + "/h/s/" + FileClaim::kClaimsFile;
    ASSERT_EQ(::symlink(outside.c_str(), claims.c_str()), 0);
    FileClaim claim("\\\\h\\s\\r.req");
    EXPECT_TRUE(claim.Claimed());
    struct stat st;
    ASSERT_EQ(::lstat(claims.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(FileClaim("\\\\h\\s\\r.req").Result(), FileClaim::Outcome::Held);
}

TEST(FileClaims, AClaimsFileShutToOtherUsersIsOpenedUpByItsMaker) {
    // Its maker killed between making it and opening it up leaves it so: every other user's
    // claims would be unavailable for good.
    SandboxEnv env;
    env.dir().Write("unc/h/s/r.req", "x");
    const std::string claims =
        env.dir().Write("unc/h/s/" + std::string(FileClaim::kClaimsFile), "");
    ASSERT_EQ(::chmod(claims.c_str(), 0600), 0);
    EXPECT_TRUE(FileClaim("\\\\h\\s\\r.req").Claimed());
    struct stat st;
    ASSERT_EQ(::stat(claims.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0666u);
}

TEST(FileClaims, AClaimEndsWithItsKilledHolder) {
    SandboxEnv env;
    env.dir().Write("unc/h/s/r.req", "x");
    const std::string file = "\\\\h\\s\\r.req";
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
        ::close(ready[0]);
        FileClaim claim(file);
        const char said = claim.Claimed() ? 'y' : 'n';
        if (::write(ready[1], &said, 1) != 1) ::_exit(1);
        for (;;) ::pause();
    }
    ::close(ready[1]);
    char said = 0;
    ASSERT_EQ(::read(ready[0], &said, 1), 1);
    ::close(ready[0]);
    ASSERT_EQ(said, 'y');
    EXPECT_EQ(FileClaim(file).Result(), FileClaim::Outcome::Held);

    ::kill(holder, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(holder, &status, 0), holder);
    EXPECT_TRUE(FileClaim(file).Claimed());
}
