// Golden bytes and the particular rules of each record class, on images built by hand.
#include <gtest/gtest.h>

#include <string>

#include "engine/state.h"
#include "engine/text.h"
#include "records/customers.h"
#include "records/dbparts.h"
#include "records/lines.h"
#include "records/parts.h"
#include "tools/sharegen/sharegen.h"

namespace zel::records {
namespace {

using platform::Currency;
using sharegen::Compress;
using sharegen::PutPacked;

std::string Head() { return engine::Engine().CrmAlphabet.substr(0, 4); }

class RecordClassTest : public ::testing::Test {
protected:
    void TearDown() override { engine::Engine().CrmAlphabet = engine::kDefaultCrmAlphabet; }
    static void Put(std::string& image, int at, const std::string& bytes) {
        image.replace(static_cast<std::size_t>(at - 1), bytes.size(), bytes);
    }
    static int Byte(const std::string& image, int at) {
        return static_cast<unsigned char>(image[static_cast<std::size_t>(at - 1)]);
    }
};

// ---- parts ----

TEST_F(RecordClassTest, PartNumberWithDashCodeGolden) {
    std::string image(288, '\0');
    Put(image, 5, Compress(std::string("12345") + std::string(13, ' ')));
    Put(image, 17, Compress("3"));
    clsParts part;
    part.Unpack(image);
    EXPECT_EQ(part.Part_Number, "12345" + std::string(13, ' '));
    EXPECT_EQ(part.Part_w_Dash, "12-345" + std::string(13, ' '));

    std::string packed(288, '\x77');
    part.Pack(packed);
    EXPECT_EQ(packed.substr(4, 14), image.substr(4, 14));
    EXPECT_EQ(part.Part_w_Dash, "12-345" + std::string(13, ' '));  // kept as it was
}

TEST_F(RecordClassTest, PartFlagBytes88And89) {
    std::string image(288, '\0');
    image[87] = '\xFF';
    image[88] = 48;
    clsParts part;
    part.Unpack(image);
    EXPECT_EQ(part.Price_Lock_Factors, 1);
    EXPECT_EQ(part.Order_In_Sets, 1);
    EXPECT_EQ(part.Monthly_Max, 1);
    EXPECT_EQ(part.Price_Lock_All, 1);
    EXPECT_EQ(part.Seasonal, 1);
    EXPECT_EQ(part.Serial_Numbers, 2);
    image[88] = 16;
    part.Unpack(image);
    EXPECT_EQ(part.Serial_Numbers, 1);
    image[88] = 32;
    part.Unpack(image);
    EXPECT_EQ(part.Serial_Numbers, 2);

    part.Price_Lock_Factors = part.Order_In_Sets = part.Monthly_Max = part.Price_Lock_All =
        part.Seasonal = 0;
    image[87] = '\xFF';
    part.Serial_Numbers = 2;
    image[88] = 0;
    part.Pack(image);
    EXPECT_EQ(Byte(image, 88), 19);  // bits 0, 1 and 4 kept
    EXPECT_EQ(Byte(image, 89) & 48, 48);
    part.Serial_Numbers = 1;
    part.Pack(image);
    EXPECT_EQ(Byte(image, 89) & 48, 16);
    part.Serial_Numbers = 5;
    part.Label = -1;
    part.Pack(image);
    EXPECT_EQ(Byte(image, 89) & 50, 18);
}

TEST_F(RecordClassTest, PartCodesBinAndScaledAmounts) {
    std::string image(288, '\0');
    clsParts part;
    part.Unpack(image);
    EXPECT_EQ(part.Comodity + part.Unit_of_Measure + part.Return_Flag + part.Mfg_Popularity +
                  part.Dlr_Popularity + part.Order_Code,
              "      ");
    EXPECT_EQ(part.Bin, "      ");
    Put(image, 21, Compress("AEX12Z"));
    PutPacked(image, 36, 'K', -125);
    PutPacked(image, 148, 'D', 7);
    PutPacked(image, 43, 'K', 12345);
    part.Unpack(image);
    EXPECT_EQ(part.Comodity, "A");
    EXPECT_EQ(part.Unit_of_Measure, "E");
    EXPECT_EQ(part.Order_Code, "Z");
    EXPECT_EQ(part.Quantity_On_Hand, Currency::FromDouble(-12.5));
    EXPECT_EQ(part.Quantity_Alloc, Currency::FromDouble(0.7));
    EXPECT_EQ(part.List_Price, Currency::FromDouble(123.45));

    part.Quantity_On_Hand = Currency::FromDouble(12.35);
    part.List_Price = Currency::FromDouble(1.235);
    part.Level_1_Price = Currency::FromDouble(1.245);
    part.Order_Code = "Q";  // never written
    part.Pack(image);
    EXPECT_EQ(image.substr(35, 3), std::string("\0\0\x7C", 3));  // 124 tenths
    EXPECT_EQ(image.substr(42, 3), std::string("\0\0\x7C", 3));  // 124 hundredths
    EXPECT_EQ(image.substr(45, 3), std::string("\0\0\x7C", 3));
    EXPECT_EQ(image.substr(20, 4), Compress("AEX12Z"));
}

TEST_F(RecordClassTest, PartPackLeavesUnmappedBytesAndPadsInPlace) {
    std::string image(288, '\x5A');
    clsParts part;
    part.Unpack(image);
    part.Package_Code = "E";
    part.Description = "BRAKE";
    part.Sub_Part_Number = "AB";
    part.Bin = std::string(6, '\0');  // packs as stored
    std::string out = image;
    part.Pack(out);
    EXPECT_EQ(out.size(), 288u);
    for (int at : {1, 2, 31, 32, 147, 157, 139, 140, 21, 22, 23, 24})
        EXPECT_EQ(Byte(out, at), 0x5A) << at;
    EXPECT_EQ(part.Package_Code, "E  ");
    EXPECT_EQ(part.Description, "BRAKE ");
    EXPECT_EQ(part.Sub_Part_Number, "AB ");
    EXPECT_EQ(out.substr(140, 6), std::string(6, '\0'));
    part.Unpack(out);
    EXPECT_EQ(part.Bin, "      ");  // zero bytes do not survive
    EXPECT_EQ(part.Description, "BRAKE" + std::string(16, ' '));
}

TEST_F(RecordClassTest, PartAmountBeyondThirtyTwoBitsIsNotPacked) {
    std::string image(288, '\0');
    clsParts part;
    part.MTD_Sales = Currency::FromDouble(30000000.0);  // 3e9 cents
    part.Cost = Currency::FromDouble(100000.0);         // wraps in three bytes, as stored
    part.Pack(image);
    EXPECT_EQ(image.substr(162, 4), std::string(4, '\0'));
    EXPECT_EQ(image.substr(60, 3), std::string("\x98\x96\x80", 3));  // 10,000,000 low bytes
}

// ---- parts database ----

TEST_F(RecordClassTest, DatabaseLayoutsReadTheSameBytesDifferently) {
    std::string image(64, '\0');
    Put(image, 5, Compress("ABCDEFGHIJKLMNO"));  // 10 bytes
    Put(image, 15, Compress("PQR"));
    Put(image, 17, Compress("3"));
    image.replace(25, 3, std::string("\x00\x30\x39", 3));
    image.replace(60, 4, std::string(4, '\xFF'));
    clsDbparts db;
    db.Unpack(image);
    EXPECT_EQ(db.PartNumber, "ABCDEFGHIJKLMNO");
    EXPECT_EQ(db.Part_w_Dash, "ABCDEFGHIJKLMNO");  // code PQR: no table positions... P,Q,R skipped
    EXPECT_EQ(db.Cost, Currency::FromDouble(123.45));
    EXPECT_EQ(db.OemCode, -1);
    clsExtdbparts ext;
    ext.Unpack(image);
    EXPECT_EQ(ext.PartNumber, "ABCDEFGHIJKLMNOPQR");
    EXPECT_EQ(ext.Part_w_Dash, "AB-CDEFGHIJKLMNOPQR");
    EXPECT_EQ(ext.Cost, Currency::FromDouble(123.45));
}

TEST_F(RecordClassTest, DatabaseUnpackDecodesWithTheRestingHeadAndLeavesIt) {
    std::string image(64, '\0');
    Put(image, 47, Compress("A/B"));
    engine::StmaSetAlphabetHead(0, " ,-.");
    clsDbparts db;
    db.Unpack(image);
    EXPECT_EQ(db.Description.substr(0, 3), "A/B");
    EXPECT_EQ(Head(), " ,/.");
    engine::StmaSetAlphabetHead(0, " ,-.");
    clsExtdbparts ext;
    ext.Unpack(std::string());
    EXPECT_EQ(Head(), " ,/.");
}

TEST_F(RecordClassTest, DatabaseShortRecordKeepsFieldsBeyondItsEnd) {
    clsDbparts db;
    db.OemCode = 42;
    db.Cost = Currency::FromDouble(1);
    db.Unpack(std::string(40, '\0'));
    EXPECT_EQ(db.OemCode, 42);
    EXPECT_EQ(db.Level_5_Price, Currency());
    EXPECT_EQ(db.Description, "");  // starts past the end
}

// ---- customers ----

std::string CustomerImage() {
    std::string image(300, '\0');
    PutPacked(image, 1, 'J', 1);
    PutPacked(image, 3, 'D', 1001);
    auto line = [](std::string s) {
        s.resize(30, ' ');
        return Compress(s, " ,-.");
    };
    image.replace(5, 20, line("SMITH-JONES FARM"));
    image.replace(25, 20, line("12 MAIN ST"));
    image.replace(45, 20, line("RENO, NV 89501"));
    image.replace(65, 20, line(""));
    return image;
}

TEST_F(RecordClassTest, CustomerNameLinesUseTheirOwnHead) {
    std::string image = CustomerImage();
    clsCustomers c;
    c.Unpack(image);
    EXPECT_EQ(c.Account, 1001);
    EXPECT_EQ(c.Name, "SMITH-JONES FARM" + std::string(14, ' '));
    EXPECT_EQ(c.Address_Line_2, "RENO, NV 89501" + std::string(16, ' '));
    EXPECT_EQ(c.State, "NV");
    EXPECT_EQ(c.Zip_Code, "89501");
    EXPECT_EQ(Head(), " ,/.");
    // Code value 2 is a dash in the name, a slash elsewhere.
    std::string two(2, '\0');
    PutPacked(two, 1, 'C', 2 * 1600);
    image.replace(5, 2, two);
    image.replace(204, 2, two);
    c.Unpack(image);
    EXPECT_EQ(c.Name.substr(0, 1), "-");
    EXPECT_EQ(c.Contact_1.substr(0, 1), "/");
    // A slash in a name line packs as a space.
    c.Name = "A/B";
    c.Pack(image);
    EXPECT_EQ(image.substr(5, 2), Compress("A B", " ,-."));
    EXPECT_EQ(Head(), " ,/.");
}

TEST_F(RecordClassTest, CustomerRangeChecks) {
    std::string image = CustomerImage();
    PutPacked(image, 201, 'L', 10000000);
    PutPacked(image, 289, 'L', -1);
    PutPacked(image, 285, 'C', 1000);
    PutPacked(image, 287, 'C', 999);
    PutPacked(image, 86, 'C', 1000);
    clsCustomers c;
    c.Unpack(image);
    EXPECT_EQ(c.Phone_Number_2, 0);
    EXPECT_EQ(c.Phone_Number_3, 0);
    EXPECT_EQ(c.Area_Code_2, 0);
    EXPECT_EQ(c.Area_Code_3, 999);
    EXPECT_EQ(c.Area_Code, 1000);
    PutPacked(image, 201, 'L', 9999999);
    c.Unpack(image);
    EXPECT_EQ(c.Phone_Number_2, 9999999);
    c.Phone_Number_3 = 12345678;
    c.Pack(image);
    std::string expect(4, '\0');
    PutPacked(expect, 1, 'L', 12345678);
    EXPECT_EQ(image.substr(288, 4), expect);
}

TEST_F(RecordClassTest, CustomerPackKeepsUnmappedBytesAndPadsName) {
    std::string image(300, '\xA5');
    clsCustomers c;
    c.Name = "ACME";
    c.Part_Sales_Trackng = 1;
    c.Pack(image);
    EXPECT_EQ(c.Name, "ACME  ");
    EXPECT_EQ(image.substr(0, 2), "\xA5\xA5");
    EXPECT_EQ(image.substr(292, 4), std::string(4, '\xA5'));
    EXPECT_EQ(Byte(image, 92) & 0xF0, 0xA0);
    EXPECT_EQ(Byte(image, 92) & 0x0F, 0x01);
}

TEST_F(RecordClassTest, PackPadsTheFieldsItCodesInPlace) {
    std::string image(300, '\0');
    clsCustomers c;
    c.Contact_1 = "AB";
    c.Duns_Number = "1";
    c.Pack(image);
    EXPECT_EQ(c.Contact_1, "AB");  // coded from a copy
    EXPECT_EQ(c.Duns_Number, "1");
    EXPECT_EQ(image.substr(204, 2), Compress("AB"));
    clsLines line;
    line.Alpha_Line = "AB";
    line.Line_Name = "MOWERS";
    line.DataBase_Name = "X";
    std::string lineImage(222, '\0');
    line.Pack(lineImage);
    EXPECT_EQ(line.Alpha_Line, "AB ");
    EXPECT_EQ(line.Line_Name, "MOWERS");
    EXPECT_EQ(line.DataBase_Name, "X  ");
    line.Line_Name = "A LONG NAME OF MORE THAN THIRTY CHARACTERS";
    line.Pack(lineImage);
    EXPECT_EQ(line.Line_Name.size(), 42u);
    EXPECT_EQ(lineImage.substr(6, 20), Compress("A LONG NAME OF MORE THAN THIRT"));
}

TEST_F(RecordClassTest, CustomerHeadSwitchesBackWhenAStepFails) {
    clsCustomers c;
    engine::StmaSetAlphabetHead(0, "ABCD");
    c.Unpack(std::string(30, '\0'));  // name lines cut short, everything after missing
    EXPECT_EQ(Head(), " ,/.");
    engine::StmaSetAlphabetHead(0, " ,-.");
    std::string shortImage(10, '\0');
    c.Pack(shortImage);
    EXPECT_EQ(shortImage.size(), 10u);
    EXPECT_EQ(Head(), " ,/.");
}

TEST_F(RecordClassTest, CustomerDateOfLastCloseIsOneTypeBothWays) {
    std::string image = CustomerImage();
    clsCustomers c;
    c.Date_of_Last_Close = engine::DateTime::FromDate(2024, 3, 15);
    c.Pack(image);
    std::string expect(3, '\0');
    PutPacked(expect, 1, 'D', 31524);  // mmddyy
    EXPECT_EQ(image.substr(193, 3), expect);
    c.Date_of_Last_Close = {};
    c.Unpack(image);
    EXPECT_EQ(c.Date_of_Last_Close, engine::DateTime::FromDate(2024, 3, 15));
}

// ---- lines ----

TEST_F(RecordClassTest, LineYearToDateSumsAndRules) {
    std::string image(222, '\0');
    PutPacked(image, 3, 'C', 12);
    PutPacked(image, 87, 'L', 250);
    PutPacked(image, 99, 'L', 1500);
    PutPacked(image, 83, 'L', 3);
    PutPacked(image, 95, 'L', 40);
    image[123] = 'Y';
    image[141] = 'u';
    clsLines line;
    line.Unpack(image);
    EXPECT_EQ(line.Line, 12);
    EXPECT_EQ(line.MTD_Sales, Currency::FromDouble(2.5));
    EXPECT_EQ(line.YTD_Sales, Currency::FromDouble(17.5));
    EXPECT_EQ(line.YTD_No_Sales, 43);
    EXPECT_EQ(line.ReCalculateMax, 1);
    EXPECT_EQ(line.Line_Type, "P");
    ASSERT_EQ(line.Comodities.size(), 1u);  // no commodity index: element 0 only
    EXPECT_EQ(line.Comodities[0], std::string(1, '\0'));

    std::string out(222, '\0');
    line.ReCalculateMax = 7;
    line.Pack(out);
    EXPECT_EQ(out.substr(98, 4), image.substr(98, 4));  // 1500 again
    EXPECT_EQ(out.substr(94, 4), image.substr(94, 4));
    EXPECT_EQ(out[123], 'Y');
    EXPECT_EQ(out[141], 'P');  // the default is stored
    line.ReCalculateMax = 0;
    line.Line_Type = "X";
    line.Pack(out);
    EXPECT_EQ(out[123], 'N');
    EXPECT_EQ(out[141], 'X');

    for (char stored : {'U', 'R', 'P', ' ', '\0'}) {
        image[141] = stored;
        line.Unpack(image);
        EXPECT_EQ(line.Line_Type, (stored == 'U' || stored == 'R') ? std::string(1, stored) : "P");
    }
    for (char stored : {'N', 'y', ' '}) {
        image[123] = stored;
        line.Unpack(image);
        EXPECT_EQ(line.ReCalculateMax, 0);
    }
}

TEST_F(RecordClassTest, LineSumOutsideThirtyTwoBitsIsSkipped) {
    std::string image(222, '\0');
    PutPacked(image, 83, 'L', 0x7FFFFFFF);
    PutPacked(image, 95, 'L', 1);
    clsLines line;
    line.YTD_No_Sales = 5;
    line.Unpack(image);
    EXPECT_EQ(line.YTD_No_Sales, 5);
    line.MTD_No_Sales = -2;
    line.YTD_No_Sales = 0x7FFFFFFF;
    std::string out(222, '\x11');
    line.Pack(out);
    EXPECT_EQ(out.substr(94, 4), std::string(4, '\x11'));
}

TEST_F(RecordClassTest, LineSeasonalCodesKeepDateAndCost) {
    std::string image(222, '\0');
    clsLines line;
    line.Seas_ReOrder_Codes = "ABCDE";
    line.Seas_Date_Last_Gen = engine::DateTime::FromDayNumber(20000);
    line.EOM_Mdse_Cost = 0x01020304;
    line.Pack(image);
    EXPECT_EQ(image.substr(202, 2), "AB");
    clsLines back;
    back.Unpack(image);
    EXPECT_EQ(back.Seas_ReOrder_Codes, "AB");
    EXPECT_EQ(back.Seas_Date_Last_Gen, engine::DateTime::FromDayNumber(20000));
    EXPECT_EQ(back.EOM_Mdse_Cost, 0x01020304);
}

}  // namespace
}  // namespace zel::records
