#include "processor/lookups/line_part_lookup.h"

#include <cmath>
#include <exception>
#include <memory>
#include <optional>

#include "engine/errors.h"
#include "platform/convert.h"
#include "platform/files.h"
#include "processor/globals.h"
#include "processor/lookups/lookup_support.h"
#include "records/converters.h"
#include "records/dbparts.h"

namespace zel::processor {

using lookup::DataEngine;
using records::clsLines;
using records::clsParts;

namespace {

constexpr std::int32_t kUnknownLine = 550;
constexpr std::size_t kPartsImage = 288;
constexpr std::int32_t kIndexBlock = 512;
constexpr const char* kTemplatePart = "............";

// The number a numeric line code stands for; none for a code that is not numeric. A number
// outside 0-65535 would pack its low 16 bits and name another line: it names none (-1).
std::optional<std::int32_t> LineNumberOf(const std::string& code) {
    if (!platform::IsNumeric(code)) return std::nullopt;
    const double n = platform::RoundHalfEven(platform::LeadingNumber(code));
    if (!(n >= 0 && n <= 65535)) return -1;
    return static_cast<std::int32_t>(n);
}

clsLines ReadLine(std::int32_t record) {
    clsLines line;
    line.Read(record, true);
    return line;
}

// The parts files of a data set.
struct PartsFiles {
    std::string base, index, extension;
};

PartsFiles PartsFilesOf(const std::string& dataSet) {
    std::string set = dataSet;
    set.erase(0, set.find_first_not_of(' '));
    set = platform::TrimTrailingSpaces(set);
    if (set.empty()) return {"PARTL", "PARTI", "EPARTL"};
    const std::string dir = ":QMR" + set;
    return {dir + ":PARTL", dir + ":PARTI", dir + ":EPARTL"};
}

// Index key of a part: the line number, then the compressed part number cut to 12 bytes.
std::string PartsKey(std::int32_t line, const std::string& strippedPart) {
    std::string key = lookup::Zeros(2);
    lookup::PackAt(key, 'C', line, 1);
    return key + lookup::CompressTo(strippedPart, 12);
}

std::string ReadJoined(const PartsFiles& files, std::int32_t record, bool orb) {
    return DataEngine().LreadFile(files.base, record, orb) +
           DataEngine().LreadFile(files.extension, record, orb);
}

// The fields of a part that is on no file: a live record of the line, special-order only.
std::string DefaultPartImage(std::int32_t line) {
    std::string rec = lookup::Zeros(kPartsImage);
    lookup::PackAt(rec, 'C', 1, 1);
    lookup::PackAt(rec, 'C', line, 3);
    rec.replace(18, 2, lookup::CompressTo("E11", 2));
    rec.replace(20, 4, lookup::CompressTo("     Z", 4));
    lookup::PackAt(rec, 'C', 1, 25);
    rec.replace(94, 3, "VVV");
    lookup::PackAt(rec, 'B', 18, 88);
    for (std::int32_t at = 105; at <= 127; at += 2) lookup::PackAt(rec, 'J', -32767, at);
    for (std::int32_t at = 195; at <= 241; at += 2) lookup::PackAt(rec, 'J', -32767, at);
    rec.replace(140, 6, "      ");
    const std::int32_t today = DataEngine().Sys(128);
    lookup::PackAt(rec, 'D', today, 73);
    lookup::PackAt(rec, 'D', today, 98);
    return rec;
}

// The parts database of one line: index and data file, open once both exist.
struct Database {
    std::shared_ptr<engine::cLogicalFile> index, data;
    bool open = false;
};

std::string DatabasePath(const std::string& kind, const std::string& alpha) {
    return "\\\\" + lookup::ServerName() + "\\QMRLINK" + "\\DB\\" + kind + alpha;
}

// Opens the database of `alpha` when both its files exist. With `probe` the data file's record
// length is taken from byte 59 of its first block (128, else 64); without, it is 64.
void OpenDatabase(const std::string& alpha, bool probe, Database& db) {
    if (!lookup::NamesAFile(alpha)) return;
    std::string indexPath = DatabasePath("PARTI", alpha);
    std::string dataPath = DatabasePath("PARTL", alpha);
    if (platform::ListDirectory(indexPath).empty() || platform::ListDirectory(dataPath).empty())
        return;
    db.index = DataEngine().PhysLogicalOpen(indexPath, "I", kIndexBlock);
    std::int32_t recordLength = 64;
    if (probe) {
        std::string path = dataPath;
        if (auto file = DataEngine().OpenFile(path)) {
            const std::string block0 = DataEngine().BlockReadFile(file, 0);
            if (lookup::UnpackAt(block0, 'B', 59) == 128) recordLength = 128;
            DataEngine().CloseFile(file);
        }
    }
    db.data = DataEngine().PhysLogicalOpen(dataPath, "L", recordLength);
    db.open = true;
}

template <class Catalog>
void CopyCatalogFields(const Catalog& c, clsParts& part) {
    part.Part_w_Dash = c.Part_w_Dash;
    part.Unit_of_Measure = c.UOMcode;
    part.Package_Code = c.PackageCode;
    part.Package_Quantity = c.PackageQuantity;
    part.Mfg_Popularity = c.Popularity;
    part.Price_Code = c.PriceCode;
    part.Cost = c.Cost;
    part.List_Price = c.List_Price;
    part.Level_1_Price = c.Level_1_Price;
    part.Level_2_Price = c.Level_2_Price;
    part.Level_3_Price = c.Level_3_Price;
    part.Level_4_Price = c.Level_4_Price;
    part.Level_5_Price = c.Level_5_Price;
    part.Description = c.Description;
    part.Sub_Part_Number = std::to_string(c.OemCode);
}

// Overlays the fields of parts-database record `record` on `part`. The index's key length
// tells the layout: 12 the short part number, 14 the long one; any other copies nothing.
// Both layouts give the part number: without it a part of a long-number database would be
// answered under the template's number or none.
void OverlayDatabaseRecord(const Database& db, std::int32_t record, clsParts& part) {
    const std::string raw = DataEngine().LreadFile(db.data, record, false);
    const std::int32_t keyLength = DataEngine().KLength(db.index, false);
    if (keyLength == 12) {
        records::clsDbparts c;
        c.Unpack(raw);
        part.Part_Number = c.PartNumber;
        CopyCatalogFields(c, part);
    } else if (keyLength == 14) {
        records::clsExtdbparts c;
        c.Unpack(raw);
        part.Part_Number = c.PartNumber;
        CopyCatalogFields(c, part);
    }
}

// Upper case first: lower-case letters are not storable and StripPartNumber would drop them,
// so "ab1234" would find part "1234", another part.
std::string StrippedUpper(std::string part) {
    part = platform::UpperCase(part);
    std::string code;
    records::StripPartNumber(part, code);
    return part;
}

}  // namespace

clsLines GetLine(const LineCode& LineCode, const std::string& /*Unused*/) {
    std::string key = lookup::Zeros(2);
    const std::optional<std::int32_t> number = LineNumberOf(LineCode.text);
    std::int32_t r = 0;
    if (!number || *number >= 0) {
        if (number)
            lookup::PackAt(key, 'C', *number, 1);
        else
            key = lookup::Compress(LineCode.text);
        std::string buff;
        DataEngine().KFind("LINEI", buff, key, r, true);
        if (r > 0) return ReadLine(r);
    }
    // Line 550 stands for every line code that names none; whatever fails here leaves the
    // empty line record.
    clsLines unknown;
    try {
        key = lookup::Zeros(2);
        lookup::PackAt(key, 'C', kUnknownLine, 1);
        std::string buff;
        DataEngine().KFind("LINEI", buff, key, r, true);
        unknown.Read(r, true);
    } catch (const std::exception&) {
        // A share without a readable line 550 must not fail the request over an unknown code.
    }
    return unknown;
}

clsParts GetPart(const LineCode& LineCode, std::string& PartNumber, std::int32_t& RecordNumber,
                 bool& Orb, std::string& DataSet, bool& PartsFileOnly) {
    clsParts result;
    const clsLines line = GetLine(LineCode);
    const std::string given = PartNumber;
    const PartsFiles files = PartsFilesOf(DataSet);
    Database db;

    if (RecordNumber == 0) {
        PartNumber = StrippedUpper(PartNumber);
        PartNumber.resize((PartNumber.size() + 2) / 3 * 3, ' ');
        std::string key = PartsKey(line.Line, PartNumber);
        std::string buff;
        std::int32_t r = 0;
        DataEngine().KFind(files.index, buff, key, r, Orb);
        if (r > 0) {
            RecordNumber = r;
        } else if (!PartsFileOnly) {
            OpenDatabase(line.Alpha_Line, true, db);
            if (db.open) {
                std::string dbKey = lookup::Compress(line.Alpha_Line) +
                                    lookup::Compress(PartNumber) + lookup::Zeros(12);
                std::string dbBuff;
                DataEngine().KFind(db.index, dbBuff, dbKey, r, false);
                RecordNumber = r > 0 ? -r : 0;
            }
        }
    }

    if (!PartsFileOnly && gState.gSetupParts && RecordNumber <= 0) {
        std::string key = PartsKey(line.Line, kTemplatePart);
        std::string buff;
        std::int32_t r = 0;
        DataEngine().KFind(files.index, buff, key, r, false);
        result.Unpack(r > 0 ? ReadJoined(files, r, false) : DefaultPartImage(line.Line));
    }

    if (RecordNumber > 0) {
        result.Unpack(ReadJoined(files, RecordNumber, Orb));
        result.Record_Number = RecordNumber;
        return result;
    }
    if (RecordNumber < 0) {
        if (PartsFileOnly) return result;
        if (!db.open) OpenDatabase(line.Alpha_Line, false, db);
        if (RecordNumber == INT32_MIN) platform::RaiseClassic(platform::err::kOverflow, "GetPart");
        OverlayDatabaseRecord(db, -RecordNumber, result);
        result.Record_Number = RecordNumber;
        return result;
    }
    if (!PartsFileOnly) {
        result.Part_Number = StrippedUpper(given);
        result.Part_w_Dash = given;
        result.Description = line.Line_Name;
    }
    return result;
}

}  // namespace zel::processor
