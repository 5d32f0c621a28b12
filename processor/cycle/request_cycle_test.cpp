#include "processor/cycle/request_cycle.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/seams.h"
#include "platform/test_support.h"
#include "processor/globals.h"
#include "processor/sample_share_test_support.h"

namespace zel::processor {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::MatchesRegex;
namespace pf = zel::platform;

const std::string kFolder = "\\\\HOST\\DadAri\\zeldist\\";
const std::string kLowerFolder = "\\\\host\\dadari\\zeldist\\";

std::string Doc(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    return text;
}

std::string Query(const std::string& docType = "QUERY") {
    return Doc({"[ZELINFO]", "DocType=" + docType, "DealerNumber=1001", "TradePartner=ACME",
                "[DMSINFO]", "TIMESUBMITED=10:11:12"});
}

class RequestCycleTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Stock queries run through the lookups: the sample share answers them.
        share_.Connect(testing::SampleShareDescription(), env_);
        env_.dir().MakeDirs("unc/HOST/DadAri/zeldist");
        previous_ = pf::SetMsgBoxHandler([this](const pf::MsgBoxRequest& box) {
            boxes.push_back(box.text);
            return pf::MsgResult::Ok;
        });
        gState = ProgramState{};
    }
    void TearDown() override {
        pf::SetMsgBoxHandler(previous_);
        gState = ProgramState{};
    }

    // Native path below the share's DadAri folder.
    std::string Native(const std::string& relative) const {
        return env_.UncRoot() + "/HOST/DadAri/" + relative;
    }
    void MakeFolder(const std::string& name) const {
        env_.dir().MakeDirs("unc/HOST/DadAri/" + name);
    }
    std::string Put(const std::string& name, const std::string& bytes) const {
        env_.dir().Write("unc/HOST/DadAri/zeldist/" + name, bytes);
        return kFolder + name;
    }
    std::string Bytes(const std::string& relative) const {
        return env_.dir().Read("unc/HOST/DadAri/" + relative);
    }
    std::vector<std::string> Listing(const std::string& folder) const {
        std::vector<std::string> names;
        if (!std::filesystem::exists(Native(folder))) return names;
        for (const auto& entry : std::filesystem::directory_iterator(Native(folder))) {
            if (entry.path().filename() == pf::FileClaim::kClaimsFile) continue;
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    static std::string Value(const std::string& file, const std::string& section,
                             const std::string& key) {
        return pf::GetProfileString(section, key, "<missing>", 100000, file);
    }
    // Runs a request that must end the program; returns the exit code.
    int RunExpectingEnd(std::string path) {
        try {
            ProcessRequest(path);
        } catch (const pf::ProgramEnded& ended) {
            return ended.code;
        }
        ADD_FAILURE() << "the program did not end";
        return -1;
    }

    std::vector<std::string> boxes;

private:
    pf::testing::SandboxEnv env_;
    testing::ConnectedShare share_;
    pf::ScopedEndProgramThrows endThrows_;
    pf::MsgBoxHandler previous_;
};

TEST_F(RequestCycleTest, RequestNamedInCapitalsIsAnsweredUnderLowerCaseName) {
    std::string path = Put("ORDER7.REQ", Query("query"));
    ProcessRequest(path);

    EXPECT_EQ(path, kLowerFolder + "order7.req");
    EXPECT_THAT(Listing("zeldist"), ElementsAre("order7.req.1"));
    EXPECT_EQ(Value(path + ".1", "ZELINFO", "DealerNumber"), "1001");
    EXPECT_THAT(boxes, IsEmpty());
}

TEST_F(RequestCycleTest, UnsupportedTypeGivesExceptionsDocument) {
    std::string path = Put("e.req", Query("Estimate \t"));
    ProcessRequest(path);

    EXPECT_THAT(Listing("zeldist"), ElementsAre("e.req.2"));
    const std::string doc = path + ".2";
    EXPECT_EQ(Value(doc, "COUNT", "ErrCount"), "1");
    EXPECT_EQ(Value(doc, "ERRORINFO", "ErrorCode1"), "QMR-666");
    EXPECT_EQ(Value(doc, "ERRORINFO", "ErrorMsg1"),
              "Invalid or Unsupported Document Type: Estimate");
    EXPECT_EQ(Value(doc, "ZELINFO", "DocType"), "Exception");
    EXPECT_EQ(Value(doc, "ZELINFO", "TradePartner"), "ACME");

    std::string untyped = Put("n.req", Doc({"[ZELINFO]", "DealerNumber=5"}));
    ProcessRequest(untyped);
    EXPECT_THAT(Bytes("zeldist/n.req.2"),
                ::testing::HasSubstr("ErrorMsg1=Invalid or Unsupported Document Type: \r\n"));
}

TEST_F(RequestCycleTest, ErrorsAreNumberedAndCounted) {
    const std::string doc = kFolder + "errors.req.b";
    pf::ProfileDocument errors(doc);
    AddError(errors, "1", "Invalid Dealer Number: x.  FATAL ERROR");
    AddError(errors, "666", "Invalid or Unsupported Document Type: y");
    errors.Save();
    EXPECT_EQ(Value(doc, "ERRORINFO", "ErrorCode1"), "QMR-1");
    EXPECT_EQ(Value(doc, "ERRORINFO", "ErrorMsg1"), "Invalid Dealer Number: x.  FATAL ERROR");
    EXPECT_EQ(Value(doc, "ERRORINFO", "ErrorCode2"), "QMR-666");
    EXPECT_EQ(Value(doc, "ERRORINFO", "ErrorMsg2"), "Invalid or Unsupported Document Type: y");
    for (const char* key : {"ErrCount", "ErrorCodeCount", "ErrorMsgCount"}) {
        EXPECT_EQ(Value(doc, "COUNT", key), "2") << key;
    }

    // The two extra counts go up from their own stored values.
    const std::string other = Put("other.req.b", Doc({"[COUNT]", "ErrorCodeCount=5"}));
    pf::ProfileDocument otherErrors(other);
    AddError(otherErrors, "1", "m");
    otherErrors.Save();
    EXPECT_EQ(Value(other, "COUNT", "ErrCount"), "1");
    EXPECT_EQ(Value(other, "COUNT", "ErrorCodeCount"), "6");
    EXPECT_EQ(Value(other, "COUNT", "ErrorMsgCount"), "1");
}

TEST_F(RequestCycleTest, AddErrorOnUnwritableDocumentRaises) {
    MakeFolder("zeldist/dir.req.b");
    pf::ProfileDocument unwritable(kFolder + "dir.req.b");
    EXPECT_THROW(
        {
            AddError(unwritable, "666", "m");
            unwritable.Save();
        },
        pf::RuntimeError);
}

TEST_F(RequestCycleTest, RerunAfterAFailureStartsItsDocumentsAfresh) {
    // An earlier run of the same request recorded an error and ended before its end of request.
    Put("x.req.b", Doc({"[ZELINFO]", "OldKey=1", "[ERRORINFO]", "ErrorCode1=QMR-1",
                        "ErrorMsg1=Invalid Dealer Number: 9.  FATAL ERROR", "[COUNT]", "ErrCount=1",
                        "ErrorCodeCount=1", "ErrorMsgCount=1"}));
    Put("x.req.a", Doc({"[ZELINFO]", "OldKey=1"}));
    Put("x.log", Doc({"[Time]", "Start Time:=01:02:03"}));
    std::string path = Put("x.req", Query("Estimate"));
    ProcessRequest(path);

    EXPECT_THAT(Listing("zeldist"), ElementsAre("x.req.2"));
    const std::string doc = path + ".2";
    EXPECT_EQ(Value(doc, "ERRORINFO", "ErrorCode1"), "QMR-666");
    EXPECT_EQ(Value(doc, "ERRORINFO", "ErrorCode2"), "<missing>");
    for (const char* key : {"ErrCount", "ErrorCodeCount", "ErrorMsgCount"}) {
        EXPECT_EQ(Value(doc, "COUNT", key), "1") << key;
    }
    EXPECT_EQ(Value(doc, "ZELINFO", "OldKey"), "<missing>");
    EXPECT_EQ(Value(doc, "ZELINFO", "DocType"), "Exception");

    // Nothing of an answer begun earlier reaches this run's answer.
    Put("y.req.a", Doc({"[ZELINFO]", "OldKey=1", "[POITEMS1]", "PartNumber=77"}));
    Put("y.req.b", Doc({"[COUNT]", "ErrCount=1"}));
    std::string query = Put("y.req", Query());
    ProcessRequest(query);
    EXPECT_THAT(Listing("zeldist"), ElementsAre("x.req.2", "y.req.1"));
    EXPECT_EQ(Value(query + ".1", "POITEMS1", "PartNumber"), "<missing>");
    EXPECT_EQ(Value(query + ".1", "ZELINFO", "OldKey"), "<missing>");
}

TEST_F(RequestCycleTest, LogCopyAndArchive) {
    MakeFolder("Zeltest");
    MakeFolder("ZelArchive");
    const std::string request = Query();
    const std::string time = "[0-9][0-9]:[0-9][0-9]:[0-9][0-9]";
    const std::string testLog = "\\\\HOST\\DadAri\\Zeltest\\a.log";
    const std::string archivedLog = "\\\\HOST\\DadAri\\ZelArchive\\b.log";

    gState.gLogging = true;
    gState.gArchive = true;
    std::string path = Put("a.req", request);
    ProcessRequest(path);
    EXPECT_THAT(Listing("zeldist"), ElementsAre("a.req.1"));
    EXPECT_THAT(Listing("Zeltest"), ElementsAre("a.log"));
    EXPECT_EQ(Value(testLog, "Time", "Time Submitted"), "10:11:12");
    EXPECT_THAT(Value(testLog, "Time", "Start Time:"), MatchesRegex(time));
    EXPECT_THAT(Value(testLog, "Time", "End Time:"), MatchesRegex(time));
    EXPECT_THAT(Listing("ZelArchive"), ElementsAre("a.log", "a.req"));
    EXPECT_EQ(Bytes("ZelArchive/a.req"), request);
    EXPECT_EQ(Bytes("ZelArchive/a.log"), Bytes("zeldist/a.req.1"));  // the log holds the answer

    gState.gLogging = false;
    path = Put("b.req", request);
    ProcessRequest(path);
    EXPECT_THAT(Listing("Zeltest"), ElementsAre("a.log"));
    EXPECT_EQ(Value(archivedLog, "Time", "Time Submitted"), "10:11:12");
    EXPECT_THAT(Value(archivedLog, "Time", "End Time:"), MatchesRegex(time));

    gState.gLogging = true;
    gState.gArchive = false;
    path = Put("c.req", request);
    ProcessRequest(path);
    EXPECT_THAT(Listing("Zeltest"), ElementsAre("a.log", "c.log"));
    EXPECT_THAT(Listing("ZelArchive"), ElementsAre("a.log", "a.req", "b.log", "b.req"));
    EXPECT_THAT(Listing("zeldist"), ElementsAre("a.req.1", "b.req.1", "c.req.1"));

    // Errors end with the exceptions document; there is no log copy of it.
    path = Put("d.req", Query("Estimate"));
    ProcessRequest(path);
    EXPECT_THAT(Listing("Zeltest"), ElementsAre("a.log", "c.log"));
    EXPECT_THAT(boxes, IsEmpty());
}

// The polling pass claims a request when it meets it and may answer it minutes later (behind
// the connection-error window). A document renamed onto the name meanwhile is another request:
// the one claimed is the one answered.
TEST_F(RequestCycleTest, TheClaimedRequestIsTheOneAnswered) {
    std::string path = Put("r.req", Query("Claimed"));
    pf::FileClaim claim(path);
    ASSERT_TRUE(claim.Claimed());
    Put("r.new", Query("Renamed"));
    std::filesystem::rename(Native("zeldist/r.new"), Native("zeldist/r.req"));
    ProcessRequest(path, claim);
    EXPECT_EQ(Value(kLowerFolder + "r.req.2", "ERRORINFO", "ErrorMsg1"),
              "Invalid or Unsupported Document Type: Claimed");
}

// A sender that reuses a name may put a new document under it while the first is answered: the
// end of the first archives and removes only the file it answered, and the new one stays for
// the next pass.
TEST_F(RequestCycleTest, ANewDocumentUnderTheNameOfARequestInProgressIsLeftForTheNextPass) {
    MakeFolder("ZelArchive");
    gState.gArchive = true;
    const std::string first = Query("First");
    const std::string second = Query("Second");
    std::string path = Put("r.req", first);
    pf::FileClaim claim(path);
    ASSERT_TRUE(claim.Claimed());
    Put("r.new", second);
    std::filesystem::rename(Native("zeldist/r.new"), Native("zeldist/r.req"));
    ProcessRequest(path, claim);
    EXPECT_THAT(boxes, IsEmpty());
    EXPECT_THAT(Listing("zeldist"), ElementsAre("r.req", "r.req.2"));
    EXPECT_EQ(Bytes("zeldist/r.req"), second);
    EXPECT_EQ(Bytes("ZelArchive/r.req"), first);
}

TEST_F(RequestCycleTest, FailingStepEndsProgramAndLeavesRequest) {
    const std::string request = Query();

    // Logging on with a file where the test folder belongs: the log copy fails.
    { std::ofstream(Native("zeltest")) << "not a folder"; }
    gState.gLogging = true;
    std::string path = Put("f.req", request);
    EXPECT_EQ(RunExpectingEnd(path), 1);
    ASSERT_EQ(boxes.size(), 1u);
    // A folder that cannot be reached fails as a file copy into it does.
    EXPECT_EQ(
        boxes[0],
        "Error: Path not found: \\\\host\\dadari\\zeltest\\f.log at Line: 830 in ProcessRequest");
    EXPECT_EQ(Bytes("zeldist/f.req"), request);

    // Archiving on with a link to nowhere for the archive folder: the second box names the
    // archive copy.
    std::filesystem::create_symlink(Native("gone"), Native("ZelArchive"));
    gState.gLogging = false;
    gState.gArchive = true;
    boxes.clear();
    EXPECT_EQ(RunExpectingEnd(path), 1);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_THAT(boxes[0], MatchesRegex("Error: .+ at Line: 920 in ProcessRequest"));
    EXPECT_EQ(boxes[1], "     File = " + kLowerFolder +
                            "f.req\r\nOutfile = " + "\\\\host\\dadari\\zelarchive\\f.req");
    EXPECT_EQ(Bytes("zeldist/f.req"), request);

    // Once the folder exists the next start answers the request.
    MakeFolder("gone");
    boxes.clear();
    ProcessRequest(path);
    EXPECT_THAT(Listing("zeldist"), ElementsAre("f.req.1"));
    EXPECT_THAT(boxes, IsEmpty());
}

// A folder of the request share that someone removed while the program ran is made again when
// a copy needs it, under the name start-up gives it.
TEST_F(RequestCycleTest, MissingTestAndArchiveFoldersAreMadeWhenNeeded) {
    gState.gLogging = true;
    gState.gArchive = true;
    std::string path = Put("g.req", Query());
    ProcessRequest(path);
    EXPECT_THAT(boxes, IsEmpty());
    EXPECT_THAT(Listing("zeldist"), ElementsAre("g.req.1"));
    EXPECT_THAT(Listing("zeltest"), ElementsAre("g.log"));
    EXPECT_THAT(Listing("ZelArchive"), ElementsAre("g.log", "g.req"));

    // The same for a request that is claimed, as the monitor claims every one.
    std::filesystem::remove_all(Native("ZelArchive"));
    std::string claimed = Put("h.req", Query());
    pf::FileClaim claim(claimed);
    ASSERT_TRUE(claim.Claimed());
    ProcessRequest(claimed, claim);
    EXPECT_THAT(boxes, IsEmpty());
    EXPECT_THAT(Listing("ZelArchive"), ElementsAre("h.log", "h.req"));
}

// The work documents live in memory: a publication that fails reaches the error handler, and
// nothing that was only in memory is written, so the next start answers the request afresh.
TEST_F(RequestCycleTest, FailedPublicationEndsProgramAndLeavesNoWorkFiles) {
    MakeFolder("zeldist/p.req.1");  // the answer's name is taken by a folder
    std::string path = Put("p.req", Query());
    EXPECT_EQ(RunExpectingEnd(path), 1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_THAT(boxes[0], MatchesRegex("Error: .+ at Line: 810 in ProcessRequest"));
    EXPECT_THAT(Listing("zeldist"), ElementsAre("p.req", "p.req.1"));
    EXPECT_EQ(Bytes("zeldist/p.req"), Query());

    std::filesystem::remove(Native("zeldist/p.req.1"));
    boxes.clear();
    ProcessRequest(path);
    EXPECT_THAT(boxes, IsEmpty());
    EXPECT_THAT(Listing("zeldist"), ElementsAre("p.req.1"));
    EXPECT_EQ(Value(path + ".1", "ZELINFO", "DealerNumber"), "1001");
}

// Many errors into one exceptions document cost a document write once, not once per key, and
// come out numbered as the services number them.
TEST_F(RequestCycleTest, ErrorsGoToTheDocumentInMemoryUntilItIsSaved) {
    RequestContext ctx = MakeRequestContext(LowerCase(kFolder + "m.req"));
    for (int i = 0; i < 300; ++i)
        AddError(ctx.exceptions, std::to_string(i), "m" + std::to_string(i));
    EXPECT_EQ(ReadValue(ctx.exceptions, "COUNT", "ErrCount"), "300");
    EXPECT_EQ(ReadValue(ctx.exceptions, "ERRORINFO", "ErrorCode300"), "QMR-299");
    EXPECT_THAT(Listing("zeldist"), IsEmpty());  // nothing on disk until saved
    SaveWorkDocuments(ctx);
    EXPECT_EQ(Value(ctx.exceptionsWork, "COUNT", "ErrorMsgCount"), "300");
    // Read again from the file, the document goes on numbering where the saved one ended.
    pf::ProfileDocument saved(ctx.exceptionsWork);
    AddError(saved, "7", "x");
    saved.Save();
    EXPECT_EQ(Value(ctx.exceptionsWork, "COUNT", "ErrCount"), "301");
}

TEST_F(RequestCycleTest, UnwritableWorkFileEndsProgramAndLeavesRequest) {
    MakeFolder("zeldist/w.req.b");
    std::string path = Put("w.req", Query("Estimate"));
    RunExpectingEnd(path);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_THAT(boxes[0], MatchesRegex("Error: .+ at Line: 35 in ProcessRequest"));
    EXPECT_EQ(Bytes("zeldist/w.req"), Query("Estimate"));
    EXPECT_FALSE(std::filesystem::exists(Native("zeldist/w.req.2")));
}

// The time log beside a request is read back only from a regular file of its own: a link
// planted under its name is never read through (its target would reach the archive).
TEST_F(RequestCycleTest, TimeLogIsNeverReadThroughALink) {
    MakeFolder("ZelArchive");
    gState.gArchive = true;
    const std::string secret = Native("secret.ini");
    { std::ofstream(secret) << "[Secret]\r\nPassword=hunter2\r\n"; }
    std::filesystem::create_symlink(secret, Native("zeldist/s.log"));
    std::string path = Put("s.req", Query("Estimate"));
    EXPECT_EQ(RunExpectingEnd(path), 1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "Error: Path/File access error: " + kLowerFolder +
                            "s.log at Line: 15 in ProcessRequest");
    EXPECT_THAT(Listing("ZelArchive"), IsEmpty());
    EXPECT_THAT(Listing("zeldist"), ElementsAre("s.log", "s.req"));
    EXPECT_EQ(Bytes("secret.ini"), "[Secret]\r\nPassword=hunter2\r\n");
}

TEST_F(RequestCycleTest, RequestThatCannotBeReadEndsProgramAndIsNotAnswered) {
    // A folder under a request's name stands for a request the share refuses to read: the
    // document services would see it as a document without keys.
    MakeFolder("zeldist/locked.req");
    for (bool archive : {false, true}) {
        if (archive) MakeFolder("ZelArchive");
        gState.gArchive = archive;
        boxes.clear();
        EXPECT_EQ(RunExpectingEnd(kFolder + "locked.req"), 1);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_THAT(boxes[0], MatchesRegex("Error: .+ at Line: 15 in ProcessRequest"));
        EXPECT_THAT(Listing("zeldist"), ElementsAre("locked.req"));
        EXPECT_THAT(Listing("ZelArchive"), IsEmpty());
    }
}

TEST_F(RequestCycleTest, VanishedRequestIsNotArchived) {
    MakeFolder("ZelArchive");
    gState.gArchive = true;
    std::string path = kFolder + "gone.req";  // taken by someone else before it was read
    ProcessRequest(path);
    EXPECT_THAT(boxes, IsEmpty());
    EXPECT_THAT(Listing("zeldist"), ElementsAre("gone.req.2"));
    EXPECT_THAT(Listing("ZelArchive"), ElementsAre("gone.log"));
}

TEST_F(RequestCycleTest, HostileRequestsAreAnsweredAndKept) {
    MakeFolder("ZelArchive");
    gState.gArchive = true;

    std::string empty = Put("empty.req", "");
    ProcessRequest(empty);
    EXPECT_EQ(Value(empty + ".2", "ERRORINFO", "ErrorCode1"), "QMR-666");
    EXPECT_EQ(Bytes("ZelArchive/empty.req"), "");

    std::mt19937 random(7);
    std::string garbage(64 * 1024, '\0');
    for (char& c : garbage) c = static_cast<char>(random());
    garbage += "\n[ZELINFO\0]\r\n=\r\n[]\r\nDocType\0=PO\r\n";
    std::string binary = Put("binary.req", garbage);
    ProcessRequest(binary);
    EXPECT_EQ(Bytes("ZelArchive/binary.req"), garbage);

    std::string big = Query();
    big += "[FILLER]\r\n";
    while (big.size() < 10 * 1024 * 1024)
        big += "Line" + std::to_string(big.size()) + "=" + std::string(200, 'x') + "\r\n";
    std::string large = Put("large.req", big);
    ProcessRequest(large);
    EXPECT_EQ(Value(large + ".1", "ZELINFO", "TradePartner"), "ACME");
    EXPECT_EQ(Bytes("ZelArchive/large.req"), big);

    EXPECT_THAT(boxes, IsEmpty());
    EXPECT_THAT(Listing("zeldist"), ElementsAre("binary.req.2", "empty.req.2", "large.req.1"));
}

TEST_F(RequestCycleTest, LongHeaderIsCopiedWithoutCutValues) {
    std::vector<std::string> lines = {"[ZELINFO]", "DocType=Estimate",
                                      "Note=" + std::string(140, 'n')};
    for (int k = 10; k < 70; ++k)
        lines.push_back("Key" + std::to_string(k) + "=" + std::string(99, 'v'));
    std::string path = Put("h.req", Doc(lines));
    ProcessRequest(path);

    const auto copied = pf::GetProfileSectionLines("ZELINFO", path + ".2");
    ASSERT_GT(copied.size(), 30u);
    ASSERT_LT(copied.size(), lines.size() - 1);  // the 4096-character buffer held only part
    EXPECT_EQ(copied[1], lines[2]);              // a long value is copied whole
    for (std::size_t i = 2; i < copied.size(); ++i) EXPECT_EQ(copied[i], lines[i + 1]);
    // Read singly, the same value arrives cut to 99 characters.
    EXPECT_EQ(ReadValue(pf::ProfileReader(Bytes("zeldist/h.req.2")), "ZELINFO", "Note"),
              std::string(99, 'n'));
}

TEST(ErrorCountOf, RoundsHalvesToEvenAndReadsEverythingElseAsZero) {
    EXPECT_EQ(ErrorCountOf("2.5"), 2);
    EXPECT_EQ(ErrorCountOf("3.5"), 4);
    EXPECT_EQ(ErrorCountOf(" 7 "), 7);
    EXPECT_EQ(ErrorCountOf("-2"), -2);
    EXPECT_EQ(ErrorCountOf("ABC"), 0);
    EXPECT_EQ(ErrorCountOf(""), 0);
    // Beyond 32 bits a count cannot be held; it must not end the program.
    EXPECT_EQ(ErrorCountOf("1e12"), 0);
    EXPECT_EQ(ErrorCountOf("2147483647"), 2147483647);
    EXPECT_EQ(ErrorCountOf("2147483648"), 0);
    // A count the system wrote itself is read the same under every locale.
    platform::testing::ScopedDefaultLocale english("en_US");
    EXPECT_EQ(ErrorCountOf("1,000"), 0);
}

TEST(RequestValues, NamesDerivedFromRequestEnding) {
    const RequestContext ctx = MakeRequestContext("\\\\srv.acme\\dadari\\zeldist\\x.bad.req");
    EXPECT_EQ(ctx.answerWork, "\\\\srv.acme\\dadari\\zeldist\\x.bad.req.a");
    EXPECT_EQ(ctx.exceptionsWork, "\\\\srv.acme\\dadari\\zeldist\\x.bad.req.b");
    EXPECT_EQ(ctx.answerFile, "\\\\srv.acme\\dadari\\zeldist\\x.bad.req.1");
    EXPECT_EQ(ctx.exceptionsFile, "\\\\srv.acme\\dadari\\zeldist\\x.bad.req.2");
    EXPECT_EQ(ctx.timeLog, "\\\\srv.acme\\dadari\\zeldist\\x.bad.log");
    // A path without the ending never names the request itself as a work file.
    EXPECT_EQ(MakeRequestContext("c:\\in\\x").answerWork, "c:\\in\\x.a");
}

}  // namespace
}  // namespace zel::processor
