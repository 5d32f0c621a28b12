#include "processor/answers/web_task.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/test_support.h"
#include "processor/export_test_support.h"

namespace zel::processor {
namespace {

using ::testing::ElementsAre;
namespace pf = zel::platform;

std::vector<std::string> Lines(const std::string& text) { return testing::CrLfLines(text); }

void AddLine(WebTask& order, std::int32_t number, const std::string& line, const std::string& part,
             std::int32_t quantity, const std::string& comment = "") {
    const std::int16_t no = 0;
    const std::int32_t zero = 0;
    order.AddItem(number, line, part, quantity, records::Currency{}, no, no, no, no, no, no, no, no,
                  no, no, no, no, no, no, no, no, "", zero, records::Currency{}, comment, "");
}

TEST(OrderExport, OrderWithoutLinesHasTheHeaderAlone) {
    WebTask order;
    order.Invoice_PackingSlipNumber(1234);
    order.Invoice_BillToAccount(56);
    order.Invoice_PONumber("PO-77");
    EXPECT_THAT(Lines(order.ExportText()),
                ElementsAre("***850ZEL", "H001234", "H0156", "H09PO-77", "H330", "H340", "H491"));
}

TEST(OrderExport, ShipToLinesAreTrimmedAndLeftOutWhenBlank) {
    WebTask order;
    order.Invoice_PackingSlipNumber(-3);
    order.Invoice_BillToAccount(-1);
    order.Invoice_ShipToAddress1("  JOE DEALER ");
    order.Invoice_ShipToAddress2("     ");
    order.Invoice_ShipToAddress3("AUSTIN, TX  78701");
    order.Invoice_ShipToAddress4("");
    order.Invoice_ShipToAreaCode(555);
    order.Invoice_ShipToPhone(1234567);
    order.Invoice_SplitShip(true);
    order.Invoice_DropShip(true);
    EXPECT_THAT(Lines(order.ExportText()),
                ElementsAre("***850ZEL", "H00-3", "H01-1", "H09", "H2601", "H29JOE DEALER",
                            "H31AUSTIN, TX  78701", "H33555", "H341234567", "H4201", "H491"));
}

TEST(OrderExport, RemarksOnlyWhenTheLineIsExactlyRem) {
    WebTask order;
    order.Invoice_PackingSlipNumber(9);
    AddLine(order, 1, "REM", "", 0, "SHIP NOTE ");
    AddLine(order, 7, "ACD", "12-345", 12);
    AddLine(order, 2, "rem", "X1", 3, "not a remark");
    EXPECT_THAT(Lines(order.ExportText()),
                ElementsAre("***850ZEL", "H009", "H010", "H09", "H330", "H340", "H491",  //
                            "D011", "D02REM", "D06SHIP NOTE ",                           //
                            "D017", "D02ACD", "D0312-345", "D0412",                      //
                            "D012", "D02rem", "D03X1", "D043"));
}

TEST(OrderExport, LineBreaksInsideValuesBecomeBlanks) {
    WebTask order;
    order.Invoice_PONumber("A\r\nB");
    AddLine(order, 1, "REM", "", 0, "RUSH\r\nCALL FIRST\n");
    const auto lines = Lines(order.ExportText());
    EXPECT_THAT(lines, ::testing::Contains("H09A  B"));
    EXPECT_THAT(lines, ::testing::Contains("D06RUSH  CALL FIRST "));
    EXPECT_EQ(lines.size(), 10u);
}

TEST(OrderExport, EachOrderHasItsOwnLines) {
    {
        WebTask first;
        AddLine(first, 1, "ACD", "A", 1);
        EXPECT_EQ(first.Items.Count(), 1);
    }
    WebTask second;
    EXPECT_EQ(second.Items.Count(), 0);
}

TEST(OrderExport, FinalNameChangesOnlyTheNamesEnding) {
    EXPECT_EQ(ExportTemporaryPath("SRV", 1234), "\\\\SRV\\DadAri\\WebTask\\In\\1234.tmp");
    EXPECT_EQ(ExportFinalPath("\\\\srv.tmp\\DadAri\\WebTask\\In\\1234.tmp"),
              "\\\\srv.tmp\\DadAri\\WebTask\\In\\1234.txt");
}

class PublishTest : public ::testing::Test {
protected:
    void SetUp() override { env_.dir().MakeDirs("unc/SRV/DadAri"); }
    std::string In(const std::string& name) const { return "unc/SRV/DadAri/WebTask/In/" + name; }
    pf::testing::SandboxEnv env_;
};

TEST_F(PublishTest, WritesTheFileUnderItsTemporaryNameThenMovesIt) {
    WebTask order;
    order.Invoice_PackingSlipNumber(1234);
    AddLine(order, 1, "ACD", "P", 2);
    bool sawTemporary = false;
    order.Publish("SRV", [&](const std::string&) {
        sawTemporary = env_.dir().Exists(In("1234.tmp")) && !env_.dir().Exists(In("1234.txt"));
        EXPECT_EQ(env_.dir().Read(In("1234.tmp")), order.ExportText());
    });
    EXPECT_TRUE(sawTemporary);
    EXPECT_FALSE(env_.dir().Exists(In("1234.tmp")));
    EXPECT_EQ(env_.dir().Read(In("1234.txt")), order.ExportText());
}

// What carries a number's temporary name may be another order's export being written: it is
// left as it is, and the order takes the number it is given next.
TEST_F(PublishTest, LeftoverTemporaryFileIsPassedOver) {
    env_.dir().Write(In("5.tmp"), std::string(500, 'x'));
    WebTask order;
    order.Invoice_PackingSlipNumber(5);
    order.Publish("SRV", {}, [] { return 6; });
    EXPECT_EQ(order.Header.PackingSlipNumber, 6);
    EXPECT_EQ(env_.dir().Read(In("6.txt")), order.ExportText());
    EXPECT_EQ(env_.dir().Read(In("5.tmp")), std::string(500, 'x'));
    EXPECT_FALSE(env_.dir().Exists(In("5.txt")));
}

TEST_F(PublishTest, LinkUnderTheTemporaryNameIsPassedOverNeverWrittenThrough) {
    const std::string outside = env_.dir().Write("outside/prices.txt", "outside the share");
    const std::string in = env_.dir().MakeDirs(In(""));
    ASSERT_EQ(::symlink(outside.c_str(), (in + "/100.tmp").c_str()), 0);
    ASSERT_EQ(::symlink((outside + ".new").c_str(), (in + "/101.tmp").c_str()), 0);
    WebTask order;
    order.Invoice_PackingSlipNumber(100);
    AddLine(order, 1, "ACD", "P", 2);
    std::int32_t next = 100;
    order.Publish("SRV", {}, [&] { return ++next; });
    EXPECT_EQ(order.Header.PackingSlipNumber, 102);
    EXPECT_TRUE(pf::IsRegularFile("\\\\SRV\\DadAri\\WebTask\\In\\102.txt"));
    EXPECT_EQ(env_.dir().Read(In("102.txt")), order.ExportText());
    EXPECT_EQ(env_.dir().Read("outside/prices.txt"), "outside the share");
    EXPECT_FALSE(env_.dir().Exists("outside/prices.txt.new"));
    for (const char* name : {"/100.tmp", "/101.tmp"}) {
        struct stat st {};
        ASSERT_EQ(::lstat((in + name).c_str(), &st), 0) << name;
        EXPECT_TRUE(S_ISLNK(st.st_mode)) << name;
    }
}

TEST_F(PublishTest, AnotherOrdersFileIsNeverReplaced) {
    env_.dir().Write(In("5.txt"), "another order");
    WebTask order;
    order.Invoice_PackingSlipNumber(5);
    try {
        order.Publish("SRV");
        FAIL() << "published over another order";
    } catch (const pf::RuntimeError& e) {
        EXPECT_EQ(e.Number(), pf::err::kFileAlreadyExists);
    }
    EXPECT_EQ(env_.dir().Read(In("5.txt")), "another order");
}

TEST_F(PublishTest, FailureBeforeTheMoveLeavesNoFinalFile) {
    WebTask order;
    order.Invoice_PackingSlipNumber(6);
    EXPECT_THROW(
        order.Publish("SRV",
                      [](const std::string&) { throw pf::RuntimeError(75, "test", "refused"); }),
        pf::RuntimeError);
    EXPECT_FALSE(env_.dir().Exists(In("6.txt")));
}

TEST_F(PublishTest, ShareThatDoesNotAnswerFails) {
    WebTask order;
    order.Invoice_PackingSlipNumber(7);
    EXPECT_THROW(order.Publish("NOSUCHHOST\\missing"), pf::RuntimeError);
}

}  // namespace
}  // namespace zel::processor
