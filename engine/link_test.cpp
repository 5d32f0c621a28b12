#include "engine/link.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "engine/facade.h"
#include "engine/fileio.h"
#include "engine/keyindex.h"
#include "engine/packing.h"
#include "engine/share_test_support.h"
#include "engine/test_helpers.h"

namespace zel::engine {
namespace {

using testing::Raised;

class LinkTest : public testing::SampleShareTest {
protected:
    // Builds the share and connects the program-wide engine to it.
    void Connect() {
        Build();
        LoadCatalogSettings();
        ASSERT_TRUE(Engine().DataEngine);
    }
};

TEST_F(LinkTest, NamesAreQualifiedByTheDataDirectory) {
    Connect();
    auto cust = LogicalOpen("CUSTL");  // looked up as ":QMR1:CUSTL"
    ASSERT_TRUE(cust);
    EXPECT_EQ(cust->FileName, "CUSTL");
    EXPECT_EQ(cust->FileType, "L");
    EXPECT_EQ(cust->Position, 2);
    EXPECT_EQ(cust->RecordLength, 64);
    EXPECT_EQ(cust->LastRecord, 20);
    EXPECT_EQ(cust->Flags, 0);
    EXPECT_FALSE(cust->IsamPlus);
    ASSERT_TRUE(cust->OpenFile);
    // "QMR1:QMR1FD" is the file QMR1FD in the folder QMR1; its data file ends in "DB" instead.
    EXPECT_EQ(cust->OpenFile->Path, "\\\\QSERVER\\QMRLINK\\QMR1\\QMR1DB");

    auto branch = LogicalOpen(":QMR2:PARTL");  // already qualified: looked up as it stands
    ASSERT_TRUE(branch);
    EXPECT_EQ(branch->RecordLength, 128);
    EXPECT_EQ(branch->OpenFile->Path, "\\\\QSERVER\\QMRLINK\\QMR2\\QMR2DB");
    EXPECT_FALSE(LogicalOpen("PARTL"));  // ":QMR1:PARTL" has no link
}

TEST_F(LinkTest, SecondOpenComesFromTheCacheWithoutReadingFiles) {
    Connect();
    auto first = LogicalOpen("CUSTL");
    std::filesystem::remove(SharePath("QMR1/QMR1FD"));
    EXPECT_EQ(LogicalOpen("CUSTL"), first);
    EXPECT_FALSE(LogicalOpen(":QMR1:CUSTL"));  // cached under the name as given only
}

TEST_F(LinkTest, LinkLookupIgnoresCaseButMemberNamesDoNot) {
    Connect();
    EXPECT_TRUE(Engine().Links->Find(":qmr1:custl"));
    EXPECT_FALSE(LogicalOpen("custl"));
    EXPECT_TRUE(LogicalOpen("CUSTL"));
}

TEST_F(LinkTest, FirstOfDuplicateLinksWinsAndAPartialLastRowCounts) {
    description["links"] = {{{"link", ":QMR1:CUSTL"}, {"resolution", "QMR2:QMR2FD"}}};
    Build();
    // A last row cut short after its resolution name.
    std::string links = ReadShare("LINKSFILE");
    std::string partial(93, ' ');
    partial.replace(1, 9, ":Q2:CUSTL");
    partial.replace(81, 11, "QMR1:QMR1FD");
    WriteShare("LINKSFILE", links + partial);
    LoadCatalogSettings();

    auto cust = LogicalOpen("CUSTL");
    ASSERT_TRUE(cust);
    EXPECT_EQ(cust->RecordLength, 64);  // from QMR1:QMR1FD, the first row of the name
    auto viaPartial = LogicalOpen(":Q2:CUSTL");
    ASSERT_TRUE(viaPartial);
    EXPECT_EQ(viaPartial->Position, 2);

    cLinks links2;
    auto a = links2.Add(":X:A", "ONE", ":X:A");
    auto b = links2.Add(":x:a", "TWO", ":x:a");
    EXPECT_EQ(links2.Count(), 1);
    EXPECT_EQ(links2.Item(":X:A"), a);
    EXPECT_EQ(b->ResolutionFile, "TWO");  // returned, though not kept
}

TEST(LinkListTest, KeysIgnoreCaseAndSurviveRemoval) {
    cLinks links;
    std::string image;
    for (int i = 0; i < 20000; ++i) {
        std::string row(160, '\0');
        const std::string name = ":D:F" + std::to_string(i);
        row.replace(1, name.size(), name);
        row.replace(81, 4, "D:FD");
        image += row;
    }
    links.AddRows(image);
    EXPECT_EQ(links.Count(), 20000);
    EXPECT_EQ(links.Item(":d:f19999")->LinkFile, ":D:F19999");
    links.Remove(1);
    links.Remove(":D:F5");
    EXPECT_FALSE(links.Find(":D:F0"));
    EXPECT_FALSE(links.Find(":D:F5"));
    EXPECT_EQ(links.Item(":D:F6")->LinkFile, ":D:F6");
    EXPECT_EQ(links.Item(1)->LinkFile, ":D:F1");
    EXPECT_EQ(Raised([&] { links.Item(":D:F0"); }).Number(), 5);
    EXPECT_EQ(Raised([&] { links.Item(20000); }).Number(), 9);

    cLogicalFiles cache;
    cache.Add("PARTL", "L", nullptr, 1, 0, 64, 9, false, "PARTL");
    cache.Add("x", "L", nullptr, 1, 0, 64, 9, false);  // no key: only by index
    EXPECT_EQ(
        Raised([&] { cache.Add("partl", "L", nullptr, 1, 0, 64, 9, false, "partl"); }).Number(),
        457);
    EXPECT_EQ(cache.Count(), 2);
}

TEST_F(LinkTest, MissingLinkTableIsCreatedEmpty) {
    description["linksFile"] = false;
    Connect();
    EXPECT_TRUE(sandbox.dir().Exists("unc/QSERVER/QMRLINK/LINKSFILE"));
    EXPECT_EQ(ReadShare("LINKSFILE"), "");
    EXPECT_EQ(Engine().Links->Count(), 0);
    EXPECT_FALSE(LogicalOpen("CUSTL"));
    auto e = Raised([] { Engine().DataEngine->KCount("CUSTL"); });
    EXPECT_EQ(e.Number(), -10);
    EXPECT_EQ(e.Description(), "File not Found: \"CUSTL\"");
}

TEST_F(LinkTest, MissingDataFileStillGivesALogicalFile) {
    Connect();
    std::filesystem::remove(SharePath("QMR1/QMR1DB"));
    auto cust = LogicalOpen("CUSTL");
    ASSERT_TRUE(cust);
    EXPECT_FALSE(cust->OpenFile);
    EXPECT_EQ(LreadFile(cust.get(), 1), std::string(64, ' '));
    EXPECT_EQ(Raised([&] { LwriteFile(cust.get(), 1, std::string(64, 'x')); }).Source(),
              "iwriteFile");
    EXPECT_EQ(ActiveCount(*cust), 0);
}

TEST_F(LinkTest, MissingResolutionFileGivesNoneAndIsNotCreated) {
    Connect();
    std::filesystem::remove(SharePath("QMR1/QMR1FD"));
    EXPECT_FALSE(LogicalOpen("CUSTL"));
    EXPECT_FALSE(sandbox.dir().Exists("unc/QSERVER/QMRLINK/QMR1/QMR1FD"));
}

TEST_F(LinkTest, PhysicalFileTakenAsALogicalFile) {
    Connect();
    WriteShare("QMR1/BIGFILE", std::string(10240, 'b'));
    const auto cached = Engine().LogicalFiles->Count();

    std::string name = "BIGFILE";
    std::int32_t last = 0;
    auto whole = PhysLogicalOpen(name, "L", 512, &last);
    ASSERT_TRUE(whole);
    EXPECT_EQ(name, "\\\\QSERVER\\QMRLINK\\QMR1\\BIGFILE");
    EXPECT_EQ(last, 19);
    EXPECT_EQ(whole->LastRecord, 19);
    EXPECT_EQ(whole->FileName, name);
    EXPECT_EQ(whole->Position, 0);
    EXPECT_EQ(LreadFile(whole.get(), 19), std::string(512, 'b'));
    EXPECT_EQ(Engine().LogicalFiles->Count(), cached);

    last = 7;
    EXPECT_EQ(PhysLogicalOpen(name, "I", 512, &last)->LastRecord, 7);
    std::string missing = "NOFILE";
    EXPECT_FALSE(PhysLogicalOpen(missing, "L", 512));
    EXPECT_EQ(Raised([&] { PhysLogicalOpen(name, "L", 0); }).Number(), 11);
}

TEST_F(LinkTest, RecordZeroCounters) {
    Connect();
    auto cust = LogicalOpen("CUSTL");
    EXPECT_EQ(ActiveCount(*cust), 3);
    EXPECT_EQ(HighUsedRecord(*cust), 4);
    EXPECT_EQ(ActiveCount(*LogicalOpen("CUSTI")), 0);
    EXPECT_EQ(HighUsedRecord(*LogicalOpen("CUSTI")), 0);
}

TEST_F(LinkTest, ExtendedIndexIsRecognisedAndRead) {
    Connect();
    auto xref = LogicalOpen("XREFI");
    ASSERT_TRUE(xref);
    EXPECT_TRUE(xref->IsamPlus);
    EXPECT_EQ(xref->RecordLength, 2048);
    EXPECT_FALSE(LogicalOpen("CUSTI")->IsamPlus);

    std::string buff, key = sharegen::Compress("AB1234");
    std::int32_t rec = 0;
    KFind(xref.get(), buff, key, rec);
    EXPECT_EQ(rec, 3);
    KNext(xref.get(), buff, key, rec);
    EXPECT_EQ(rec, 5);
    KNext(xref.get(), buff, key, rec);
    EXPECT_EQ(rec, 9);
    EXPECT_EQ(KCount(xref.get()), 3);
    EXPECT_EQ(KLength(xref.get()), 8);  // the duplicate-key bytes count in the header's length
}

// Resolution rows as a damaged or foreign file directory might hold them.
TEST_F(LinkTest, AbsurdResolutionRowsGiveCleanErrors) {
    auto row = [](const std::string& name, char type, std::int32_t position, std::int32_t length,
                  std::int32_t last) {
        std::string r(32, '\0');
        r.replace(0, name.size(), name);
        Pack('D', r, position, 11);
        Pack('C', r, length, 14);
        r[15] = type;
        Pack('L', r, last, 17);
        return r;
    };
    description["links"] = nlohmann::json::array();
    for (const char* n : {"HUGEL", "NEGL", "ZEROI", "FARI", "TAILL"})
        description["links"].push_back(
            {{"link", std::string(":QMR1:") + n}, {"resolution", "QMR1:BADFD"}});
    Build();
    WriteShare("QMR1/BADDB", std::string(8192, '\x7F'));
    WriteShare("QMR1/BADFD", row("HUGEL", 'L', 0xFFFFFF, 65535, INT32_MAX) +
                                 row("NEGL", 'L', 1, 64, -5) + row("ZEROI", 'I', 1, 0, 3) +
                                 row("FARI", 'I', 0xFFFFFF, 512, 9) +
                                 row("TAILL", 'L', 1, 64, 4).substr(0, 12));
    LoadCatalogSettings();
    auto& engine = *Engine().DataEngine;

    EXPECT_EQ(Raised([&] { engine.LreadFile("HUGEL", 1); }).Number(), 6);
    EXPECT_EQ(Raised([&] { ActiveCount(*LogicalOpen("HUGEL")); }).Number(), 6);
    EXPECT_EQ(Raised([&] { engine.LreadFile("NEGL", 1); }).Number(), 81);

    std::string buff, key = "A";
    std::int32_t rec = 5;
    engine.KFind("ZEROI", buff, key, rec);
    EXPECT_EQ(rec, 0);
    EXPECT_NE(Raised([&] { engine.KCount("ZEROI"); }).Number(), 0);
    EXPECT_NE(Raised([&] { engine.KNext("ZEROI", buff, key, rec); }).Number(), 0);

    EXPECT_EQ(Raised([] { LogicalOpen("FARI"); }).Number(), 6);  // its header lies beyond 2 GB

    auto tail = LogicalOpen("TAILL");  // a last row cut short still names its file
    ASSERT_TRUE(tail);
    EXPECT_EQ(tail->Position, 0);
}

// File directories and data files as a damaged share might hold them: whatever the rows claim,
// every operation ends with a result or a numbered error, never outside its buffers.
TEST_F(LinkTest, RandomDirectoryRowsAndDataFilesNeverEscapeTheirBuffers) {
    Connect();
    std::mt19937 rng(4711);
    const char* names[] = {"CUSTL", "CUSTI", "XREFI"};
    auto pick = [&](std::initializer_list<std::int64_t> values) {
        return *(values.begin() + rng() % values.size());
    };
    auto below = [&](std::uint32_t n) { return static_cast<std::int64_t>(rng() % n); };
    for (int round = 0; round < 150; ++round) {
        std::string directory;
        for (const char* name : names) {
            std::string row(32, '\0');
            for (auto& c : row) c = static_cast<char>(rng() & 0xFF);
            row.replace(0, 10, std::string(name) + std::string(10 - std::strlen(name), '\0'));
            Pack('D', row, static_cast<std::int32_t>(pick({0, 1, 2, 7, 0xFFFFFF, below(40)})), 11);
            Pack('C', row,
                 static_cast<std::int32_t>(pick({0, 1, 7, 16, 512, 2048, 65535, below(3000)})), 14);
            row[15] = static_cast<char>(pick({'L', 'I', 'I', 'Z'}));
            Pack('L', row,
                 static_cast<std::int32_t>(pick({-5, 0, 1, 3, 40, INT32_MAX, below(100)})), 17);
            directory += row;
        }
        directory.resize(rng() % (directory.size() + 1));
        std::string data(rng() % 24000, '\0');
        for (auto& c : data) c = static_cast<char>(rng() % 7 == 0 ? 0xFF : rng() & 0xFF);
        WriteShare("QMR1/QMR1FD", directory);
        WriteShare("QMR1/QMR1DB", data);
        Engine().OpenFiles = std::make_shared<cOpenFiles>();
        Engine().LogicalFiles = std::make_shared<cLogicalFiles>();

        for (const char* name : names) {
            const auto attempt = [](auto&& f) {
                try {
                    f();
                } catch (const platform::RuntimeError&) {
                }
            };
            std::shared_ptr<cLogicalFile> lf;
            attempt([&] { lf = LogicalOpen(name); });
            if (!lf) continue;
            attempt([&] { LreadFile(lf.get(), 1 + static_cast<std::int32_t>(rng() % 3)); });
            attempt([&] { ActiveCount(*lf); });
            attempt([&] { HighUsedRecord(*lf); });
            attempt([&] { KLength(lf.get()); });
            attempt([&] { KCount(lf.get()); });
            std::string buff, key(3, static_cast<char>(rng() & 0xFF));
            std::int32_t rec = 0;
            KFind(lf.get(), buff, key, rec);
            attempt([&] {
                for (int s = 0; s < 5; ++s) KNext(lf.get(), buff, key, rec);
            });
            attempt([&] {
                for (int s = 0; s < 5; ++s) KPrev(lf.get(), buff, key, rec);
            });
            attempt([&] { KLast(lf.get(), buff, key, rec); });
        }
    }
}

}  // namespace
}  // namespace zel::engine
