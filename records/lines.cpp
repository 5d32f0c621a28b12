#include "records/lines.h"

#include <exception>

#include "engine/fileio.h"
#include "engine/keyindex.h"
#include "engine/link.h"
#include "engine/packing.h"
#include "records/field_codec.h"
#include "records/layouts.h"

namespace zel::records {

namespace {

constexpr Binding<clsLines> kBindings[] = {
    {"Line", &clsLines::Line},
    {"Alpha_Line", &clsLines::Alpha_Line},
    {"AlternateAlpha", &clsLines::AlternateAlpha},
    {"Line_Name", &clsLines::Line_Name},
    {"Auto_Order", &clsLines::Auto_Order},
    {"Comodity", &clsLines::Comodity},
    {"Comodities", &clsLines::Comodities},
    {"Distributor_Number", &clsLines::Distributor_Number},
    {"Stock_Depth", &clsLines::Stock_Depth},
    {"Re_Order_Percent", &clsLines::Re_Order_Percent},
    {"Low_GP_Waring_Perc", &clsLines::Low_GP_Waring_Perc},
    {"Sequencing_ANAN", &clsLines::Sequencing_ANAN},
    {"Sequencing_Prior", &clsLines::Sequencing_Prior},
    {"Price_Def_1_Level", &clsLines::Price_Def_1_Level},
    {"Price_Def_1_Use", &clsLines::Price_Def_1_Use},
    {"Price_Def_1_Perc", &clsLines::Price_Def_1_Perc},
    {"Price_Def_2_Level", &clsLines::Price_Def_2_Level},
    {"Price_Def_2_Use", &clsLines::Price_Def_2_Use},
    {"Price_Def_2_Perc", &clsLines::Price_Def_2_Perc},
    {"Price_Def_3_Level", &clsLines::Price_Def_3_Level},
    {"Price_Def_3_Use", &clsLines::Price_Def_3_Use},
    {"Price_Def_3_Perc", &clsLines::Price_Def_3_Perc},
    {"Price_Def_4_Level", &clsLines::Price_Def_4_Level},
    {"Price_Def_4_Use", &clsLines::Price_Def_4_Use},
    {"Price_Def_4_Perc", &clsLines::Price_Def_4_Perc},
    {"Price_Def_5_Level", &clsLines::Price_Def_5_Level},
    {"Price_Def_5_Use", &clsLines::Price_Def_5_Use},
    {"Price_Def_5_Perc", &clsLines::Price_Def_5_Perc},
    {"Price_Def_6_Level", &clsLines::Price_Def_6_Level},
    {"Price_Def_6_Use", &clsLines::Price_Def_6_Use},
    {"Price_Def_6_Perc", &clsLines::Price_Def_6_Perc},
    {"Cost_of_Mdse", &clsLines::Cost_of_Mdse},
    {"Cost_of_Freight", &clsLines::Cost_of_Freight},
    {"MTD_No_Sales", &clsLines::MTD_No_Sales},
    {"MTD_Sales", &clsLines::MTD_Sales},
    {"MTD_COGS", &clsLines::MTD_COGS},
    {"YTD_No_Sales", &clsLines::YTD_No_Sales},
    {"YTD_Sales", &clsLines::YTD_Sales},
    {"YTD_COGS", &clsLines::YTD_COGS},
    {"PYTD_No_Sales", &clsLines::PYTD_No_Sales},
    {"PYTD_Sales", &clsLines::PYTD_Sales},
    {"PYTD_COGS", &clsLines::PYTD_COGS},
    {"Default_Cost_GP", &clsLines::Default_Cost_GP},
    {"Taxable", &clsLines::Taxable},
    {"Default_Frt_Markup", &clsLines::Default_Frt_Markup},
    {"ReCalculateMax", &clsLines::ReCalculateMax},
    {"High_Stock_Amount", &clsLines::High_Stock_Amount},
    {"DataBase_Name", &clsLines::DataBase_Name},
    {"Warranty", &clsLines::Warranty},
    {"SerPol_No_Months_1", &clsLines::SerPol_No_Months_1},
    {"SerPol_List_Perc_1", &clsLines::SerPol_List_Perc_1},
    {"SerPol_No_Months_2", &clsLines::SerPol_No_Months_2},
    {"SerPol_List_Perc_2", &clsLines::SerPol_List_Perc_2},
    {"SerPol_No_Months_3", &clsLines::SerPol_No_Months_3},
    {"SerPol_List_Perc_3", &clsLines::SerPol_List_Perc_3},
    {"SerPol_No_Months_4", &clsLines::SerPol_No_Months_4},
    {"SerPol_List_Perc_4", &clsLines::SerPol_List_Perc_4},
    {"Line_Type", &clsLines::Line_Type},
    {"Unit_Counter", &clsLines::Unit_Counter},
    {"A_P_Company", &clsLines::A_P_Company},
    {"A_P_Vendor", &clsLines::A_P_Vendor},
    {"MTD_Items_Ordered", &clsLines::MTD_Items_Ordered},
    {"MTD_Items_Filled", &clsLines::MTD_Items_Filled},
    {"MTD_Pieces_Ordered", &clsLines::MTD_Pieces_Ordered},
    {"MTD_Pieces_Filled", &clsLines::MTD_Pieces_Filled},
    {"MTD_Dollars_Ord", &clsLines::MTD_Dollars_Ord},
    {"MTD_Dollars_Filled", &clsLines::MTD_Dollars_Filled},
    {"YTD_Items_Ordered", &clsLines::YTD_Items_Ordered},
    {"YTD_Items_Filled", &clsLines::YTD_Items_Filled},
    {"YTD_Pieces_Ordered", &clsLines::YTD_Pieces_Ordered},
    {"YTD_Pieces_Filled", &clsLines::YTD_Pieces_Filled},
    {"YTD_Dollars_Ord", &clsLines::YTD_Dollars_Ord},
    {"YTD_Dollars_Filled", &clsLines::YTD_Dollars_Filled},
    {"Primary_Vendor", &clsLines::Primary_Vendor},
    {"Order_Type_Switch", &clsLines::Order_Type_Switch},
    {"Seas_percentage", &clsLines::Seas_percentage},
    {"Seas_ReOrder_Codes", &clsLines::Seas_ReOrder_Codes},
    {"Seas_Date_Last_Gen", &clsLines::Seas_Date_Last_Gen},
    {"EOM_Mdse_Cost", &clsLines::EOM_Mdse_Cost},
    {"EOM_Freight_Cost", &clsLines::EOM_Freight_Cost},
    {"EOY_Mdse_Cost", &clsLines::EOY_Mdse_Cost},
    {"EOY_Freight_Cost", &clsLines::EOY_Freight_Cost},
    {"Recno", &clsLines::Recno},
};
static_assert(BindsLayout(kLinesLayout, kBindings));

constexpr std::size_t kComodities = 6;
constexpr std::size_t kLineType = 57;
static_assert(kLinesLayout.IndexOf("Comodities") == kComodities &&
              kLinesLayout.IndexOf("Line_Type") == kLineType);

// A walk through the commodity index that the index itself does not end (a chain of blocks
// that never reaches another line) stops here: a line has at most one entry per code.
constexpr int kMostCommodities = 256;

constexpr std::int32_t kLinesInList = 1000;

}  // namespace

clsLines::clsLines() : files_(kLinesLayout.baseFile, kLinesLayout.extensionFile) {}

void clsLines::GatherCommodities(const std::string& Rec) {
    std::vector<std::string> list;
    list.push_back(Rec.size() >= 28 ? Rec.substr(27, 1) : std::string());
    Step([&] {
        const auto index = OpenLogicalOrNone("COMODI");
        if (!index) return;
        std::string key(4, '\0');
        engine::Pack('C', key, Line, 1);
        if (!Comodity.empty()) key[2] = Comodity[0];
        std::string buff;
        std::int32_t rec = 0;
        engine::KFind(index.get(), buff, key, rec);
        // The entry the search stopped on is stepped over before anything is collected.
        engine::KNext(index.get(), buff, key, rec);
        for (int steps = 0; rec > 0 && steps < kMostCommodities; ++steps) {
            if (engine::Unpack('C', key, 1) != Line) break;
            list.push_back(key.substr(2, 1));
            engine::KNext(index.get(), buff, key, rec);
        }
    });
    Comodities = std::move(list);
}

void clsLines::Unpack(const std::string& Rec) {
    UnpackRange(*this, kLinesLayout, kBindings, Rec, 0, kComodities);
    GatherCommodities(Rec);
    UnpackRange(*this, kLinesLayout, kBindings, Rec, kComodities + 1, kLineType + 1);
    Step([&] {
        if (Line_Type != "U" && Line_Type != "R") Line_Type.assign(1, 'P');
    });
    UnpackRange(*this, kLinesLayout, kBindings, Rec, kLineType + 1, std::size(kBindings));
}

void clsLines::Pack(std::string& Rec) {
    PackRange(*this, kLinesLayout, kBindings, Rec, 0, std::size(kBindings));
}

void clsLines::Read(std::int32_t RecordNumber, bool /*Orb*/) {
    Unpack(files_.ReadJoined(RecordNumber, "Illegal Record Number"));
    Recno = RecordNumber;
}

std::shared_ptr<clsLines> clnLines::Add(std::shared_ptr<clsLines> cLines, const std::string& sKey) {
    if (!Insert(sKey, cLines)) platform::RaiseClassic(platform::err::kDuplicateKey, "Add");
    return cLines;
}

clnLines::clnLines() {
    const auto file = engine::LogicalOpen(std::string(kLinesLayout.baseFile));
    if (!file) RaiseFileNotFound(std::string(kLinesLayout.baseFile));
    const std::int32_t high = engine::HighUsedRecord(*file);
    // A damaged record zero must not drive reads past the end of the file.
    const std::int32_t last = std::min(high, file->LastRecord);
    for (std::int32_t r = 1; r <= last; ++r) {
        Step([&] {
            const std::string raw = engine::LreadFile(file.get(), r);
            const std::int32_t status = engine::Unpack('J', raw, 1);
            const std::int32_t line = engine::Unpack('C', raw, 3);
            if (status < 1 || line >= kLinesInList) return;
            auto member = std::make_shared<clsLines>();
            // A record that cannot be read is left out rather than added unfilled.
            member->Read(r, true);
            Add(member, std::to_string(member->Line));
        });
    }
}

}  // namespace zel::records
