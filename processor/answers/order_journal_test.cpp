#include "processor/answers/order_journal.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/seams.h"
#include "platform/test_support.h"
#include "processor/globals.h"

namespace zel::processor {
namespace {

namespace pf = zel::platform;

const std::string kRequest = "\\\\host\\dadari\\zeldist\\order.req";

// The journal as the order branch opens it: named by the request's bytes as they are now.
OrderJournal OpenJournalOf(const std::string& requestFile) {
    return OpenOrderJournal(requestFile, pf::ReadWholeFile(requestFile));
}

class OrderJournalTest : public ::testing::Test {
protected:
    void SetUp() override {
        env_.dir().MakeDirs("unc/host/dadari/zelarchive");
        env_.dir().Write("unc/host/dadari/zeldist/order.req", "[ZELINFO]\r\nDocType=PO\r\n");
        gState = ProgramState{};
        gState.gHost = "host";  // the host whose export folder the journals name
    }
    void TearDown() override { gState = ProgramState{}; }
    bool Exists(const std::string& name) const {
        return env_.dir().Exists("unc/host/dadari/zeldist/" + name);
    }
    // An order with archiving on whose request was answered and deleted, and then the program
    // died: its journal and time log are left.
    void LeaveAnsweredOrderMidCleanUp() {
        gState.gArchive = true;
        OrderJournal journal = OpenJournalOf(kRequest);
        journal.ticket = 3;
        SaveOrderJournal(journal);
        env_.dir().Write("unc/host/dadari/zeldist/order.log", "[Time]\r\n");
        pf::DeleteFile(kRequest);
    }
    pf::testing::SandboxEnv env_;
};

TEST_F(OrderJournalTest, SavedJournalIsFoundAgainByItsRequest) {
    OrderJournal journal = OpenJournalOf(kRequest);
    EXPECT_FALSE(journal.onDisk);
    EXPECT_EQ(journal.path, kRequest + ".journal");
    journal.ticket = 4711;
    journal.exportFile = "\\\\host\\DadAri\\WebTask\\In\\4711.tmp";
    journal.sealed = true;
    journal.errors = 1;
    SaveOrderJournal(journal);

    const OrderJournal again = OpenJournalOf(kRequest);
    EXPECT_TRUE(again.onDisk);
    EXPECT_EQ(again.ticket, 4711);
    EXPECT_EQ(again.exportFile, journal.exportFile);
    EXPECT_TRUE(again.sealed);
    EXPECT_EQ(again.errors, 1);
}

TEST_F(OrderJournalTest, JournalOfAnotherFileOfTheSameNameIsNeverInherited) {
    OrderJournal journal = OpenJournalOf(kRequest);
    journal.ticket = 12;
    journal.sealed = true;
    SaveOrderJournal(journal);

    // Same size, other bytes: a new order under the old name.
    env_.dir().Write("unc/host/dadari/zeldist/order.req", "[ZELINFO]\r\nDocType=po\r\n");
    const OrderJournal fresh = OpenJournalOf(kRequest);
    EXPECT_FALSE(fresh.onDisk);
    EXPECT_FALSE(fresh.ticket);
    EXPECT_FALSE(fresh.sealed);
    EXPECT_FALSE(Exists("order.req.journal"));
}

// The request is named by its bytes and its name; its time of last change is no part of it.
TEST_F(OrderJournalTest, JournalNamesItsRequestByNameSizeAndSha256) {
    EXPECT_EQ(RequestIdentity(kRequest),
              "23 7e2181577eecb08e8479e2bd329c19b0db61538ebcf023001d83648886744f11 order.req");
    OrderJournal journal = OpenJournalOf(kRequest);
    journal.ticket = 77;
    SaveOrderJournal(journal);

    const std::string native = pf::NativePath(kRequest);
    const struct timespec times[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, native.c_str(), times, 0), 0);
    EXPECT_EQ(OpenJournalOf(kRequest).ticket, 77);
    EXPECT_EQ(OpenJournalOf("\\\\HOST\\DadAri\\zeldist\\ORDER.REQ").ticket, 77);

    // The same bytes under another name are another order.
    env_.dir().Write("unc/host/dadari/zeldist/copy.req",
                     env_.dir().Read("unc/host/dadari/zeldist/order.req"));
    env_.dir().Write("unc/host/dadari/zeldist/copy.req.journal",
                     env_.dir().Read("unc/host/dadari/zeldist/order.req.journal"));
    EXPECT_FALSE(OpenJournalOf("\\\\host\\dadari\\zeldist\\copy.req").onDisk);
}

// Journals written before the request was named by its SHA-256 carry "size time digest"
// (a 64-bit FNV-1a digest): an upgrade must not take a sealed order for a new one.
TEST_F(OrderJournalTest, JournalOfTheEarlierFormIsStillItsRequests) {
    const auto earlier = [](const std::string& identity) {
        return "ZelOrderJournal 1\r\nRequest=" + identity +
               "\r\nTicket=4711\r\nExport=\\\\host\\DadAri\\WebTask\\In\\4711.tmp\r\nSealed="
               "0\r\nEnd\r\n";
    };
    env_.dir().Write("unc/host/dadari/zeldist/order.req.journal",
                     earlier("23 1733652000123456789 ed397b2403d75ebc"));
    OrderJournal journal = OpenJournalOf(kRequest);
    EXPECT_TRUE(journal.onDisk);
    EXPECT_TRUE(journal.sealed);
    EXPECT_EQ(journal.ticket, 4711);
    // Saved again, it takes today's form and is still found.
    SaveOrderJournal(journal);
    EXPECT_THAT(env_.dir().Read("unc/host/dadari/zeldist/order.req.journal"),
                ::testing::HasSubstr("Request=" + RequestIdentity(kRequest) + "\r\n"));
    EXPECT_EQ(OpenJournalOf(kRequest).ticket, 4711);

    for (const std::string other :
         {"23 1733652000123456789 ed397b2403d75ebd", "24 1 ed397b2403d75ebc", "23 ed397b2403d75ebc",
          "23 5 ed397b2403d75ebc order.req"}) {
        SCOPED_TRACE(other);
        env_.dir().Write("unc/host/dadari/zeldist/order.req.journal", earlier(other));
        EXPECT_FALSE(OpenJournalOf(kRequest).onDisk);
        EXPECT_FALSE(Exists("order.req.journal"));
    }
}

// The request folder is open to every writer of the share: a journal this program could not
// have written for the order is nobody's, whatever it names.
TEST_F(OrderJournalTest, JournalOfWhatThisProgramNeverWritesIsDiscarded) {
    const auto journal = [](const std::string& lines) {
        return "ZelOrderJournal 1\r\nRequest=" + RequestIdentity(kRequest) + "\r\n" + lines +
               "End\r\n";
    };
    const std::string in = "\\\\host\\DadAri\\WebTask\\In\\";
    for (const std::string& lines : std::vector<std::string>{
             "Ticket=0\r\nExport=" + in + "0.tmp\r\nSealed=0\r\n",
             "Ticket=-5\r\nExport=" + in + "-5.tmp\r\nSealed=0\r\n",
             "Ticket=-5\r\n",
             "Ticket=7\r\nExport=" + in + "8.tmp\r\nSealed=0\r\n",
             "Ticket=7\r\nExport=\\\\host\\QMRLINK\\QMR1\\PARTS\r\nSealed=0\r\n",
             "Ticket=7\r\nExport=\\\\other\\DadAri\\WebTask\\In\\7.tmp\r\nSealed=0\r\n",
             "Ticket=7\r\nExport=/etc/7.tmp\r\nSealed=0\r\n",
             "Ticket=7\r\nExport=" + in + "7.tmp\r\n",
             "Sealed=0\r\n",
             "Ticket=7\r\nSealed=-1\r\n",
             "Ticket=7\r\nTicket=8\r\n",
             "Sealed=0\r\nTicket=7\r\n",
         }) {
        SCOPED_TRACE(lines);
        env_.dir().Write("unc/host/dadari/zeldist/order.req.journal", journal(lines));
        const OrderJournal fresh = OpenJournalOf(kRequest);
        EXPECT_FALSE(fresh.onDisk);
        EXPECT_FALSE(fresh.ticket);
        EXPECT_FALSE(fresh.sealed);
        EXPECT_FALSE(Exists("order.req.journal"));
    }

    // The export's name is compared as the file system maps it: the host's spelling may change.
    env_.dir().Write(
        "unc/host/dadari/zeldist/order.req.journal",
        journal("Ticket=7\r\nExport=\\\\HOST\\dadari\\webtask\\in\\7.TMP\r\nSealed=0\r\n"));
    const OrderJournal ours = OpenJournalOf(kRequest);
    EXPECT_TRUE(ours.sealed);
    EXPECT_EQ(ours.ticket, 7);
    EXPECT_EQ(ours.exportFile, in + "7.tmp");
}

// Only a regular file of a journal's size is read as a journal: a link is not followed, and a
// giant is refused by its size before any of it is read.
TEST_F(OrderJournalTest, JournalIsReadOnlyFromARegularFileOfAJournalsSize) {
    OrderJournal sealed = OpenJournalOf(kRequest);
    sealed.ticket = 7;
    sealed.sealed = true;
    SaveOrderJournal(sealed);
    const std::string elsewhere =
        env_.dir().Write("elsewhere/order.req.journal",
                         env_.dir().Read("unc/host/dadari/zeldist/order.req.journal"));
    const std::string name = pf::NativePath(kRequest + ".journal");
    ASSERT_EQ(::unlink(name.c_str()), 0);
    ASSERT_EQ(::symlink(elsewhere.c_str(), name.c_str()), 0);
    OrderJournal fresh = OpenJournalOf(kRequest);
    EXPECT_FALSE(fresh.onDisk);
    EXPECT_FALSE(fresh.ticket);
    EXPECT_FALSE(pf::NameExists(kRequest + ".journal"));
    EXPECT_TRUE(env_.dir().Exists("elsewhere/order.req.journal"));

    // A terabyte (sparse: it costs no disk) that begins as a journal.
    env_.dir().Write("unc/host/dadari/zeldist/order.req.journal",
                     env_.dir().Read("elsewhere/order.req.journal"));
    ASSERT_EQ(::truncate(name.c_str(), 1LL << 40), 0);
    EXPECT_NO_THROW(fresh = OpenJournalOf(kRequest));
    EXPECT_FALSE(fresh.onDisk);
    EXPECT_FALSE(Exists("order.req.journal"));
}

TEST_F(OrderJournalTest, DamagedJournalIsDiscarded) {
    env_.dir().Write("unc/host/dadari/zeldist/order.req.journal", "ZelOrderJournal 1\r\nTicket=");
    const OrderJournal fresh = OpenJournalOf(kRequest);
    EXPECT_FALSE(fresh.onDisk);
    EXPECT_FALSE(Exists("order.req.journal"));
}

TEST_F(OrderJournalTest, StartUpFinishesTheCleanUpOfAnsweredRequests) {
    LeaveAnsweredOrderMidCleanUp();
    env_.dir().Write("unc/host/dadari/zeldist/order.req.1", "answer");

    // A journal of a request that is still there stays when it is the request's own.
    env_.dir().Write("unc/host/dadari/zeldist/other.req", "other");
    OrderJournal other = OpenJournalOf("\\\\host\\dadari\\zeldist\\other.req");
    SaveOrderJournal(other);

    DiscardStaleJournals("\\\\host\\dadari\\zeldist");
    EXPECT_FALSE(Exists("order.req.journal"));
    EXPECT_FALSE(Exists("order.log"));
    EXPECT_TRUE(env_.dir().Exists("unc/host/dadari/zelarchive/order.log"));
    EXPECT_TRUE(Exists("order.req.1"));
    EXPECT_TRUE(Exists("other.req.journal"));
}

// While the start-up finishes the clean-up of an order answered before, another instance takes
// up a new request of the same name and saves its journal: that journal is not the start-up's
// to remove.
TEST_F(OrderJournalTest, StartUpRemovesOnlyTheJournalItClaimed) {
    LeaveAnsweredOrderMidCleanUp();

    const std::string newJournal = "ZelOrderJournal 1\r\nRequest=new\r\nTicket=4\r\nEnd\r\n";
    bool taken = false;
    const pf::ScopedBeforeFileChange otherInstance([&] {
        if (taken) return;
        taken = true;
        env_.dir().Write("unc/host/dadari/zeldist/order.req", "[ZELINFO]\r\nDocType=PO\r\n");
        const std::string folder = env_.UncRoot() + "/host/dadari/zeldist/";
        env_.dir().Write("unc/host/dadari/zeldist/order.req.journal.new", newJournal);
        ::rename((folder + "order.req.journal.new").c_str(),
                 (folder + "order.req.journal").c_str());
    });
    DiscardStaleJournals("\\\\host\\dadari\\zeldist");
    EXPECT_TRUE(taken);
    ASSERT_TRUE(Exists("order.req.journal"));
    EXPECT_EQ(env_.dir().Read("unc/host/dadari/zeldist/order.req.journal"), newJournal);
}

// Another instance on the folder is answering a request, or finishing the clean-up of one it
// answered: its journal is left to it.
TEST_F(OrderJournalTest, StartUpLeavesTheJournalsOfRequestsAnotherInstanceHolds) {
    gState.gArchive = true;
    env_.dir().Write("unc/host/dadari/zeldist/order.req.journal", "ZelOrderJournal 1\r\nTicket=");
    const pf::FileClaim answering(kRequest);
    ASSERT_TRUE(answering.Claimed());

    env_.dir().Write("unc/host/dadari/zeldist/done.req.journal",
                     "ZelOrderJournal 1\r\nRequest=x\r\nEnd\r\n");
    env_.dir().Write("unc/host/dadari/zeldist/done.log", "[Time]\r\n");
    const pf::FileClaim finishing("\\\\host\\dadari\\zeldist\\done.req.journal");
    ASSERT_TRUE(finishing.Claimed());

    DiscardStaleJournals("\\\\host\\dadari\\zeldist");
    EXPECT_TRUE(Exists("order.req.journal"));
    EXPECT_TRUE(Exists("done.req.journal"));
    EXPECT_TRUE(Exists("done.log"));
    EXPECT_FALSE(env_.dir().Exists("unc/host/dadari/zelarchive/done.log"));
}

}  // namespace
}  // namespace zel::processor
