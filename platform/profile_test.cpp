#include "platform/profile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include "platform/test_support.h"

using namespace zel::platform;
using zel::platform::testing::SandboxEnv;
using zel::platform::testing::ScopedEnv;

namespace {
const char* kDoc = "\\\\host\\DadAri\\zeldist\\a.req";
}

TEST(Profile, ReadsKeysWithoutCaseFirstDuplicateWinsAndDefaults) {
    SandboxEnv env;
    env.dir().Write("unc/host/DadAri/zeldist/a.req",
                    "[ZELINFO]\nDocType = Query \r\ndoctype=PO\n[zelinfo]\nOther=1\n[Empty]\n");
    EXPECT_EQ(GetProfileString("zelinfo", "DOCTYPE", "", 100, kDoc), "Query");
    EXPECT_EQ(GetProfileString("ZELINFO", "Other", "none", 100, kDoc), "none");
    EXPECT_EQ(GetProfileString("ZELINFO", "Missing", "X", 100, kDoc), "X");
    EXPECT_EQ(GetProfileString("Nope", "k", "d", 100, "\\\\host\\missing.ini"), "d");
}

TEST(Profile, OnePairOfMatchingQuotesIsDroppedFromASingleValue) {
    SandboxEnv env;
    env.dir().Write("unc/host/DadAri/zeldist/a.req",
                    "[S]\nA=\"quoted value\"\nB='x'\nC=\"half\nD=\"mixed'\nE=\"\"\n");
    EXPECT_EQ(GetProfileString("S", "A", "", 100, kDoc), "quoted value");
    EXPECT_EQ(GetProfileString("S", "B", "", 100, kDoc), "x");
    EXPECT_EQ(GetProfileString("S", "C", "", 100, kDoc), "\"half");
    EXPECT_EQ(GetProfileString("S", "D", "", 100, kDoc), "\"mixed'");
    EXPECT_EQ(GetProfileString("S", "E", "d", 100, kDoc), "");
    // A whole-section read hands the lines over as they stand.
    EXPECT_EQ(GetProfileSectionLines("S", kDoc)[0], "A=\"quoted value\"");
}

TEST(Profile, CallerBufferCutsValuesAndNulEndsThem) {
    SandboxEnv env;
    std::string longValue(150, 'v');
    env.dir().Write("unc/host/DadAri/zeldist/a.req",
                    "[S]\nLong=" + longValue + "\r\nNul=ab" + std::string(1, '\0') + "cd\r\n");
    EXPECT_EQ(GetProfileString("S", "Long", "", 100, kDoc), std::string(99, 'v'));
    EXPECT_EQ(GetProfileString("S", "Long", "", 30, kDoc), std::string(29, 'v'));
    EXPECT_EQ(GetProfileString("S", "Nul", "", 100, kDoc), "ab");
    EXPECT_EQ(GetProfileString("S", "Long", "", 0, kDoc), "");
}

TEST(Profile, WrittenValueEndsAtItsFirstNul) {
    SandboxEnv env;
    env.dir().MakeDirs("unc/host/DadAri/zeldist");
    const std::string block = std::string("ACME SUPPLY") + std::string(4, '\0') + "tail";
    ASSERT_TRUE(WriteProfileString("S", "Vendor", block, kDoc));
    EXPECT_EQ(env.dir().Read("unc/host/DadAri/zeldist/a.req"), "[S]\r\nVendor=ACME SUPPLY\r\n");
}

TEST(Profile, SectionReadIsNulSeparatedAndCutAtTheBuffer) {
    SandboxEnv env;
    env.dir().Write("unc/host/DadAri/zeldist/a.req", "[Z]\nA = 1\nB=22\n\n[Y]\nC=3\n");
    std::string all = GetProfileSection("z", 4096, kDoc);
    EXPECT_EQ(all, std::string("A=1\0B=22\0\0", 10));
    std::string cut = GetProfileSection("Z", 6, kDoc);
    ASSERT_EQ(cut.size(), 6u);
    EXPECT_EQ(cut.substr(4), std::string(2, '\0'));
    EXPECT_EQ(GetProfileSection("none", 4096, kDoc), std::string(2, '\0'));
}

TEST(Profile, WritesKeepUntouchedLinesByteForByte) {
    SandboxEnv env;
    std::string original = "; comment\n[A]\nx=1\n\n[B]\r\ny = 2\r\nbin=\xff\xfe\x01\r\nlast=9";
    env.dir().Write("unc/host/DadAri/zeldist/a.req", original);
    ASSERT_TRUE(WriteProfileString("b", "Y", "3", kDoc));
    ASSERT_TRUE(WriteProfileString("A", "new", "n", kDoc));
    ASSERT_TRUE(WriteProfileString("C", "k", "v", kDoc));
    EXPECT_EQ(
        env.dir().Read("unc/host/DadAri/zeldist/a.req"),
        "; "
        "comment\n[A]\nx=1\nnew=n\r\n\n[B]\r\nY=3\r\nbin=\xff\xfe\x01\r\nlast=9\r\n[C]\r\nk=v\r\n");
    EXPECT_EQ(GetProfileString("B", "bin", "", 100, kDoc), "\xff\xfe\x01");
}

TEST(Profile, MissingFileIsCreatedByFirstWriteAndSectionsReplace) {
    SandboxEnv env;
    env.dir().MakeDirs("unc/host/DadAri/zeldist");
    ASSERT_TRUE(WriteProfileSection("ZELINFO", std::string("A=1\0B=2\0\0", 9), kDoc));
    ASSERT_TRUE(WriteProfileString("ZELINFO", "DocType", "Exception", kDoc));
    ASSERT_TRUE(WriteProfileString("COUNT", "ErrCount", "1", kDoc));
    ASSERT_TRUE(WriteProfileSection("zelinfo", std::string("C=3\0", 4), kDoc));
    EXPECT_EQ(env.dir().Read("unc/host/DadAri/zeldist/a.req"),
              "[ZELINFO]\r\nC=3\r\n[COUNT]\r\nErrCount=1\r\n");
    ASSERT_TRUE(DeleteProfileKey("COUNT", "errcount", kDoc));
    ASSERT_TRUE(DeleteProfileSection("ZELINFO", kDoc));
    EXPECT_EQ(env.dir().Read("unc/host/DadAri/zeldist/a.req"), "[COUNT]\r\n");
}

TEST(Profile, LineBreaksInValuesCannotInjectKeys) {
    SandboxEnv env;
    env.dir().MakeDirs("unc/host/DadAri/zeldist");
    ASSERT_TRUE(WriteProfileString("S", "Desc", "a\r\n[COUNT]\r\nErrCount=0", kDoc));
    EXPECT_EQ(GetProfileString("COUNT", "ErrCount", "none", 100, kDoc), "none");
    EXPECT_EQ(GetProfileSectionLines("S", kDoc).size(), 1u);
}

TEST(Profile, FailedWritesAreReportedAndLeaveNoPartialFile) {
    SandboxEnv env;
    // Missing folder: the write cannot happen and says so.
    EXPECT_FALSE(WriteProfileString("S", "k", "v", "\\\\host\\nofolder\\x.ini"));
    {
        ScopedEnv unset("ZEL_UNC_ROOT", std::nullopt);
        EXPECT_FALSE(WriteProfileString("S", "k", "v", kDoc));
        EXPECT_EQ(GetProfileString("S", "k", "dflt", 100, kDoc), "dflt");
    }
    // A target that is a folder is never clobbered.
    env.dir().MakeDirs("unc/host/DadAri/zeldist/a.req");
    EXPECT_FALSE(WriteProfileString("S", "k", "v", kDoc));
    // Nothing but the folder itself is left behind in the request folder.
    EXPECT_TRUE(env.dir().Exists("unc/host/DadAri/zeldist/a.req"));
}

TEST(Profile, LargeAndGarbageDocumentsReadWithoutHarm) {
    SandboxEnv env;
    std::string garbage;
    for (int i = 0; i < 200000; ++i) garbage += static_cast<char>((i * 7919) & 0xff);
    env.dir().Write("unc/host/DadAri/zeldist/a.req", garbage);
    EXPECT_EQ(GetProfileString("ZELINFO", "DocType", "", 100, kDoc).size() <= 99, true);
    GetProfileSection("ZELINFO", 4096, kDoc);
    ASSERT_TRUE(WriteProfileString("Tail", "k", "v", kDoc));
    std::string after = env.dir().Read("unc/host/DadAri/zeldist/a.req");
    EXPECT_EQ(after.substr(0, garbage.size()), garbage);
    EXPECT_EQ(GetProfileString("Tail", "k", "", 100, kDoc), "v");
}

#if !defined(__SANITIZE_ADDRESS__)
TEST(Profile, ReadsOfADocumentOfMillionsOfLinesNeedNoMemoryPerLine) {
    SandboxEnv env;
    // 16 MB of line breaks, a section header between them, and a key at the very end.
    std::string doc = "[ZELINFO]\r\n" + std::string(8u << 20, '\n') + "[S]\r\n" +
                      std::string(8u << 20, '\n') + "[S]\r\nk=v\r\n";
    env.dir().Write("unc/host/DadAri/zeldist/a.req", doc);
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // A few times the document's size is all the reads may take.
        long pages = 0;
        if (FILE* f = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(f, "%ld", &pages) != 1) pages = 0;
            std::fclose(f);
        }
        rlimit cap{};
        cap.rlim_cur = cap.rlim_max =
            static_cast<rlim_t>(pages) * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) +
            (160u << 20);
        ::setrlimit(RLIMIT_AS, &cap);
        bool ok = false;
        try {
            ok = GetProfileString("S", "k", "none", 100, kDoc) == "none" &&
                 GetProfileSection("ZELINFO", 4096, kDoc) == std::string(2, '\0') &&
                 GetProfileSectionNames(kDoc).size() == 3;
        } catch (...) {
        }
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
#endif

TEST(Profile, ALoneCarriageReturnEndsALine) {
    SandboxEnv env;
    env.dir().Write("unc/host/DadAri/zeldist/a.req",
                    "[ZELINFO]\rDocType=Query\rDealerNumber=42\r[COUNT]\rPOItemCount=2\r");
    EXPECT_EQ(GetProfileString("ZELINFO", "DocType", "", 100, kDoc), "Query");
    EXPECT_EQ(GetProfileString("COUNT", "POItemCount", "", 100, kDoc), "2");
    EXPECT_EQ(GetProfileSection("ZELINFO", 4096, kDoc),
              std::string("DocType=Query\0DealerNumber=42\0\0", 31));
    // A write keeps the other lines as they were and the document stays readable.
    ASSERT_TRUE(WriteProfileString("ZELINFO", "DocType", "Exception", kDoc));
    ASSERT_TRUE(WriteProfileString("COUNT", "ErrCount", "1", kDoc));
    EXPECT_EQ(
        env.dir().Read("unc/host/DadAri/zeldist/a.req"),
        "[ZELINFO]\rDocType=Exception\rDealerNumber=42\r[COUNT]\rPOItemCount=2\rErrCount=1\r\n");
    EXPECT_EQ(GetProfileString("ZELINFO", "DealerNumber", "", 100, kDoc), "42");
    EXPECT_EQ(GetProfileString("COUNT", "POItemCount", "", 100, kDoc), "2");
    // A document cut between the CR and the LF of its last line.
    env.dir().Write("unc/host/DadAri/zeldist/a.req", "[S]\r\nk=1\r");
    EXPECT_EQ(GetProfileString("S", "k", "", 100, kDoc), "1");
}

TEST(Profile, ANulInsideASectionLineEndsOnlyThatEntry) {
    SandboxEnv env;
    const std::string nul(1, '\0');
    env.dir().Write("unc/host/DadAri/zeldist/a.req",
                    "[ZELINFO]\r\nDocType=Query" + nul + "junk\r\n" + nul +
                        "x=1\r\nDealerNumber=42" + nul + "\r\nTradePartner=TP\r\n");
    const std::string list = GetProfileSection("ZELINFO", 4096, kDoc);
    EXPECT_EQ(list, std::string("DocType=Query\0DealerNumber=42\0TradePartner=TP\0\0", 47));
    EXPECT_EQ(GetProfileSectionLines("ZELINFO", kDoc),
              (std::vector<std::string>{"DocType=Query", "DealerNumber=42", "TradePartner=TP"}));
    // Copied as a whole section, every key arrives.
    ASSERT_TRUE(WriteProfileSection("ZELINFO", list, "\\\\host\\DadAri\\zeldist\\a.req.a"));
    EXPECT_EQ(
        GetProfileString("ZELINFO", "TradePartner", "", 100, "\\\\host\\DadAri\\zeldist\\a.req.a"),
        "TP");
}
