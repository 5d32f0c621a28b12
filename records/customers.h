#pragma once
// clsCustomers: the customer master record ("CUSTL" + "ECUSTL", bytes 3-300 of the joined
// image). The name and address lines are coded with the alphabet head " ,-."; State and
// Zip_Code are picked from them on every Unpack. No files and no Read: the customer lookup
// reads the record itself.
#include <cstdint>
#include <string>

#include "engine/dates.h"
#include "platform/currency.h"

namespace zel::records {

class clsCustomers {
public:
    std::int32_t Account = 0;
    std::string Name;
    std::string Address_Line_1;
    std::string Address_Line_2;
    std::string Address_Line_3;
    std::string State;
    std::string Zip_Code;
    std::int32_t Area_Code = 0;
    std::int32_t Phone_Number = 0;
    std::int16_t Part_Sales_Trackng = 0;
    std::int16_t Partial_Ship = 0;
    std::int16_t Back_Order_Cust = 0;
    std::int16_t Line_Sales_Trackng = 0;
    std::int32_t Default_Ship_Type = 0;
    std::int32_t Category = 0;
    std::int32_t Salesman = 0;
    std::string Credit_Code;
    std::string Tax_Default;
    std::int32_t Tax_Table = 0;
    std::int32_t Branch_Code = 0;
    std::string AR_Type;
    std::int32_t Discount_Code = 0;
    std::int32_t Serv_Charge_Code = 0;
    std::int32_t Credit_Limit = 0;
    std::int32_t Price_Matrix = 0;
    std::int32_t Default_Level = 0;
    std::int32_t Percentage_Bump = 0;
    engine::DateTime Date_SetUp;
    engine::DateTime Date_of_Last_Sale;
    engine::DateTime Date_of_Last_Pmt;
    platform::Currency MTD_Sales;
    platform::Currency MTD_COGS;
    platform::Currency MTD_Charges;
    platform::Currency MTD_Credits;
    platform::Currency MTD_Payments;
    platform::Currency MTD_Adjustmnts;
    platform::Currency MTD_Discounts;
    platform::Currency MTD_Tot_Bal;
    platform::Currency Statement_MTD;
    platform::Currency Statement_30_days;
    platform::Currency Statement_60_days;
    platform::Currency Statement_90_days;
    platform::Currency Statement_Tot_Due;
    platform::Currency YTD_Sales;
    platform::Currency YTD_COGS;
    std::int32_t Alternate_Tax_Code = 0;
    std::string Group_Code;
    std::int32_t Responsibility_Cd = 0;
    std::int16_t PO_Required = 0;
    std::int16_t Approval_Required = 0;
    std::int16_t Print_Balance = 0;
    std::int16_t Print_Duplicate = 0;
    std::int16_t Prompt_Delivery = 0;
    std::int16_t Dead_Account = 0;
    std::int16_t Write_Off = 0;
    std::int16_t Prompt_Ship_To = 0;
    platform::Currency PYTD_Sales;
    platform::Currency PYTD_COGS;
    engine::DateTime Date_of_Last_Close;
    std::int32_t DetailChain = 0;
    std::int32_t Phone_Number_2 = 0;
    std::string Contact_1;
    std::string CONTACT_2;
    std::string Sales_Tax_No;
    std::string Delivery_Zone;
    std::int32_t Orders_MTD = 0;
    std::int32_t Orders_Filled_MTD = 0;
    std::int32_t Orders_YTD = 0;
    std::int32_t Orders_Filled_YTD = 0;
    std::int32_t Orders_PYTD = 0;
    std::int32_t Orders_Filled_PYTD = 0;
    std::string Duns_Number;
    std::int32_t Times_Past_Due_30 = 0;
    std::int32_t Times_Past_Due_60 = 0;
    std::int32_t Times_Past_Due_90 = 0;
    std::int32_t High_Credit = 0;
    std::int32_t Min_Autofill_Amt = 0;
    std::int32_t MTD_Deposits = 0;
    std::int32_t Area_Code_2 = 0;
    std::int32_t Area_Code_3 = 0;
    std::int32_t Phone_Number_3 = 0;
    std::int32_t Note_Chain = 0;
    std::int32_t Recno = 0;

    // Fields 1 to 82 from the image; the alphabet head is " ,/." afterwards. Never raises.
    void Unpack(const std::string& Rec);
    // Every field but State, Zip_Code and Recno into the image; " ,/." afterwards.
    void Pack(std::string& Rec);
};

}  // namespace zel::records
