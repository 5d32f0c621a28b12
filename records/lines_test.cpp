// The commodity walk of product lines and the line list, on shares built for each case.
#include <gtest/gtest.h>

#include "engine/fileio.h"
#include "engine/packing.h"
#include "records/lines.h"
#include "records/share_test_support.h"

namespace zel::records {
namespace {

using nlohmann::json;
using testing::Raised;

class LineListTest : public testing::ShareTest {
protected:
    // Replaces the sample's product lines with `rows`; LINEI lists only the first row's line.
    void Lines(json rows) {
        json& lines = FileOf("QMR1:QMR1FD", "LINEL");
        lines["rows"] = std::move(rows);
        json& index = FileOf("QMR1:QMR1FD", "LINEI");
        index.erase("derive");
        index.erase("from");
        index["entries"] = json::array();
    }
    static std::vector<std::string> Walk(const std::string& comodity, std::int32_t line = 5) {
        std::string image(222, '\0');
        engine::Pack('C', image, line, 3);
        image[27] = comodity.empty() ? '\0' : comodity[0];
        clsLines l;
        l.Unpack(image);
        return l.Comodities;
    }
    // Native path of the data file that holds the sample's QMR1 files, and where `name` starts.
    std::string DataFile() const { return "QMR1/QMR1DB"; }
    std::size_t AreaOf(const std::string& name) {
        const std::string dir = ReadShare("QMR1/QMR1FD");
        for (std::size_t at = 0; at + 32 <= dir.size(); at += 32)
            if (dir.compare(at, name.size(), name) == 0 &&
                (name.size() == 10 || dir[at + name.size()] == '\0'))
                return static_cast<std::size_t>(engine::Unpack('D', dir.substr(at, 32), 11)) * 512;
        ADD_FAILURE() << name;
        return 0;
    }
};

json Row(int number, int line, const std::string& comodity, json comodities = json()) {
    json r = {{"number", number}, {"Line", line}, {"Comodity", comodity}};
    if (!comodities.is_null()) r["Comodities"] = std::move(comodities);
    return r;
}

TEST_F(LineListTest, CommodityWalkStepsOverTheEntryItStoppedOn) {
    Lines(json::array({Row(1, 5, "A", {"A", "C", "F"}), Row(2, 6, "A", {"A"})}));
    Open();
    using V = std::vector<std::string>;
    EXPECT_EQ(Walk("A"), (V{"A", "C", "F"}));
    EXPECT_EQ(Walk("C"), (V{"C", "F"}));
    EXPECT_EQ(Walk("B"), (V{"B", "F"}));  // stops on C, steps past it
    EXPECT_EQ(Walk("F"), (V{"F"}));
    EXPECT_EQ(Walk("G"), (V{"G"}));     // every entry of the line sorts before it
    EXPECT_EQ(Walk("A", 7), (V{"A"}));  // a line without entries
    EXPECT_EQ(Walk("A", 6), (V{"A"}));  // the last entry of the index
}

TEST_F(LineListTest, DamagedCommodityIndexEndsTheWalk) {
    Lines(json::array({Row(1, 5, "A", {"A", "C", "F"}), Row(2, 6, "A", {"A"})}));
    Build();
    // The one index block: an entry count the block cannot hold.
    std::string data = ReadShare(DataFile());
    const std::size_t block = AreaOf("COMODI") + 512;
    data[block] = '\x7F';
    data[block + 1] = '\xFF';
    WriteShare(DataFile(), data);
    engine::LoadCatalogSettings();
    EXPECT_EQ(Walk("A"), std::vector<std::string>{"A"});

    // A leaf whose chain leads back to itself after its last entry.
    data[block] = 0;
    data[block + 1] = 2;  // (5,A), (5,C) and no end marker
    data[block + 2] = 0;
    data[block + 3] = 1;  // next leaf: itself
    WriteShare(DataFile(), data);
    engine::Engine().DataEngine.reset();
    engine::ReleaseEngine();
    engine::LoadCatalogSettings();
    const auto walked = Walk("A");
    ASSERT_GE(walked.size(), 1u);
    EXPECT_LE(walked.size(), 257u);
    EXPECT_EQ(walked[0], "A");
}

TEST_F(LineListTest, ListHoldsLiveLinesBelowOneThousandFirstRecordWins) {
    json rows = json::array({
        Row(1, 12, "A"),
        Row(2, 999, "A"),
        Row(3, 1000, "A"),
        Row(4, 12, "B"),
        Row(6, 7, "C"),
    });
    rows[0]["Line_Name"] = "FIRST";
    rows[3]["Line_Name"] = "SECOND";
    rows[4]["status"] = 0;
    Lines(rows);
    Open();
    clnLines list;
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Item(1)->Line, 12);
    EXPECT_EQ(list.Item("12")->Line_Name.substr(0, 5), "FIRST");
    EXPECT_EQ(list.Item("12")->Recno, 1);
    EXPECT_EQ(list.Item(2)->Line, 999);
    EXPECT_EQ(Raised([&] { list.Item("7"); }).Number(), 5);
    EXPECT_EQ(Raised([&] { list.Add(std::make_shared<clsLines>(), "999"); }).Number(), 457);
    list.Remove("12");
    EXPECT_EQ(list.Count(), 1);
    int seen = 0;
    for (const auto& member : list) seen += member.item->Line == 999;
    EXPECT_EQ(seen, 1);
}

TEST_F(LineListTest, EmptyAndDamagedRecordZero) {
    json& lines = FileOf("QMR1:QMR1FD", "LINEL");
    lines["recordZero"] = {{"highUsed", 0}};
    Open();
    EXPECT_EQ(clnLines().Count(), 0);
}

TEST_F(LineListTest, DamagedHighUsedRecordIsBoundByTheFile) {
    FileOf("QMR1:QMR1FD", "LINEL")["recordZero"] = {{"highUsed", 2000000000}};
    Open();
    EXPECT_EQ(clnLines().Count(), 6);
}

TEST_F(LineListTest, RecordsThatCannotBeReadAreLeftOut) {
    json& lines = FileOf("QMR1:QMR1FD", "LINEL");
    lines["extension"]["lastRecord"] = 3;  // records 4 on have no extension record
    Open();
    clnLines list;
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Find("0"), nullptr);
}

TEST_F(LineListTest, MissingLineFileIsAnErrorToTheCreator) {
    FileOf("QMR1:QMR1FD", "LINEL")["links"] = json::array();
    Open();
    EXPECT_EQ(Raised([] { clnLines list; }).Number(), -10);
}

}  // namespace
}  // namespace zel::records
