#include "records/customers.h"

#include "engine/text.h"
#include "records/converters.h"
#include "records/field_codec.h"
#include "records/layouts.h"

namespace zel::records {

namespace {

constexpr Binding<clsCustomers> kBindings[] = {
    {"Account", &clsCustomers::Account},
    {"Name", &clsCustomers::Name},
    {"Address_Line_1", &clsCustomers::Address_Line_1},
    {"Address_Line_2", &clsCustomers::Address_Line_2},
    {"Address_Line_3", &clsCustomers::Address_Line_3},
    {"State", &clsCustomers::State},
    {"Zip_Code", &clsCustomers::Zip_Code},
    {"Area_Code", &clsCustomers::Area_Code},
    {"Phone_Number", &clsCustomers::Phone_Number},
    {"Part_Sales_Trackng", &clsCustomers::Part_Sales_Trackng},
    {"Partial_Ship", &clsCustomers::Partial_Ship},
    {"Back_Order_Cust", &clsCustomers::Back_Order_Cust},
    {"Line_Sales_Trackng", &clsCustomers::Line_Sales_Trackng},
    {"Default_Ship_Type", &clsCustomers::Default_Ship_Type},
    {"Category", &clsCustomers::Category},
    {"Salesman", &clsCustomers::Salesman},
    {"Credit_Code", &clsCustomers::Credit_Code},
    {"Tax_Default", &clsCustomers::Tax_Default},
    {"Tax_Table", &clsCustomers::Tax_Table},
    {"Branch_Code", &clsCustomers::Branch_Code},
    {"AR_Type", &clsCustomers::AR_Type},
    {"Discount_Code", &clsCustomers::Discount_Code},
    {"Serv_Charge_Code", &clsCustomers::Serv_Charge_Code},
    {"Credit_Limit", &clsCustomers::Credit_Limit},
    {"Price_Matrix", &clsCustomers::Price_Matrix},
    {"Default_Level", &clsCustomers::Default_Level},
    {"Percentage_Bump", &clsCustomers::Percentage_Bump},
    {"Date_SetUp", &clsCustomers::Date_SetUp},
    {"Date_of_Last_Sale", &clsCustomers::Date_of_Last_Sale},
    {"Date_of_Last_Pmt", &clsCustomers::Date_of_Last_Pmt},
    {"MTD_Sales", &clsCustomers::MTD_Sales},
    {"MTD_COGS", &clsCustomers::MTD_COGS},
    {"MTD_Charges", &clsCustomers::MTD_Charges},
    {"MTD_Credits", &clsCustomers::MTD_Credits},
    {"MTD_Payments", &clsCustomers::MTD_Payments},
    {"MTD_Adjustmnts", &clsCustomers::MTD_Adjustmnts},
    {"MTD_Discounts", &clsCustomers::MTD_Discounts},
    {"MTD_Tot_Bal", &clsCustomers::MTD_Tot_Bal},
    {"Statement_MTD", &clsCustomers::Statement_MTD},
    {"Statement_30_days", &clsCustomers::Statement_30_days},
    {"Statement_60_days", &clsCustomers::Statement_60_days},
    {"Statement_90_days", &clsCustomers::Statement_90_days},
    {"Statement_Tot_Due", &clsCustomers::Statement_Tot_Due},
    {"YTD_Sales", &clsCustomers::YTD_Sales},
    {"YTD_COGS", &clsCustomers::YTD_COGS},
    {"Alternate_Tax_Code", &clsCustomers::Alternate_Tax_Code},
    {"Group_Code", &clsCustomers::Group_Code},
    {"Responsibility_Cd", &clsCustomers::Responsibility_Cd},
    {"PO_Required", &clsCustomers::PO_Required},
    {"Approval_Required", &clsCustomers::Approval_Required},
    {"Print_Balance", &clsCustomers::Print_Balance},
    {"Print_Duplicate", &clsCustomers::Print_Duplicate},
    {"Prompt_Delivery", &clsCustomers::Prompt_Delivery},
    {"Dead_Account", &clsCustomers::Dead_Account},
    {"Write_Off", &clsCustomers::Write_Off},
    {"Prompt_Ship_To", &clsCustomers::Prompt_Ship_To},
    {"PYTD_Sales", &clsCustomers::PYTD_Sales},
    {"PYTD_COGS", &clsCustomers::PYTD_COGS},
    {"Date_of_Last_Close", &clsCustomers::Date_of_Last_Close},
    {"DetailChain", &clsCustomers::DetailChain},
    {"Phone_Number_2", &clsCustomers::Phone_Number_2},
    {"Contact_1", &clsCustomers::Contact_1},
    {"CONTACT_2", &clsCustomers::CONTACT_2},
    {"Sales_Tax_No", &clsCustomers::Sales_Tax_No},
    {"Delivery_Zone", &clsCustomers::Delivery_Zone},
    {"Orders_MTD", &clsCustomers::Orders_MTD},
    {"Orders_Filled_MTD", &clsCustomers::Orders_Filled_MTD},
    {"Orders_YTD", &clsCustomers::Orders_YTD},
    {"Orders_Filled_YTD", &clsCustomers::Orders_Filled_YTD},
    {"Orders_PYTD", &clsCustomers::Orders_PYTD},
    {"Orders_Filled_PYTD", &clsCustomers::Orders_Filled_PYTD},
    {"Duns_Number", &clsCustomers::Duns_Number},
    {"Times_Past_Due_30", &clsCustomers::Times_Past_Due_30},
    {"Times_Past_Due_60", &clsCustomers::Times_Past_Due_60},
    {"Times_Past_Due_90", &clsCustomers::Times_Past_Due_90},
    {"High_Credit", &clsCustomers::High_Credit},
    {"Min_Autofill_Amt", &clsCustomers::Min_Autofill_Amt},
    {"MTD_Deposits", &clsCustomers::MTD_Deposits},
    {"Area_Code_2", &clsCustomers::Area_Code_2},
    {"Area_Code_3", &clsCustomers::Area_Code_3},
    {"Phone_Number_3", &clsCustomers::Phone_Number_3},
    {"Note_Chain", &clsCustomers::Note_Chain},
    {"Recno", &clsCustomers::Recno},
};
static_assert(BindsLayout(kCustomersLayout, kBindings));

// Fields in layout order: Account, the four name lines, State and Zip_Code, then the rest.
constexpr std::size_t kFirstNameLine = 1;
constexpr std::size_t kAfterNameLines = 5;
constexpr std::size_t kAfterDerived = 7;
static_assert(kCustomersLayout.IndexOf("Name") == kFirstNameLine &&
              kCustomersLayout.IndexOf("State") == kAfterNameLines &&
              kCustomersLayout.IndexOf("Area_Code") == kAfterDerived);

// The name-and-address block (bytes 6-85) decoded with the head in force.
std::string NameBlock(const std::string& image) {
    const FieldLayout& state = *kCustomersLayout.Find("State");
    std::string bytes = image.size() > static_cast<std::size_t>(state.position - 1)
                            ? image.substr(static_cast<std::size_t>(state.position - 1),
                                           static_cast<std::size_t>(state.width))
                            : std::string();
    return engine::Ucm(bytes);
}

}  // namespace

void clsCustomers::Unpack(const std::string& Rec) {
    UnpackRange(*this, kCustomersLayout, kBindings, Rec, 0, kFirstNameLine);
    Step([] { SetAlphabetHead(kNameHead); });
    UnpackRange(*this, kCustomersLayout, kBindings, Rec, kFirstNameLine, kAfterNameLines);
    Step([&] {
        std::string block = NameBlock(Rec);
        State = GetState(block);
    });
    Step([&] {
        std::string block = NameBlock(Rec);
        Zip_Code = GetZip(block);
    });
    Step([] { SetAlphabetHead(kRestingHead); });
    UnpackRange(*this, kCustomersLayout, kBindings, Rec, kAfterDerived, std::size(kBindings));
}

void clsCustomers::Pack(std::string& Rec) {
    PackRange(*this, kCustomersLayout, kBindings, Rec, 0, kFirstNameLine);
    Step([] { SetAlphabetHead(kNameHead); });
    PackRange(*this, kCustomersLayout, kBindings, Rec, kFirstNameLine, kAfterNameLines);
    Step([] { SetAlphabetHead(kRestingHead); });
    PackRange(*this, kCustomersLayout, kBindings, Rec, kAfterDerived, std::size(kBindings));
}

}  // namespace zel::records
