#include "processor/answers/stock_query.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/test_support.h"

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

// A request holding the item sections `numbers`, in that order.
std::string SectionsOf(const std::vector<std::int32_t>& numbers) {
    std::string text = "[ZELINFO]\r\nDocType=QUERY\r\n[COUNT]\r\nPOItemCount=x\r\n";
    for (std::int32_t n : numbers) text += "[POITEMS" + std::to_string(n) + "]\r\nPartQty=1\r\n";
    return text;
}

std::vector<std::int32_t> OneTo(std::int32_t count) {
    std::vector<std::int32_t> numbers;
    for (std::int32_t n = 1; n <= count; ++n) numbers.push_back(n);
    return numbers;
}

TEST(ItemsToAnswer, UpToTheCutEveryNumberFromOneWhateverTheRequestHolds) {
    platform::testing::ScopedDefaultLocale english("en_US");  // the counts' decimals
    EXPECT_EQ(ItemsToAnswer("3", SectionsOf({1, 2, 3})).numbers, OneTo(3));
    const RequestItems half = ItemsToAnswer(" 2.5 ", SectionsOf({1, 2, 3}));
    EXPECT_EQ(half.count, 2);
    EXPECT_EQ(half.numbers, OneTo(2));
    // More than the request holds: below the cut the count is kept, the items are read as absent.
    const RequestItems more = ItemsToAnswer("3.5", SectionsOf({1, 2, 3}));
    EXPECT_EQ(more.count, 4);
    EXPECT_EQ(more.numbers, OneTo(4));
    const RequestItems cut = ItemsToAnswer("9999", "");
    EXPECT_EQ(cut.count, 9999);
    EXPECT_EQ(cut.numbers.size(), 9999u);
    // A negative count answers nothing but is reported as it is.
    const RequestItems negative = ItemsToAnswer("-2", SectionsOf({1}));
    EXPECT_EQ(negative.count, -2);
    EXPECT_TRUE(negative.numbers.empty());
}

TEST(ItemsToAnswer, MissingLettersAndNumbersBeyond32BitsCountNothing) {
    for (const char* value : {"", "five", "2147483648", "-2147483649", "1e300", "inf", "nan"}) {
        const RequestItems items = ItemsToAnswer(value, SectionsOf({1, 2, 3, 4, 5}));
        EXPECT_EQ(items.count, 0) << value;
        EXPECT_TRUE(items.numbers.empty()) << value;
    }
}

TEST(ItemsToAnswer, AboveTheCutOnlyTheSectionsTheRequestHolds) {
    platform::testing::ScopedDefaultLocale english("en_US");
    // The planted section of a hostile request is answered under its own number, and nothing
    // between the two.
    const RequestItems planted = ItemsToAnswer("2147483647", SectionsOf({1, 2147483647}));
    EXPECT_EQ(planted.numbers, (std::vector<std::int32_t>{1, 2147483647}));
    EXPECT_EQ(planted.count, 2);
    EXPECT_EQ(ItemsToAnswer("2147483647", SectionsOf(OneTo(12))).count, 12);
    EXPECT_EQ(ItemsToAnswer("10000", "").count, 0);
    // Sections that run 1 to the count without a gap: no more than the cut's count are
    // answered, the lowest numbers, nothing invented.
    EXPECT_EQ(ItemsToAnswer("10000", SectionsOf(OneTo(10000))).numbers, OneTo(kItemCountCut));
    EXPECT_EQ(ItemsToAnswer("12000", SectionsOf(OneTo(10500))).count, kItemCountCut);
    std::vector<std::int32_t> backwards = OneTo(25000);
    std::reverse(backwards.begin(), backwards.end());
    EXPECT_EQ(ItemsToAnswer("2147483647", SectionsOf(backwards)).numbers, OneTo(kItemCountCut));
    // Sections beyond the count are not asked for; the rest come ascending, each once, however
    // the request spells and orders them.
    const std::string text = SectionsOf({30000, 15000, 1, 15000, 7}) +
                             "[ poitems42 ]\r\n[POITEMS042]\r\n[POITEMS5x]\r\n[POITEMS]\r\n";
    const RequestItems sparse = ItemsToAnswer("20,000", text);
    EXPECT_EQ(sparse.numbers, (std::vector<std::int32_t>{1, 7, 42, 15000}));
    EXPECT_EQ(sparse.count, 4);
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
