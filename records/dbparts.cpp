#include "records/dbparts.h"

#include "records/field_codec.h"
#include "records/layouts.h"

namespace zel::records {

namespace {

constexpr Binding<DatabasePart> kBindings[] = {
    {"AlphaLine", &DatabasePart::AlphaLine},
    {"PartNumber", &DatabasePart::PartNumber},
    {"Part_w_Dash", &DatabasePart::Part_w_Dash},
    {"UOMcode", &DatabasePart::UOMcode},
    {"PackageCode", &DatabasePart::PackageCode},
    {"PackageQuantity", &DatabasePart::PackageQuantity},
    {"Popularity", &DatabasePart::Popularity},
    {"PriceCode", &DatabasePart::PriceCode},
    {"Cost", &DatabasePart::Cost},
    {"List_Price", &DatabasePart::List_Price},
    {"Level_1_Price", &DatabasePart::Level_1_Price},
    {"Level_2_Price", &DatabasePart::Level_2_Price},
    {"Level_3_Price", &DatabasePart::Level_3_Price},
    {"Level_4_Price", &DatabasePart::Level_4_Price},
    {"Level_5_Price", &DatabasePart::Level_5_Price},
    {"Description", &DatabasePart::Description},
    {"OemCode", &DatabasePart::OemCode},
};
static_assert(BindsLayout(kDbpartsLayout, kBindings) && BindsLayout(kExtdbpartsLayout, kBindings));

void UnpackDatabasePart(DatabasePart& fields, const RecordLayout& layout, const std::string& Rec) {
    Step([] { SetAlphabetHead(kRestingHead); });
    UnpackRange(fields, layout, kBindings, Rec, 0, std::size(kBindings));
}

}  // namespace

void clsDbparts::Unpack(const std::string& Rec) { UnpackDatabasePart(*this, kDbpartsLayout, Rec); }

void clsExtdbparts::Unpack(const std::string& Rec) {
    UnpackDatabasePart(*this, kExtdbpartsLayout, Rec);
}

}  // namespace zel::records
