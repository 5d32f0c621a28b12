#include "processor/query_entry.h"

#include <gtest/gtest.h>

#include <string>

namespace zel::processor {
namespace {

TEST(QueryDateTime, DateIsPaddedTheClockIsNot) {
    std::tm t{};
    t.tm_year = 2024 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 5;
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 0;
    EXPECT_EQ(QueryDateTime(t), "20240305 9:5:0");
    t.tm_mon = 11;
    t.tm_mday = 31;
    t.tm_hour = 23;
    t.tm_min = 59;
    t.tm_sec = 58;
    EXPECT_EQ(QueryDateTime(t), "20241231 23:59:58");
}

// --- Status of an item --------------------------------------------------------------------------

StatusFacts Short(std::int32_t record) {
    StatusFacts f;
    f.total = 2;
    f.requested = 5;
    f.recordNumber = record;
    return f;
}

TEST(StockStatus, FirstMatchingRuleWinsWithItsCounter) {
    StatusFacts f = Short(7);
    f.unauthorized = true;
    f.total = 9;  // would be available
    EXPECT_EQ(StockStatus(f).message, kUnauthorizedLine);
    EXPECT_EQ(StockStatus(f).counter, "");

    f = Short(7);
    f.total = 5;
    f.backOrdered = 3;
    EXPECT_EQ(StockStatus(f).message, "Available");
    EXPECT_EQ(StockStatus(f).counter, "Item1-3");

    f = Short(7);
    f.orderCode = "Z";
    f.backOrdered = 3;
    EXPECT_EQ(StockStatus(f).message, "Special Order Only");
    EXPECT_EQ(StockStatus(f).counter, "Item1-6");

    f = Short(7);
    f.backOrdered = 1;
    f.onOrder = 4;
    EXPECT_EQ(StockStatus(f).message, "Factory Back-Ordered");
    EXPECT_EQ(StockStatus(f).counter, "Item1-5");

    f = Short(7);
    f.onOrder = 4;
    EXPECT_EQ(StockStatus(f).message, "On-Order, Awaiting Delivery");
    EXPECT_EQ(StockStatus(f).counter, "Item1-4");

    f = Short(7);
    f.orderCode = "z";  // only the upper-case code marks special order
    EXPECT_EQ(StockStatus(f).message, "");
    EXPECT_EQ(StockStatus(f).counter, "");
}

TEST(StockStatus, RecordNumberTellsNotFoundFromSpecialOrder) {
    EXPECT_EQ(StockStatus(Short(0)).message, "Part Not Found");
    // A part of the parts database (negative record number) has nothing on hand here.
    EXPECT_EQ(StockStatus(Short(-12)).message, "Special Order Only");
    EXPECT_EQ(StockStatus(Short(-12)).counter, "Item1-6");

    // Nothing asked, nothing on hand: available, even for a part that exists nowhere.
    StatusFacts none = Short(0);
    none.total = 0;
    none.requested = 0;
    EXPECT_EQ(StockStatus(none).message, "Available");

    // A negative quantity asked is covered by any stock.
    StatusFacts negative = Short(0);
    negative.total = 0;
    negative.requested = -3;
    EXPECT_EQ(StockStatus(negative).message, "Available");
}

// --- Location marks -----------------------------------------------------------------------------

TEST(LocationMarks, OwnLocationIsMarkedButNotCounted) {
    LocationMarks marks;
    EXPECT_EQ(marks.Count(), 0);
    EXPECT_FALSE(marks.IsMarked(1));

    marks.StartItem();
    marks.Mark(2);
    marks.CountLocation(1);
    marks.CountLocation(3);
    EXPECT_EQ(marks.Count(), 3);
    EXPECT_TRUE(marks.IsMarked(1));
    EXPECT_TRUE(marks.IsMarked(2));
    EXPECT_TRUE(marks.IsMarked(3));
    EXPECT_FALSE(marks.IsMarked(4));

    // The next item starts the count afresh but keeps the locations already reported.
    marks.StartItem();
    EXPECT_EQ(marks.Count(), 1);
    EXPECT_TRUE(marks.IsMarked(3));
}

TEST(LocationMarks, EveryLocationAByteCanNameHasItsMark) {
    LocationMarks marks;
    marks.StartItem();
    marks.Mark(255);
    for (std::int32_t k = 2; k <= 254; ++k) marks.CountLocation(k);
    EXPECT_EQ(marks.Count(), 254);
    EXPECT_TRUE(marks.IsMarked(21));
    EXPECT_TRUE(marks.IsMarked(255));
    EXPECT_FALSE(marks.IsMarked(256));
    EXPECT_FALSE(marks.IsMarked(-1));
}

// --- Item count ---------------------------------------------------------------------------------

TEST(QueryItemCount, NumericValuesRoundHalfToEven) {
    EXPECT_EQ(QueryItemCount("3", 3), 3);
    EXPECT_EQ(QueryItemCount(" 2.5 ", 3), 2);
    EXPECT_EQ(QueryItemCount("3.5", 3), 4);  // more than the request holds: kept below the cut
    EXPECT_EQ(QueryItemCount("-2", 0), -2);
    EXPECT_EQ(QueryItemCount("9999", 0), 9999);
}

TEST(QueryItemCount, MissingLettersAndNumbersBeyond32BitsCountNothing) {
    EXPECT_EQ(QueryItemCount("", 5), 0);
    EXPECT_EQ(QueryItemCount("five", 5), 0);
    EXPECT_EQ(QueryItemCount("2147483648", 5), 0);
    EXPECT_EQ(QueryItemCount("-2147483649", 5), 0);
    EXPECT_EQ(QueryItemCount("1e300", 5), 0);
}

TEST(QueryItemCount, LargeCountIsCutToTheItemsTheRequestHolds) {
    EXPECT_EQ(QueryItemCount("2147483647", 12), 12);
    EXPECT_EQ(QueryItemCount("10000", 0), 0);
    EXPECT_EQ(QueryItemCount("10000", 20000), 10000);  // no item dropped, none invented
    EXPECT_EQ(QueryItemCount("12000", 10500), 10500);
}

TEST(ItemSectionNumber, OnlyTheNamesTheItemLoopReads) {
    EXPECT_EQ(ItemSectionNumber("POITEMS1"), 1);
    EXPECT_EQ(ItemSectionNumber("poItems42"), 42);
    EXPECT_EQ(ItemSectionNumber("POITEMS2147483647"), 2147483647);
    for (const char* other : {"POITEMS", "POITEMS0", "POITEMS01", "POITEMS1a", "POITEMS-1",
                              "POITEMS2147483648", "POITEMS99999999999", "XPOITEMS1", "COUNT"}) {
        EXPECT_FALSE(ItemSectionNumber(other).has_value()) << other;
    }
}

}  // namespace
}  // namespace zel::processor
