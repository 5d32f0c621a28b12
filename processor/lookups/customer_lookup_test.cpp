#include "processor/lookups/customer_lookup.h"

#include <gtest/gtest.h>

#include "engine/state.h"
#include "platform/error.h"
#include "processor/lookup_test_support.h"
#include "processor/restart.h"

namespace zel::processor {
namespace {

using testing::json;

// A 120-character name-and-address block.
std::string Block(const std::string& name, const std::string& a1, const std::string& a2 = "",
                  const std::string& a3 = "") {
    auto line = [](std::string s) {
        s.resize(30, ' ');
        return s;
    };
    return line(name) + line(a1) + line(a2) + line(a3);
}

class CustomerLookupTest : public testing::SiteTest {
protected:
    void SetUp() override { Populate(true); }
    void Populate(bool withZero) {
        site.Customer(1, 1001,
                      {{"Name", "ACME TRACTOR"},
                       {"Address_Line_1", "12 MAIN ST"},
                       {"Address_Line_2", "RENO NV 89501"},
                       {"Price_Matrix", 4}});
        site.Customer(2, 1002, {{"Name", "VALLEY FARM"}, {"Address_Line_1", "SALEM OR 97301"}});
        site.Customer(3, 1003, {{"Name", "VALLEY HQ"}, {"Address_Line_1", "FRESNO CA 93650"}});
        if (withZero)
            site.Customer(4, 0,
                          {{"Name", "DEFAULTS"},
                           {"Address_Line_1", "TUCSON AZ 85701"},
                           {"Default_Level", 3}});
        site.Customer(6, 1006, {{"Name", "LINK TO NOBODY"}, {"Address_Line_1", "BOISE ID 83701"}});
        site.LinkCustomer(2, 1003);  // 1002 buys on account 1003
        site.LinkCustomer(3, 1001);  // a link of a link is not followed
        site.LinkCustomer(6, 2000);  // 2000 is no customer
        site.Mailing(5, 2000, Block("MAIL ONLY INC", "PO BOX 9", "ELKO NV 89801"));
        site.Mailing(7, 3000, Block("PROSPECT LLC", "1 ELM", "OGDEN UT 84401"));
        site.Mailing(8, 1001, Block("NOT READ", ""));
    }
};

TEST_F(CustomerLookupTest, ACustomerWithoutALinkIsItsOwnRecord) {
    Build();
    const LookedUpCustomer c = GetCustomer(1001);
    EXPECT_EQ(c.Recno, 1);
    EXPECT_EQ(c.Account, 1001);
    EXPECT_EQ(c.Name, "ACME TRACTOR" + std::string(18, ' '));
    EXPECT_EQ(c.State, "NV");
    EXPECT_EQ(c.Price_Matrix, 4);
    EXPECT_EQ(c.OriginalCustomerState, "");
}

TEST_F(CustomerLookupTest, ALinkGivesTheLinkedAccountOnceAndKeepsTheAskedForState) {
    Build();
    const LookedUpCustomer c = GetCustomer(1002);
    EXPECT_EQ(c.Recno, 3);
    EXPECT_EQ(c.Account, 1003);
    EXPECT_EQ(c.State, "CA");
    EXPECT_EQ(c.OriginalCustomerState, "OR");
    // 1003's own link (to 1001) is not followed from there.
    EXPECT_EQ(c.Name.substr(0, 9), "VALLEY HQ");
    // Asked for directly, 1003 does follow its link.
    const LookedUpCustomer direct = GetCustomer(1003);
    EXPECT_EQ(direct.Recno, 1);
    EXPECT_EQ(direct.OriginalCustomerState, "CA");
}

TEST_F(CustomerLookupTest, ALinkToANonCustomerTakesCustomerZerosFieldsAndTheMailingName) {
    Build();
    const LookedUpCustomer c = GetCustomer(1006);
    EXPECT_EQ(c.Recno, -5);
    EXPECT_EQ(c.Account, 2000);
    EXPECT_EQ(c.Name, "MAIL ONLY INC" + std::string(17, ' '));
    EXPECT_EQ(c.Address_Line_2, "ELKO NV 89801" + std::string(17, ' '));
    // Unpacked fields other than the name and address come from customer 0.
    EXPECT_EQ(c.Default_Level, 3);
    EXPECT_EQ(c.State, "AZ");
    EXPECT_EQ(c.OriginalCustomerState, "ID");
}

TEST_F(CustomerLookupTest, MailingListOnlyAndNowhere) {
    Build();
    const records::clsCustomers mail = GetCustomer(3000);
    EXPECT_EQ(mail.Recno, -7);
    EXPECT_EQ(mail.Account, 3000);
    EXPECT_EQ(mail.Name.substr(0, 12), "PROSPECT LLC");

    const records::clsCustomers none = GetCustomer(4000);
    EXPECT_EQ(none.Recno, 0);
    EXPECT_EQ(none.Account, 4000);
    EXPECT_EQ(none.Name, "Customer not Found" + std::string(12, ' '));
    EXPECT_EQ(none.Address_Line_1, std::string(30, ' '));
    EXPECT_EQ(none.Address_Line_3, std::string(30, ' '));
    EXPECT_EQ(none.Default_Level, 3);  // customer 0's
    EXPECT_EQ(GetCustomer(-1).Recno, 0);
}

TEST_F(CustomerLookupTest, NumberZeroIsCustomerZerosRecordWhenThereIsOne) {
    Build();
    const records::clsCustomers zero = GetCustomer(0);
    EXPECT_EQ(zero.Recno, 4);
    EXPECT_EQ(zero.Name.substr(0, 8), "DEFAULTS");
}

TEST_F(CustomerLookupTest, WithoutCustomerZeroANonCustomerKeepsTheFieldsHeldBefore) {
    site = testing::Site();
    Populate(false);
    Build();
    const LookedUpCustomer c = GetCustomer(1006);
    EXPECT_EQ(c.Recno, -5);
    EXPECT_EQ(c.Account, 2000);
    EXPECT_EQ(c.Name.substr(0, 13), "MAIL ONLY INC");
    EXPECT_EQ(c.State, "ID");  // still the first customer's
    EXPECT_EQ(GetCustomer(0).Recno, 0);
}

// Failures restart the program; the request stays in the request folder.
class CustomerRestartTest : public CustomerLookupTest {
protected:
    void SetUp() override {
        CustomerLookupTest::SetUp();
        request = sandbox.dir().Write("unc/QSERVER/DadAri/zeldist/q1.req", "[ZELINFO]\r\n");
        gState.gCurrentRequest = "\\\\qserver\\dadari\\zeldist\\q1.req";
        SetProcessStarter(
            [this](const std::string&, const std::map<std::string, std::string>& env) {
                started = env;
                return true;
            });
    }
    void TearDown() override {
        SetProcessStarter(nullptr);
        CustomerLookupTest::TearDown();
    }
    // Runs GetCustomer; true when it ended the program.
    bool Restarts(std::int32_t number) {
        platform::ScopedEndProgramThrows ends;
        try {
            GetCustomer(number);
        } catch (const platform::ProgramEnded&) {
            return true;
        }
        return false;
    }
    std::string request;
    std::map<std::string, std::string> started;
};

TEST_F(CustomerRestartTest, AMissingMasterFileRestartsWithTheRequestLeft) {
    site.tables.erase("MCUSTL");
    Build();
    EXPECT_TRUE(Restarts(1001));
    EXPECT_EQ(started[kRestartRequestVariable], gState.gCurrentRequest);
    EXPECT_EQ(engine::Engine().DataEngine, nullptr);
    EXPECT_EQ(engine::Engine().SystemInfo, nullptr);
    EXPECT_TRUE(sandbox.dir().Exists("unc/QSERVER/DadAri/zeldist/q1.req"));
}

TEST_F(CustomerRestartTest, AMissingMailingFileRestartsOnTheNotFoundPath) {
    site.tables.erase("MAILL");
    Build();
    EXPECT_EQ(GetCustomer(1001).Recno, 1);  // the mailing list is not read for a customer
    EXPECT_TRUE(Restarts(3000));
    EXPECT_EQ(started[kRestartRequestVariable], gState.gCurrentRequest);
}

TEST_F(CustomerRestartTest, TheSecondFailureOnTheSameRequestIsTheRequestsOwnError) {
    site.tables.erase("MCUSTL");
    Build();
    gState.gRestartedForRequest = gState.gCurrentRequest;
    try {
        GetCustomer(1001);
        FAIL() << "expected the engine's error";
    } catch (const platform::RuntimeError& e) {
        EXPECT_EQ(e.Number(), -10);
    }
    EXPECT_TRUE(started.empty());
    // Another request restarts again.
    gState.gCurrentRequest = "\\\\qserver\\dadari\\zeldist\\q2.req";
    EXPECT_TRUE(Restarts(1001));
}

}  // namespace
}  // namespace zel::processor
