#pragma once
// clsParts: the part master record ("PARTL" + "EPARTL", 288 bytes joined). Public fields in
// their declared order; layout in records/layouts.h.
#include <cstdint>
#include <string>

#include "engine/dates.h"
#include "platform/currency.h"
#include "records/record_files.h"

namespace zel::records {

class clsParts {
public:
    std::int32_t Line = 0;
    std::string Part_Number;
    std::string Part_w_Dash;
    std::string Package_Code;
    std::string Comodity;
    std::string Unit_of_Measure;
    std::string Return_Flag;
    std::string Mfg_Popularity;
    std::string Dlr_Popularity;
    std::string Order_Code;
    std::int32_t Package_Quantity = 0;
    std::int32_t Matched_Set_Qty = 0;
    std::int32_t Manual_Minimum = 0;
    std::int32_t Maximum_Stock_Lvl = 0;
    std::string Price_Code;
    platform::Currency Quantity_On_Hand;
    std::int32_t Quantity_On_Order = 0;
    std::int32_t Qty_Back_Ordered = 0;
    platform::Currency List_Price;
    platform::Currency Level_1_Price;
    platform::Currency Level_2_Price;
    platform::Currency Level_3_Price;
    platform::Currency Level_4_Price;
    platform::Currency Level_5_Price;
    platform::Currency Cost;
    platform::Currency F_Freight_Resale;
    platform::Currency F_Freight_Cost;
    engine::DateTime Date_Last_Change;
    engine::DateTime Date_Last_Demand;
    std::int32_t MTD_Number_Sold = 0;
    std::int32_t MTD_Lost_Sales = 0;
    std::int32_t YTD_Number_Picks = 0;
    std::int32_t YTD_Number_Sold = 0;
    std::int32_t YTD_Picks_Lost = 0;
    std::int32_t YTD_Lost_Sales = 0;
    std::int16_t Price_Lock_Factors = 0;
    std::int16_t Order_In_Sets = 0;
    std::int16_t Monthly_Max = 0;
    std::int16_t Price_Lock_All = 0;
    std::int16_t Seasonal = 0;
    std::int16_t Label = 0;
    std::int16_t Meter = 0;
    std::int16_t Serial_Numbers = 0;
    std::int32_t Weight = 0;
    std::int32_t Days_On_Order = 0;
    std::int32_t Days_Back_Ordered = 0;
    std::int32_t Location = 0;
    std::string Last_Tran_Codes;
    engine::DateTime Date_Stocked;
    std::int32_t YTD_Demand_2_back = 0;
    std::int32_t YTD_Demand_1_back = 0;
    std::int32_t MTD_Demand_12_back = 0;
    std::int32_t MTD_Demand_11_back = 0;
    std::int32_t MTD_Demand_10_back = 0;
    std::int32_t MTD_Demand_9_back = 0;
    std::int32_t MTD_Demand_8_back = 0;
    std::int32_t MTD_Demand_7_back = 0;
    std::int32_t MTD_Demand_6_back = 0;
    std::int32_t MTD_Demand_5_back = 0;
    std::int32_t MTD_Demand_4_back = 0;
    std::int32_t MTD_Demand_3_back = 0;
    std::int32_t MTD_Demand_2_back = 0;
    std::int32_t MTD_Demand_1_back = 0;
    std::string Sub_Part_Number;
    std::string Sub_Part_w_Dash;
    std::string Bin;
    platform::Currency Quantity_Alloc;
    std::int32_t Year_End_Quantity = 0;
    platform::Currency Year_End_Cost;
    platform::Currency Average_Cost;
    std::int32_t LayAway = 0;
    platform::Currency MTD_Sales;
    platform::Currency MTD_Cost;
    platform::Currency YTD_Sales;
    platform::Currency YTD_Cost;
    std::string Description;
    std::int32_t YTD_Demand_3_back = 0;
    std::int32_t MTD_Demand_36_back = 0;
    std::int32_t MTD_Demand_35_back = 0;
    std::int32_t MTD_Demand_34_back = 0;
    std::int32_t MTD_Demand_33_back = 0;
    std::int32_t MTD_Demand_32_back = 0;
    std::int32_t MTD_Demand_31_back = 0;
    std::int32_t MTD_Demand_30_back = 0;
    std::int32_t MTD_Demand_29_back = 0;
    std::int32_t MTD_Demand_28_back = 0;
    std::int32_t MTD_Demand_27_back = 0;
    std::int32_t MTD_Demand_26_back = 0;
    std::int32_t MTD_Demand_25_back = 0;
    std::int32_t MTD_Demand_24_back = 0;
    std::int32_t MTD_Demand_23_back = 0;
    std::int32_t MTD_Demand_22_back = 0;
    std::int32_t MTD_Demand_21_back = 0;
    std::int32_t MTD_Demand_20_back = 0;
    std::int32_t MTD_Demand_19_back = 0;
    std::int32_t MTD_Demand_18_back = 0;
    std::int32_t MTD_Demand_17_back = 0;
    std::int32_t MTD_Demand_16_back = 0;
    std::int32_t MTD_Demand_15_back = 0;
    std::int32_t MTD_Demand_14_back = 0;
    std::int32_t MTD_Demand_13_back = 0;
    std::int32_t Alt_Demand_12_back = 0;
    std::int32_t Alt_Demand_11_back = 0;
    std::int32_t Alt_Demand_10_back = 0;
    std::int32_t Alt_Demand_9_back = 0;
    std::int32_t Alt_Demand_8_back = 0;
    std::int32_t Alt_Demand_7_back = 0;
    std::int32_t Alt_Demand_6_back = 0;
    std::int32_t Alt_Demand_5_back = 0;
    std::int32_t Alt_Demand_4_back = 0;
    std::int32_t Alt_Demand_3_back = 0;
    std::int32_t Alt_Demand_2_back = 0;
    std::int32_t Alt_Demand_1_back = 0;
    std::int32_t Usage_Rate = 0;
    std::int32_t Order_Point = 0;
    std::int32_t Line_Point = 0;
    std::int16_t Lock_Line_Point = 0;
    std::int16_t Stockout_Updated = 0;
    engine::DateTime Date_Last_Stockout;
    std::int32_t YTD_Stockout_Times = 0;
    engine::DateTime Date_Last_Recvd;
    std::int32_t Econ_Order_Qty = 0;
    std::string Order_Type_Switch;
    std::int32_t MTD_Stockout_Days = 0;
    std::int32_t Last_Qty_Received = 0;
    std::string Zone;
    std::int32_t Spring_Order_Qty = 0;
    std::int32_t Record_Number = 0;

    // Opens "PARTL" and "EPARTL" (a file that cannot be opened is left unset; Read raises).
    clsParts();

    // Writes every mapped field into `Rec`, which must have the record's length; bytes no field
    // maps, the six one-character codes and the substitute's dash code are left as they are.
    void Pack(std::string& Rec);
    // Fills every field but Record_Number from a joined image; never raises.
    void Unpack(const std::string& Rec);
    // Reads record `RecordNumber` of both files and unpacks it; error 81 "Read - Illegal Record
    // Number" outside 1 to the LastRecord of "PARTL".
    void Read(std::int32_t RecordNumber, bool Orb = false);

private:
    RecordFiles files_;
};

}  // namespace zel::records
