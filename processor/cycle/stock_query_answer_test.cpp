// Stock queries answered end to end through ProcessRequest on business shares that the share
// builder writes from the sample description, changed per test.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "engine/catalog.h"
#include "engine/state.h"
#include "platform/convert.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/seams.h"
#include "platform/settings.h"
#include "platform/test_support.h"
#include "processor/answers/stock_query.h"
#include "processor/cycle/request_cycle.h"
#include "processor/globals.h"
#include "processor/sample_share_test_support.h"
#include "processor/statistics.h"

namespace zel::processor {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using json = nlohmann::json;
namespace pf = zel::platform;

const std::string kFolder = "\\\\HOST\\DadAri\\zeldist\\";

struct Item {
    std::string mfgCode;
    std::string partNumber;
    std::string quantity;
};

class StockQueryTest : public ::testing::Test {
protected:
    void SetUp() override {
        share = testing::SampleShareDescription();
        ResetState();
        gState.gQueryResp = 2;
    }
    void TearDown() override { ResetState(); }
    static void ResetState() { gState = ProgramState{}; }

    // The file description `name` of the data set `set` (1 is the current data directory).
    json& Table(const std::string& name, int set = 1) {
        const std::string path = "QMR" + std::to_string(set) + ":QMR" + std::to_string(set) + "FD";
        for (json& r : share["resolutions"]) {
            if (r["path"] != path) continue;
            for (json& f : r["files"]) {
                if (f.value("name", "") == name) return f;
            }
        }
        throw std::runtime_error("no table " + name + " in data set " + std::to_string(set));
    }
    // Adds a part row to the parts file of data set `set` under the next free record number.
    void AddPart(json row, int set = 1) {
        json& rows = Table("PARTL", set)["rows"];
        int next = 1;
        for (const json& r : rows) next = std::max(next, r["number"].get<int>() + 1);
        row["number"] = next;
        rows.push_back(row);
    }
    // A data set like the second one, with the given rows, for the location `set`.
    void AddDataSet(int set, const std::vector<json>& rows) {
        const std::string n = std::to_string(set);
        json res = {{"path", "QMR" + n + ":QMR" + n + "FD"}, {"files", json::array()}};
        json parts = Table("PARTL", 2);
        parts["rows"] = rows;
        for (std::size_t i = 0; i < rows.size(); ++i) parts["rows"][i]["number"] = i + 1;
        parts["links"] = {":QMR" + n + ":PARTL"};
        parts["extension"]["links"] = {":QMR" + n + ":EPARTL"};
        json index = Table("PARTI", 2);
        index["links"] = {":QMR" + n + ":PARTI"};
        res["files"].push_back(parts);
        res["files"].push_back(index);
        share["resolutions"].push_back(res);
    }
    void Locations(int count) { share["file0"]["values"]["LocationCount"] = count; }

    void Build() {
        connected.Connect(share, sandbox);
        sandbox.dir().MakeDirs("unc/HOST/DadAri/zeldist");
    }

    std::string Request(const std::string& dealer, const std::vector<Item>& items,
                        const std::string& count = "<items>") const {
        std::string text =
            "[ZELINFO]\r\nDocType=QUERY\r\nTradePartner=PARTNER ONE \r\nDealerNumber=" + dealer +
            "\r\n[DMSINFO]\r\nTIMESUBMITED=09:30:00\r\n[COUNT]\r\n";
        if (count != "<none>") {
            text += "POItemCount=" + (count == "<items>" ? std::to_string(items.size()) : count) +
                    "\r\n";
        }
        for (std::size_t i = 0; i < items.size(); ++i) {
            text += "[POITEMS" + std::to_string(i + 1) + "]\r\nMfgCode=" + items[i].mfgCode +
                    "\r\nPartNumber=" + items[i].partNumber + "\r\nPartQty=" + items[i].quantity +
                    "\r\n";
        }
        return text;
    }
    // Drops the request into the request folder and processes it; the answer's path.
    std::string Ask(const std::string& request, const std::string& name = "q.req") {
        sandbox.dir().Write("unc/HOST/DadAri/zeldist/" + name, request);
        std::string path = kFolder + name;
        ProcessRequest(path);
        answer = path + ".1";
        return answer;
    }
    std::string Ask(const std::string& dealer, const std::vector<Item>& items) {
        return Ask(Request(dealer, items));
    }
    // A value of the answer (the whole value, as written).
    std::string Value(const std::string& section, const std::string& key) const {
        return pf::GetProfileString(section, key, "<missing>", 100000, answer);
    }
    // The keys of a section of the answer, in file order.
    std::vector<std::string> Keys(const std::string& section) const {
        std::vector<std::string> keys;
        for (const std::string& line : pf::GetProfileSectionLines(section, answer)) {
            keys.push_back(line.substr(0, line.find('=')));
        }
        return keys;
    }
    // The answer's text as written.
    std::string Text() const { return pf::ReadWholeFile(answer); }
    bool Answered() const { return pf::FileExists(answer); }
    static std::string Counter(const std::string& key) { return ReadStatistic(key); }

    pf::testing::SandboxEnv sandbox;
    testing::ConnectedShare connected;
    pf::testing::BoxRecorder boxes;
    pf::ScopedEndProgramThrows ends;
    json share;
    std::string answer;
};

std::string Trimmed(const std::string& s) { return pf::TrimValue(s); }

// --- The answer's sections and keys ----------------------------------------------------------

TEST_F(StockQueryTest, ItemKeysComeInTheirOrderOfWriting) {
    Build();
    Ask("1001", {{"AB", "1234-5", "2"}});
    EXPECT_EQ(Value("ZELINFO", "DocType"), "QUERYRESPONSE");
    EXPECT_EQ(Value("QUERYRESPONSE", "Vendor"), "PARTNER ONE");
    EXPECT_THAT(Value("QUERYRESPONSE", "DateTime"),
                ::testing::MatchesRegex("20[0-9]{6} [0-9]{1,2}:[0-9]{1,2}:[0-9]{1,2}"));
    EXPECT_THAT(Keys("POITEMS1"),
                ElementsAre("PartNumber", "PartDesc", "QueryQty", "Retail", "Cost", "PartDiscount",
                            "Quantity1", "MfgCode", "CustomerManufacturerCode", "CustPartNum",
                            "UnitOfMeasure", "StatusMessage", "PackageCount", "ItemMemo"));
    EXPECT_EQ(Trimmed(Value("POITEMS1", "PartNumber")), "1234-5");
    EXPECT_EQ(Trimmed(Value("POITEMS1", "PartDesc")), "AIR FILTER ELEMENT");
    EXPECT_EQ(Value("POITEMS1", "QueryQty"), "2");
    EXPECT_EQ(Value("POITEMS1", "Quantity1"), "2");
    EXPECT_EQ(Value("POITEMS1", "MfgCode"), "AB");
    EXPECT_EQ(Trimmed(Value("POITEMS1", "CustomerManufacturerCode")), "AB");
    EXPECT_EQ(Trimmed(Value("POITEMS1", "CustPartNum")), "12345");
    EXPECT_EQ(Value("POITEMS1", "UnitOfMeasure"), "Each");
    EXPECT_EQ(Value("POITEMS1", "StatusMessage"), "Available");
    EXPECT_EQ(Value("POITEMS1", "PackageCount"), "1");
    EXPECT_EQ(Value("POITEMS1", "ItemMemo"), "");
    EXPECT_THAT(Keys("Count"), ElementsAre("PartsCount", "Locations"));
    EXPECT_EQ(Value("Count", "PartsCount"), "1");
    EXPECT_EQ(Value("Count", "Locations"), "1");
    EXPECT_THAT(Keys("Locations"), ElementsAre());
    EXPECT_THAT(Keys("Notes"), ElementsAre());
}

TEST_F(StockQueryTest, ModeOneAnswersEverythingOnHandModeTwoNoMoreThanAsked) {
    Build();
    // 12.5 on hand is 12 whole units (halves to even).
    Ask("1001", {{"AB", "1234-5", "3"}, {"AB", "1234-5", "20"}});
    EXPECT_EQ(Value("POITEMS1", "Quantity1"), "3");
    EXPECT_EQ(Value("POITEMS1", "StatusMessage"), "Available");
    EXPECT_EQ(Value("POITEMS2", "Quantity1"), "12");
    EXPECT_EQ(Value("POITEMS2", "StatusMessage"), "<missing>");  // short, nothing on order

    gState.gQueryResp = 1;
    Ask("1001", {{"AB", "1234-5", "3"}, {"AB", "1234-5", "20"}});
    EXPECT_EQ(Value("POITEMS1", "Quantity1"), "12");
    EXPECT_EQ(Value("POITEMS2", "Quantity1"), "12");

    gState.gQueryResp = 3;  // any other mode acts as 2
    Ask("1001", {{"AB", "1234-5", "3"}});
    EXPECT_EQ(Value("POITEMS1", "Quantity1"), "3");
}

TEST_F(StockQueryTest, ItemCountMissingOrNotANumberAnswersNoItems) {
    Build();
    for (const char* count : {"<none>", "three", "", "99999999999"}) {
        Ask(Request("1001", {{"AB", "1234-5", "1"}}, count));
        ASSERT_TRUE(Answered()) << count;
        EXPECT_THAT(Keys("POITEMS1"), ElementsAre()) << count;
        EXPECT_EQ(Value("Count", "PartsCount"), "0") << count;
        EXPECT_EQ(Value("Count", "Locations"), "0") << count;
    }
    // A count far beyond the items the request holds answers the items it holds.
    Ask(Request("1001", {{"AB", "1234-5", "1"}, {"AB", "1234-5", "2"}}, "50000"));
    EXPECT_EQ(Value("Count", "PartsCount"), "2");
    EXPECT_EQ(Value("POITEMS2", "QueryQty"), "2");
    EXPECT_THAT(Keys("POITEMS3"), ElementsAre());
    EXPECT_EQ(Counter("Item1-2"), "2");
}

// One small request with a count of 2147483647 and a section planted under that number: only
// the two sections it holds are answered, each under its own number.
TEST_F(StockQueryTest, PlantedSectionUnderAHugeCountAnswersOnlyTheSectionsHeld) {
    Build();
    const std::string request =
        "[ZELINFO]\r\nDocType=QUERY\r\nTradePartner=self\r\nDealerNumber=1001\r\n"
        "[COUNT]\r\nPOItemCount=2147483647\r\n"
        "[POITEMS1]\r\nMfgCode=AB\r\nPartNumber=1234-5\r\nPartQty=2\r\n"
        "[POITEMS2147483647]\r\nMfgCode=AB\r\nPartNumber=1234-5\r\nPartQty=1\r\n";
    ASSERT_LT(request.size(), 250u);
    Ask(request);
    ASSERT_TRUE(Answered());
    EXPECT_EQ(Value("Count", "PartsCount"), "2");
    EXPECT_EQ(Value("POITEMS1", "QueryQty"), "2");
    EXPECT_EQ(Value("POITEMS2147483647", "QueryQty"), "1");
    EXPECT_EQ(Value("POITEMS2147483647", "StatusMessage"), "Available");
    EXPECT_THAT(Keys("POITEMS2"), ElementsAre());
    EXPECT_EQ(Counter("Item1-2"), "2");
    EXPECT_EQ(Counter("Item1-3"), "2");
    std::size_t items = 0;
    for (const std::string& name : pf::GetProfileSectionNames(answer))
        items += name.rfind("POITEMS", 0) == 0;
    EXPECT_EQ(items, 2u);
    EXPECT_THAT(boxes.texts, ElementsAre());
}

// Above the cut the sections held up to the count are answered in ascending order whatever
// order the request gives them, and a section beyond the count is not asked for.
TEST_F(StockQueryTest, CountAboveTheCutAnswersTheSectionsHeldInAscendingOrder) {
    Build();
    const std::string request =
        "[ZELINFO]\r\nDocType=QUERY\r\nDealerNumber=1001\r\n[COUNT]\r\nPOItemCount=20000\r\n"
        "[POITEMS30000]\r\nMfgCode=AB\r\nPartNumber=1234-5\r\nPartQty=9\r\n"
        "[POITEMS15000]\r\nMfgCode=AB\r\nPartNumber=1234-5\r\nPartQty=3\r\n"
        "[POITEMS1]\r\nMfgCode=AB\r\nPartNumber=1234-5\r\nPartQty=1\r\n";
    Ask(request);
    EXPECT_EQ(Value("Count", "PartsCount"), "2");
    EXPECT_EQ(Value("POITEMS15000", "QueryQty"), "3");
    EXPECT_THAT(Keys("POITEMS30000"), ElementsAre());
    const std::string text = Text();
    EXPECT_LT(text.find("[POITEMS1]"), text.find("[POITEMS15000]"));
    EXPECT_EQ(Counter("Item1-2"), "2");
}

// Bare item sections under a count above the cut: no more are answered than the cut's count,
// the lowest numbers, and the answer counts only those.
TEST_F(StockQueryTest, CountAboveTheCutAnswersNoMoreItemsThanTheCut) {
    Build();
    std::string request =
        "[ZELINFO]\r\nDocType=QUERY\r\nDealerNumber=1001\r\n[COUNT]\r\nPOItemCount=2000000\r\n";
    for (int n = 10002; n >= 1; --n) request += "[POITEMS" + std::to_string(n) + "]\r\n";
    Ask(request);
    ASSERT_TRUE(Answered());
    EXPECT_EQ(Value("Count", "PartsCount"), "9999");
    EXPECT_EQ(Counter("Item1-2"), "9999");
    EXPECT_NE(Value("POITEMS9999", "StatusMessage"), "<missing>");
    EXPECT_THAT(Keys("POITEMS10000"), ElementsAre());
    std::size_t items = 0;
    for (const std::string& name : pf::GetProfileSectionNames(answer))
        items += name.rfind("POITEMS", 0) == 0;
    EXPECT_EQ(items, 9999u);
}

// Numbers written with grouping marks are read as the locale reads them, not as 0.
TEST_F(StockQueryTest, GroupingMarksInDealerQuantityAndCount) {
    pf::testing::ScopedDefaultLocale english("en_US");
    Build();
    Ask(Request("1,001",
                {{"AB", "1234-5", "1,000"}, {"AB", "1234-5", "1,234.5"}, {"AB", "1234-5", "1,0"}},
                "10,000"));
    // The dealer is found: no exceptions document.
    ASSERT_TRUE(Answered());
    EXPECT_EQ(Value("POITEMS1", "QueryQty"), "1000");
    EXPECT_EQ(Value("POITEMS1", "Quantity1"), "12");   // short: what is on hand
    EXPECT_EQ(Value("POITEMS2", "QueryQty"), "1234");  // halves to even
    EXPECT_EQ(Value("POITEMS3", "QueryQty"), "0");     // not a grouping: not numeric
    // "10,000" is above the cut: the three sections the request holds.
    EXPECT_EQ(Value("Count", "PartsCount"), "3");
    EXPECT_EQ(Counter("Item1-2"), "3");

    Ask(Request("1,0", {{"AB", "1234-5", "1"}}));
    const std::string exceptions = kFolder + "q.req.2";
    EXPECT_EQ(pf::GetProfileString("ERRORINFO", "ErrorMsg1", "", 200, exceptions),
              "Invalid Dealer Number: 1,0.  FATAL ERROR");
}

TEST_F(StockQueryTest, NumbersBeyond32BitsAreNotNumbers) {
    Build();
    Ask("99999999999", {{"AB", "1234-5", "99999999999"}});
    // The dealer is invalid: the answer goes with the exceptions document, item answered.
    const std::string exceptions = kFolder + "q.req.2";
    EXPECT_EQ(pf::GetProfileString("ERRORINFO", "ErrorCode1", "", 100, exceptions), "QMR-1");
    EXPECT_FALSE(Answered());
    EXPECT_THAT(boxes.texts, ElementsAre());
}

TEST_F(StockQueryTest, NotesLinesAndTheirCount) {
    gState.gQueryNotes = std::vector<std::string>{"PRICES IN USD", "CALL FOR FREIGHT"};
    Build();
    Ask("1001", std::vector<Item>{});
    EXPECT_THAT(Keys("Notes"), ElementsAre("NotesLine1", "NotesLine2"));
    EXPECT_EQ(Value("Notes", "NotesLine2"), "CALL FOR FREIGHT");
    EXPECT_THAT(Keys("Count"), ElementsAre("PartsCount", "Locations", "NotesCount"));
    EXPECT_EQ(Value("Count", "NotesCount"), "2");
}

// --- Prices ------------------------------------------------------------------------------------

TEST_F(StockQueryTest, DiscountFromRetailAndCostAndNoneWithoutRetail) {
    AddPart({{"Line", 200},
             {"Part_w_Dash", "PX-1"},
             {"Description", "PRICED"},
             {"Quantity_On_Hand", 5},
             {"List_Price", 10},
             {"Level_1_Price", 7.5},
             {"Cost", 5}});
    AddPart(
        {{"Line", 200}, {"Part_w_Dash", "PX-0"}, {"Description", "FREE"}, {"Quantity_On_Hand", 5}});
    // The dealer pays the first level price, with no price matrix.
    for (json& row : Table("CUSTL")["rows"]) {
        if (row["Account"] == 1006) row["Default_Level"] = 2;
    }
    Build();
    Ask("1006", {{"XYZ", "PX-1", "1"}, {"XYZ", "PX-0", "1"}});
    EXPECT_EQ(Value("POITEMS1", "Retail"), "10.00");
    EXPECT_EQ(Value("POITEMS1", "Cost"), "7.50");
    EXPECT_EQ(Value("POITEMS1", "PartDiscount"), "25");
    EXPECT_EQ(Value("POITEMS2", "Retail"), ".00");
    EXPECT_EQ(Value("POITEMS2", "Cost"), ".00");
    EXPECT_EQ(Value("POITEMS2", "PartDiscount"), "<missing>");
}

TEST_F(StockQueryTest, FactoryFreightIsChargedFromTheRequestedPart) {
    AddPart({{"Line", 200},
             {"Part_w_Dash", "FR-1"},
             {"Description", "HEAVY"},
             {"Quantity_On_Hand", 5},
             {"List_Price", 80},
             {"Cost", 40},
             {"F_Freight_Resale", 4.25}});
    Build();
    Ask("1006", {{"XYZ", "FR-1", "1"}, {"AB", "1234-5", "1"}});
    EXPECT_EQ(Value("POITEMS1", "AdditionalItemCharge1"), "4.25");
    EXPECT_EQ(Value("POITEMS1", "AdditionalItemChargeDescription1"), "Factory Freight");
    EXPECT_EQ(Value("POITEMS1", "AdditionalChargeDescriptionCount"), "1");
    EXPECT_EQ(Value("POITEMS2", "AdditionalItemCharge1"), "<missing>");
}

// --- Replacements and alternates ---------------------------------------------------------------

TEST_F(StockQueryTest, ReplacementTakenWithTheAlternateKeys) {
    Build();
    Ask("1001", {{"ABC", "BR-100", "5"}});
    EXPECT_EQ(Trimmed(Value("POITEMS1", "PartNumber")), "BR-100");
    EXPECT_EQ(Trimmed(Value("POITEMS1", "PartDesc")), "BRAKE SHOE OLD");
    EXPECT_EQ(Value("POITEMS1", "Quantity1"), "5");
    EXPECT_EQ(Value("POITEMS1", "AlternateManufacturerCode1"), "ABC");
    EXPECT_EQ(Value("POITEMS1", "AlternateManufacturerCodeCount"), "1");
    EXPECT_EQ(Value("POITEMS1", "AlternatePartReason1"), "SUPERCEDED");
    EXPECT_EQ(Value("POITEMS1", "AlternatePartReasonCount"), "1");
    // Part numbers keep the blanks of their stored width.
    EXPECT_THAT(Text(), HasSubstr("AlternatePartNumber1=BR200" + std::string(13, ' ') + "\r\n"));
    EXPECT_EQ(Value("POITEMS1", "AlternatePartNumCount"), "1");
    // The kept part number is the one the replacement lookup rewrote.
    EXPECT_THAT(Text(), HasSubstr("CustPartNum=BR200" + std::string(13, ' ') + "\r\n"));
    EXPECT_EQ(Value("POITEMS1", "StatusMessage"), "Available");
}

TEST_F(StockQueryTest, AlternateChainOfThePartsDatabase) {
    Build();
    Ask("1001", {{"ABC", "BR-900", "2"}, {"XYZ", "XF-123456789012", "1"}});
    // BR-900 -> BR-901 -> BR-200: the last alternate answers with the chain's stock.
    EXPECT_EQ(Trimmed(Value("POITEMS1", "PartNumber")), "BR-900");
    EXPECT_EQ(Trimmed(Value("POITEMS1", "AlternatePartNumber1")), "BR200");
    EXPECT_EQ(Value("POITEMS1", "Quantity1"), "2");
    EXPECT_EQ(Value("POITEMS1", "StatusMessage"), "Available");
    EXPECT_NE(Value("POITEMS1", "Retail"), ".00");
    // A part of the parts database without alternates is priced but has nothing here.
    EXPECT_NE(Value("POITEMS2", "Retail"), ".00");
    EXPECT_EQ(Value("POITEMS2", "Quantity1"), "0");
    EXPECT_EQ(Value("POITEMS2", "StatusMessage"), "Special Order Only");
    EXPECT_EQ(Value("POITEMS2", "AlternatePartNumber1"), "<missing>");
}

TEST_F(StockQueryTest, PartNotFoundWithAndWithoutSetUpOfUnknownParts) {
    Build();
    for (bool setup : {false, true}) {
        gState.gSetupParts = setup;
        Ask("1001", {{"AB", "NOPE-1", "2"}, {"QQ", "1234-5", "1"}});
        EXPECT_EQ(Trimmed(Value("POITEMS1", "PartNumber")), "NOPE1") << setup;
        EXPECT_EQ(Value("POITEMS1", "PartDesc"), "Part Not Found") << setup;
        EXPECT_EQ(Value("POITEMS1", "Retail"), ".00") << setup;
        EXPECT_EQ(Value("POITEMS1", "Quantity1"), "0") << setup;
        EXPECT_EQ(Value("POITEMS1", "StatusMessage"), "Part Not Found") << setup;
        // The set-up gives the line's template part: one per package.
        EXPECT_EQ(Value("POITEMS1", "PackageCount"), setup ? "1" : "0") << setup;
        // An unknown manufacturer code is answered on line 550.
        EXPECT_EQ(Value("POITEMS2", "MfgCode"), "QQ");
        EXPECT_EQ(Trimmed(Value("POITEMS2", "CustomerManufacturerCode")), "MSC");
        EXPECT_EQ(Value("POITEMS2", "StatusMessage"), "Part Not Found");
    }
}

TEST_F(StockQueryTest, StateRuleAnswersUnauthorizedProductLine) {
    Build();
    gState.gRestrictLines = 1;
    Ask("1002", {{"ROP", "RP-10", "1"}, {"AB", "1234-5", "1"}});  // a dealer in OR
    EXPECT_EQ(Value("POITEMS1", "PartNumber"), "RP10");
    EXPECT_EQ(Value("POITEMS1", "PartDesc"), "");
    EXPECT_EQ(Value("POITEMS1", "Retail"), ".00");
    EXPECT_EQ(Value("POITEMS1", "Quantity1"), "0");
    EXPECT_EQ(Value("POITEMS1", "CustomerManufacturerCode"), "ROP");
    EXPECT_EQ(Value("POITEMS1", "StatusCode"), "-1");
    EXPECT_EQ(Value("POITEMS1", "StatusMessage"), "Unauthorized Product Line");
    EXPECT_EQ(Value("POITEMS1", "ItemMemo"), "Unauthorized Product Line");
    EXPECT_EQ(Value("POITEMS2", "StatusCode"), "<missing>");
    EXPECT_EQ(Value("POITEMS2", "ItemMemo"), "");
    // The unauthorized item bumps no status counter.
    EXPECT_EQ(Counter("Item1-3"), "1");
    EXPECT_EQ(Counter("Item1-6"), "0");

    Ask("1003", {{"ROP", "RP-10", "1"}});  // NV, on a linked account
    EXPECT_EQ(Value("POITEMS1", "StatusCode"), "<missing>");
}

// --- Status and counters -----------------------------------------------------------------------

TEST_F(StockQueryTest, EachStatusBumpsItsCounter) {
    AddPart({{"Line", 200},
             {"Part_w_Dash", "BO-1"},
             {"Description", "BACK ORDERED"},
             {"Qty_Back_Ordered", 5},
             {"Quantity_On_Order", 2}});
    AddPart({{"Line", 200},
             {"Part_w_Dash", "OO-1"},
             {"Description", "ON ORDER"},
             {"Quantity_On_Order", 3}});
    AddPart({{"Line", 200},
             {"Part_w_Dash", "NO-1"},
             {"Description", "SHORT"},
             {"Quantity_On_Hand", 1}});
    Build();
    Ask("1001", {{"AB", "1234-5", "1"},
                 {"XYZ", "SPEC-1", "1"},
                 {"XYZ", "BO-1", "1"},
                 {"XYZ", "OO-1", "1"},
                 {"XYZ", "NO-1", "4"},
                 {"AB", "GONE-1", "1"}});
    EXPECT_EQ(Value("POITEMS1", "StatusMessage"), "Available");
    EXPECT_EQ(Value("POITEMS2", "StatusMessage"), "Special Order Only");
    EXPECT_EQ(Value("POITEMS3", "StatusMessage"), "Factory Back-Ordered");
    EXPECT_EQ(Value("POITEMS4", "StatusMessage"), "On-Order, Awaiting Delivery");
    EXPECT_EQ(Value("POITEMS5", "StatusMessage"), "<missing>");
    EXPECT_EQ(Value("POITEMS6", "StatusMessage"), "Part Not Found");
    EXPECT_EQ(Counter("Item1-1"), "1");
    EXPECT_EQ(Counter("Item1-2"), "6");
    EXPECT_EQ(Counter("Item1-3"), "1");
    EXPECT_EQ(Counter("Item1-4"), "1");
    EXPECT_EQ(Counter("Item1-5"), "1");
    EXPECT_EQ(Counter("Item1-6"), "2");
}

TEST_F(StockQueryTest, PauseDuringTheDealerCheckLeavesTheRequestAfterCountingIt) {
    Build();
    gState.gPauseRequested = true;
    const std::string request = Request("1001", {{"AB", "1234-5", "1"}});
    Ask(request);
    EXPECT_FALSE(Answered());
    EXPECT_EQ(sandbox.dir().Read("unc/HOST/DadAri/zeldist/q.req"), request);
    EXPECT_EQ(Counter("Item1-1"), "1");
    EXPECT_EQ(Counter("Item1-2"), "0");
}

TEST_F(StockQueryTest, RerunAfterAFailureRecordsTheDealerErrorOnce) {
    Build();
    // The exceptions document cannot be published: the program ends, and the work documents,
    // which were only in memory, are not written; the rerun starts the request afresh.
    sandbox.dir().MakeDirs("unc/HOST/DadAri/zeldist/q.req.2");
    const std::string request = Request("4242", {{"AB", "1234-5", "1"}});
    sandbox.dir().Write("unc/HOST/DadAri/zeldist/q.req", request);
    std::string path = kFolder + "q.req";
    EXPECT_THROW(ProcessRequest(path), pf::ProgramEnded);
    ASSERT_FALSE(pf::FileExists(kFolder + "q.req.b"));
    ASSERT_TRUE(pf::FileExists(kFolder + "q.req"));

    std::filesystem::remove(sandbox.UncRoot() + "/HOST/DadAri/zeldist/q.req.2");
    boxes.texts.clear();
    ProcessRequest(path);
    const std::string exceptions = kFolder + "q.req.2";
    EXPECT_EQ(pf::GetProfileString("COUNT", "ErrCount", "", 100, exceptions), "1");
    EXPECT_EQ(pf::GetProfileString("ERRORINFO", "ErrorCode2", "<missing>", 100, exceptions),
              "<missing>");
}

// --- Locations ---------------------------------------------------------------------------------

TEST_F(StockQueryTest, ShortItemAsksTheOtherLocationsAfterTheOwnOne) {
    Locations(3);
    AddDataSet(3, {{{"Line", 12},
                    {"Part_w_Dash", "1234-5"},
                    {"Description", "AIR FILTER ELEMENT"},
                    {"Quantity_On_Hand", 6}}});
    gState.gMultiBranch = true;
    Build();
    Ask("1002", {{"AB", "1234-5", "50"}, {"AB", "1234-5", "1"}});  // own location 2
    const auto keys = Keys("POITEMS1");
    std::vector<std::string> quantities;
    for (const auto& k : keys)
        if (k.rfind("Quantity", 0) == 0) quantities.push_back(k);
    EXPECT_THAT(quantities, ElementsAre("Quantity2", "Quantity1", "Quantity3"));
    EXPECT_EQ(Value("POITEMS1", "Quantity2"), "4");
    EXPECT_EQ(Value("POITEMS1", "Quantity1"), "12");
    EXPECT_EQ(Value("POITEMS1", "Quantity3"), "6");
    // The second item is covered at its own location: one quantity key.
    EXPECT_THAT(Keys("POITEMS2"), ::testing::Contains("Quantity2"));
    EXPECT_THAT(Keys("POITEMS2"), ::testing::Not(::testing::Contains("Quantity1")));
    EXPECT_EQ(Value("Count", "Locations"), "1");  // as the last item left it
    EXPECT_THAT(Keys("Locations"), ElementsAre("Name1", "Name2", "Name3"));
    EXPECT_EQ(Value("Locations", "Name3"), "");

    Ask("1002", {{"AB", "1234-5", "50"}});
    EXPECT_EQ(Value("Count", "Locations"), "3");
}

TEST_F(StockQueryTest, TwentyOneLocationsAreAllAnswered) {
    Locations(21);
    for (int k = 3; k <= 21; ++k) {
        AddDataSet(k, {{{"Line", 12},
                        {"Part_w_Dash", "1234-5"},
                        {"Description", "AIR FILTER"},
                        {"Quantity_On_Hand", k}}});
    }
    Table("CUSTL")["rows"].push_back({{"number", 9},
                                      {"Account", 2021},
                                      {"Name", "BRANCH DEALER"},
                                      {"Address_Line_2", "SACRAMENTO, CA 95814"},
                                      {"Responsibility_Cd", 21}});
    gState.gMultiBranch = true;
    Build();
    Ask("2021", {{"AB", "1234-5", "1000"}});
    ASSERT_TRUE(Answered());
    const auto keys = Keys("POITEMS1");
    std::vector<std::string> quantities;
    for (const auto& k : keys)
        if (k.rfind("Quantity", 0) == 0) quantities.push_back(k);
    ASSERT_EQ(quantities.size(), 21u);
    EXPECT_EQ(quantities.front(), "Quantity21");
    EXPECT_EQ(Value("POITEMS1", "Quantity21"), "21");
    EXPECT_EQ(Value("POITEMS1", "Quantity20"), "20");
    EXPECT_EQ(Value("Count", "Locations"), "21");
    EXPECT_EQ(Keys("Locations").size(), 21u);
    EXPECT_THAT(boxes.texts, ElementsAre());
}

TEST_F(StockQueryTest, ALocationWithoutPartsFilesEndsTheProgramAndKeepsTheRequest) {
    Locations(3);  // no parts files for location 3
    gState.gMultiBranch = true;
    Build();
    const std::string request = Request("1001", {{"AB", "1234-5", "50"}});
    sandbox.dir().Write("unc/HOST/DadAri/zeldist/q.req", request);
    std::string path = kFolder + "q.req";
    EXPECT_THROW(ProcessRequest(path), pf::ProgramEnded);
    ASSERT_FALSE(boxes.texts.empty());
    EXPECT_THAT(boxes.texts[0], ::testing::MatchesRegex(
                                    "Error: .*File not Found.* at Line: [0-9]+ in ProcessRequest"));
    EXPECT_EQ(sandbox.dir().Read("unc/HOST/DadAri/zeldist/q.req"), request);
}

}  // namespace
}  // namespace zel::processor
