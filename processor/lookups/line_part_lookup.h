#pragma once
// The product-line and part lookups every item of a request goes through.
//
// GetLine finds a product line by its numeric or alphabetic code; a code that names no line
// gives line 550's record (or an empty line record when 550 is not on file either), never
// nothing, so callers that must tell an unknown line apart test the result's Line for 550.
//
// GetPart finds a part of a product line: in the parts file of the chosen data set (branch),
// else in the line's parts database on the server share, and, with "Setup Unknown Parts" on,
// gives a part that is nowhere on file a full set of default fields. The record number it hands
// back says where the part came from: > 0 the parts-file record, < 0 minus the record of the
// parts database, 0 not found.
//
// Neither has an error handler: engine errors (a logical file that is not linked, an illegal
// record number) reach the caller's.
#include <cstdint>
#include <string>

#include "records/lines.h"
#include "records/parts.h"

namespace zel::processor {

// A line code as callers hold it: the request's manufacturer code or a line's Alpha_Line (text)
// or a line number.
struct LineCode {
    LineCode(std::string text) : text(std::move(text)) {}
    LineCode(const char* text) : text(text ? text : "") {}
    LineCode(std::int32_t number) : text(std::to_string(number)) {}
    std::string text;
};

// The product line of `LineCode`. A numeric code is looked up as its number (rounded, halves
// to the even neighbour); a number outside 0 to 65535 names no line. Any other code is looked
// up as its compressed text. `Unused` is the second argument callers pass (" "); it is not read.
records::clsLines GetLine(const LineCode& LineCode, const std::string& Unused = " ");

// The part `PartNumber` of the line `LineCode`, a new record in every case.
//   PartNumber     in: the part number as the request gives it. With RecordNumber 0 on entry it
//                  is rewritten in place: upper-cased, stripped of what a stored part number
//                  cannot hold (StripPartNumber) and padded with spaces to a multiple of 3.
//   RecordNumber   in: 0 looks the part up by key, > 0 reads that parts record, < 0 reads that
//                  parts-database record (64-byte records); out: as above. The result's
//                  Record_Number is the same, except on the not-found path (0).
//   Orb            passed to the engine's key search and reads of the parts files.
//   DataSet        "" for the parts files of the current data directory, else a branch
//                  number as text: the files ":QMR" & n & ":PARTL", ":PARTI", ":EPARTL".
//   PartsFileOnly  true: the parts file only: no parts database, no set-up of unknown parts
//                  and no not-found defaults (a part not in the parts file gives an empty
//                  record, record number 0).
records::clsParts GetPart(const LineCode& LineCode, std::string& PartNumber,
                          std::int32_t& RecordNumber, bool& Orb, std::string& DataSet,
                          bool& PartsFileOnly);

}  // namespace zel::processor
