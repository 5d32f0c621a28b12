// Purchase orders through the whole request cycle, on a business share built from the sample
// description with a few parts of their own: the "ACKNOWLEDGEMENT" answer, the order export read
// back line by line, the counters, and the order journal's exactly-once promise under crashes.
// The settings window is the program's source of the stored settings and the live pick-ticket
// counter, so these run with the windows installed.
#include "processor/answers/order_acknowledgement.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "engine/catalog.h"
#include "engine/state.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/seams.h"
#include "platform/settings.h"
#include "platform/test_support.h"
#include "processor/answers/order_journal.h"
#include "processor/answers/web_task.h"
#include "processor/crash_sweep_test_support.h"
#include "processor/cycle/request_cycle.h"
#include "processor/export_test_support.h"
#include "processor/globals.h"
#include "processor/hooks.h"
#include "processor/statistics.h"
#include "processor/utilities.h"
#include "processor/windows/install.h"
#include "processor/windows/settings_window.h"
#include "tools/sharegen/sharegen.h"

namespace zel::processor {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
namespace pf = zel::platform;
using testing::SweepCrashes;

const std::string kHost = "QSERVER";
const std::string kFolder = "\\\\QSERVER\\DadAri\\zeldist";

// Record values keep their fields' trailing blanks in the export; the tests compare without.
std::vector<std::string> Trimmed(std::vector<std::string> lines) {
    for (auto& line : lines) line = TrimValue(line);
    return lines;
}

std::vector<std::string> Lines(const std::string& text) { return testing::CrLfLines(text); }

// A request document from "section" and "key=value" lines.
std::string Doc(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text += line + "\r\n";
    return text;
}

class PurchaseOrderTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::ifstream in(std::string(ZEL_SOURCE_DIR) + "/samples/share.json");
        nlohmann::json d = nlohmann::json::parse(in);
        AddTestParts(d);
        sharegen::BuildShare(d, env_.UncRoot(), env_.Temp());
        env_.dir().MakeDirs("unc/QSERVER/DadAri/zeldist");
        env_.dir().MakeDirs("unc/QSERVER/DadAri/zelarchive");

        InstallWindows();
        pf::SaveSetting(kSettingsApp, kSettingsSection, "PickTicketCounter", "500");
        pf::SaveSetting(kSettingsApp, kSettingsSection, "EmergencyMessage", "");
        SettingsController::Instance().Unload();
        SettingsController::Instance().Load();
        ResetValues();
        gState.gHost = kHost;
        gState.gDirectory = "1";
        gState.gFile0Block1 =
            std::string(150, ' ') + "SAMPLE DISTRIBUTING" + std::string(16, '\0') + "tail";
        engine::LoadCatalogSettings();
        ASSERT_TRUE(engine::Engine().DataEngine) << "no engine on the test share";
    }
    void TearDown() override {
        engine::Engine().DataEngine.reset();
        engine::ReleaseEngine();
        engine::Engine() = engine::EngineState{};
        SettingsController::Instance().Unload();
        ResetValues();
    }
    static void ResetValues() { gState = ProgramState{}; }

    // Parts of the tests' own, beside the sample's: fractional stock on line AB, and a part of
    // line ABC whose parts-database chain runs over an alternate without stock to one with 3.
    static void AddTestParts(nlohmann::json& d) {
        for (auto& resolution : d["resolutions"]) {
            if (resolution["path"] != "QMR1:QMR1FD") continue;
            for (auto& file : resolution["files"]) {
                if (file.value("table", "") != "clsParts") continue;
                auto& rows = file["rows"];
                int next = 0;
                for (const auto& row : rows) next = std::max(next, row["number"].get<int>());
                auto add = [&](nlohmann::json row) {
                    row["number"] = ++next;
                    rows.push_back(row);
                };
                add({{"Line", 12},
                     {"Part_w_Dash", "HALF-45"},
                     {"Description", "FOUR AND A HALF"},
                     {"Quantity_On_Hand", 4.5}});
                add({{"Line", 12},
                     {"Part_w_Dash", "HALF-05"},
                     {"Description", "HALF A ONE"},
                     {"Quantity_On_Hand", 0.5}});
                add({{"Line", 12},
                     {"Part_w_Dash", "NONE-0"},
                     {"Description", "NONE ON HAND"},
                     {"Quantity_On_Hand", 0}});
                add({{"Line", 100},
                     {"Part_w_Dash", "CH-100"},
                     {"Description", "CHAIN START"},
                     {"Quantity_On_Hand", 2}});
                add({{"Line", 100},
                     {"Part_w_Dash", "CH-300"},
                     {"Description", "CHAIN END"},
                     {"Quantity_On_Hand", 3}});
                // Superseded by a part that is oversold: the order stays with the old part's
                // stock but is placed for the new part.
                add({{"Line", 12},
                     {"Part_w_Dash", "MV-1"},
                     {"Description", "MOVED"},
                     {"Quantity_On_Hand", 5},
                     {"supersededBy", {{"part", "MV-2"}}}});
                add({{"Line", 12},
                     {"Part_w_Dash", "MV-2"},
                     {"Description", "OVERSOLD"},
                     {"Quantity_On_Hand", -2}});
            }
        }
        for (auto& file : d["files"]) {
            if (file.value("path", "") != "DB/PARTLABC") continue;
            auto& rows = file["rows"];
            int next = 0;
            for (const auto& row : rows) next = std::max(next, row["number"].get<int>());
            rows.push_back({{"number", ++next},
                            {"AlphaLine", "ABC"},
                            {"Part_w_Dash", "CH-100"},
                            {"Description", "CHAIN START"},
                            {"supersededBy", "CH-200"}});
            rows.push_back({{"number", ++next},
                            {"AlphaLine", "ABC"},
                            {"Part_w_Dash", "CH-200"},
                            {"Description", "CHAIN MIDDLE"},
                            {"supersededBy", "CH-300"}});
            rows.push_back({{"number", ++next},
                            {"AlphaLine", "ABC"},
                            {"Part_w_Dash", "CH-300"},
                            {"Description", "CHAIN END"}});
            file["lastRecord"] = std::max(file.value("lastRecord", 0), next + 2);
        }
    }

    // Header lines of an order from dealer 1001 (in CA), then `more`.
    static std::vector<std::string> Order(const std::vector<std::string>& more,
                                          const std::string& dealer = "1001",
                                          const std::string& testFlag = "") {
        std::vector<std::string> lines = {"[ZELINFO]",
                                          "DocType=PO",
                                          "TradePartner=self",
                                          "DealerNumber=" + dealer,
                                          "TestFlag=" + testFlag,
                                          "[DMSINFO]",
                                          "TIMESUBMITED=09:00:00"};
        lines.insert(lines.end(), more.begin(), more.end());
        return lines;
    }
    // Item sections for (mfg, part, qty) triples with the count.
    static std::vector<std::string> Items(const std::vector<std::vector<std::string>>& items) {
        std::vector<std::string> lines = {"[COUNT]", "PoItemCount=" + std::to_string(items.size())};
        for (std::size_t i = 0; i < items.size(); ++i) {
            lines.push_back("[POITEMS" + std::to_string(i + 1) + "]");
            lines.push_back("MfgCode=" + items[i][0]);
            lines.push_back("PartNumber=" + items[i][1]);
            lines.push_back("PartQty=" + items[i][2]);
        }
        return lines;
    }
    static std::vector<std::string> Join(std::vector<std::string> a,
                                         const std::vector<std::string>& b) {
        a.insert(a.end(), b.begin(), b.end());
        return a;
    }

    std::string Path(const std::string& name) const { return kFolder + "\\" + name; }
    void Put(const std::string& name, const std::vector<std::string>& lines) const {
        env_.dir().Write("unc/QSERVER/DadAri/zeldist/" + name, Doc(lines));
    }
    void Process(const std::string& name) const {
        std::string path = Path(name);
        ProcessRequest(path);
    }
    std::string Answer(const std::string& name, const std::string& key,
                       const std::string& section = "ReturnReceipt") const {
        return pf::GetProfileString(section, key, "<missing>", 4096, Path(name));
    }
    // The acknowledgement `name` gives the dealer `ticket` as the order's number.
    void ExpectNumbered(const std::string& name, const std::string& ticket) const {
        EXPECT_EQ(Answer(name, "ConfirmationNumber"), ticket);
        EXPECT_THAT(Answer(name, "Comments"),
                    ::testing::HasSubstr("assigned Order Number " + ticket + " to it."));
    }
    bool InFolder(const std::string& name) const {
        return env_.dir().Exists("unc/QSERVER/DadAri/zeldist/" + name);
    }
    // What the folder holds beside the file the instances claim requests in.
    std::vector<std::string> FolderNames() const {
        std::vector<std::string> names = pf::ListDirectory(kFolder + "\\*");
        std::erase(names, pf::FileClaim::kClaimsFile);
        return names;
    }
    std::vector<std::string> ExportNames() const {
        return pf::ListDirectory("\\\\QSERVER\\DadAri\\WebTask\\In\\*");
    }
    std::vector<std::string> Export(std::int32_t ticket) const {
        return Lines(
            env_.dir().Read("unc/QSERVER/DadAri/WebTask/In/" + std::to_string(ticket) + ".txt"));
    }
    std::string Counter() const {
        return pf::GetSetting(kSettingsApp, kSettingsSection, "PickTicketCounter", "");
    }
    // The order lines of an export (everything after "H491").
    static std::vector<std::string> OrderLines(const std::vector<std::string>& lines) {
        auto it = std::find(lines.begin(), lines.end(), "H491");
        return it == lines.end() ? std::vector<std::string>{}
                                 : std::vector<std::string>(it + 1, lines.end());
    }

    pf::testing::SandboxEnv env_;
    pf::testing::BoxRecorder boxes_;
};

TEST_F(PurchaseOrderTest, OrderIsAcknowledgedAndExportedUnderItsTicket) {
    Put("a.req", Join(Order({"[POHEADER]", "PoNumber=PO-1", "ShipNote=leave at the back door"}),
                      Items({{"AB", "1234-5", "2"}})));
    Process("a.req");

    ASSERT_TRUE(InFolder("a.req.1"));
    EXPECT_THAT(FolderNames(), ElementsAre("a.req.1"));
    EXPECT_EQ(Counter(), "501");
    EXPECT_EQ(Answer("a.req.1", "DocType", "ZELINFO"), "ACKNOWLEDGEMENT");
    EXPECT_EQ(Answer("a.req.1", "DocVersion", "ZELINFO"), "2.0");
    EXPECT_EQ(Answer("a.req.1", "Type"), "PO");
    EXPECT_EQ(Answer("a.req.1", "Transaction"), "???");
    EXPECT_EQ(Answer("a.req.1", "Comments"),
              "Thank you for your order.  We have processed your order and assigned Order Number "
              "500 to it.  The ship quantities shown in this report are estimates based on "
              "quantities prior to submission of this order, and therefore could change when the "
              "order is pulled.  Please check back regularly for Order Status updates and Shipper "
              "Tracking numbers.");
    EXPECT_THAT(Answer("a.req.1", "Time"),
                ::testing::MatchesRegex("[0-9][0-9]:[0-9][0-9]:[0-9][0-9]"));
    EXPECT_THAT(Answer("a.req.1", "Date"), ::testing::MatchesRegex("20[0-9]{6}"));
    // Bytes 151-185 of the first system block, ending at the first NUL.
    EXPECT_EQ(Answer("a.req.1", "VendorName"), "SAMPLE DISTRIBUTING");
    EXPECT_EQ(Answer("a.req.1", "PoNumber"), "PO-1");
    EXPECT_EQ(Answer("a.req.1", "ShipNote"), "leave at the back door");
    EXPECT_EQ(Answer("a.req.1", "ItemCount"), "1");
    EXPECT_EQ(Answer("a.req.1", "ConfirmationNumber"), "500");
    EXPECT_EQ(Answer("a.req.1", "MfgCode1"), "AB");
    EXPECT_EQ(Answer("a.req.1", "QtyOrdered1"), "2");
    EXPECT_EQ(Answer("a.req.1", "QtyShipped1"), "2");
    EXPECT_EQ(Answer("a.req.1", "QtyBo1"), "0");
    EXPECT_EQ(Answer("a.req.1", "PartDisposition1"), "In Stock - Available");

    EXPECT_THAT(ExportNames(), ElementsAre("500.txt"));
    const auto lines = Export(500);
    EXPECT_THAT(
        Trimmed(lines),
        ElementsAre("***850ZEL", "H00500", "H011001", "H09PO-1", "H330", "H340", "H491", "D011",
                    "D02REM", "D06LEAVE AT THE BACK DOOR", "D012", "D02AB", "D031234-5", "D042"));
    EXPECT_EQ(TrimValue(Answer("a.req.1", "PartNumber1")), "1234-5");
    EXPECT_EQ(ReadStatistic("Item2-1"), "1");
    EXPECT_EQ(ReadStatistic("Item2-2"), "1");
    EXPECT_EQ(ReadStatistic("Item2-3"), "1");
}

TEST_F(PurchaseOrderTest, TestOrderDrawsANumberAndLeavesNoExport) {
    Put("t.req",
        Join(Order({"[POHEADER]", "PoNumber=T"}, "1001", "y"), Items({{"AB", "1234-5", "1"}})));
    Process("t.req");
    EXPECT_EQ(Counter(), "501");
    EXPECT_EQ(Answer("t.req.1", "ConfirmationNumber"), "500");
    EXPECT_EQ(Answer("t.req.1", "Comments"),
              "Thank you for your TEST order.  We have processed your order and DELETED it.  The "
              "ship quantities shown in this report are estimates based on quantites prior to "
              "submission of this order, and therefore could change if order was to be pulled.");
    EXPECT_EQ(Answer("t.req.1", "PartDisposition1"), "In Stock - Available");
    EXPECT_TRUE(ExportNames().empty());
    EXPECT_THAT(FolderNames(), ElementsAre("t.req.1"));
}

TEST_F(PurchaseOrderTest, OrderWithoutValidItemsCarriesTheTwoErrorRemarks) {
    pf::SaveSetting(kSettingsApp, kSettingsSection, "EmergencyMessage", "CALL US");
    SettingsController::Instance().Unload();
    SettingsController::Instance().Load();
    for (const char* count : {"", "PoItemCount=0", "PoItemCount=many", "PoItemCount=99999999999"}) {
        SCOPED_TRACE(count);
        const std::int32_t ticket = std::stoi(Counter());
        Put("c.req",
            Order({"[POHEADER]", "PoNumber=C", "ShipNote=N", "EmergencyCode=Y", "[COUNT]", count}));
        Process("c.req");
        EXPECT_EQ(Answer("c.req.1", "ItemCount"), "0");
        EXPECT_EQ(Answer("c.req.1", "MfgCode1"), "<missing>");
        EXPECT_THAT(OrderLines(Export(ticket)),
                    ElementsAre("D011", "D02REM", "D06CALL US" + std::string(29, ' '),  //
                                "D012", "D02REM", "D06N",                               //
                                "D011", "D02REM", "D06ZEL ORDER WITH THE FOLLOWING ERRORS", "D012",
                                "D02REM", "D06NO VALID PRODUCT LINES"));
        pf::DeleteFile(Path("c.req.1"));
    }
}

// A count far beyond what the request holds is taken as far as its item sections go.
TEST_F(PurchaseOrderTest, AbsurdItemCountIsCutToTheItemsTheRequestHolds) {
    auto lines = Join(Order({"[POHEADER]", "PoNumber=A"}),
                      Items({{"AB", "1234-5", "1"}, {"AB", "1234-5", "2"}}));
    std::replace(lines.begin(), lines.end(), std::string("PoItemCount=2"),
                 std::string("PoItemCount=2000000000"));
    Put("b.req", lines);
    Process("b.req");
    EXPECT_EQ(Answer("b.req.1", "ItemCount"), "2");
    EXPECT_EQ(Answer("b.req.1", "QtyOrdered2"), "2");
    EXPECT_EQ(ReadStatistic("Item2-2"), "2");
}

// One small order with a count of 2147483647 and a section planted under that number: the two
// sections it holds are acknowledged under their own numbers and exported as two lines.
TEST_F(PurchaseOrderTest, PlantedSectionUnderAHugeCountOrdersOnlyTheSectionsHeld) {
    const std::vector<std::string> lines = {"[ZELINFO]",
                                            "DocType=PO",
                                            "TradePartner=self",
                                            "DealerNumber=1001",
                                            "[COUNT]",
                                            "PoItemCount=2147483647",
                                            "[POITEMS1]",
                                            "MfgCode=AB",
                                            "PartNumber=1234-5",
                                            "PartQty=2",
                                            "[POITEMS2147483647]",
                                            "MfgCode=AB",
                                            "PartNumber=1234-5",
                                            "PartQty=1"};
    ASSERT_LT(Doc(lines).size(), 250u);
    Put("h.req", lines);
    Process("h.req");
    ASSERT_THAT(FolderNames(), ElementsAre("h.req.1"));
    EXPECT_EQ(Answer("h.req.1", "ItemCount"), "2");
    EXPECT_EQ(Answer("h.req.1", "QtyOrdered1"), "2");
    EXPECT_EQ(Answer("h.req.1", "QtyOrdered2147483647"), "1");
    EXPECT_EQ(Answer("h.req.1", "PartDisposition2147483647"), "In Stock - Available");
    EXPECT_EQ(Answer("h.req.1", "MfgCode2"), "<missing>");
    EXPECT_EQ(ReadStatistic("Item2-2"), "2");
    EXPECT_EQ(ReadStatistic("Item2-3"), "2");
    EXPECT_THAT(
        Trimmed(OrderLines(Export(500))),
        ElementsAre("D011", "D02AB", "D031234-5", "D042", "D012", "D02AB", "D031234-5", "D041"));
}

// Item sections under a count above the cut: the order takes no more than the cut's count,
// the lowest numbers, and acknowledges and exports only those.
TEST_F(PurchaseOrderTest, CountAboveTheCutOrdersNoMoreItemsThanTheCut) {
    std::vector<std::string> lines = Order({"[POHEADER]", "PoNumber=A"});
    lines.push_back("[COUNT]");
    lines.push_back("PoItemCount=2000000");
    for (int n = 10002; n >= 1; --n) {
        for (const std::string& line :
             {"[POITEMS" + std::to_string(n) + "]", std::string("MfgCode=AB"),
              std::string("PartNumber=1234-5"), std::string("PartQty=1")})
            lines.push_back(line);
    }
    Put("m.req", lines);
    Process("m.req");
    ASSERT_THAT(FolderNames(), ElementsAre("m.req.1"));
    EXPECT_EQ(Answer("m.req.1", "ItemCount"), "9999");
    EXPECT_EQ(ReadStatistic("Item2-2"), "9999");
    EXPECT_NE(Answer("m.req.1", "PartDisposition9999"), "<missing>");
    EXPECT_EQ(Answer("m.req.1", "PartDisposition10000"), "<missing>");
    EXPECT_EQ(ReadStatistic("Item2-3"), "9999");
    const std::vector<std::string> exported = Trimmed(OrderLines(Export(500)));
    EXPECT_EQ(std::count(exported.begin(), exported.end(), "D031234-5"), 9999);
}

// Numbers written with grouping marks are read as the locale reads them: the dealer is found
// and billed, the quantity ordered is a thousand and the count crosses the cut.
TEST_F(PurchaseOrderTest, GroupingMarksInDealerQuantityAndCount) {
    pf::testing::ScopedDefaultLocale english("en_US");
    auto lines = Join(Order({"[POHEADER]", "PoNumber=G"}, "1,001"),
                      Items({{"AB", "1234-5", "1,000"}, {"AB", "1234-5", "1,0"}}));
    std::replace(lines.begin(), lines.end(), std::string("PoItemCount=2"),
                 std::string("PoItemCount=10,000"));
    Put("g.req", lines);
    Process("g.req");
    ASSERT_THAT(FolderNames(), ElementsAre("g.req.1"));
    EXPECT_EQ(Answer("g.req.1", "ItemCount"), "2");
    EXPECT_EQ(Answer("g.req.1", "QtyOrdered1"), "1000");
    EXPECT_EQ(Answer("g.req.1", "PartDisposition1"), "Partial Fill - Balance BackOrdered");
    EXPECT_EQ(Answer("g.req.1", "QtyBo1"), "988");
    EXPECT_EQ(Answer("g.req.1", "QtyOrdered2"), "0");  // not a grouping: not numeric
    EXPECT_EQ(ReadStatistic("Item2-2"), "2");
    const auto exported = Trimmed(Export(500));
    ASSERT_GE(exported.size(), 3u);
    EXPECT_EQ(exported[2], "H011001");
    EXPECT_EQ(Trimmed(OrderLines(exported))[3], "D041000");

    // Not a number under this locale: the dealer error, and account 0 billed.
    Put("i.req", Join(Order({"[POHEADER]", "PoNumber=I"}, "1,0"), Items({{"AB", "1234-5", "1"}})));
    Process("i.req");
    EXPECT_EQ(Answer("i.req.2", "ErrorMsg1", "ERRORINFO"),
              "Invalid Dealer Number: 1,0.  FATAL ERROR");
    EXPECT_EQ(Trimmed(Export(501))[2], "H010");
}

TEST_F(PurchaseOrderTest, StateRuleDropsRestrictedLinesAndOneValidItemAvoidsTheErrorRemarks) {
    gState.gRestrictLines = 1;
    // Dealer 1002 is in OR: line ROP is not for it.
    Put("s.req", Join(Order({"[POHEADER]", "PoNumber=S"}, "1002"), Items({{"ROP", "RP-10", "1"}})));
    Process("s.req");
    EXPECT_EQ(Answer("s.req.1", "PartDisposition1"), "Unauthorized Product Line");
    EXPECT_EQ(Answer("s.req.1", "PartNumber1"), "RP-10");
    EXPECT_EQ(Answer("s.req.1", "QtyOrdered1"), "1");
    EXPECT_EQ(Answer("s.req.1", "PartDesc1"), "<missing>");
    EXPECT_EQ(Answer("s.req.1", "ItemMemo1"), "<missing>");
    EXPECT_THAT(OrderLines(Export(500)),
                ElementsAre("D011", "D02REM", "D06ZEL ORDER WITH THE FOLLOWING ERRORS", "D012",
                            "D02REM", "D06NO VALID PRODUCT LINES"));

    // An unknown part on an allowed line is a valid line all the same.
    Put("u.req", Join(Order({"[POHEADER]", "PoNumber=U"}, "1002"),
                      Items({{"ROP", "RP-10", "1"}, {"AB", "NO-SUCH-PART", "2"}})));
    Process("u.req");
    EXPECT_EQ(Answer("u.req.1", "PartDisposition2"), "Bad Part Number");
    EXPECT_EQ(Answer("u.req.1", "QtyShipped2"), "<missing>");
    const auto lines = Trimmed(OrderLines(Export(501)));
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "D011");
    EXPECT_EQ(lines[1], "D02AB");
    EXPECT_EQ(lines[3], "D042");
}

TEST_F(PurchaseOrderTest, QuantitiesAndStockGiveTheirDispositionsAndCounters) {
    Put("q.req", Join(Order({"[POHEADER]", "PoNumber=Q"}),
                      Items({{"AB", "HALF-45", "5"},           // 4.5 on hand: partial, ship 4
                             {"AB", "HALF-05", "1"},           // 0.5 on hand: not >= 1
                             {"AB", "1234-5", "lots"},         // not numeric: 0
                             {"AB", "1234-5", "99999999999"},  // beyond 32 bits: 0
                             {"XYZ", "SPEC-1", "2"},           // out of stock, order code Z
                             {"AB", "NONE-0", "3"}})));        // out of stock, other order code
    Process("q.req");
    EXPECT_EQ(Answer("q.req.1", "PartDisposition1"), "Partial Fill - Balance BackOrdered");
    EXPECT_EQ(Answer("q.req.1", "QtyShipped1"), "4");
    EXPECT_EQ(Answer("q.req.1", "QtyBo1"), "1");
    EXPECT_EQ(Answer("q.req.1", "PartDisposition2"), "Out of Stock - Item BackOrdered");
    EXPECT_EQ(Answer("q.req.1", "QtyShipped2"), "0");
    EXPECT_EQ(Answer("q.req.1", "QtyBo2"), "1");
    for (const char* n : {"3", "4"}) {
        EXPECT_EQ(Answer("q.req.1", std::string("QtyOrdered") + n), "0");
        EXPECT_EQ(Answer("q.req.1", std::string("PartDisposition") + n), "In Stock - Available");
        EXPECT_EQ(Answer("q.req.1", std::string("QtyShipped") + n), "0");
        EXPECT_EQ(Answer("q.req.1", std::string("QtyBo") + n), "0");
    }
    EXPECT_EQ(Answer("q.req.1", "PartDisposition5"), "Out of Stock - Item BackOrdered");
    EXPECT_EQ(Answer("q.req.1", "PartDisposition6"), "Out of Stock - Item BackOrdered");
    EXPECT_EQ(ReadStatistic("Item2-2"), "6");
    EXPECT_EQ(ReadStatistic("Item2-3"), "2");
    EXPECT_EQ(ReadStatistic("Item2-4"), "1");
    EXPECT_EQ(ReadStatistic("Item2-5"), "3");

    const auto lines = OrderLines(Export(500));
    ASSERT_EQ(lines.size(), 24u);
    EXPECT_EQ(lines[3], "D045");   // the quantity ordered, not the quantity shipped
    EXPECT_EQ(lines[11], "D040");  // a quantity of 0 is exported
    EXPECT_EQ(lines[15], "D040");
}

TEST_F(PurchaseOrderTest, DropShipAddressAndPhone) {
    struct Case {
        std::vector<std::string> header;
        std::vector<std::string> expected;
    };
    const std::vector<Case> cases = {
        {{"DropShip=y", "ShipName=JOE", "ShipAddr=1 MAIN ST", "ShipCity=AUSTIN", "ShipStat=TX",
          "ShipZip=78701", "ShipPhone=555-123-4567"},
         {"H29JOE", "H301 MAIN ST", "H31AUSTIN, TX  78701", "H33555", "H341234567"}},
        {{"DropShip=Y", "ShipName=JOE", "ShipAddr=1 MAIN ST", "ShipAddr2=SUITE 4",
          "ShipCity=AUSTIN", "ShipStat=TX", "ShipZip=78701", "ShipPhone=555-123-4567",
          "ShipPhon=555 765 4321"},
         {"H29JOE", "H301 MAIN ST", "H31SUITE 4", "H32AUSTIN, TX  78701", "H33555", "H347654321"}},
        {{"DropShip=Y", "ShipName=JOE", "ShipPhone=123-4567"},
         {"H29JOE", "H31,", "H330", "H341234567"}},
        {{"DropShip=Y", "ShipName=JOE", "ShipPhone=1234-5678"}, {"H29JOE", "H31,", "H330", "H340"}},
        {{"DropShip=N", "ShipName=JOE", "ShipPhone=555-123-4567"}, {"H330", "H340"}},
        {{"ShipName=JOE", "ShipPhone=555-123-4567"}, {"H330", "H340"}},
    };
    std::int32_t ticket = 500;
    for (const Case& c : cases) {
        std::vector<std::string> header = {"[POHEADER]", "PoNumber=D"};
        header.insert(header.end(), c.header.begin(), c.header.end());
        Put("d.req", Order(header));
        Process("d.req");
        const auto lines = Export(ticket++);
        std::vector<std::string> expected = {"***850ZEL", "H00" + std::to_string(ticket - 1),
                                             "H011001", "H09D"};
        expected.insert(expected.end(), c.expected.begin(), c.expected.end());
        expected.push_back("H491");
        // No items: the two error remarks follow.
        ASSERT_GE(lines.size(), 6u);
        EXPECT_EQ(std::vector<std::string>(lines.begin(), lines.end() - 6), expected)
            << c.header[0];
        pf::DeleteFile(Path("d.req.1"));
    }
}

TEST_F(PurchaseOrderTest, RequestFieldsArriveCutAsTheirBuffersCut) {
    const std::string long40(40, 'P');
    const std::string note(120, 'n');
    Put("l.req", Order({"[POHEADER]", "PoNumber=" + long40, "ShipNote=" + note}));
    Process("l.req");
    EXPECT_EQ(Answer("l.req.1", "PoNumber"), std::string(29, 'P'));
    EXPECT_EQ(Answer("l.req.1", "ShipNote"), std::string(99, 'n'));
    const auto lines = Export(500);
    EXPECT_EQ(lines[3], "H09" + std::string(29, 'P'));
    // 99 characters: remarks of 36, 36 and 27, upper-cased.
    const auto order = OrderLines(lines);
    EXPECT_EQ(order[2], "D06" + std::string(36, 'N'));
    EXPECT_EQ(order[5], "D06" + std::string(36, 'N'));
    EXPECT_EQ(order[8], "D06" + std::string(27, 'N'));
}

TEST_F(PurchaseOrderTest, ShipNoteOf36And37CharactersAndEmergencyRemarks) {
    pf::SaveSetting(kSettingsApp, kSettingsSection, "EmergencyMessage",
                    "RUSH THIS ORDER TODAY PLEASE AND CALL THE COUNTER");
    SettingsController::Instance().Unload();
    SettingsController::Instance().Load();
    const std::string note36 = "abcdefghij abcdefghij abcdefghij abc";
    Put("n.req", Order({"[POHEADER]", "PoNumber=N", "EmergencyCode=e", "ShipNote=" + note36}));
    Process("n.req");
    EXPECT_EQ(Answer("n.req.1", "ShipNote"), note36);
    EXPECT_THAT(OrderLines(Export(500)),
                ElementsAre("D011", "D02REM", "D06RUSH THIS ORDER TODAY PLEASE AND    ",     //
                            "D012", "D02REM", "D06CALL THE COUNTER" + std::string(20, ' '),  //
                            "D013", "D02REM", "D06ABCDEFGHIJ ABCDEFGHIJ ABCDEFGHIJ ABC", "D011",
                            "D02REM", "D06ZEL ORDER WITH THE FOLLOWING ERRORS", "D012", "D02REM",
                            "D06NO VALID PRODUCT LINES"));

    Put("m.req",
        Order({"[POHEADER]", "PoNumber=M", "EmergencyCode=N", "ShipNote=" + note36 + "d"}));
    Process("m.req");
    const auto order = OrderLines(Export(501));
    ASSERT_GE(order.size(), 6u);
    EXPECT_EQ(order[2], "D06ABCDEFGHIJ ABCDEFGHIJ ABCDEFGHIJ ABC");
    EXPECT_EQ(order[5], "D06D");
}

TEST_F(PurchaseOrderTest, SupersededItemIsOrderedFromItsSuccessor) {
    // BR-100 has nothing on hand and is superseded by BR-200 (40 on hand).
    Put("r.req", Join(Order({"[POHEADER]", "PoNumber=R"}), Items({{"ABC", "BR-100", "4"}})));
    Process("r.req");
    EXPECT_EQ(Answer("r.req.1", "PartDisposition1"), "Superceded by BR200");
    EXPECT_EQ(Answer("r.req.1", "QtyShipped1"), "4");
    EXPECT_EQ(Answer("r.req.1", "QtyBo1"), "0");
    EXPECT_EQ(Answer("r.req.1", "PartDesc1"), "BRAKE SHOE");
    EXPECT_THAT(Trimmed(OrderLines(Export(500))),
                ElementsAre("D011", "D02ABC", "D03BR-200", "D044", "D012", "D02REM",
                            "D06SUPERCEDES BR100"));
    EXPECT_EQ(ReadStatistic("Item2-3"), "0");
}

TEST_F(PurchaseOrderTest, ItemNotSupersededIsStillOrderedForTheNewPart) {
    Put("v.req", Join(Order({"[POHEADER]", "PoNumber=V"}), Items({{"AB", "MV-1", "10"}})));
    Process("v.req");
    EXPECT_EQ(Answer("v.req.1", "PartDisposition1"), "Partial Fill - Balance BackOrdered");
    EXPECT_EQ(Answer("v.req.1", "QtyShipped1"), "5");
    EXPECT_EQ(Answer("v.req.1", "QtyBo1"), "5");
    EXPECT_EQ(TrimValue(Answer("v.req.1", "PartDesc1")), "MOVED");
    EXPECT_THAT(Trimmed(OrderLines(Export(500))), ElementsAre("D011", "D02AB", "D03MV-2", "D0410"));
}

TEST_F(PurchaseOrderTest, AlternateWithoutStockIsPassedOverAndTheLastTakesTheRest) {
    // CH-100: 2 on hand; its database chain runs to CH-200 (no stock) and CH-300 (3 on hand).
    Put("h.req", Join(Order({"[POHEADER]", "PoNumber=H"}), Items({{"ABC", "CH-100", "10"}})));
    Process("h.req");
    EXPECT_EQ(Answer("h.req.1", "QtyShipped1"), "5");
    EXPECT_EQ(Answer("h.req.1", "QtyBo1"), "5");
    EXPECT_EQ(TrimValue(Answer("h.req.1", "PartDisposition1")), "Superceded by CH300");
    const auto order = Trimmed(OrderLines(Export(500)));
    ASSERT_EQ(order.size(), 11u);
    EXPECT_THAT(std::vector<std::string>(order.begin(), order.begin() + 4),
                ElementsAre("D011", "D02ABC", "D03CH100", "D042"));
    EXPECT_EQ(order[4], "D012");
    EXPECT_EQ(order[6], "D03CH300");
    EXPECT_EQ(order[7], "D048");
    EXPECT_EQ(order[10], "D06SUPERCEDES CH-100");
}

TEST_F(PurchaseOrderTest, InvalidDealerIsReportedAndTheOrderStillExported) {
    for (const char* dealer : {"4242", "", "99999999999"}) {
        SCOPED_TRACE(dealer);
        const std::int32_t ticket = std::stoi(Counter());
        Put("i.req",
            Join(Order({"[POHEADER]", "PoNumber=I"}, dealer), Items({{"AB", "1234-5", "1"}})));
        Process("i.req");
        EXPECT_THAT(FolderNames(), ElementsAre("i.req.2"));
        EXPECT_EQ(Answer("i.req.2", "ErrCount", "COUNT"), "1");
        EXPECT_EQ(Answer("i.req.2", "ErrorMsg1", "ERRORINFO"),
                  std::string("Invalid Dealer Number: ") + dealer + ".  FATAL ERROR");
        const auto lines = Export(ticket);
        ASSERT_GE(lines.size(), 3u);
        EXPECT_EQ(lines[2], std::string("H01") + (std::string(dealer) == "4242" ? "4242" : "0"));
        pf::DeleteFile(Path("i.req.2"));
    }
}

TEST_F(PurchaseOrderTest, AnotherOrdersExportFileMakesTheOrderTakeTheNextNumber) {
    env_.dir().Write("unc/QSERVER/DadAri/WebTask/In/500.txt", "another order");
    Put("x.req", Join(Order({"[POHEADER]", "PoNumber=X"}), Items({{"AB", "1234-5", "1"}})));
    pf::ScopedEndProgramThrows ends;
    Process("x.req");
    EXPECT_THAT(boxes_.texts, ::testing::IsEmpty());
    EXPECT_EQ(env_.dir().Read("unc/QSERVER/DadAri/WebTask/In/500.txt"), "another order");
    EXPECT_THAT(FolderNames(), ElementsAre("x.req.1"));
    ExpectNumbered("x.req.1", "501");
    EXPECT_THAT(ExportNames(), ::testing::UnorderedElementsAre("500.txt", "501.txt"));
    EXPECT_EQ(Export(501)[1], "H00501");
    EXPECT_EQ(Counter(), "502");
}

// Another instance starting while this one ends an order (its request deleted, its journal
// not yet) must leave the journal alone. The end is held up here by a time log that cannot be
// deleted, and the other instance's start-up runs inside the failure's message box.
TEST_F(PurchaseOrderTest, AnOrderEndingNowKeepsItsJournalFromAnotherInstancesStartUp) {
    Put("late.req", Join(Order({"[POHEADER]", "PoNumber=L"}), Items({{"AB", "1234-5", "1"}})));
    const auto drawn = gWindowHooks.setTicketCounter;
    gWindowHooks.setTicketCounter = [&](const std::string& next) {
        if (drawn) drawn(next);
        env_.dir().Write("unc/QSERVER/DadAri/zeldist/late.log/in-the-way", "");
    };
    bool journalKept = false;
    const auto previous = pf::SetMsgBoxHandler([&](const pf::MsgBoxRequest&) {
        if (!InFolder("late.req")) {
            DiscardStaleJournals(kFolder);
            journalKept = InFolder("late.req.journal");
        }
        return pf::MsgResult::Ok;
    });
    pf::ScopedEndProgramThrows ends;
    EXPECT_THROW(Process("late.req"), pf::ProgramEnded);
    pf::SetMsgBoxHandler(previous);
    gWindowHooks.setTicketCounter = drawn;
    EXPECT_TRUE(journalKept);
    EXPECT_TRUE(InFolder("late.req.1"));
}

// Two workstations numbering from counters of their own: the number this one draws is being
// exported by another right now, and the next was published by a third. The export in flight
// is never removed or renamed, and the order takes the first free number in the same run.
TEST_F(PurchaseOrderTest, NumberAnotherWorkstationIsExportingIsPassedOverInTheSameRun) {
    const std::string inFlight =
        env_.dir().Write("unc/QSERVER/DadAri/WebTask/In/500.tmp", "***850ZEL\r\nH00500\r\n");
    const pf::FileClaim writer("\\\\QSERVER\\DadAri\\WebTask\\In\\500.tmp",
                               ExportClaimsFolder("QSERVER"));
    ASSERT_TRUE(writer.Claimed());
    env_.dir().Write("unc/QSERVER/DadAri/WebTask/In/501.txt", "published by another");
    Put("x.req", Join(Order({"[POHEADER]", "PoNumber=X"}), Items({{"AB", "1234-5", "1"}})));
    pf::ScopedEndProgramThrows ends;
    Process("x.req");
    EXPECT_THAT(boxes_.texts, ::testing::IsEmpty());
    EXPECT_EQ(env_.dir().Read("unc/QSERVER/DadAri/WebTask/In/500.tmp"), "***850ZEL\r\nH00500\r\n");
    EXPECT_EQ(env_.dir().Read("unc/QSERVER/DadAri/WebTask/In/501.txt"), "published by another");
    EXPECT_THAT(ExportNames(), ::testing::UnorderedElementsAre("500.tmp", "501.txt", "502.txt"));
    EXPECT_EQ(Export(502).at(1), "H00502");
    EXPECT_EQ(Export(502).at(3), "H09X");
    EXPECT_THAT(FolderNames(), ElementsAre("x.req.1"));
    ExpectNumbered("x.req.1", "502");
    EXPECT_EQ(Counter(), "503");
}

// --- Names planted in the export folder -------------------------------------------------------

TEST_F(PurchaseOrderTest, LinkUnderTheExportsTemporaryNameIsNeverWrittenThrough) {
    const std::string outside = env_.dir().Write("elsewhere/ledger.txt", "outside the share");
    const std::string in = env_.dir().MakeDirs("unc/QSERVER/DadAri/WebTask/In");
    ASSERT_EQ(::symlink(outside.c_str(), (in + "/500.tmp").c_str()), 0);
    Put("l.req", Join(Order({"[POHEADER]", "PoNumber=L"}), Items({{"AB", "1234-5", "1"}})));
    Process("l.req");
    EXPECT_EQ(env_.dir().Read("elsewhere/ledger.txt"), "outside the share");
    EXPECT_THAT(ExportNames(), ::testing::UnorderedElementsAre("500.tmp", "501.txt"));
    struct stat st {};
    ASSERT_EQ(::lstat((in + "/500.tmp").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_TRUE(pf::IsRegularFile("\\\\QSERVER\\DadAri\\WebTask\\In\\501.txt"));
    EXPECT_EQ(Export(501).at(1), "H00501");
    EXPECT_EQ(Answer("l.req.1", "ConfirmationNumber"), "501");
}

// A final name taken by a link that points nowhere, or a folder under the temporary name: the
// order passes the number over as it does for another order's file.
TEST_F(PurchaseOrderTest, DanglingLinkOrFolderInTheWayMakesTheOrderTakeTheNextNumber) {
    const std::string in = env_.dir().MakeDirs("unc/QSERVER/DadAri/WebTask/In");
    const std::string nowhere = env_.dir().path() + "/nowhere.txt";
    ASSERT_EQ(::symlink(nowhere.c_str(), (in + "/500.txt").c_str()), 0);
    env_.dir().MakeDirs("unc/QSERVER/DadAri/WebTask/In/501.tmp");
    Put("x.req", Join(Order({"[POHEADER]", "PoNumber=X"}), Items({{"AB", "1234-5", "1"}})));
    pf::ScopedEndProgramThrows ends;
    Process("x.req");
    EXPECT_THAT(boxes_.texts, ::testing::IsEmpty());
    EXPECT_EQ(Answer("x.req.1", "ConfirmationNumber"), "502");
    EXPECT_EQ(Export(502)[1], "H00502");
    EXPECT_EQ(Counter(), "503");
    // Neither name was written through, replaced or removed, and the passed-over export went.
    struct stat st {};
    ASSERT_EQ(::lstat((in + "/500.txt").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_FALSE(env_.dir().Exists("nowhere.txt"));
    EXPECT_TRUE(pf::FolderExists("\\\\QSERVER\\DadAri\\WebTask\\In\\501.tmp"));
    EXPECT_FALSE(env_.dir().Exists("unc/QSERVER/DadAri/WebTask/In/500.tmp"));
}

// A file this program may not remove under the next export's temporary name (an immutable one,
// or another user's in a folder closed to us) is in the way as any file is: the order passes
// the number over. In a folder it may not write to at all it takes no number: it ends, and its
// rerun exports under the number it recorded once the folder is open again.
TEST_F(PurchaseOrderTest, UnremovableFileUnderTheExportsTemporaryNameIsPassedOver) {
    const std::string in = env_.dir().MakeDirs("unc/QSERVER/DadAri/WebTask/In");
    const std::string taken =
        env_.dir().Write("unc/QSERVER/DadAri/WebTask/In/500.tmp", "someone else's");
    // As the superuser a file is made immutable; otherwise its folder is closed to changes.
    const int fd = ::open(taken.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    int flags = 0;
    const bool immutable = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                           (flags |= FS_IMMUTABLE_FL, ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
    ::close(fd);
    if (!immutable) {
        ASSERT_EQ(::chmod(in.c_str(), 0555), 0);
    }
    const auto release = [&] {
        if (!immutable) {
            ::chmod(in.c_str(), 0755);
            return;
        }
        const int f = ::open(taken.c_str(), O_RDONLY);
        int clear = 0;
        if (f >= 0 && ::ioctl(f, FS_IOC_GETFLAGS, &clear) == 0) {
            clear &= ~FS_IMMUTABLE_FL;
            ::ioctl(f, FS_IOC_SETFLAGS, &clear);
        }
        if (f >= 0) ::close(f);
    };
    struct Release {
        std::function<void()> run;
        ~Release() { run(); }
    } releaseAtEnd{release};

    Put("x.req", Join(Order({"[POHEADER]", "PoNumber=X"}), Items({{"AB", "1234-5", "1"}})));
    pf::ScopedEndProgramThrows ends;
    if (!immutable) {
        EXPECT_THROW(Process("x.req"), pf::ProgramEnded);
        EXPECT_THAT(boxes_.texts,
                    ElementsAre("Error: Permission denied at Line: 710 in ProcessRequest"));
        ::chmod(in.c_str(), 0755);  // the folder open again; the file is still there
    }

    Process("x.req");
    EXPECT_EQ(Answer("x.req.1", "ConfirmationNumber"), "501");
    EXPECT_EQ(Export(501).at(1), "H00501");
    EXPECT_EQ(Counter(), "502");
    EXPECT_EQ(env_.dir().Read("unc/QSERVER/DadAri/WebTask/In/500.tmp"), "someone else's");
}

// A sealed journal planted beside a request of one's own never renames a file nor names the
// order's number: it is nobody's journal, and the order is drawn afresh.
TEST_F(PurchaseOrderTest, PlantedSealedJournalRenamesNothingAndTheOrderIsDrawnAfresh) {
    const std::string outside = env_.dir().Write("elsewhere/ledger.tmp", "outside the share");
    env_.dir().Write("unc/QSERVER/QMRLINK/QMR1/LEDGER", "a business file");
    env_.dir().Write("unc/QSERVER/DadAri/WebTask/In/0.tmp", "planted 0");
    env_.dir().Write("unc/QSERVER/DadAri/WebTask/In/-5.tmp", "planted -5");
    const std::vector<std::pair<std::string, std::string>> planted = {
        {"Ticket=9", "Export=" + outside},
        {"Ticket=9", "Export=\\\\QSERVER\\QMRLINK\\QMR1\\LEDGER"},
        {"Ticket=0", "Export=\\\\QSERVER\\DadAri\\WebTask\\In\\0.tmp"},
        {"Ticket=-5", "Export=\\\\QSERVER\\DadAri\\WebTask\\In\\-5.tmp"},
    };
    int ticket = 500;
    for (const auto& [ticketLine, exportLine] : planted) {
        SCOPED_TRACE(exportLine);
        Put("p.req", Join(Order({"[POHEADER]", "PoNumber=P"}), Items({{"AB", "1234-5", "1"}})));
        env_.dir().Write("unc/QSERVER/DadAri/zeldist/p.req.journal",
                         Doc({"ZelOrderJournal 1", "Request=" + RequestIdentity(Path("p.req")),
                              ticketLine, exportLine, "Sealed=0", "End"}));
        Process("p.req");
        EXPECT_EQ(Answer("p.req.1", "ConfirmationNumber"), std::to_string(ticket));
        EXPECT_EQ(Export(ticket).at(1), "H00" + std::to_string(ticket));
        pf::DeleteFile(Path("p.req.1"));
        ++ticket;
    }
    EXPECT_EQ(env_.dir().Read("elsewhere/ledger.tmp"), "outside the share");
    EXPECT_FALSE(env_.dir().Exists("elsewhere/ledger.txt"));
    EXPECT_EQ(env_.dir().Read("unc/QSERVER/QMRLINK/QMR1/LEDGER"), "a business file");
    EXPECT_FALSE(env_.dir().Exists("unc/QSERVER/QMRLINK/QMR1/LEDGER.txt"));
    EXPECT_EQ(env_.dir().Read("unc/QSERVER/DadAri/WebTask/In/0.tmp"), "planted 0");
    EXPECT_EQ(env_.dir().Read("unc/QSERVER/DadAri/WebTask/In/-5.tmp"), "planted -5");
    EXPECT_THAT(ExportNames(), ::testing::UnorderedElementsAre("0.tmp", "-5.tmp", "500.txt",
                                                               "501.txt", "502.txt", "503.txt"));
    EXPECT_THAT(FolderNames(), ::testing::IsEmpty());
}

// Anyone who may write the request folder may put work files beside a request: only the
// order's own sealed journal keeps them, so a journal of any content beside a query, or an
// order's own journal before its seal, lets nothing planted reach an answer.
TEST_F(PurchaseOrderTest, PlantedWorkFilesReachNoAnswerWithoutTheOrdersOwnSealedJournal) {
    const std::vector<std::string> planted = {"[PLANTED]", "Key=planted"};
    Put("q1.req", {"[ZELINFO]", "DocType=QUERY", "DealerNumber=1001", "TradePartner=self",
                   "[COUNT]", "POItemCount=0"});
    Put("q1.req.a", planted);
    Put("q1.req.b", planted);
    env_.dir().Write("unc/QSERVER/DadAri/zeldist/q1.req.journal", "anything");
    Process("q1.req");
    EXPECT_EQ(Answer("q1.req.1", "Key", "PLANTED"), "<missing>");

    Put("p.req", Join(Order({"[POHEADER]", "PoNumber=P"}), Items({{"AB", "1234-5", "1"}})));
    Put("p.req.a", planted);
    Put("p.req.b", planted);
    env_.dir().Write(
        "unc/QSERVER/DadAri/zeldist/p.req.journal",
        Doc({"ZelOrderJournal 1", "Request=" + RequestIdentity(Path("p.req")), "End"}));
    Process("p.req");
    EXPECT_EQ(Answer("p.req.1", "ConfirmationNumber"), "500");
    EXPECT_EQ(Answer("p.req.1", "Key", "PLANTED"), "<missing>");
}

// --- Exactly once ----------------------------------------------------------------------------

class OrderCrashTest : public PurchaseOrderTest {
protected:
    // The program's start (finishing what a crash left) and one polling pass over the folder.
    void StartAndPoll() const {
        // A fresh start opens the business files afresh (a forked child shares the parent's
        // file offsets otherwise).
        engine::Engine().DataEngine.reset();
        engine::ReleaseEngine();
        engine::LoadCatalogSettings();
        DiscardStaleJournals(kFolder);
        for (const std::string& name : pf::ListDirectory(kFolder + "\\*.req")) {
            std::string path = kFolder + "\\" + name;
            ProcessRequest(path);
        }
    }
    void Reset() {
        env_.dir().MakeDirs("unc/QSERVER/DadAri/zeldist");
        for (const std::string& name : FolderNames()) pf::DeleteFile(Path(name));
        for (const std::string& name : ExportNames())
            pf::DeleteFile("\\\\QSERVER\\DadAri\\WebTask\\In\\" + name);
        pf::SaveSetting(kSettingsApp, kSettingsSection, "PickTicketCounter", "500");
        SettingsController::Instance().Unload();
        SettingsController::Instance().Load();
    }
    // After the order has gone through: one answer (".1" or, for an invalid dealer, ".2"),
    // nothing else beside it, one export (none for a test order) whose number is the answer's.
    void CheckOnce(long k, const std::string& answer, bool exported) const {
        SCOPED_TRACE("crash at change " + std::to_string(k));
        EXPECT_THAT(FolderNames(), ElementsAre(answer));
        const std::string counter = Counter();
        EXPECT_TRUE(counter == "501" || counter == "502") << counter;
        const auto names = ExportNames();
        if (!exported) {
            EXPECT_TRUE(names.empty());
            return;
        }
        ASSERT_EQ(names.size(), 1u);
        const std::string ticket = names[0].substr(0, names[0].size() - 4);
        EXPECT_EQ(names[0], ticket + ".txt");
        const auto lines = Export(std::stoi(ticket));
        EXPECT_EQ(lines.at(1), "H00" + ticket);
        EXPECT_EQ(lines.back(), "D041");
        if (answer.back() == '1') {
            ExpectNumbered(answer, ticket);
            EXPECT_EQ(Answer(answer, "PartDisposition1"), "In Stock - Available");
            EXPECT_EQ(Answer(answer, "DocType", "ZELINFO"), "ACKNOWLEDGEMENT");
        } else {
            EXPECT_EQ(Answer(answer, "ErrCount", "COUNT"), "1");
            EXPECT_EQ(Answer(answer, "ErrorCodeCount", "COUNT"), "1");
            EXPECT_EQ(Answer(answer, "ErrorCode2", "ERRORINFO"), "<missing>");
        }
        // The counter moved twice only when the crash fell between the draw and its record.
        if (counter == "502") {
            EXPECT_EQ(ticket, "501");
        }
    }
    // Leaves an order whose journal is sealed and whose complete export still carries its
    // temporary name "500.tmp", as a crash just before the move leaves it.
    bool CrashBetweenTheSealAndTheMove() {
        for (long k = 1; k < 200; ++k) {
            Reset();
            Put("o.req", Join(Order({"[POHEADER]", "PoNumber=O"}), Items({{"AB", "1234-5", "1"}})));
            if (testing::RunInChild([&] { StartAndPoll(); }, k) != pf::kCrashExitCode) return false;
            if (InFolder("o.req") &&
                OpenOrderJournal(Path("o.req"), pf::ReadWholeFile(Path("o.req"))).sealed &&
                env_.dir().Exists("unc/QSERVER/DadAri/WebTask/In/500.tmp") &&
                !env_.dir().Exists("unc/QSERVER/DadAri/WebTask/In/500.txt"))
                return true;
        }
        return false;
    }
    void Sweep(const std::vector<std::string>& request, const std::string& answer, bool exported) {
        const long changes = SweepCrashes(
            [&] {
                Reset();
                Put("o.req", request);
            },
            [&] { StartAndPoll(); }, [&] { StartAndPoll(); },
            [&](long k) { CheckOnce(k, answer, exported); });
        // Every change of the run is a crash point; the work documents are written only where
        // the order needs them on disk, so a test order makes about fifteen.
        EXPECT_GT(changes, 12);
    }
};

TEST_F(OrderCrashTest, OrderIsExportedOnceWhereverTheProgramDies) {
    Sweep(Join(Order({"[POHEADER]", "PoNumber=O"}), Items({{"AB", "1234-5", "1"}})), "o.req.1",
          true);
}

TEST_F(OrderCrashTest, TestOrderDrawsOneNumberWhereverTheProgramDies) {
    Sweep(Join(Order({"[POHEADER]", "PoNumber=O"}, "1001", "Y"), Items({{"AB", "1234-5", "1"}})),
          "o.req.1", false);
}

TEST_F(OrderCrashTest, InvalidDealersOrderIsExportedOnceWhereverTheProgramDies) {
    Sweep(Join(Order({"[POHEADER]", "PoNumber=O"}, "4242"), Items({{"AB", "1234-5", "1"}})),
          "o.req.2", true);
}

// A copy tool, a restore or a clock change moves the request's time of last change between a
// crash and the next start; the order is still the same order.
TEST_F(OrderCrashTest, TouchedRequestIsExportedOnceWhereverTheProgramDies) {
    const auto request = Join(Order({"[POHEADER]", "PoNumber=O"}), Items({{"AB", "1234-5", "1"}}));
    const long changes = SweepCrashes(
        [&] {
            Reset();
            Put("o.req", request);
        },
        [&] { StartAndPoll(); },
        [&] {
            const std::string native = pf::NativePath(Path("o.req"));
            const struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
            ::utimensat(AT_FDCWD, native.c_str(), times, 0);
            StartAndPoll();
        },
        [&](long k) { CheckOnce(k, "o.req.1", true); });
    EXPECT_GT(changes, 12);
}

// The final name taken after the journal was sealed: the number is in the answer already and
// cannot be given up. Every start reports the move's failure; the export waits complete under
// its temporary name, the planted name is left as it is, and once the name is free the order
// is published under its own number.
TEST_F(OrderCrashTest, NameTakenAfterTheSealIsReportedAndTheExportKept) {
    const std::string in = env_.dir().MakeDirs("unc/QSERVER/DadAri/WebTask/In");
    ASSERT_TRUE(CrashBetweenTheSealAndTheMove());
    const std::string exportText = env_.dir().Read("unc/QSERVER/DadAri/WebTask/In/500.tmp");
    const std::string nowhere = env_.dir().path() + "/nowhere.txt";
    ASSERT_EQ(::symlink(nowhere.c_str(), (in + "/500.txt").c_str()), 0);

    pf::ScopedEndProgramThrows ends;
    for (int start = 0; start < 2; ++start) {
        boxes_.texts.clear();
        EXPECT_THROW(StartAndPoll(), pf::ProgramEnded) << start;
        ASSERT_FALSE(boxes_.texts.empty()) << start;
        EXPECT_EQ(
            boxes_.texts[0],
            "Error: File already exists: \\\\QSERVER\\DadAri\\WebTask\\In\\500.txt at Line: 710 in "
            "ProcessRequest");
        EXPECT_EQ(env_.dir().Read("unc/QSERVER/DadAri/WebTask/In/500.tmp"), exportText);
        struct stat st {};
        ASSERT_EQ(::lstat((in + "/500.txt").c_str(), &st), 0);
        EXPECT_TRUE(S_ISLNK(st.st_mode));
        EXPECT_FALSE(env_.dir().Exists("nowhere.txt"));
        EXPECT_TRUE(InFolder("o.req"));
        EXPECT_EQ(Counter(), "501");
    }

    ASSERT_EQ(::unlink((in + "/500.txt").c_str()), 0);
    StartAndPoll();
    EXPECT_THAT(FolderNames(), ElementsAre("o.req.1"));
    EXPECT_THAT(ExportNames(), ElementsAre("500.txt"));
    EXPECT_EQ(env_.dir().Read("unc/QSERVER/DadAri/WebTask/In/500.txt"), exportText);
    EXPECT_EQ(Answer("o.req.1", "ConfirmationNumber"), "500");
    EXPECT_EQ(Counter(), "501");
}

// Killed at every step of an order whose first number is another's: the number it passes over
// to is recorded before anything is written under it, so the rerun exports the order once, under
// the number its answer gives, and the other order's export is left as it is.
TEST_F(OrderCrashTest, TakenNumberIsPassedOverOnceWhereverTheProgramDies) {
    const auto request = Join(Order({"[POHEADER]", "PoNumber=O"}), Items({{"AB", "1234-5", "1"}}));
    const long changes = SweepCrashes(
        [&] {
            Reset();
            env_.dir().Write("unc/QSERVER/DadAri/WebTask/In/500.txt", "another order");
            Put("o.req", request);
        },
        [&] { StartAndPoll(); }, [&] { StartAndPoll(); },
        [&](long k) {
            SCOPED_TRACE("crash at change " + std::to_string(k));
            EXPECT_THAT(FolderNames(), ElementsAre("o.req.1"));
            EXPECT_EQ(env_.dir().Read("unc/QSERVER/DadAri/WebTask/In/500.txt"), "another order");
            const std::string ticket = Answer("o.req.1", "ConfirmationNumber");
            ASSERT_NE(ticket, "500");
            ExpectNumbered("o.req.1", ticket);
            EXPECT_THAT(ExportNames(), ::testing::UnorderedElementsAre("500.txt", ticket + ".txt"));
            const auto lines = Export(std::stoi(ticket));
            EXPECT_EQ(lines.at(1), "H00" + ticket);
            EXPECT_EQ(lines.back(), "D041");
        });
    EXPECT_GT(changes, 12);
}

// Exports left under their temporary names at a start: the one a sealed order's journal names
// is that order's to publish, one that an order is writing now is never touched, and one that
// no live order holds and no journal names is cleared away.
TEST_F(OrderCrashTest, StartUpClearsOnlyExportsNoLiveOrderHoldsAndNoJournalNames) {
    ASSERT_TRUE(CrashBetweenTheSealAndTheMove());
    const std::string sealed = env_.dir().Read("unc/QSERVER/DadAri/WebTask/In/500.tmp");
    env_.dir().Write("unc/QSERVER/DadAri/WebTask/In/501.tmp", "***850ZEL\r\nH00501\r\n");
    env_.dir().Write("unc/QSERVER/DadAri/WebTask/In/502.tmp", "***850ZEL\r\nH00502\r\n");
    const pf::FileClaim writer("\\\\QSERVER\\DadAri\\WebTask\\In\\502.tmp",
                               ExportClaimsFolder("QSERVER"));
    ASSERT_TRUE(writer.Claimed());
    // Anyone may plant a journal's name that no order reads as a journal: it names no export.
    const std::string outside = env_.dir().Write("elsewhere/journal", "");
    ASSERT_EQ(::symlink(outside.c_str(),
                        (env_.dir().path() + "/unc/QSERVER/DadAri/zeldist/zz.req.journal").c_str()),
              0);

    StartAndPoll();
    EXPECT_THAT(FolderNames(), ::testing::UnorderedElementsAre("o.req.1", "zz.req.journal"));
    EXPECT_EQ(Answer("o.req.1", "ConfirmationNumber"), "500");
    EXPECT_EQ(env_.dir().Read("unc/QSERVER/DadAri/WebTask/In/500.txt"), sealed);
    EXPECT_EQ(env_.dir().Read("unc/QSERVER/DadAri/WebTask/In/502.tmp"), "***850ZEL\r\nH00502\r\n");
    EXPECT_THAT(ExportNames(), ::testing::UnorderedElementsAre("500.txt", "502.tmp"));
}

// The sealed export's temporary name replaced by a link: the link is not the order's export and
// is never published; every start reports it until someone looks.
TEST_F(OrderCrashTest, LinkUnderTheSealedExportsNameIsNeverPublished) {
    const std::string in = env_.dir().MakeDirs("unc/QSERVER/DadAri/WebTask/In");
    ASSERT_TRUE(CrashBetweenTheSealAndTheMove());
    const std::string outside = env_.dir().Write("elsewhere/500.txt", "someone else's");
    ASSERT_EQ(::unlink((in + "/500.tmp").c_str()), 0);
    ASSERT_EQ(::symlink(outside.c_str(), (in + "/500.tmp").c_str()), 0);

    pf::ScopedEndProgramThrows ends;
    EXPECT_THROW(StartAndPoll(), pf::ProgramEnded);
    ASSERT_FALSE(boxes_.texts.empty());
    EXPECT_EQ(
        boxes_.texts[0],
        "Error: Path/File access error: \\\\QSERVER\\DadAri\\WebTask\\In\\500.tmp at Line: 710 "
        "in ProcessRequest");
    EXPECT_FALSE(pf::NameExists("\\\\QSERVER\\DadAri\\WebTask\\In\\500.txt"));
    EXPECT_EQ(env_.dir().Read("elsewhere/500.txt"), "someone else's");
    EXPECT_TRUE(InFolder("o.req"));
    EXPECT_FALSE(InFolder("o.req.1"));
}

TEST_F(OrderCrashTest, LoggingWithAFileForTheTestFolderEndsEveryStartButExportsOnce) {
    gState.gLogging = true;
    Reset();
    env_.dir().Write("unc/QSERVER/DadAri/zeltest", "not a folder");
    Put("o.req", Join(Order({"[POHEADER]", "PoNumber=O"}), Items({{"AB", "1234-5", "1"}})));
    for (int start = 0; start < 3; ++start) {
        EXPECT_EQ(testing::RunInChild([&] { StartAndPoll(); }, 0), 1) << "start " << start;
    }
    EXPECT_THAT(ExportNames(), ElementsAre("500.txt"));
    EXPECT_EQ(Counter(), "501");
    EXPECT_TRUE(InFolder("o.req"));

    pf::DeleteFile("\\\\QSERVER\\DadAri\\zeltest");
    env_.dir().MakeDirs("unc/QSERVER/DadAri/zeltest");
    EXPECT_EQ(testing::RunInChild([&] { StartAndPoll(); }, 0), 0);
    EXPECT_THAT(FolderNames(), ElementsAre("o.req.1"));
    EXPECT_THAT(ExportNames(), ElementsAre("500.txt"));
    EXPECT_EQ(Counter(), "501");
    EXPECT_EQ(Answer("o.req.1", "ConfirmationNumber"), "500");
    EXPECT_TRUE(env_.dir().Exists("unc/QSERVER/DadAri/zeltest/o.log"));
}

}  // namespace
}  // namespace zel::processor
