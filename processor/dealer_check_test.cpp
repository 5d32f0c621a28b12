#include "processor/dealer_check.h"

#include <gtest/gtest.h>

#include "platform/test_support.h"
#include "processor/globals.h"

namespace zel::processor {
namespace {

class StateRuleTest : public ::testing::Test {
protected:
    void SetUp() override {
        gState = ProgramState{};
        gState.gRestrictLines = 1;
    }
    void TearDown() override { gState = ProgramState{}; }
    static records::clsLines LineCoded(const std::string& alpha) {
        records::clsLines line;
        line.Alpha_Line = alpha;
        return line;
    }
    static LookedUpCustomer CustomerIn(const std::string& state) {
        LookedUpCustomer c;
        c.State = state;
        return c;
    }
};

TEST_F(StateRuleTest, RestrictedLinesPassOnlyInTheListedStates) {
    for (const char* code : {"ROP", "POU"}) {
        EXPECT_FALSE(IsUnauthorizedLine(LineCoded(code), CustomerIn("NV"))) << code;
        EXPECT_TRUE(IsUnauthorizedLine(LineCoded(code), CustomerIn("OR"))) << code;
        // An empty state passes, and so does a lone letter found in the list.
        EXPECT_FALSE(IsUnauthorizedLine(LineCoded(code), CustomerIn(""))) << code;
        EXPECT_FALSE(IsUnauthorizedLine(LineCoded(code), CustomerIn("A"))) << code;
    }
    // Other lines, and case variants of the codes, are never restricted.
    EXPECT_FALSE(IsUnauthorizedLine(LineCoded("ABC"), CustomerIn("OR")));
    EXPECT_FALSE(IsUnauthorizedLine(LineCoded("rop"), CustomerIn("OR")));
    // Without the restricted-lines flag nothing is dropped.
    gState.gRestrictLines = 0;
    EXPECT_FALSE(IsUnauthorizedLine(LineCoded("ROP"), CustomerIn("OR")));
}

TEST_F(StateRuleTest, ALinkedCustomersOwnStateDecides) {
    LookedUpCustomer linked = CustomerIn("NV");
    linked.OriginalCustomerState = "OR";
    EXPECT_TRUE(IsUnauthorizedLine(LineCoded("ROP"), linked));
    linked = CustomerIn("OR");
    linked.OriginalCustomerState = "AZ";
    EXPECT_FALSE(IsUnauthorizedLine(LineCoded("ROP"), linked));
}

TEST_F(StateRuleTest, LocationIsTheResponsibleBranchWithMultipleLocationsElseOne) {
    records::clsCustomers c;
    c.Responsibility_Cd = 3;
    EXPECT_EQ(LocationNumber(c), 1);
    gState.gMultiBranch = true;
    EXPECT_EQ(LocationNumber(c), 3);
    c.Responsibility_Cd = 0;
    EXPECT_EQ(LocationNumber(c), 1);
    c.Responsibility_Cd = -4;
    EXPECT_EQ(LocationNumber(c), 1);
}

TEST(WholeQuantity, RoundsHalvesToEvenAndReadsEverythingElseAsZero) {
    EXPECT_EQ(WholeQuantity("2.5"), 2);
    EXPECT_EQ(WholeQuantity("3.5"), 4);
    EXPECT_EQ(WholeQuantity(" 7 "), 7);
    EXPECT_EQ(WholeQuantity("-2"), -2);
    EXPECT_EQ(WholeQuantity("ABC"), 0);
    EXPECT_EQ(WholeQuantity(""), 0);
    // Beyond 32 bits a quantity cannot be held; it must not end the program.
    EXPECT_EQ(WholeQuantity("1e12"), 0);
    EXPECT_EQ(WholeQuantity("2147483647"), 2147483647);
    EXPECT_EQ(WholeQuantity("2147483648"), 0);
}

TEST(WholeRequestNumber, ReadsGroupingMarksAndKeepsTheRoundingAndRange) {
    platform::testing::ScopedDefaultLocale english("en_US");
    EXPECT_EQ(WholeRequestNumber("1,000"), 1000);
    EXPECT_EQ(WholeRequestNumber(" 1,234.5 "), 1234);
    EXPECT_EQ(WholeRequestNumber("1,235.5"), 1236);
    EXPECT_EQ(WholeRequestNumber("-1,001"), -1001);
    EXPECT_EQ(WholeRequestNumber("2,147,483,647"), 2147483647);
    EXPECT_EQ(WholeRequestNumber("2,147,483,648"), 0);
    for (const char* zero : {"1,0", "12abc", "0x10", "inf", "nan", ""}) EXPECT_EQ(WholeRequestNumber(zero), 0) << zero;
    // A count the system wrote itself is read the same under every locale.
    EXPECT_EQ(WholeQuantity("1,000"), 0);
}

}  // namespace
}  // namespace zel::processor
