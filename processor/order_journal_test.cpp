#include "processor/order_journal.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/test_support.h"
#include "processor/globals.h"

namespace zel::processor {
namespace {

namespace pf = zel::platform;

const std::string kRequest = "\\\\host\\dadari\\zeldist\\order.req";

class OrderJournalTest : public ::testing::Test {
protected:
    void SetUp() override {
        env_.dir().MakeDirs("unc/host/dadari/zelarchive");
        env_.dir().Write("unc/host/dadari/zeldist/order.req", "[ZELINFO]\r\nDocType=PO\r\n");
        gState = ProgramState{};
    }
    void TearDown() override { gState = ProgramState{}; }
    bool Exists(const std::string& name) const {
        return env_.dir().Exists("unc/host/dadari/zeldist/" + name);
    }
    pf::testing::SandboxEnv env_;
};

TEST_F(OrderJournalTest, SavedJournalIsFoundAgainByItsRequest) {
    OrderJournal journal = OpenOrderJournal(kRequest);
    EXPECT_FALSE(journal.onDisk);
    EXPECT_EQ(journal.path, kRequest + ".journal");
    journal.ticket = 4711;
    journal.exportFile = "\\\\host\\DadAri\\WebTask\\In\\4711.tmp";
    journal.sealed = true;
    journal.errors = 1;
    SaveOrderJournal(journal);

    const OrderJournal again = OpenOrderJournal(kRequest);
    EXPECT_TRUE(again.onDisk);
    EXPECT_EQ(again.ticket, 4711);
    EXPECT_EQ(again.exportFile, journal.exportFile);
    EXPECT_TRUE(again.sealed);
    EXPECT_EQ(again.errors, 1);
}

TEST_F(OrderJournalTest, JournalOfAnotherFileOfTheSameNameIsNeverInherited) {
    OrderJournal journal = OpenOrderJournal(kRequest);
    journal.ticket = 12;
    journal.sealed = true;
    SaveOrderJournal(journal);

    // Same size, other bytes: a new order under the old name.
    env_.dir().Write("unc/host/dadari/zeldist/order.req", "[ZELINFO]\r\nDocType=po\r\n");
    const OrderJournal fresh = OpenOrderJournal(kRequest);
    EXPECT_FALSE(fresh.onDisk);
    EXPECT_FALSE(fresh.ticket);
    EXPECT_FALSE(fresh.sealed);
    EXPECT_FALSE(Exists("order.req.journal"));
}

TEST_F(OrderJournalTest, DamagedJournalIsDiscarded) {
    env_.dir().Write("unc/host/dadari/zeldist/order.req.journal", "ZelOrderJournal 1\r\nTicket=");
    const OrderJournal fresh = OpenOrderJournal(kRequest);
    EXPECT_FALSE(fresh.onDisk);
    EXPECT_FALSE(Exists("order.req.journal"));
}

TEST_F(OrderJournalTest, StartUpFinishesTheCleanUpOfAnsweredRequests) {
    gState.gArchive = true;
    OrderJournal journal = OpenOrderJournal(kRequest);
    journal.ticket = 3;
    SaveOrderJournal(journal);
    env_.dir().Write("unc/host/dadari/zeldist/order.log", "[Time]\r\n");
    env_.dir().Write("unc/host/dadari/zeldist/order.req.1", "answer");
    pf::DeleteFile(kRequest);  // the request was answered and deleted, then the program died

    // A journal of a request that is still there stays when it is the request's own.
    env_.dir().Write("unc/host/dadari/zeldist/other.req", "other");
    OrderJournal other = OpenOrderJournal("\\\\host\\dadari\\zeldist\\other.req");
    SaveOrderJournal(other);

    DiscardStaleJournals("\\\\host\\dadari\\zeldist");
    EXPECT_FALSE(Exists("order.req.journal"));
    EXPECT_FALSE(Exists("order.log"));
    EXPECT_TRUE(env_.dir().Exists("unc/host/dadari/zelarchive/order.log"));
    EXPECT_TRUE(Exists("order.req.1"));
    EXPECT_TRUE(Exists("other.req.journal"));
}

}  // namespace
}  // namespace zel::processor
