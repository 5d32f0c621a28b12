#pragma once
// The business records' layouts, stated once as data: which bytes of a record image each field
// of a record class owns and how they are converted. The record classes pack and unpack through
// these tables, and the share builder writes typed sample records with them, so an offset is
// never written down twice.
//
// Dependency-free (standard library only): tools link it without the engine.
//
// Positions count from 1 through the joined image (base record, then extension record).
#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace zel::records {

enum class FieldKind : std::uint8_t {
    Integer,     // big-endian integer of `width` bytes, packed code `opcode`
    Scaled,      // integer holding the value times `scale` (currency field)
    Date,        // date of type `opcode`: "J" day number, "R" yymmdd, "D" mmddyy
    Compressed,  // `width` bytes holding width * 3 / 2 characters (head: alphabet head, if any)
    Plain,       // `width` characters as stored
    PlainBlank,  // plain text whose zero bytes read as spaces
    Bit,         // bit `bit` (value 2^bit) of the byte at `position`
    BitPair,     // bits `bit` and `bit` + 1: 0, 1 (first alone) or 2 (second set)
    YesNo,       // one character, "Y" is 1
    PartNumber,  // compressed number of width - 2 bytes followed by its 2-byte dash code
    CodeChar,    // character `bit` (1-based) of the compressed text of the `width` bytes
    Derived,     // computed from bytes that other fields own; never written
    NotStored,   // not in the record (record number, lists, caller's values)
};

struct FieldLayout {
    std::string_view name;
    FieldKind kind = FieldKind::NotStored;
    int position = 0;           // first byte, 0 when not stored
    int width = 0;              // bytes
    char opcode = 0;            // packed code (Integer, Scaled) or date type (Date)
    int scale = 1;              // Scaled: units per currency unit (10 or 100)
    int bit = 0;                // Bit/BitPair: bit number; CodeChar: character number
    std::string_view head;      // Compressed: alphabet head the field is coded with ("" = in force)
    bool packed = true;         // Pack writes the field's bytes
    std::int32_t rangeMax = 0;  // Unpack: above this or below 0 reads as 0 (0 = no test)
    std::string_view plus;      // stored without this field's value: Unpack adds, Pack subtracts
    bool padsInPlace = true;    // Compressed: Pack leaves the field padded to whole triples

    // Characters a Compressed field holds.
    constexpr int Characters() const { return width / 2 * 3; }
};

// Bytes, or bits of one byte, that no field owns: Pack leaves them as they are.
struct UnmappedBytes {
    int position = 0;
    int width = 1;
    std::uint8_t bits = 0xFF;  // for a single byte: the bits no field owns
};

struct RecordLayout {
    std::string_view className;
    std::string_view baseFile;  // logical names; empty for records of one physical file
    std::string_view extensionFile;
    int imageLength = 0;  // the last byte any field maps
    std::span<const FieldLayout> fields;
    std::span<const UnmappedBytes> unmapped;

    // Index of the field of that name, or -1.
    constexpr int IndexOf(std::string_view fieldName) const {
        for (std::size_t i = 0; i < fields.size(); ++i)
            if (fields[i].name == fieldName) return static_cast<int>(i);
        return -1;
    }
    constexpr const FieldLayout* Find(std::string_view fieldName) const {
        const int i = IndexOf(fieldName);
        return i < 0 ? nullptr : &fields[static_cast<std::size_t>(i)];
    }
};

// The alphabet head every record class leaves in force, and the one of the customer's name and
// address lines.
inline constexpr std::string_view kRestingHead = " ,/.";
inline constexpr std::string_view kNameHead = " ,-.";

namespace layout_detail {

constexpr int WidthOf(char code) {
    switch (code) {
        case 'B':
        case 'I': return 1;
        case 'C':
        case 'J': return 2;
        case 'D':
        case 'K':
        case 'R': return 3;
        case 'L': return 4;
        default: return 0;
    }
}
constexpr FieldLayout Int(std::string_view n, int at, char code, std::int32_t rangeMax = 0,
                          std::string_view plus = {}) {
    return {n, FieldKind::Integer, at, WidthOf(code), code, 1, 0, {}, true, rangeMax, plus};
}
constexpr FieldLayout Amount(std::string_view n, int at, char code, int scale = 100,
                             std::string_view plus = {}) {
    return {n, FieldKind::Scaled, at, WidthOf(code), code, scale, 0, {}, true, 0, plus};
}
constexpr FieldLayout Date(std::string_view n, int at, char type) {
    return {n, FieldKind::Date, at, type == 'J' ? 2 : 3, type, 1, 0, {}, true, 0, {}};
}
constexpr FieldLayout Crm(std::string_view n, int at, int width, bool packed = true,
                          std::string_view head = {}, bool padsInPlace = true) {
    return {n, FieldKind::Compressed, at, width, 0, 1, 0, head, packed, 0, {}, padsInPlace};
}
// A compressed field that Pack codes from a copy, leaving the field as it was.
constexpr FieldLayout CrmCopy(std::string_view n, int at, int width) {
    return Crm(n, at, width, true, {}, false);
}
constexpr FieldLayout Text(std::string_view n, int at, int width) {
    return {n, FieldKind::Plain, at, width, 0, 1, 0, {}, true, 0, {}};
}
constexpr FieldLayout Flag(std::string_view n, int at, int bit) {
    return {n, FieldKind::Bit, at, 1, 0, 1, bit, {}, true, 0, {}};
}
constexpr FieldLayout Number(std::string_view n, int at, int width, bool packed) {
    return {n, FieldKind::PartNumber, at, width, 0, 1, 0, {}, packed, 0, {}};
}
constexpr FieldLayout Code(std::string_view n, int at, int width, int character) {
    return {n, FieldKind::CodeChar, at, width, 0, 1, character, {}, false, 0, {}};
}
constexpr FieldLayout Derived(std::string_view n, int at, int width) {
    return {n, FieldKind::Derived, at, width, 0, 1, 0, {}, false, 0, {}};
}
constexpr FieldLayout None(std::string_view n) {
    return {n, FieldKind::NotStored, 0, 0, 0, 1, 0, {}, false, 0, {}};
}

// ---- part master: "PARTL" + "EPARTL", 288 bytes ----
inline constexpr FieldLayout kParts[] = {
    Int("Line", 3, 'C'),
    Crm("Part_Number", 5, 12, false),
    Number("Part_w_Dash", 5, 14, true),
    Crm("Package_Code", 19, 2),
    Code("Comodity", 21, 4, 1),
    Code("Unit_of_Measure", 21, 4, 2),
    Code("Return_Flag", 21, 4, 3),
    Code("Mfg_Popularity", 21, 4, 4),
    Code("Dlr_Popularity", 21, 4, 5),
    Code("Order_Code", 21, 4, 6),
    Int("Package_Quantity", 25, 'J'),
    Int("Matched_Set_Qty", 27, 'C'),
    Int("Manual_Minimum", 29, 'C'),
    Int("Maximum_Stock_Lvl", 33, 'C'),
    Text("Price_Code", 35, 1),
    Amount("Quantity_On_Hand", 36, 'K', 10),
    Int("Quantity_On_Order", 39, 'C'),
    Int("Qty_Back_Ordered", 41, 'C'),
    Amount("List_Price", 43, 'K'),
    Amount("Level_1_Price", 46, 'K'),
    Amount("Level_2_Price", 49, 'K'),
    Amount("Level_3_Price", 52, 'K'),
    Amount("Level_4_Price", 55, 'K'),
    Amount("Level_5_Price", 58, 'K'),
    Amount("Cost", 61, 'K'),
    Amount("F_Freight_Resale", 64, 'K'),
    Amount("F_Freight_Cost", 67, 'K'),
    Date("Date_Last_Change", 70, 'R'),
    Date("Date_Last_Demand", 73, 'R'),
    Int("MTD_Number_Sold", 76, 'J'),
    Int("MTD_Lost_Sales", 78, 'C'),
    Int("YTD_Number_Picks", 80, 'J'),
    Int("YTD_Number_Sold", 82, 'J'),
    Int("YTD_Picks_Lost", 84, 'C'),
    Int("YTD_Lost_Sales", 86, 'C'),
    Flag("Price_Lock_Factors", 88, 2),
    Flag("Order_In_Sets", 88, 3),
    Flag("Monthly_Max", 88, 5),
    Flag("Price_Lock_All", 88, 6),
    Flag("Seasonal", 88, 7),
    Flag("Label", 89, 1),
    Flag("Meter", 89, 3),
    {"Serial_Numbers", FieldKind::BitPair, 89, 1, 0, 1, 4, {}, true, 0, {}},
    Int("Weight", 90, 'C'),
    Int("Days_On_Order", 92, 'B'),
    Int("Days_Back_Ordered", 93, 'B'),
    Int("Location", 94, 'B'),
    Text("Last_Tran_Codes", 95, 3),
    Date("Date_Stocked", 98, 'R'),
    Int("YTD_Demand_2_back", 101, 'J'),
    Int("YTD_Demand_1_back", 103, 'J'),
    Int("MTD_Demand_12_back", 105, 'J'),
    Int("MTD_Demand_11_back", 107, 'J'),
    Int("MTD_Demand_10_back", 109, 'J'),
    Int("MTD_Demand_9_back", 111, 'J'),
    Int("MTD_Demand_8_back", 113, 'J'),
    Int("MTD_Demand_7_back", 115, 'J'),
    Int("MTD_Demand_6_back", 117, 'J'),
    Int("MTD_Demand_5_back", 119, 'J'),
    Int("MTD_Demand_4_back", 121, 'J'),
    Int("MTD_Demand_3_back", 123, 'J'),
    Int("MTD_Demand_2_back", 125, 'J'),
    Int("MTD_Demand_1_back", 127, 'J'),
    Crm("Sub_Part_Number", 129, 10),
    Number("Sub_Part_w_Dash", 129, 12, false),
    {"Bin", FieldKind::PlainBlank, 141, 6, 0, 1, 0, {}, true, 0, {}},
    Amount("Quantity_Alloc", 148, 'D', 10),
    Int("Year_End_Quantity", 151, 'K'),
    Amount("Year_End_Cost", 154, 'K'),
    Amount("Average_Cost", 158, 'K'),
    Int("LayAway", 161, 'C'),
    Amount("MTD_Sales", 163, 'L'),
    Amount("MTD_Cost", 167, 'L'),
    Amount("YTD_Sales", 171, 'L'),
    Amount("YTD_Cost", 175, 'L'),
    Crm("Description", 179, 14),
    Int("YTD_Demand_3_back", 193, 'J'),
    Int("MTD_Demand_36_back", 195, 'J'),
    Int("MTD_Demand_35_back", 197, 'J'),
    Int("MTD_Demand_34_back", 199, 'J'),
    Int("MTD_Demand_33_back", 201, 'J'),
    Int("MTD_Demand_32_back", 203, 'J'),
    Int("MTD_Demand_31_back", 205, 'J'),
    Int("MTD_Demand_30_back", 207, 'J'),
    Int("MTD_Demand_29_back", 209, 'J'),
    Int("MTD_Demand_28_back", 211, 'J'),
    Int("MTD_Demand_27_back", 213, 'J'),
    Int("MTD_Demand_26_back", 215, 'J'),
    Int("MTD_Demand_25_back", 217, 'J'),
    Int("MTD_Demand_24_back", 219, 'J'),
    Int("MTD_Demand_23_back", 221, 'J'),
    Int("MTD_Demand_22_back", 223, 'J'),
    Int("MTD_Demand_21_back", 225, 'J'),
    Int("MTD_Demand_20_back", 227, 'J'),
    Int("MTD_Demand_19_back", 229, 'J'),
    Int("MTD_Demand_18_back", 231, 'J'),
    Int("MTD_Demand_17_back", 233, 'J'),
    Int("MTD_Demand_16_back", 235, 'J'),
    Int("MTD_Demand_15_back", 237, 'J'),
    Int("MTD_Demand_14_back", 239, 'J'),
    Int("MTD_Demand_13_back", 241, 'J'),
    Int("Alt_Demand_12_back", 243, 'J'),
    Int("Alt_Demand_11_back", 245, 'J'),
    Int("Alt_Demand_10_back", 247, 'J'),
    Int("Alt_Demand_9_back", 249, 'J'),
    Int("Alt_Demand_8_back", 251, 'J'),
    Int("Alt_Demand_7_back", 253, 'J'),
    Int("Alt_Demand_6_back", 255, 'J'),
    Int("Alt_Demand_5_back", 257, 'J'),
    Int("Alt_Demand_4_back", 259, 'J'),
    Int("Alt_Demand_3_back", 261, 'J'),
    Int("Alt_Demand_2_back", 263, 'J'),
    Int("Alt_Demand_1_back", 265, 'J'),
    Int("Usage_Rate", 267, 'C'),
    Int("Order_Point", 269, 'C'),
    Int("Line_Point", 271, 'C'),
    Flag("Lock_Line_Point", 273, 1),
    Flag("Stockout_Updated", 273, 2),
    Date("Date_Last_Stockout", 274, 'J'),
    Int("YTD_Stockout_Times", 276, 'B'),
    Date("Date_Last_Recvd", 277, 'J'),
    Int("Econ_Order_Qty", 279, 'C'),
    Text("Order_Type_Switch", 281, 1),
    Int("MTD_Stockout_Days", 282, 'B'),
    Int("Last_Qty_Received", 283, 'C'),
    Text("Zone", 285, 1),
    Int("Spring_Order_Qty", 286, 'D'),
    None("Record_Number"),
};
inline constexpr UnmappedBytes kPartsUnmapped[] = {
    {1, 2}, {31, 2}, {147, 1}, {157, 1}, {88, 1, 0x13}, {89, 1, 0xC5}, {273, 1, 0xF9},
};

// ---- parts database: part number of 10 bytes (index key length 12) or 12 bytes (14) ----
constexpr std::array<FieldLayout, 17> DatabaseParts(int numberBytes) {
    return {{
        Crm("AlphaLine", 3, 2, false),
        Crm("PartNumber", 5, numberBytes, false),
        Number("Part_w_Dash", 5, numberBytes + 2, false),
        Text("UOMcode", 19, 1),
        Crm("PackageCode", 20, 2),
        Int("PackageQuantity", 22, 'J'),
        Text("Popularity", 24, 1),
        Text("PriceCode", 25, 1),
        Amount("Cost", 26, 'K'),
        Amount("List_Price", 29, 'K'),
        Amount("Level_1_Price", 32, 'K'),
        Amount("Level_2_Price", 35, 'K'),
        Amount("Level_3_Price", 38, 'K'),
        Amount("Level_4_Price", 41, 'K'),
        Amount("Level_5_Price", 44, 'K'),
        Crm("Description", 47, 14),
        Int("OemCode", 61, 'L'),
    }};
}
inline constexpr auto kDbparts = DatabaseParts(10);
inline constexpr UnmappedBytes kDbpartsUnmapped[] = {{1, 2}, {17, 2}};
inline constexpr auto kExtdbparts = DatabaseParts(12);
inline constexpr UnmappedBytes kExtdbpartsUnmapped[] = {{1, 2}};

// ---- customer master: "CUSTL" + "ECUSTL", 300 bytes ----
inline constexpr FieldLayout kCustomers[] = {
    Int("Account", 3, 'D'),
    Crm("Name", 6, 20, true, kNameHead),
    Crm("Address_Line_1", 26, 20, true, kNameHead),
    Crm("Address_Line_2", 46, 20, true, kNameHead),
    Crm("Address_Line_3", 66, 20, true, kNameHead),
    Derived("State", 6, 80),
    Derived("Zip_Code", 6, 80),
    Int("Area_Code", 86, 'C'),
    Int("Phone_Number", 88, 'L'),
    Flag("Part_Sales_Trackng", 92, 0),
    Flag("Partial_Ship", 92, 1),
    Flag("Back_Order_Cust", 92, 2),
    Flag("Line_Sales_Trackng", 92, 3),
    Int("Default_Ship_Type", 93, 'B'),
    Int("Category", 94, 'B'),
    Int("Salesman", 95, 'B'),
    Text("Credit_Code", 96, 1),
    Text("Tax_Default", 97, 1),
    Int("Tax_Table", 98, 'B'),
    Int("Branch_Code", 99, 'B'),
    Text("AR_Type", 100, 1),
    Int("Discount_Code", 101, 'B'),
    Int("Serv_Charge_Code", 102, 'B'),
    Int("Credit_Limit", 103, 'L'),
    Int("Price_Matrix", 107, 'C'),
    Int("Default_Level", 109, 'B'),
    Int("Percentage_Bump", 110, 'J'),
    Date("Date_SetUp", 112, 'D'),
    Date("Date_of_Last_Sale", 115, 'D'),
    Date("Date_of_Last_Pmt", 118, 'D'),
    Amount("MTD_Sales", 121, 'L'),
    Amount("MTD_COGS", 125, 'L'),
    Amount("MTD_Charges", 129, 'L'),
    Amount("MTD_Credits", 133, 'L'),
    Amount("MTD_Payments", 137, 'L'),
    Amount("MTD_Adjustmnts", 141, 'L'),
    Amount("MTD_Discounts", 145, 'L'),
    Amount("MTD_Tot_Bal", 149, 'L'),
    Amount("Statement_MTD", 153, 'L'),
    Amount("Statement_30_days", 157, 'L'),
    Amount("Statement_60_days", 161, 'L'),
    Amount("Statement_90_days", 165, 'L'),
    Amount("Statement_Tot_Due", 169, 'L'),
    Amount("YTD_Sales", 173, 'L'),
    Amount("YTD_COGS", 177, 'L'),
    Int("Alternate_Tax_Code", 181, 'C'),
    Text("Group_Code", 183, 1),
    Int("Responsibility_Cd", 184, 'B'),
    Flag("PO_Required", 185, 0),
    Flag("Approval_Required", 185, 1),
    Flag("Print_Balance", 185, 2),
    Flag("Print_Duplicate", 185, 3),
    Flag("Prompt_Delivery", 185, 4),
    Flag("Dead_Account", 185, 5),
    Flag("Write_Off", 185, 6),
    Flag("Prompt_Ship_To", 185, 7),
    Amount("PYTD_Sales", 186, 'L'),
    Amount("PYTD_COGS", 190, 'L'),
    // Month-day-year in both directions, like the record's three other dates.
    Date("Date_of_Last_Close", 194, 'D'),
    Int("DetailChain", 197, 'L'),
    Int("Phone_Number_2", 201, 'L', 9999999),
    CrmCopy("Contact_1", 205, 12),
    CrmCopy("CONTACT_2", 217, 12),
    CrmCopy("Sales_Tax_No", 229, 8),
    Text("Delivery_Zone", 237, 5),
    Int("Orders_MTD", 242, 'K'),
    Int("Orders_Filled_MTD", 245, 'K'),
    Int("Orders_YTD", 248, 'K'),
    Int("Orders_Filled_YTD", 251, 'K'),
    Int("Orders_PYTD", 254, 'K'),
    Int("Orders_Filled_PYTD", 257, 'K'),
    CrmCopy("Duns_Number", 260, 10),
    Int("Times_Past_Due_30", 270, 'B'),
    Int("Times_Past_Due_60", 271, 'B'),
    Int("Times_Past_Due_90", 272, 'B'),
    Int("High_Credit", 273, 'L'),
    Int("Min_Autofill_Amt", 277, 'L'),
    Int("MTD_Deposits", 281, 'L'),
    Int("Area_Code_2", 285, 'C', 999),
    Int("Area_Code_3", 287, 'C', 999),
    Int("Phone_Number_3", 289, 'L', 9999999),
    Int("Note_Chain", 297, 'L'),
    None("Recno"),
};
inline constexpr UnmappedBytes kCustomersUnmapped[] = {{1, 2}, {293, 4}, {92, 1, 0xF0}};

// ---- product line: "LINEL" + "ELINEL", 222 bytes ----
inline constexpr FieldLayout kLines[] = {
    Int("Line", 3, 'C'),
    Crm("Alpha_Line", 5, 2),
    None("AlternateAlpha"),
    Crm("Line_Name", 7, 20),
    Text("Auto_Order", 27, 1),
    Text("Comodity", 28, 1),
    None("Comodities"),
    Int("Distributor_Number", 29, 'B'),
    Int("Stock_Depth", 33, 'C'),
    Int("Re_Order_Percent", 35, 'C'),
    Int("Low_GP_Waring_Perc", 37, 'C'),
    Text("Sequencing_ANAN", 39, 6),
    Text("Sequencing_Prior", 45, 6),
    Int("Price_Def_1_Level", 51, 'B'),
    Int("Price_Def_1_Use", 52, 'B'),
    Int("Price_Def_1_Perc", 53, 'J'),
    Int("Price_Def_2_Level", 55, 'B'),
    Int("Price_Def_2_Use", 56, 'B'),
    Int("Price_Def_2_Perc", 57, 'J'),
    Int("Price_Def_3_Level", 59, 'B'),
    Int("Price_Def_3_Use", 60, 'B'),
    Int("Price_Def_3_Perc", 61, 'J'),
    Int("Price_Def_4_Level", 63, 'B'),
    Int("Price_Def_4_Use", 64, 'B'),
    Int("Price_Def_4_Perc", 65, 'J'),
    Int("Price_Def_5_Level", 67, 'B'),
    Int("Price_Def_5_Use", 68, 'B'),
    Int("Price_Def_5_Perc", 69, 'J'),
    Int("Price_Def_6_Level", 71, 'B'),
    Int("Price_Def_6_Use", 72, 'B'),
    Int("Price_Def_6_Perc", 73, 'J'),
    Amount("Cost_of_Mdse", 75, 'L'),
    Amount("Cost_of_Freight", 79, 'L'),
    Int("MTD_No_Sales", 83, 'L'),
    Amount("MTD_Sales", 87, 'L'),
    Amount("MTD_COGS", 91, 'L'),
    Int("YTD_No_Sales", 95, 'L', 0, "MTD_No_Sales"),
    Amount("YTD_Sales", 99, 'L', 100, "MTD_Sales"),
    Amount("YTD_COGS", 103, 'L', 100, "MTD_COGS"),
    Int("PYTD_No_Sales", 107, 'L'),
    Amount("PYTD_Sales", 111, 'L'),
    Amount("PYTD_COGS", 115, 'L'),
    Int("Default_Cost_GP", 119, 'C'),
    Text("Taxable", 121, 1),
    Int("Default_Frt_Markup", 122, 'C'),
    {"ReCalculateMax", FieldKind::YesNo, 124, 1, 0, 1, 0, {}, true, 0, {}},
    Int("High_Stock_Amount", 125, 'C'),
    Crm("DataBase_Name", 127, 2),
    Int("Warranty", 129, 'B'),
    Int("SerPol_No_Months_1", 130, 'B'),
    Int("SerPol_List_Perc_1", 131, 'C'),
    Int("SerPol_No_Months_2", 133, 'B'),
    Int("SerPol_List_Perc_2", 134, 'C'),
    Int("SerPol_No_Months_3", 136, 'B'),
    Int("SerPol_List_Perc_3", 137, 'C'),
    Int("SerPol_No_Months_4", 139, 'B'),
    Int("SerPol_List_Perc_4", 140, 'C'),
    Text("Line_Type", 142, 1),
    Int("Unit_Counter", 143, 'L'),
    Int("A_P_Company", 147, 'B'),
    Int("A_P_Vendor", 148, 'L'),
    Int("MTD_Items_Ordered", 152, 'J'),
    Int("MTD_Items_Filled", 154, 'J'),
    Int("MTD_Pieces_Ordered", 156, 'K'),
    Int("MTD_Pieces_Filled", 159, 'K'),
    Int("MTD_Dollars_Ord", 162, 'L'),
    Int("MTD_Dollars_Filled", 166, 'L'),
    Int("YTD_Items_Ordered", 170, 'K'),
    Int("YTD_Items_Filled", 173, 'K'),
    Int("YTD_Pieces_Ordered", 176, 'L'),
    Int("YTD_Pieces_Filled", 180, 'L'),
    Int("YTD_Dollars_Ord", 184, 'L'),
    Int("YTD_Dollars_Filled", 188, 'L'),
    Int("Primary_Vendor", 193, 'L'),
    Text("Order_Type_Switch", 197, 1),
    Int("Seas_percentage", 198, 'B'),
    // Two characters: a wider field would run into the date and the cost behind it.
    Text("Seas_ReOrder_Codes", 203, 2),
    Date("Seas_Date_Last_Gen", 205, 'J'),
    Int("EOM_Mdse_Cost", 207, 'L'),
    Int("EOM_Freight_Cost", 211, 'L'),
    Int("EOY_Mdse_Cost", 215, 'L'),
    Int("EOY_Freight_Cost", 219, 'L'),
    None("Recno"),
};
inline constexpr UnmappedBytes kLinesUnmapped[] = {{1, 2}, {30, 3}, {192, 1}, {199, 4}};

}  // namespace layout_detail

inline constexpr RecordLayout kPartsLayout{
    "clsParts", "PARTL", "EPARTL", 288, layout_detail::kParts, layout_detail::kPartsUnmapped};
inline constexpr RecordLayout kDbpartsLayout{
    "clsDbparts", "", "", 64, layout_detail::kDbparts, layout_detail::kDbpartsUnmapped};
inline constexpr RecordLayout kExtdbpartsLayout{
    "clsExtdbparts", "", "", 64, layout_detail::kExtdbparts, layout_detail::kExtdbpartsUnmapped};
inline constexpr RecordLayout kCustomersLayout{"clsCustomers",
                                               "CUSTL",
                                               "ECUSTL",
                                               300,
                                               layout_detail::kCustomers,
                                               layout_detail::kCustomersUnmapped};
inline constexpr RecordLayout kLinesLayout{
    "clsLines", "LINEL", "ELINEL", 222, layout_detail::kLines, layout_detail::kLinesUnmapped};

inline constexpr std::array<const RecordLayout*, 5> kAllLayouts{
    &kPartsLayout, &kDbpartsLayout, &kExtdbpartsLayout, &kCustomersLayout, &kLinesLayout};

// Named bytes of the business system's control file "FILE0" (512-byte blocks): `count` values of
// `width` bytes from `position` of block `block`, packed with `opcode` (0: characters).
struct BlockBytes {
    std::string_view name;
    int block = 0;
    int position = 0;
    int width = 1;
    char opcode = 0;
    int count = 1;
};
inline constexpr BlockBytes kFile0Bytes[] = {
    {"MinimumMarkup", 0, 93, 2, 'C', 1},  // hundredths of a percent
    {"Thresholds", 0, 389, 2, 'C', 7},    // price-bracket thresholds in cents
    {"LocationCount", 0, 472, 1, 'B', 1}, {"VendorName", 1, 151, 35, 0, 1},
    {"RestrictLines", 401, 45, 1, 0, 1},  // "Y": restricted product lines
    {"MultiBranch", 401, 309, 1, 0, 1},   // "Y": several locations
};

// The layout of a class by its name, or null.
constexpr const RecordLayout* LayoutOf(std::string_view className) {
    for (const RecordLayout* l : kAllLayouts)
        if (l->className == className) return l;
    return nullptr;
}

}  // namespace zel::records
