#pragma once
// clsLines: the product-line record ("LINEL" + "ELINEL", bytes 3-222 of the joined image), and
// clnLines, the list of every live product line numbered below 1000.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/dates.h"
#include "engine/keyedlist.h"
#include "platform/currency.h"
#include "records/record_files.h"

namespace zel::records {

class clsLines {
public:
    std::int32_t Line = 0;
    std::string Alpha_Line;
    std::string AlternateAlpha;
    std::string Line_Name;
    std::string Auto_Order;
    std::string Comodity;
    std::vector<std::string> Comodities;
    std::int32_t Distributor_Number = 0;
    std::int32_t Stock_Depth = 0;
    std::int32_t Re_Order_Percent = 0;
    std::int32_t Low_GP_Waring_Perc = 0;
    std::string Sequencing_ANAN;
    std::string Sequencing_Prior;
    std::int32_t Price_Def_1_Level = 0;
    std::int32_t Price_Def_1_Use = 0;
    std::int32_t Price_Def_1_Perc = 0;
    std::int32_t Price_Def_2_Level = 0;
    std::int32_t Price_Def_2_Use = 0;
    std::int32_t Price_Def_2_Perc = 0;
    std::int32_t Price_Def_3_Level = 0;
    std::int32_t Price_Def_3_Use = 0;
    std::int32_t Price_Def_3_Perc = 0;
    std::int32_t Price_Def_4_Level = 0;
    std::int32_t Price_Def_4_Use = 0;
    std::int32_t Price_Def_4_Perc = 0;
    std::int32_t Price_Def_5_Level = 0;
    std::int32_t Price_Def_5_Use = 0;
    std::int32_t Price_Def_5_Perc = 0;
    std::int32_t Price_Def_6_Level = 0;
    std::int32_t Price_Def_6_Use = 0;
    std::int32_t Price_Def_6_Perc = 0;
    platform::Currency Cost_of_Mdse;
    platform::Currency Cost_of_Freight;
    std::int32_t MTD_No_Sales = 0;
    platform::Currency MTD_Sales;
    platform::Currency MTD_COGS;
    std::int32_t YTD_No_Sales = 0;
    platform::Currency YTD_Sales;
    platform::Currency YTD_COGS;
    std::int32_t PYTD_No_Sales = 0;
    platform::Currency PYTD_Sales;
    platform::Currency PYTD_COGS;
    std::int32_t Default_Cost_GP = 0;
    std::string Taxable;
    std::int32_t Default_Frt_Markup = 0;
    std::int16_t ReCalculateMax = 0;
    std::int32_t High_Stock_Amount = 0;
    std::string DataBase_Name;
    std::int32_t Warranty = 0;
    std::int32_t SerPol_No_Months_1 = 0;
    std::int32_t SerPol_List_Perc_1 = 0;
    std::int32_t SerPol_No_Months_2 = 0;
    std::int32_t SerPol_List_Perc_2 = 0;
    std::int32_t SerPol_No_Months_3 = 0;
    std::int32_t SerPol_List_Perc_3 = 0;
    std::int32_t SerPol_No_Months_4 = 0;
    std::int32_t SerPol_List_Perc_4 = 0;
    std::string Line_Type;
    std::int32_t Unit_Counter = 0;
    std::int32_t A_P_Company = 0;
    std::int32_t A_P_Vendor = 0;
    std::int32_t MTD_Items_Ordered = 0;
    std::int32_t MTD_Items_Filled = 0;
    std::int32_t MTD_Pieces_Ordered = 0;
    std::int32_t MTD_Pieces_Filled = 0;
    std::int32_t MTD_Dollars_Ord = 0;
    std::int32_t MTD_Dollars_Filled = 0;
    std::int32_t YTD_Items_Ordered = 0;
    std::int32_t YTD_Items_Filled = 0;
    std::int32_t YTD_Pieces_Ordered = 0;
    std::int32_t YTD_Pieces_Filled = 0;
    std::int32_t YTD_Dollars_Ord = 0;
    std::int32_t YTD_Dollars_Filled = 0;
    std::int32_t Primary_Vendor = 0;
    std::string Order_Type_Switch;
    std::int32_t Seas_percentage = 0;
    std::string Seas_ReOrder_Codes;
    engine::DateTime Seas_Date_Last_Gen;
    std::int32_t EOM_Mdse_Cost = 0;
    std::int32_t EOM_Freight_Cost = 0;
    std::int32_t EOY_Mdse_Cost = 0;
    std::int32_t EOY_Freight_Cost = 0;
    std::int32_t Recno = 0;

    // Opens "LINEL" and "ELINEL" (a file that cannot be opened is left unset; Read raises).
    clsLines();

    // Every field but Comodities, AlternateAlpha and Recno into the image; never raises.
    void Pack(std::string& Rec);
    // Fills the fields from a joined image and gathers Comodities from the index "COMODI";
    // never raises.
    void Unpack(const std::string& Rec);
    // Reads record `RecordNumber` of both files, unpacks it and sets Recno; error 81 "Illegal
    // Record Number" outside 1 to the LastRecord of "LINEL".
    void Read(std::int32_t RecordNumber, bool Orb = false);

private:
    void GatherCommodities(const std::string& Rec);
    RecordFiles files_;
};

// The live product lines numbered below 1000, loaded once on creation, keyed by the line
// number as decimal text, first record of a line number first.
class clnLines : public engine::KeyedList<clsLines> {
public:
    // Loads the list. Raises when "LINEL" cannot be opened or its record zero not read.
    clnLines();

    // Appends `cLines`, under `sKey` when that is not empty; a key present already raises 457.
    std::shared_ptr<clsLines> Add(std::shared_ptr<clsLines> cLines, const std::string& sKey = "");
};

}  // namespace zel::records
