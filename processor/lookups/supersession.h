#pragma once
// Which other part numbers stand for a part.
//
// GetSupersession reads the business system's supersession index "SUPLI": kind "S" gives the
// part that supersedes a part, kind "Z" up to three substitutes. GetDbAlternates follows the
// supersession chain of a product line's parts database and hands what it found back as its
// alternates tables, which the query and purchase-order answers then read.
#include <array>
#include <cstdint>
#include <string>

#include "records/parts.h"

namespace zel::processor {

inline constexpr std::size_t kAltPartNumberWidth = 21;
inline constexpr std::int32_t kMaxAlternates = 20;

// What one walk of GetDbAlternates found. The tables use entries 1 to 20 (entry 0 never).
struct Alternates {
    // The walk's answer: the number of alternates, or 0 (see GetDbAlternates).
    std::int32_t count = 0;
    // Part numbers in chain order, each exactly 21 characters (padded with spaces).
    std::array<std::string, kMaxAlternates + 1> altPartNumbers = [] {
        std::array<std::string, kMaxAlternates + 1> blank;
        blank.fill(std::string(kAltPartNumberWidth, ' '));
        return blank;
    }();
    // On hand of each alternate (0 when it is negative).
    std::array<std::int32_t, kMaxAlternates + 1> altQuantities{};
    // Sum of the alternates' on hand, negative ones included.
    std::int32_t altTotal = 0;
    // The parts record of the last alternate looked up.
    records::clsParts altPart;
};

// Line and part number of the part to look up, and the kind: "S" or "Z".
//   Kind "S", found: LineNumber and PartNumber become the superseding part's line and number
//     (18 characters as stored); the result is characters 2-4 of the decimal text of the line
//     + 1000 ("007" for line 7, "500" for 1500), a space and the part number without trailing
//     spaces. Callers take the line from characters 1-3 and the part from character 5 on.
//   Kind "Z", found: three substitute numbers of 15 characters each (45 in all); the entries
//     of one part are taken as far as they go and the rest is blank.
//   Not found, any other kind, or a line number outside 0-65535: "".
// No error handler: engine errors (SUPLI not linked) reach the caller's.
std::string GetSupersession(std::int32_t& LineNumber, std::string& PartNumber, std::string& Kind);

// Follows the chain of the parts database of line `AlphaLine` ("\DB\SUPLI" & code on the
// server share) from `PartNumber` (trimmed of trailing spaces in place) to the part that
// supersedes it, and on. Each alternate is looked up with GetPart (parts file of the current
// data directory, else the database) and entered in the tables of the result, entries 1 to the
// number found. The walk stops at the requested part again, at a number already entered, at the
// end of the chain and after 20 alternates.
// The result's count is 0 when the line has no database (a code with path characters names
// none), when the part has no chain, or when `RecordNumber` (the requested part's, as GetPart
// gave it) is not 0 and the alternates have no stock in total; else the number found.
// `LineNumber` and `Quantity` are not read. Errors end the walk with what was found so far.
Alternates GetDbAlternates(std::string& AlphaLine, std::int32_t& LineNumber,
                           std::string& PartNumber, std::int32_t& Quantity,
                           std::int32_t& RecordNumber);

}  // namespace zel::processor
