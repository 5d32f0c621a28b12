#include <gtest/gtest.h>

#include "platform/test_support.h"
#include "processor/answers/dealer_check.h"
#include "processor/lookup_test_support.h"

namespace zel::processor {
namespace {

class DealerCheckTest : public testing::SiteTest {
protected:
    void SetUp() override {
        site.Customer(1, 12, {{"Name", "TWELVE"}, {"Address_Line_1", "RENO NV 89501"}});
        site.Customer(2, 14, {{"Name", "FOURTEEN"}, {"Address_Line_1", "SALEM OR 97301"}});
        site.Customer(3, 0, {{"Name", "DEFAULTS"}});
        site.Customer(4, 10000000, {{"Name", "TEN MILLION"}});
        site.Customer(5, 20, {{"Name", "LINKED"}, {"Address_Line_1", "SALEM OR 97301"}});
        site.LinkCustomer(5, 12);
        site.Line(1, 7, "ABC", {{"Line_Name", "ABC WIDGETS"}});
        site.Line(2, 8, "ROP", {{"Line_Name", "RESTRICTED"}});
        site.Line(3, 550, "UNK", {{"Line_Name", "UNKNOWN LINE"}});
        site.Part(1, 7, "12345A", {{"Quantity_On_Hand", 4}});
        site.Part(2, 8, "R1", {{"Quantity_On_Hand", 2}});
        sandbox.dir().MakeDirs("unc/QSERVER/DadAri/zeldist");
        ctx = MakeRequestContext("\\\\qserver\\dadari\\zeldist\\q1.req");
    }

    void Request(const std::string& items) {
        ctx.request = platform::ProfileReader("[ZELINFO]\r\nDocType=QUERY\r\n" + items);
    }
    std::string Error(int n, const char* key = "ErrorMsg") {
        return ReadValue(ctx.exceptions, "ERRORINFO", key + std::to_string(n), "<none>");
    }
    std::int32_t Errors() {
        return ToInt32(ReadValue(ctx.exceptions, "COUNT", "ErrCount", "0"), "t");
    }

    RequestContext ctx;
};

TEST_F(DealerCheckTest, NumbersRoundHalvesToEvenBelowTheBound) {
    platform::testing::ScopedDefaultLocale english("en_US");  // the request's decimals
    Build();
    EXPECT_EQ(CheckQueryDealer(ctx, "12.5").Account, 12);
    EXPECT_EQ(CheckQueryDealer(ctx, "13.5").Account, 14);
    EXPECT_EQ(CheckQueryDealer(ctx, " 14 ").Recno, 2);
    EXPECT_EQ(Errors(), 0);
}

TEST_F(DealerCheckTest, AnInvalidDealerIsErrorOneAndCustomerZero) {
    Build();
    records::clsCustomers c = CheckQueryDealer(ctx, "10000000");
    EXPECT_EQ(c.Recno, 3);
    EXPECT_EQ(Error(1), "Invalid Dealer Number: 10000000.  FATAL ERROR");
    EXPECT_EQ(Error(1, "ErrorCode"), "QMR-1");
    c = CheckQueryDealer(ctx, "");
    EXPECT_EQ(Error(2), "Invalid Dealer Number: .  FATAL ERROR");
    CheckQueryDealer(ctx, "ABC \t");
    EXPECT_EQ(Error(3), "Invalid Dealer Number: ABC.  FATAL ERROR");
    // A number below the 32-bit range is no customer either, and does not end the program.
    EXPECT_EQ(CheckQueryDealer(ctx, "-5e12").Recno, 3);
    EXPECT_EQ(Error(4), "Invalid Dealer Number: -5e12.  FATAL ERROR");
    // Not a customer but on no list at all: 99.
    CheckQueryDealer(ctx, "99");
    EXPECT_EQ(Errors(), 5);
    EXPECT_FALSE(ctx.leaveAtOnce);
}

TEST_F(DealerCheckTest, ThePauseExitComesAfterTheLookupOfANumericDealerOnly) {
    Build();
    gState.gPauseRequested = true;
    CheckQueryDealer(ctx, "99");
    EXPECT_TRUE(ctx.leaveAtOnce);
    EXPECT_EQ(Errors(), 0);  // nothing more is written
    ctx.leaveAtOnce = false;
    CheckQueryDealer(ctx, "letters");
    EXPECT_FALSE(ctx.leaveAtOnce);
    EXPECT_EQ(Errors(), 1);
}

TEST_F(DealerCheckTest, TheOrderFormHasAWiderBoundAndNoPause) {
    Build();
    gState.gPauseRequested = true;
    EXPECT_EQ(CheckOrderDealer(ctx, "10000000").Recno, 4);
    EXPECT_FALSE(ctx.leaveAtOnce);
    EXPECT_EQ(Errors(), 0);
    EXPECT_EQ(CheckOrderDealer(ctx, "2147483647").Recno, 3);  // customer -1, then customer 0
    EXPECT_EQ(CheckOrderDealer(ctx, "1e300").Recno, 3);
    EXPECT_EQ(Errors(), 2);
}

TEST_F(DealerCheckTest, AnItemIsReadNormalisedAndLookedUpAtTheLocation) {
    platform::testing::ScopedDefaultLocale english("en_US");  // the request's decimals
    Build();
    Request(
        "[POITEMS1]\r\nMfgCode=ABC\r\nPartNumber=12 345-A\r\nPartQty=2.5\r\n"
        "[POITEMS2]\r\nMfgCode=\" abc\"\r\nPartNumber=X\r\nPartQty=3.5\r\n"
        "[POITEMS3]\r\nMfgCode=ABC\r\nPartNumber=12345A\r\nPartQty=lots\r\n");
    const LookedUpCustomer customer = CheckQueryDealer(ctx, "12");
    QueryItem item = ReadQueryItem(ctx, 1, customer, LocationNumber(customer));
    EXPECT_EQ(item.MfgCode, "ABC");
    EXPECT_EQ(item.PartNumber, "12345A");
    EXPECT_EQ(item.Quantity, 2);
    EXPECT_EQ(item.Line.Line, 7);
    EXPECT_EQ(item.Part.Record_Number, 1);
    EXPECT_FALSE(item.Unauthorized);

    item = ReadQueryItem(ctx, 2, customer, 1);
    EXPECT_EQ(item.MfgCode, " abc");  // leading space and case kept
    EXPECT_EQ(item.Quantity, 4);
    EXPECT_EQ(item.Line.Line, 550);
    EXPECT_EQ(item.Part.Record_Number, 0);

    EXPECT_EQ(ReadQueryItem(ctx, 3, customer, 1).Quantity, 0);
    EXPECT_EQ(ReadQueryItem(ctx, 4, customer, 1).Quantity, 0);  // no such item: all empty
    EXPECT_EQ(Errors(), 0);
}

TEST_F(DealerCheckTest, TheStateRuleDropsARestrictedLineForTheLinkedCustomersOwnState) {
    Build();
    gState.gRestrictLines = 1;
    Request("[POITEMS1]\r\nMfgCode=ROP\r\nPartNumber=R-1\r\nPartQty=1\r\n");
    LookedUpCustomer nevada = CheckQueryDealer(ctx, "12");
    QueryItem item = ReadQueryItem(ctx, 1, nevada, 1);
    EXPECT_FALSE(item.Unauthorized);
    EXPECT_EQ(item.Part.Record_Number, 2);

    // Customer 20 buys on 12's account (NV) but is in OR itself.
    LookedUpCustomer linked = CheckQueryDealer(ctx, "20");
    EXPECT_EQ(linked.Account, 12);
    item = ReadQueryItem(ctx, 1, linked, 1);
    EXPECT_TRUE(item.Unauthorized);
    EXPECT_EQ(item.Part.Record_Number, 0);
    EXPECT_EQ(item.Part.Part_Number, "R1");
    EXPECT_EQ(item.Line.Alpha_Line, "ROP");
    EXPECT_EQ(item.Line.Line, 0);

    // Another line of the same customer passes.
    Request("[POITEMS1]\r\nMfgCode=ABC\r\nPartNumber=12345A\r\nPartQty=1\r\n");
    item = ReadQueryItem(ctx, 1, linked, 1);
    EXPECT_FALSE(item.Unauthorized);
    EXPECT_EQ(item.Part.Record_Number, 1);
}

}  // namespace
}  // namespace zel::processor
