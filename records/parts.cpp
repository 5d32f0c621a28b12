#include "records/parts.h"

#include "records/field_codec.h"
#include "records/layouts.h"

namespace zel::records {

namespace {

constexpr Binding<clsParts> kBindings[] = {
    {"Line", &clsParts::Line},
    {"Part_Number", &clsParts::Part_Number},
    {"Part_w_Dash", &clsParts::Part_w_Dash},
    {"Package_Code", &clsParts::Package_Code},
    {"Comodity", &clsParts::Comodity},
    {"Unit_of_Measure", &clsParts::Unit_of_Measure},
    {"Return_Flag", &clsParts::Return_Flag},
    {"Mfg_Popularity", &clsParts::Mfg_Popularity},
    {"Dlr_Popularity", &clsParts::Dlr_Popularity},
    {"Order_Code", &clsParts::Order_Code},
    {"Package_Quantity", &clsParts::Package_Quantity},
    {"Matched_Set_Qty", &clsParts::Matched_Set_Qty},
    {"Manual_Minimum", &clsParts::Manual_Minimum},
    {"Maximum_Stock_Lvl", &clsParts::Maximum_Stock_Lvl},
    {"Price_Code", &clsParts::Price_Code},
    {"Quantity_On_Hand", &clsParts::Quantity_On_Hand},
    {"Quantity_On_Order", &clsParts::Quantity_On_Order},
    {"Qty_Back_Ordered", &clsParts::Qty_Back_Ordered},
    {"List_Price", &clsParts::List_Price},
    {"Level_1_Price", &clsParts::Level_1_Price},
    {"Level_2_Price", &clsParts::Level_2_Price},
    {"Level_3_Price", &clsParts::Level_3_Price},
    {"Level_4_Price", &clsParts::Level_4_Price},
    {"Level_5_Price", &clsParts::Level_5_Price},
    {"Cost", &clsParts::Cost},
    {"F_Freight_Resale", &clsParts::F_Freight_Resale},
    {"F_Freight_Cost", &clsParts::F_Freight_Cost},
    {"Date_Last_Change", &clsParts::Date_Last_Change},
    {"Date_Last_Demand", &clsParts::Date_Last_Demand},
    {"MTD_Number_Sold", &clsParts::MTD_Number_Sold},
    {"MTD_Lost_Sales", &clsParts::MTD_Lost_Sales},
    {"YTD_Number_Picks", &clsParts::YTD_Number_Picks},
    {"YTD_Number_Sold", &clsParts::YTD_Number_Sold},
    {"YTD_Picks_Lost", &clsParts::YTD_Picks_Lost},
    {"YTD_Lost_Sales", &clsParts::YTD_Lost_Sales},
    {"Price_Lock_Factors", &clsParts::Price_Lock_Factors},
    {"Order_In_Sets", &clsParts::Order_In_Sets},
    {"Monthly_Max", &clsParts::Monthly_Max},
    {"Price_Lock_All", &clsParts::Price_Lock_All},
    {"Seasonal", &clsParts::Seasonal},
    {"Label", &clsParts::Label},
    {"Meter", &clsParts::Meter},
    {"Serial_Numbers", &clsParts::Serial_Numbers},
    {"Weight", &clsParts::Weight},
    {"Days_On_Order", &clsParts::Days_On_Order},
    {"Days_Back_Ordered", &clsParts::Days_Back_Ordered},
    {"Location", &clsParts::Location},
    {"Last_Tran_Codes", &clsParts::Last_Tran_Codes},
    {"Date_Stocked", &clsParts::Date_Stocked},
    {"YTD_Demand_2_back", &clsParts::YTD_Demand_2_back},
    {"YTD_Demand_1_back", &clsParts::YTD_Demand_1_back},
    {"MTD_Demand_12_back", &clsParts::MTD_Demand_12_back},
    {"MTD_Demand_11_back", &clsParts::MTD_Demand_11_back},
    {"MTD_Demand_10_back", &clsParts::MTD_Demand_10_back},
    {"MTD_Demand_9_back", &clsParts::MTD_Demand_9_back},
    {"MTD_Demand_8_back", &clsParts::MTD_Demand_8_back},
    {"MTD_Demand_7_back", &clsParts::MTD_Demand_7_back},
    {"MTD_Demand_6_back", &clsParts::MTD_Demand_6_back},
    {"MTD_Demand_5_back", &clsParts::MTD_Demand_5_back},
    {"MTD_Demand_4_back", &clsParts::MTD_Demand_4_back},
    {"MTD_Demand_3_back", &clsParts::MTD_Demand_3_back},
    {"MTD_Demand_2_back", &clsParts::MTD_Demand_2_back},
    {"MTD_Demand_1_back", &clsParts::MTD_Demand_1_back},
    {"Sub_Part_Number", &clsParts::Sub_Part_Number},
    {"Sub_Part_w_Dash", &clsParts::Sub_Part_w_Dash},
    {"Bin", &clsParts::Bin},
    {"Quantity_Alloc", &clsParts::Quantity_Alloc},
    {"Year_End_Quantity", &clsParts::Year_End_Quantity},
    {"Year_End_Cost", &clsParts::Year_End_Cost},
    {"Average_Cost", &clsParts::Average_Cost},
    {"LayAway", &clsParts::LayAway},
    {"MTD_Sales", &clsParts::MTD_Sales},
    {"MTD_Cost", &clsParts::MTD_Cost},
    {"YTD_Sales", &clsParts::YTD_Sales},
    {"YTD_Cost", &clsParts::YTD_Cost},
    {"Description", &clsParts::Description},
    {"YTD_Demand_3_back", &clsParts::YTD_Demand_3_back},
    {"MTD_Demand_36_back", &clsParts::MTD_Demand_36_back},
    {"MTD_Demand_35_back", &clsParts::MTD_Demand_35_back},
    {"MTD_Demand_34_back", &clsParts::MTD_Demand_34_back},
    {"MTD_Demand_33_back", &clsParts::MTD_Demand_33_back},
    {"MTD_Demand_32_back", &clsParts::MTD_Demand_32_back},
    {"MTD_Demand_31_back", &clsParts::MTD_Demand_31_back},
    {"MTD_Demand_30_back", &clsParts::MTD_Demand_30_back},
    {"MTD_Demand_29_back", &clsParts::MTD_Demand_29_back},
    {"MTD_Demand_28_back", &clsParts::MTD_Demand_28_back},
    {"MTD_Demand_27_back", &clsParts::MTD_Demand_27_back},
    {"MTD_Demand_26_back", &clsParts::MTD_Demand_26_back},
    {"MTD_Demand_25_back", &clsParts::MTD_Demand_25_back},
    {"MTD_Demand_24_back", &clsParts::MTD_Demand_24_back},
    {"MTD_Demand_23_back", &clsParts::MTD_Demand_23_back},
    {"MTD_Demand_22_back", &clsParts::MTD_Demand_22_back},
    {"MTD_Demand_21_back", &clsParts::MTD_Demand_21_back},
    {"MTD_Demand_20_back", &clsParts::MTD_Demand_20_back},
    {"MTD_Demand_19_back", &clsParts::MTD_Demand_19_back},
    {"MTD_Demand_18_back", &clsParts::MTD_Demand_18_back},
    {"MTD_Demand_17_back", &clsParts::MTD_Demand_17_back},
    {"MTD_Demand_16_back", &clsParts::MTD_Demand_16_back},
    {"MTD_Demand_15_back", &clsParts::MTD_Demand_15_back},
    {"MTD_Demand_14_back", &clsParts::MTD_Demand_14_back},
    {"MTD_Demand_13_back", &clsParts::MTD_Demand_13_back},
    {"Alt_Demand_12_back", &clsParts::Alt_Demand_12_back},
    {"Alt_Demand_11_back", &clsParts::Alt_Demand_11_back},
    {"Alt_Demand_10_back", &clsParts::Alt_Demand_10_back},
    {"Alt_Demand_9_back", &clsParts::Alt_Demand_9_back},
    {"Alt_Demand_8_back", &clsParts::Alt_Demand_8_back},
    {"Alt_Demand_7_back", &clsParts::Alt_Demand_7_back},
    {"Alt_Demand_6_back", &clsParts::Alt_Demand_6_back},
    {"Alt_Demand_5_back", &clsParts::Alt_Demand_5_back},
    {"Alt_Demand_4_back", &clsParts::Alt_Demand_4_back},
    {"Alt_Demand_3_back", &clsParts::Alt_Demand_3_back},
    {"Alt_Demand_2_back", &clsParts::Alt_Demand_2_back},
    {"Alt_Demand_1_back", &clsParts::Alt_Demand_1_back},
    {"Usage_Rate", &clsParts::Usage_Rate},
    {"Order_Point", &clsParts::Order_Point},
    {"Line_Point", &clsParts::Line_Point},
    {"Lock_Line_Point", &clsParts::Lock_Line_Point},
    {"Stockout_Updated", &clsParts::Stockout_Updated},
    {"Date_Last_Stockout", &clsParts::Date_Last_Stockout},
    {"YTD_Stockout_Times", &clsParts::YTD_Stockout_Times},
    {"Date_Last_Recvd", &clsParts::Date_Last_Recvd},
    {"Econ_Order_Qty", &clsParts::Econ_Order_Qty},
    {"Order_Type_Switch", &clsParts::Order_Type_Switch},
    {"MTD_Stockout_Days", &clsParts::MTD_Stockout_Days},
    {"Last_Qty_Received", &clsParts::Last_Qty_Received},
    {"Zone", &clsParts::Zone},
    {"Spring_Order_Qty", &clsParts::Spring_Order_Qty},
    {"Record_Number", &clsParts::Record_Number},
};
static_assert(BindsLayout(kPartsLayout, kBindings));

}  // namespace

clsParts::clsParts() : files_(kPartsLayout.baseFile, kPartsLayout.extensionFile) {}

void clsParts::Unpack(const std::string& Rec) {
    UnpackRange(*this, kPartsLayout, kBindings, Rec, 0, std::size(kBindings));
}

void clsParts::Pack(std::string& Rec) {
    PackRange(*this, kPartsLayout, kBindings, Rec, 0, std::size(kBindings));
}

void clsParts::Read(std::int32_t RecordNumber, bool /*Orb*/) {
    Unpack(files_.ReadJoined(RecordNumber, "Read - Illegal Record Number"));
    Record_Number = RecordNumber;
}

}  // namespace zel::records
