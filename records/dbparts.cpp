#include "records/dbparts.h"

#include "records/field_codec.h"
#include "records/layouts.h"

namespace zel::records {

namespace {

constexpr Binding<clsDbparts> kDbBindings[] = {
    {"AlphaLine", &clsDbparts::AlphaLine},
    {"PartNumber", &clsDbparts::PartNumber},
    {"Part_w_Dash", &clsDbparts::Part_w_Dash},
    {"UOMcode", &clsDbparts::UOMcode},
    {"PackageCode", &clsDbparts::PackageCode},
    {"PackageQuantity", &clsDbparts::PackageQuantity},
    {"Popularity", &clsDbparts::Popularity},
    {"PriceCode", &clsDbparts::PriceCode},
    {"Cost", &clsDbparts::Cost},
    {"List_Price", &clsDbparts::List_Price},
    {"Level_1_Price", &clsDbparts::Level_1_Price},
    {"Level_2_Price", &clsDbparts::Level_2_Price},
    {"Level_3_Price", &clsDbparts::Level_3_Price},
    {"Level_4_Price", &clsDbparts::Level_4_Price},
    {"Level_5_Price", &clsDbparts::Level_5_Price},
    {"Description", &clsDbparts::Description},
    {"OemCode", &clsDbparts::OemCode},
};
static_assert(BindsLayout(kDbpartsLayout, kDbBindings));

constexpr Binding<clsExtdbparts> kExtBindings[] = {
    {"AlphaLine", &clsExtdbparts::AlphaLine},
    {"PartNumber", &clsExtdbparts::PartNumber},
    {"Part_w_Dash", &clsExtdbparts::Part_w_Dash},
    {"UOMcode", &clsExtdbparts::UOMcode},
    {"PackageCode", &clsExtdbparts::PackageCode},
    {"PackageQuantity", &clsExtdbparts::PackageQuantity},
    {"Popularity", &clsExtdbparts::Popularity},
    {"PriceCode", &clsExtdbparts::PriceCode},
    {"Cost", &clsExtdbparts::Cost},
    {"List_Price", &clsExtdbparts::List_Price},
    {"Level_1_Price", &clsExtdbparts::Level_1_Price},
    {"Level_2_Price", &clsExtdbparts::Level_2_Price},
    {"Level_3_Price", &clsExtdbparts::Level_3_Price},
    {"Level_4_Price", &clsExtdbparts::Level_4_Price},
    {"Level_5_Price", &clsExtdbparts::Level_5_Price},
    {"Description", &clsExtdbparts::Description},
    {"OemCode", &clsExtdbparts::OemCode},
};
static_assert(BindsLayout(kExtdbpartsLayout, kExtBindings));

}  // namespace

void clsDbparts::Unpack(const std::string& Rec) {
    Step([] { SetAlphabetHead(kRestingHead); });
    UnpackRange(*this, kDbpartsLayout, kDbBindings, Rec, 0, std::size(kDbBindings));
}

void clsExtdbparts::Unpack(const std::string& Rec) {
    Step([] { SetAlphabetHead(kRestingHead); });
    UnpackRange(*this, kExtdbpartsLayout, kExtBindings, Rec, 0, std::size(kExtBindings));
}

}  // namespace zel::records
