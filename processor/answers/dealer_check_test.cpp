#include "processor/answers/dealer_check.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace zel::processor
