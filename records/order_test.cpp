#include "records/order.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "platform/error.h"

using namespace zel::records;
using zel::platform::RuntimeError;

namespace {

std::shared_ptr<clsItemDetail> AddLine(clsItems& items, std::int32_t number,
                                       const std::string& key = "") {
    return items.Add(number, "ACD", "P" + std::to_string(number), number * 10, Currency{}, 0, 0, 0,
                     0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "", 0, Currency{}, "", "", key);
}

int ErrorOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const RuntimeError& e) {
        return e.Number();
    }
    return 0;
}

}  // namespace

TEST(OrderLines, AddTakesItsArgumentsInItsOwnOrder) {
    clsItems items;
    auto line = items.Add(7, "ACD", "12-345", 4, Currency::FromUnits(1250, 100), 1, 2, 3, 4, 5, 6,
                          7, 8, 9, 10, 11, 12, 13, 14, 15, 16, "COM", 17,
                          Currency::FromUnits(99, 100), "a comment", "a description");
    EXPECT_EQ(line->ItemNumber, 7);
    EXPECT_EQ(line->Line, "ACD");
    EXPECT_EQ(line->Part, "12-345");
    EXPECT_EQ(line->Quantity, 4);
    EXPECT_EQ(line->Price, Currency::FromUnits(1250, 100));
    // The flags come in reverse field order.
    EXPECT_EQ(line->SpecialOrder, 1);
    EXPECT_EQ(line->TradeIn, 2);
    EXPECT_EQ(line->PrePosted, 3);
    EXPECT_EQ(line->NonReplacedSale, 4);
    EXPECT_EQ(line->CostEntered, 5);
    EXPECT_EQ(line->EstimatedCost, 6);
    EXPECT_EQ(line->PriceChanged, 7);
    EXPECT_EQ(line->Warranty, 8);
    EXPECT_EQ(line->ServicePolicy, 9);
    EXPECT_EQ(line->Emergency, 10);
    EXPECT_EQ(line->NonStock, 11);
    EXPECT_EQ(line->ReturnItem, 12);
    EXPECT_EQ(line->Rebate, 13);
    EXPECT_EQ(line->Defect, 14);
    EXPECT_EQ(line->FactoryFreight, 15);
    EXPECT_EQ(line->Taxable, 16);
    EXPECT_EQ(line->Commodity, "COM");
    EXPECT_EQ(line->BoQty, 17);
    EXPECT_EQ(line->Cost, Currency::FromUnits(99, 100));
    EXPECT_EQ(line->Comment, "a comment");
    EXPECT_EQ(line->Description, "a description");
    // The collection holds the very object Add returned.
    EXPECT_EQ(items.Item(1), line);
}

TEST(OrderLines, PositionsFollowInsertionAndCloseUpAfterRemove) {
    clsItems items;
    int seen = 0;
    for (const auto& member : items) {
        (void)member;
        ++seen;
    }
    EXPECT_EQ(seen, 0);

    AddLine(items, 1);
    AddLine(items, 2);
    AddLine(items, 3);
    EXPECT_EQ(items.Count(), 3);
    EXPECT_EQ(items.Item(2)->ItemNumber, 2);

    items.Remove(1);
    EXPECT_EQ(items.Count(), 2);
    EXPECT_EQ(items.Item(1)->ItemNumber, 2);

    std::vector<std::int32_t> order;
    for (const auto& member : items) order.push_back(member.item->ItemNumber);
    EXPECT_EQ(order, (std::vector<std::int32_t>{2, 3}));
}

TEST(OrderLines, KeysIgnoreCaseAndAreUnique) {
    clsItems items;
    AddLine(items, 1, "First");
    AddLine(items, 2);
    AddLine(items, 3, "third");
    EXPECT_EQ(items.Item("FIRST")->ItemNumber, 1);
    EXPECT_EQ(items.Item("Third")->ItemNumber, 3);

    EXPECT_EQ(ErrorOf([&] { AddLine(items, 4, "first"); }), 457);
    EXPECT_EQ(items.Count(), 3);

    // Removing by key keeps the other keys pointing at their own members.
    items.Remove("first");
    EXPECT_EQ(items.Item("THIRD")->ItemNumber, 3);
    EXPECT_EQ(items.Item(1)->ItemNumber, 2);
    AddLine(items, 5, "First");  // the key is free again
    EXPECT_EQ(items.Item(3)->ItemNumber, 5);
}

TEST(OrderLines, BadPositionOrUnknownKeyIsError5) {
    clsItems items;
    AddLine(items, 1, "k");
    EXPECT_EQ(ErrorOf([&] { items.Item(0); }), 5);
    EXPECT_EQ(ErrorOf([&] { items.Item(2); }), 5);
    EXPECT_EQ(ErrorOf([&] { items.Item(-1); }), 5);
    EXPECT_EQ(ErrorOf([&] { items.Item("missing"); }), 5);
    EXPECT_EQ(ErrorOf([&] { items.Item(""); }), 5);
    EXPECT_EQ(ErrorOf([&] { items.Remove(2); }), 5);
    EXPECT_EQ(ErrorOf([&] { items.Remove("missing"); }), 5);
    EXPECT_EQ(items.Count(), 1);
}

TEST(OrderHeader, NewObjectsAreEmpty) {
    clsInvoiceHeader header;
    EXPECT_EQ(header.BillToAccount, 0);
    EXPECT_TRUE(header.PONumber.empty());
    EXPECT_FALSE(header.DropShip);
    EXPECT_FALSE(header.SplitShip);
    EXPECT_EQ(header.PayAmount1, Currency{});
    EXPECT_EQ(header.InvoiceDate, zel::engine::DateTime{});
    clsItemDetail line;
    EXPECT_EQ(line.Quantity, 0);
    EXPECT_EQ(line.SpecialOrder, 0);
}
