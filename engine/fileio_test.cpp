#include "engine/fileio.h"

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <climits>

#include "engine/test_helpers.h"
#include "platform/test_support.h"

namespace zel::engine {
namespace {

using testing::Raised;

std::string Pattern(std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    return s;
}

// A share "\\HOST\QMRLINK\DATA" in a private folder, with a fresh open-file list.
class FileAccessTest : public testing::DataShareTest {
protected:
    // Writes a file on the share; returns its Windows-form full path.
    std::string Put(const std::string& name, const std::string& bytes) {
        Write(name, bytes);
        return "\\\\HOST\\QMRLINK\\DATA\\" + name;
    }
    std::string Get(const std::string& name) { return Read(name); }
    std::string Native(const std::string& name) {
        return sandbox_.UncRoot() + "/HOST/QMRLINK/DATA/" + name;
    }
};

TEST_F(FileAccessTest, BareNameOpensOnceUnderTheFullPath) {
    Put("PARTL", Pattern(100));
    std::string name = "PARTL";
    auto first = OpenFile(name);
    ASSERT_TRUE(first);
    EXPECT_EQ(name, "\\\\HOST\\QMRLINK\\DATA\\PARTL");
    EXPECT_EQ(first->Path, name);
    EXPECT_EQ(first->Position, 0);
    std::string again = "PARTL";
    EXPECT_EQ(OpenFile(again), first);
    EXPECT_EQ(again, name);
    std::string otherCase = "\\\\host\\qmrlink\\data\\partl";
    EXPECT_EQ(OpenFile(otherCase), first);
    EXPECT_EQ(Engine().OpenFiles->Count(), 1);
}

TEST_F(FileAccessTest, MissingFileOrFolderGivesNoneAndAddsNothing) {
    std::string name = "NOSUCH";
    EXPECT_FALSE(OpenFile(name));
    EXPECT_EQ(name, "\\\\HOST\\QMRLINK\\DATA\\NOSUCH");
    std::string folder = "\\\\HOST\\QMRLINK\\DATA";
    EXPECT_FALSE(OpenFile(folder));
    std::string unmapped = "Q:\\x\\y";
    EXPECT_FALSE(OpenFile(unmapped));
    EXPECT_EQ(Engine().OpenFiles->Count(), 0);

    EXPECT_EQ(ReadFile(nullptr, 5, 0), "     ");
    auto e = Raised([] { WriteFile(nullptr, "x", 0); });
    EXPECT_EQ(e.Number(), -10);
    EXPECT_EQ(e.Source(), "iwriteFile");
    EXPECT_EQ(e.Description(), "OpenFile parameter is undefined");
}

TEST_F(FileAccessTest, ReadsKeepEveryByteAndPadPastTheEndWithSpaces) {
    std::string all(256, '\0');
    for (int i = 0; i < 256; ++i) all[static_cast<std::size_t>(i)] = static_cast<char>(i);
    std::string name = Put("BYTES", all);
    auto f = OpenFile(name);
    ASSERT_TRUE(f);
    EXPECT_EQ(ReadFile(f.get(), 256, 0), all);
    EXPECT_EQ(ReadFile(f.get(), 0, 10), "");
    EXPECT_EQ(ReadFile(f.get(), -1, 10), "");
    EXPECT_EQ(ReadFile(f.get(), 4, 254), all.substr(254) + "  ");
    EXPECT_EQ(ReadFile(f.get(), 3, 1000), "   ");
    EXPECT_EQ(ReadFile(f.get(), 3, -1), "   ");
    EXPECT_EQ(ReadFile(f.get(), 2, INT32_MAX), "  ");
}

TEST_F(FileAccessTest, EmptyFileReadsSpacesAndGrowsOnlyByWrites) {
    std::string name = Put("EMPTY", "");
    auto f = OpenFile(name);
    ASSERT_TRUE(f);
    EXPECT_EQ(FileLength(f.get()), 0);
    EXPECT_EQ(BlockReadFile(f.get(), 0), std::string(512, ' '));
    cLogicalFile lf;
    lf.FileName = "EMPTY";
    lf.OpenFile = f;
    lf.RecordLength = 10;
    lf.LastRecord = 5;
    EXPECT_EQ(LreadFile(&lf, 5), std::string(10, ' '));
    EXPECT_EQ(FileLength(f.get()), 0);
    LwriteFile(&lf, 2, "0123456789");
    EXPECT_EQ(FileLength(f.get()), 30);
    EXPECT_EQ(Get("EMPTY"), std::string(20, '\0') + "0123456789");
    CloseFile(f.get());
    EXPECT_EQ(FileLength(f.get()), 0);
}

TEST_F(FileAccessTest, ReadsSeeOtherProgramsWritesAtOnce) {
    std::string name = Put("SHARED", std::string(16, 'a'));
    auto f = OpenFile(name);
    ASSERT_TRUE(f);
    EXPECT_EQ(ReadFile(f.get(), 4, 4), "aaaa");
    const int other = ::open(Native("SHARED").c_str(), O_WRONLY);
    ASSERT_GE(other, 0);
    ASSERT_EQ(::pwrite(other, "ZZ", 2, 5), 2);
    ::close(other);
    EXPECT_EQ(ReadFile(f.get(), 4, 4), "aZZa");
}

TEST_F(FileAccessTest, WritesInPlaceAtTheRememberedPosition) {
    std::string name = Put("W", std::string(10, '.'));
    auto f = OpenFile(name);
    ASSERT_TRUE(f);
    WriteFile(f.get(), "ab", -1);  // right after opening: offset 0
    EXPECT_EQ(Get("W"), "ab........");
    WriteFile(f.get(), "cd", 5);
    EXPECT_EQ(f->Position, 5);
    WriteFile(f.get(), "ef", -7);  // the position does not advance
    EXPECT_EQ(Get("W"), "ab...ef...");
    WriteFile(f.get(), std::string("\xFF\0", 2), 9);  // grows the file, never truncates it
    EXPECT_EQ(Get("W"), std::string("ab...ef..\xFF\0", 11));
    WriteFile(f.get(), "", 3);
    EXPECT_EQ(Get("W").size(), 11u);
    // A write whose end leaves the 32-bit range is refused before any byte is written.
    EXPECT_EQ(Raised([&] { WriteFile(f.get(), "xy", INT32_MAX); }).Number(), 6);
    EXPECT_EQ(Get("W"), std::string("ab...ef..\xFF\0", 11));
}

TEST_F(FileAccessTest, BlocksAreFiveHundredTwelveBytes) {
    const std::string content = Pattern(206000);
    std::string name = Put("BLOCKS", content);
    auto f = OpenFile(name);
    ASSERT_TRUE(f);
    EXPECT_EQ(BlockReadFile(f.get(), 401), content.substr(205312, 512));
    EXPECT_EQ(BlockReadFile(f.get(), 402), content.substr(205824) + std::string(336, ' '));
    EXPECT_EQ(BlockReadFile(f.get(), -1), std::string(512, ' '));

    BlockWriteFile(f.get(), 1, "HELLO");
    std::string expect = content;
    expect.replace(512, 5, "HELLO");
    EXPECT_EQ(Get("BLOCKS"), expect);

    // Overflowing block numbers fail; a negative one never falls back on the remembered spot.
    auto e = Raised([&] { BlockReadFile(f.get(), 4194304); });
    EXPECT_EQ(e.Number(), 6);
    EXPECT_EQ(Raised([&] { BlockWriteFile(f.get(), 4194304, "X"); }).Number(), 6);
    EXPECT_EQ(Raised([&] { BlockWriteFile(f.get(), -1, "X"); }).Number(), 63);
    EXPECT_EQ(Get("BLOCKS"), expect);
}

class LogicalRecords : public FileAccessTest {
protected:
    void SetUp() override {
        FileAccessTest::SetUp();
        content_ = Pattern(512 + 11 * 40);
        std::string name = Put("CUSTDB", content_);
        lf_.FileName = "CUSTL";
        lf_.FileType = "L";
        lf_.OpenFile = OpenFile(name);
        lf_.Position = 1;
        lf_.RecordLength = 40;
        lf_.LastRecord = 10;
    }
    std::string content_;
    cLogicalFile lf_;
};

TEST_F(LogicalRecords, RecordNLiesAfterTheStartBlock) {
    EXPECT_EQ(LreadFile(&lf_, 1), content_.substr(512 + 40, 40));
    EXPECT_EQ(LreadFile(&lf_, 10), content_.substr(512 + 400, 40));
    const std::string rec(40, 'R');
    LwriteFile(&lf_, 3, rec);
    std::string expect = content_;
    expect.replace(512 + 120, 40, rec);
    EXPECT_EQ(Get("CUSTDB"), expect);
}

TEST_F(LogicalRecords, RecordNumberOutsideTheFileIsError81) {
    for (std::int32_t bad : {0, 11, -1, INT32_MIN}) {
        auto e = Raised([&] { LreadFile(&lf_, bad); });
        EXPECT_EQ(e.Number(), 81);
        EXPECT_EQ(e.Source(), "iLreadFile");
        EXPECT_EQ(e.Description(),
                  "Illegal Record Number for File: CUSTL and Record: " + std::to_string(bad));
        e = Raised([&] { LwriteFile(&lf_, bad, std::string(40, 'x')); });
        EXPECT_EQ(e.Number(), 81);
        EXPECT_EQ(e.Source(), "iLwriteFile");
    }
    EXPECT_EQ(Get("CUSTDB"), content_);
}

TEST_F(LogicalRecords, WrongLengthIsError36AndWritesNothing) {
    auto e = Raised([&] { LwriteFile(&lf_, 2, std::string(39, 'x')); });
    EXPECT_EQ(e.Number(), 36);
    EXPECT_EQ(e.Source(), "iLwriteFile");
    EXPECT_EQ(e.Description(),
              "Illegal Data length for this record.  Size is: 39 and should be 40");
    EXPECT_EQ(Raised([&] { LwriteFile(&lf_, 2, std::string(41, 'x')); }).Number(), 36);
    EXPECT_EQ(Get("CUSTDB"), content_);
}

TEST_F(LogicalRecords, MissingLogicalFileIsErrorMinus10) {
    auto e = Raised([] { LreadFile(nullptr, 1); });
    EXPECT_EQ(e.Number(), -10);
    EXPECT_EQ(e.Source(), "iLreadFile");
    EXPECT_EQ(e.Description(), "LogicalFile parameter is undefined");
    e = Raised([] { LwriteFile(nullptr, 1, ""); });
    EXPECT_EQ(e.Number(), -10);
    EXPECT_EQ(e.Source(), "iLwriteFile");
}

TEST_F(LogicalRecords, OffsetsOutsideThirtyTwoBitsAreError6) {
    // A damaged directory row can claim any size: the offset must not wrap onto real data.
    lf_.LastRecord = INT32_MAX;
    EXPECT_EQ(Raised([&] { LreadFile(&lf_, 60000000); }).Number(), 6);
    EXPECT_EQ(Raised([&] { LwriteFile(&lf_, 60000000, std::string(40, 'x')); }).Number(), 6);
    lf_.Position = 4194304;
    EXPECT_EQ(Raised([&] { LreadFile(&lf_, 1); }).Number(), 6);
    EXPECT_EQ(Get("CUSTDB"), content_);
}

TEST_F(LogicalRecords, TruncatedFileReadsSpacesAndWithoutDataFileWritesFail) {
    lf_.LastRecord = 20;
    EXPECT_EQ(LreadFile(&lf_, 11), std::string(40, ' '));
    lf_.OpenFile.reset();
    EXPECT_EQ(LreadFile(&lf_, 1), std::string(40, ' '));
    EXPECT_EQ(Raised([&] { LwriteFile(&lf_, 1, std::string(40, 'x')); }).Number(), -10);
}

TEST_F(FileAccessTest, CloseFileByObjectAndByName) {
    std::string a = Put("A", "aaaa");
    Put("B", "bbbb");
    auto fa = OpenFile(a);
    ASSERT_TRUE(fa);
    CloseFile(fa.get());
    EXPECT_EQ(Engine().OpenFiles->Count(), 0);
    EXPECT_FALSE(fa->IsOpen());
    CloseFile(fa.get());  // no longer in the list: nothing happens

    CloseFile("B");  // opened first, then closed
    EXPECT_EQ(Engine().OpenFiles->Count(), 0);

    auto e = Raised([] { CloseFile("NOSUCH"); });
    EXPECT_EQ(e.Number(), 91);
    EXPECT_EQ(Raised([] { CloseFile(static_cast<cOpenFile*>(nullptr)); }).Number(), 91);
}

TEST_F(FileAccessTest, ClosedObjectNeverReachesALaterFile) {
    std::string a = Put("A", "aaaa");
    std::string b = Put("B", "bbbb");
    auto stale = OpenFile(a);
    ASSERT_TRUE(stale);
    CloseFile(stale.get());
    auto fb = OpenFile(b);  // may get the same native descriptor back
    ASSERT_TRUE(fb);
    EXPECT_NE(fb->vbFileNumber, stale->vbFileNumber);
    EXPECT_EQ(ReadFile(stale.get(), 4, 0), "    ");
    EXPECT_EQ(Raised([&] { WriteFile(stale.get(), "XX", 0); }).Number(), 52);
    EXPECT_EQ(Get("B"), "bbbb");
    EXPECT_EQ(Get("A"), "aaaa");

    // A new open of the closed path is a new object.
    auto fresh = OpenFile(a);
    ASSERT_TRUE(fresh);
    EXPECT_NE(fresh, stale);
    EXPECT_EQ(ReadFile(fresh.get(), 4, 0), "aaaa");
}

TEST_F(FileAccessTest, ReleasingTheListClosesItsFiles) {
    std::string a = Put("A", "aaaa");
    auto fa = OpenFile(a);
    ASSERT_TRUE(fa);
    Engine().OpenFiles = std::make_shared<cOpenFiles>();
    EXPECT_FALSE(fa->IsOpen());
    EXPECT_EQ(ReadFile(fa.get(), 4, 0), "    ");
    auto reopened = OpenFile(a);
    ASSERT_TRUE(reopened);
    EXPECT_NE(reopened, fa);
}

TEST_F(FileAccessTest, WithoutEngineStateOpenFailsCleanly) {
    Put("A", "aaaa");
    Engine().OpenFiles.reset();
    std::string bare = "A";
    EXPECT_EQ(Raised([&] { OpenFile(bare); }).Number(), 91);
    Engine().SystemInfo.reset();
    std::string bare2 = "A";
    EXPECT_EQ(Raised([&] { OpenFile(bare2); }).Number(), 91);
}

TEST(OpenFileList, KeysIgnoreCaseAndDuplicatesFail) {
    cOpenFiles list;
    auto one = list.Add(1, "\\\\H\\S\\ONE", 0, "\\\\H\\S\\ONE");
    list.Add(2, "unkeyed", 0);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Item("\\\\h\\s\\one"), one);
    EXPECT_EQ(list.Item(2)->vbFileNumber, 2);
    EXPECT_EQ(Raised([&] { list.Add(3, "x", 0, "\\\\H\\S\\one"); }).Number(), 457);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(Raised([&] { list.Item("nope"); }).Number(), 5);
    EXPECT_EQ(Raised([&] { list.Item(3); }).Number(), 9);
    list.Remove("\\\\H\\S\\ONE");
    EXPECT_EQ(list.Count(), 1);
    EXPECT_FALSE(list.Find("\\\\H\\S\\ONE"));
}

// Closing a file takes it out of the middle of the list: the files after it stay found by key.
TEST(OpenFileList, MembersAfterARemovedOneAreStillFound) {
    cOpenFiles list;
    list.Add(1, "A", 0, "A");
    list.Add(2, "B", 0, "B");
    auto c = list.Add(3, "C", 0, "C");
    list.Remove(1);
    EXPECT_EQ(list.Find("c"), c);
    EXPECT_EQ(list.Item(2), c);
    list.Remove("b");
    EXPECT_EQ(list.Item("C"), c);
    EXPECT_EQ(list.Count(), 1);
}

TEST_F(FileAccessTest, OutOfDescriptorsIsTooManyFilesNeverNotFound) {
    std::string present = Put("PARTL", Pattern(64));
    std::string missing = "NOSUCH";
    {
        platform::testing::DescriptorsExhausted exhausted;
        auto e = Raised([&] { OpenFile(present); });
        EXPECT_EQ(e.Number(), 67);
        EXPECT_EQ(e.Source(), "OpenFile");
        EXPECT_EQ(e.Description(), "Too many files");
        // Whether a name is missing cannot be told without searching its folder: the same error.
        EXPECT_EQ(Raised([&] { OpenFile(missing); }).Number(), 67);
        EXPECT_EQ(Engine().OpenFiles->Count(), 0);
    }
    auto f = OpenFile(present);
    ASSERT_TRUE(f);
    EXPECT_EQ(ReadFile(f.get(), 64, 0), Pattern(64));
}

TEST_F(FileAccessTest, NameWithTrailingBlanksOpensTheFileWindowsWouldOpen) {
    sandbox_.dir().Write("unc/HOST/QMRLINK/DB/PARTIAB", "data");
    std::string name = "\\\\HOST\\QMRLINK\\DB\\PARTIAB ";
    auto f = OpenFile(name);
    ASSERT_TRUE(f);
    EXPECT_EQ(ReadFile(f.get(), 4, 0), "data");
}

}  // namespace
}  // namespace zel::engine
