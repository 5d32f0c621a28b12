#include "engine/recordzero.h"

#include <gtest/gtest.h>

#include "engine/fileio.h"
#include "engine/packing.h"
#include "engine/test_helpers.h"
#include "platform/test_support.h"

namespace zel::engine {
namespace {

using testing::Raised;

constexpr std::int32_t kLen = 24;

// A plain record file whose area starts at block 2 of its data file, with ten records of
// which `live` are in use.
class RecordZeroTest : public ::testing::Test {
protected:
    void SetUp() override {
        Engine().OpenFiles = std::make_shared<cOpenFiles>();
        std::string image(2 * 512 + 11 * kLen, '\xEE');
        std::string zero(16, '\0');
        Pack('J', zero, -2, 1);
        Pack('L', zero, -1, kRecordZeroFreeHead);
        Pack('L', zero, 10, kRecordZeroHighUsed);
        Pack('L', zero, 10, kRecordZeroActive);
        image.replace(1024, 16, zero);
        for (int r = 1; r <= 10; ++r) {
            std::string rec(kLen, static_cast<char>('a' + r));
            Pack('J', rec, r, 1);
            image.replace(static_cast<std::size_t>(1024 + r * kLen), kLen, rec);
        }
        path_ = sandbox_.dir().Write("data/FILEDB", image);
        std::string name = "Z:" + path_;
        for (char& c : name) c = c == '/' ? '\\' : c;
        lf_.FileName = "CUSTL";
        lf_.FileType = "L";
        lf_.OpenFile = OpenFile(name);
        ASSERT_TRUE(lf_.OpenFile);
        lf_.Position = 2;
        lf_.RecordLength = kLen;
        lf_.LastRecord = 10;
    }
    void TearDown() override { Engine().OpenFiles.reset(); }

    std::string File() const { return sandbox_.dir().Read("data/FILEDB"); }
    std::int32_t Zero(std::int32_t at) const { return Unpack('L', File().substr(1024, 16), at); }
    std::string Record(std::int32_t r) const {
        return File().substr(static_cast<std::size_t>(1024 + r * kLen), kLen);
    }
    void SetActive(std::int32_t n) {
        std::string four(4, '\0');
        Pack('L', four, n, 1);
        WriteFile(lf_.OpenFile.get(), four, 1024 + kRecordZeroActive - 1);
    }

    platform::testing::SandboxEnv sandbox_;
    std::string path_;
    cLogicalFile lf_;
};

TEST_F(RecordZeroTest, DeletingALiveRecordLinksItIntoTheFreeList) {
    SetActive(3);
    const std::string before = File();
    DelRec(&lf_, 5);
    std::string freed(kLen, '\0');
    Pack('L', freed, -1, 3);
    EXPECT_EQ(Record(5), freed);
    EXPECT_EQ(Zero(kRecordZeroFreeHead), 5);
    EXPECT_EQ(Zero(kRecordZeroActive), 2);
    EXPECT_EQ(Zero(kRecordZeroHighUsed), 10);
    EXPECT_EQ(Unpack('J', File(), 1025), -2);
    // Nothing outside record zero and record 5 changed.
    std::string expect = before;
    expect.replace(1024 + 5 * kLen, kLen, freed);
    expect.replace(1024 + kRecordZeroFreeHead - 1, 4, File().substr(1024 + 2, 4));
    expect.replace(1024 + kRecordZeroActive - 1, 4, File().substr(1024 + 10, 4));
    EXPECT_EQ(File(), expect);
}

TEST_F(RecordZeroTest, SeveralDeletesChainTheFreeRecords) {
    DelRec(&lf_, 5);
    DelRec(&lf_, 1);
    DelRec(&lf_, 10);
    std::vector<std::int32_t> chain;
    for (std::int32_t r = Zero(kRecordZeroFreeHead); r != -1 && chain.size() < 11;
         r = Unpack('L', Record(r), 3)) {
        chain.push_back(r);
    }
    EXPECT_EQ(chain, (std::vector<std::int32_t>{10, 1, 5}));
    EXPECT_EQ(Zero(kRecordZeroActive), 7);
    EXPECT_EQ(Record(2).substr(2), std::string(kLen - 2, 'c'));
}

TEST_F(RecordZeroTest, DeletingADeletedRecordFailsAndChangesNothing) {
    DelRec(&lf_, 5);
    const std::string before = File();
    auto e = Raised([&] { DelRec(&lf_, 5); });
    EXPECT_EQ(e.Number(), 81);
    EXPECT_EQ(e.Source(), "DelRec");
    EXPECT_EQ(e.Description(), "Attempt to delete a deleted record");
    EXPECT_EQ(File(), before);

    // A negative status word is no live record either.
    std::string rec = Record(6);
    Pack('J', rec, -3, 1);
    WriteFile(lf_.OpenFile.get(), rec, 1024 + 6 * kLen);
    EXPECT_EQ(Raised([&] { DelRec(&lf_, 6); }).Number(), 81);
}

TEST_F(RecordZeroTest, LiveCountNeverDropsBelowZero) {
    SetActive(0);
    DelRec(&lf_, 2);
    EXPECT_EQ(Zero(kRecordZeroActive), 0);
}

TEST_F(RecordZeroTest, BadRecordNumbersFailBeforeAnyWrite) {
    const std::string before = File();
    for (std::int32_t bad : {0, 11, -1}) {
        auto e = Raised([&] { DelRec(&lf_, bad); });
        EXPECT_EQ(e.Number(), 81);
        EXPECT_EQ(e.Source(), "iLreadFile");
    }
    lf_.OpenFile.reset();  // data file missing: nothing can be written
    EXPECT_EQ(Raised([&] { DelRec(&lf_, 3); }).Number(), -10);
    EXPECT_EQ(File(), before);
}

TEST_F(RecordZeroTest, GetRecNeverAllocates) {
    const std::string before = File();
    std::int32_t rec = 42;
    auto e = Raised([&] { GetRec(&lf_, rec); });
    EXPECT_EQ(e.Number(), 57);
    EXPECT_EQ(e.Source(), "iGetRec");
    EXPECT_EQ(e.Description(), "Could not obtain a Lock on Record Zero of CUSTL");
    EXPECT_EQ(rec, 42);
    EXPECT_EQ(File(), before);
}

TEST_F(RecordZeroTest, LocksAreNeverObtained) {
    EXPECT_EQ(LogicalLock(&lf_, 3), 0);
    EXPECT_EQ(LogicalLock(&lf_, 0), 0);
    EXPECT_EQ(PhysicalLock("ANY", 0, 512), 0);
    EXPECT_EQ(PhysicalLock("", -1, -1), 0);
    EXPECT_EQ(ReleaseLock(0), 0);
    EXPECT_EQ(ReleaseLock(7), 0);
    EXPECT_EQ(Raised([&] { LogicalLock(&lf_, INT32_MAX); }).Number(), 6);
}

}  // namespace
}  // namespace zel::engine
