#pragma once
// Which other part numbers stand for a part.
//
// GetSupersession reads the business system's supersession index "SUPLI": kind "S" gives the
// part that supersedes a part, kind "Z" up to three substitutes. GetDbAlternates follows the
// supersession chain of a product line's parts database and leaves what it found in the
// alternates tables (gState.gAltPartNumbers, gState.gAltQuantities, gState.gAltTotal, gState.gAltPart in globals.h), which
// the query and purchase-order answers then read.
#include <cstdint>
#include <string>

namespace zel::processor {

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
// data directory, else the database) and entered in the tables, entries 1 to the count returned:
// gState.gAltPartNumbers (21 characters each), gState.gAltQuantities (on hand, 0 when negative), gState.gAltTotal
// (sum of on hand), gState.gAltPart (the last alternate's record). The walk stops at the requested part
// again, at a number already entered, at the end of the chain and after 20 alternates.
// Returns 0 when the line has no database (a code with path characters names none), when the
// part has no chain, or when `RecordNumber` (the requested part's, as GetPart gave it) is not
// 0 and the alternates have no stock in total; else the count. `LineNumber` and `Quantity` are
// not read. Errors end the walk with what was found so far.
std::int32_t GetDbAlternates(std::string& AlphaLine, std::int32_t& LineNumber,
                             std::string& PartNumber, std::int32_t& Quantity,
                             std::int32_t& RecordNumber);

}  // namespace zel::processor
