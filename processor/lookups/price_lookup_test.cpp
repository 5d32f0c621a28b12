#include "processor/lookups/price_lookup.h"

#include <gtest/gtest.h>

#include "platform/error.h"
#include "processor/lookup_test_support.h"

namespace zel::processor {
namespace {

using platform::Currency;
using testing::Crm;
using testing::json;
using testing::Site;

Currency Cents(std::int64_t cents) { return Currency::FromUnits(cents, 100); }

struct Priced {
    Currency retail, net, unitCost;
    std::int32_t level = 0;
    float bump = 0;
};

class PriceTest : public testing::SiteTest {
protected:
    void SetUp() override {
        part.Line = 7;
        part.Part_Number = "AB123" + std::string(13, ' ');
        part.Package_Code = "E11";
        part.Package_Quantity = 1;
        part.List_Price = Cents(2000);
        part.Level_1_Price = Cents(1800);
        part.Level_2_Price = Cents(1600);
        part.Level_3_Price = Cents(1400);
        part.Level_4_Price = Cents(1200);
        part.Level_5_Price = Cents(1000);
        part.Cost = Cents(800);
        part.Price_Code = "P";
        part.Comodity = "C";
        customer.Price_Matrix = 0;
        customer.Default_Level = 3;
        customer.Percentage_Bump = 0;
        line.Alpha_Line = "ABC";
    }
    void Lines(json fields = json::object()) {
        site.Line(1, 7, "ABC", fields);
        site.Line(2, 550, "UNK");
    }
    void File0(int markup, std::vector<int> thresholds = {}) {
        site.file0Block0.push_back({{"at", 93}, {"pack", "C"}, {"value", markup}});
        for (std::size_t i = 0; i < thresholds.size(); ++i)
            site.file0Block0.push_back(
                {{"at", 389 + 2 * static_cast<int>(i)}, {"pack", "C"}, {"value", thresholds[i]}});
    }
    Priced Price() {
        Priced p;
        GetPrice(part, line, customer, p.retail, p.net, p.unitCost, p.level, p.bump);
        return p;
    }
    Priced Price(std::int32_t matrix, std::int32_t level, std::int32_t bump) {
        customer.Price_Matrix = matrix;
        customer.Default_Level = level;
        customer.Percentage_Bump = bump;
        return Price();
    }

    records::clsParts part;
    records::clsLines line;
    records::clsCustomers customer;
};

TEST_F(PriceTest, MatrixZeroTakesTheCustomersLevelAndBump) {
    Lines({{"Line_Name", "ABC WIDGETS"}});
    File0(0);
    Build();
    const Priced p = Price(0, 3, 250);
    EXPECT_EQ(p.net, Cents(1640));  // 16.00 + 2.5 %
    EXPECT_EQ(p.retail, Cents(2000));
    EXPECT_EQ(p.unitCost, Cents(800));
    EXPECT_EQ(p.level, 3);
    EXPECT_FLOAT_EQ(p.bump, 2.5f);
    // The line argument is replaced by a fresh lookup of its code.
    EXPECT_EQ(line.Line, 7);
    EXPECT_EQ(line.Line_Name.substr(0, 11), "ABC WIDGETS");
}

TEST_F(PriceTest, BumpsAreExactDecimalsTruncatedTowardZeroToACent) {
    Lines();
    File0(0);
    Build();
    part.Level_5_Price = Cents(1000);
    EXPECT_EQ(Price(0, 6, 70).net, Cents(1007));  // 0.7 % of 10.00 is 0.07
    EXPECT_EQ(Price(0, 6, 33).net, Cents(1003));  // 0.033 -> 0.03
    EXPECT_EQ(Price(0, 6, -150).net, Cents(985));
    EXPECT_EQ(Price(0, 6, -33).net, Cents(997));  // -0.033 -> -0.03
    // The price itself is truncated to cents after the bump.
    part.Level_5_Price = Currency::FromUnits(100999, 10000);  // 10.0999
    EXPECT_EQ(Price(0, 6, 0).net, Cents(1009));
}

TEST_F(PriceTest, SpecialPricesByPartPrefixPriceCodeCommodityAndLine) {
    Lines();
    File0(0);
    site.Special(5, 7, Crm("AB123", 12), Site::SpecialRecord(4, 250));
    site.Special(6, 1007, Crm("ABZZZZZZZZZZZZZZZZ", 12), Site::SpecialRecord(2, 0));
    site.Special(7, 1007, Crm("ZZZZZZZZZZZZZZZZZZ", 12), Site::SpecialRecord(5, 0));
    site.Special(8, 4007, Crm("P", 12), Site::SpecialRecord(6, 100));
    site.Special(9, 3007, Crm("C", 12), Site::SpecialRecord(2, -100));
    site.Special(10, 2007, "", Site::SpecialRecord(3, 0));
    Build();

    Priced p = Price(5, 2, 0);
    EXPECT_EQ(p.level, 4);
    EXPECT_FLOAT_EQ(p.bump, 2.5f);
    EXPECT_EQ(p.net, Cents(1435));
    EXPECT_EQ(p.retail, Cents(2000));  // the list pass keeps level 1 without bump

    EXPECT_EQ(Price(6, 6, 0).level, 2);  // AB123 begins with AB
    part.Part_Number = "XY1";
    EXPECT_EQ(Price(6, 6, 0).level, 6);  // no prefix of matrix 6 fits XY1
    EXPECT_EQ(Price(7, 6, 0).level, 5);  // all Z: every part of the line

    p = Price(8, 2, 0);
    EXPECT_EQ(p.level, 6);
    EXPECT_EQ(p.net, Cents(1010));
    p = Price(9, 6, 0);
    EXPECT_EQ(p.level, 2);
    EXPECT_EQ(p.net, Cents(1782));
    EXPECT_EQ(Price(10, 6, 0).level, 3);
    // A part of another line finds none of these.
    part.Line = 8;
    EXPECT_EQ(Price(10, 6, 0).level, 6);
}

TEST_F(PriceTest, BracketsAdjustTheNetPriceBelowTheirThresholds) {
    Lines();
    File0(0, {1000, 5000, 0, 9000});
    site.Brackets(5, false, -25, 500, 0);
    site.Brackets(5, true, 100, 0, 0);
    Build();
    part.Level_5_Price = Cents(900);
    EXPECT_EQ(Price(5, 6, 0).net, Cents(925));  // 9.00 + 25 cents
    part.Level_5_Price = Cents(4000);
    EXPECT_EQ(Price(5, 6, 0).net, Cents(4200));  // 40.00 + 5 %
    part.Level_5_Price = Cents(6000);
    EXPECT_EQ(Price(5, 6, 0).net, Cents(6000));  // the third threshold is 0: brackets end
    // Another matrix has no brackets.
    part.Level_5_Price = Cents(900);
    EXPECT_EQ(Price(4, 6, 0).net, Cents(900));
}

TEST_F(PriceTest, AFirstThresholdOfZeroMeansNoBrackets) {
    Lines();
    File0(0, {0, 5000});
    site.Brackets(5, false, -25, 500, 0);
    Build();
    part.Level_5_Price = Cents(900);
    EXPECT_EQ(Price(5, 6, 0).net, Cents(900));
}

TEST_F(PriceTest, MatrixChainsFollowAndEndWhenTheyComeRound) {
    Lines();
    File0(0);
    std::string six(2, '\0');
    sharegen::PutPacked(six, 1, 'C', 6);
    site.Special(5, 9999, six, 1);
    site.Special(6, 7, Crm("AB123", 12), Site::SpecialRecord(5, 0));
    std::string twelve(2, '\0'), eleven(2, '\0');
    sharegen::PutPacked(twelve, 1, 'C', 12);
    sharegen::PutPacked(eleven, 1, 'C', 11);
    site.Special(11, 9999, twelve, 1);
    site.Special(12, 9999, eleven, 1);
    Build();
    EXPECT_EQ(Price(5, 2, 0).level, 5);
    // 11 -> 12 -> 11: the walk ends and the customer's own level stands.
    const Priced p = Price(11, 2, 150);
    EXPECT_EQ(p.level, 2);
    EXPECT_EQ(p.net, Cents(1827));
}

TEST_F(PriceTest, LevelSevenIsTheUnitCostPlusTheBump) {
    Lines();
    File0(0);
    Build();
    part.Package_Code = "C  ";
    part.Cost = Cents(1200);
    const Priced p = Price(0, 7, 1000);
    EXPECT_EQ(p.unitCost, Cents(12));
    EXPECT_EQ(p.net, Cents(13));       // 0.12 + 0.012 truncated to 0.01
    EXPECT_EQ(p.retail, Cents(2000));  // prices are not divided
}

TEST_F(PriceTest, ALevelWithoutAPriceFallsBackOneLevelAtATime) {
    Lines();
    File0(0);
    Build();
    part.Level_3_Price = Currency();
    Priced p = Price(0, 4, 250);
    EXPECT_EQ(p.level, 3);
    EXPECT_EQ(p.net, Cents(1600));  // the bump is dropped with the step down
    EXPECT_FLOAT_EQ(p.bump, 0.0f);
    part.Level_1_Price = part.Level_2_Price = part.Level_4_Price = part.Level_5_Price = Currency();
    p = Price(0, 6, 0);
    EXPECT_EQ(p.level, 1);
    EXPECT_EQ(p.net, Cents(2000));
    part.List_Price = Currency();
    p = Price(0, 6, 0);
    EXPECT_EQ(p.net, Currency());
    EXPECT_EQ(p.retail, Currency());
}

TEST_F(PriceTest, LineDefinitionsStandInForALevelWithoutAPrice) {
    Lines({{"Price_Def_2_Level", 4},
           {"Price_Def_2_Use", 2},
           {"Price_Def_2_Perc", 10},
           {"Price_Def_3_Level", 5},
           {"Price_Def_3_Use", 5}});
    File0(0);
    Build();
    part.Level_3_Price = Currency();
    Priced p = Price(0, 4, 0);
    EXPECT_EQ(p.level, 2);
    EXPECT_FLOAT_EQ(p.bump, 10.0f);
    EXPECT_EQ(p.net, Cents(1980));
    // A definition that uses its own level stands in for nothing: step down.
    part.Level_4_Price = Currency();
    p = Price(0, 5, 0);
    EXPECT_EQ(p.level, 2);  // 5 -> 4 (definition to 2 at +10 %)
    EXPECT_EQ(p.net, Cents(1980));
}

TEST_F(PriceTest, DefinitionsThatSendLevelsToEachOtherEndAndFallBack) {
    Lines({{"Price_Def_1_Level", 4},
           {"Price_Def_1_Use", 5},
           {"Price_Def_2_Level", 5},
           {"Price_Def_2_Use", 4}});
    File0(0);
    Build();
    part.Level_3_Price = Currency();
    part.Level_4_Price = Currency();
    const Priced p = Price(0, 4, 0);
    EXPECT_EQ(p.level, 3);
    EXPECT_EQ(p.net, Cents(1600));
}

TEST_F(PriceTest, UnitsPerCostFromThePackageCodeTheLastRuleThatAppliesWins) {
    Lines();
    File0(0);
    Build();
    part.Cost = Cents(1200);
    const struct {
        const char* code;
        std::int32_t quantity;
        std::int64_t cents;
    } cases[] = {{"C  ", 1, 12},   {"M  ", 1, 1},    {"S  ", 6, 200},
                 {"E1S", -4, 300}, {"E1S", 4, 1200}, {"S  ", 0, 1200},
                 {"S  ", -3, 400}, {"C1S", -4, 300}, {"", 5, 1200}};
    for (const auto& c : cases) {
        part.Package_Code = c.code;
        part.Package_Quantity = c.quantity;
        EXPECT_EQ(Price(0, 2, 0).unitCost, Cents(c.cents)) << c.code << " " << c.quantity;
    }
}

TEST_F(PriceTest, TheMinimumMarkupRaisesTheRetailPrice) {
    Lines();
    File0(2500);
    Build();
    part.List_Price = Cents(1100);
    part.Level_5_Price = Cents(1000);
    EXPECT_EQ(Price(0, 6, 0).retail, Cents(1250));
    part.List_Price = Cents(1300);
    EXPECT_EQ(Price(0, 6, 0).retail, Cents(1300));
}

TEST_F(PriceTest, RoundingToCentsTakesHalvesAwayFromZero) {
    Lines();
    File0(0);
    Build();
    part.Package_Code = "S  ";
    part.Package_Quantity = 2;
    part.Cost = Cents(25);
    EXPECT_EQ(Price(0, 2, 0).unitCost, Cents(13));
    part.Cost = Cents(-25);
    EXPECT_EQ(Price(0, 2, 0).unitCost, Cents(-13));
    part.Cost = Cents(23);
    EXPECT_EQ(Price(0, 2, 0).unitCost, Cents(12));  // 0.115 -> 0.12
}

TEST_F(PriceTest, AMissingFile0IsAnErrorNotAnEightyTwoPercentMarkup) {
    Lines();
    site.withFile0 = false;
    Build();
    try {
        Price();
        FAIL() << "expected an error";
    } catch (const platform::RuntimeError& e) {
        EXPECT_EQ(e.Number(), 53);
    }
}

TEST_F(PriceTest, ADamagedSpecialPriceIndexPricesWithoutSpecials) {
    Lines();
    File0(0);
    site.Special(5, 7, Crm("AB123", 12), Site::SpecialRecord(4, 250));
    site.indexes["SPECI"].blocks = {
        {"0", json::array({{{"at", 9}, {"pack", "C"}, {"value", 30000}}})}};
    Build();
    const Priced p = Price(5, 2, 0);
    EXPECT_EQ(p.level, 2);
    EXPECT_EQ(p.net, Cents(1800));
}

}  // namespace
}  // namespace zel::processor
