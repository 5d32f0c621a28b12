#pragma once
// clsDbparts and clsExtdbparts: the parts-database catalog records (bytes 1-64 of a record of
// the per-line database file). The two layouts differ only in the width of the part number:
// 10 bytes (index key length 12) and 12 bytes (key length 14). No files, no Pack, no Read.
#include <cstdint>
#include <string>

#include "platform/currency.h"

namespace zel::records {

// The public fields both classes have, in their declared order.
struct DatabasePart {
    std::string AlphaLine;
    std::string PartNumber;
    std::string Part_w_Dash;
    std::string UOMcode;
    std::string PackageCode;
    std::int32_t PackageQuantity = 0;
    std::string Popularity;
    std::string PriceCode;
    platform::Currency Cost;
    platform::Currency List_Price;
    platform::Currency Level_1_Price;
    platform::Currency Level_2_Price;
    platform::Currency Level_3_Price;
    platform::Currency Level_4_Price;
    platform::Currency Level_5_Price;
    std::string Description;
    std::int32_t OemCode = 0;
};

class clsDbparts : public DatabasePart {
public:
    // Sets the alphabet head to " ,/." first, then fills every field; never raises.
    void Unpack(const std::string& Rec);
};

class clsExtdbparts : public DatabasePart {
public:
    void Unpack(const std::string& Rec);
};

}  // namespace zel::records
