#pragma once
// Typed sample records: record images written field by field, by the field names of the record
// layouts (records/layouts.h), and the index entries derived from them. The encoders are the
// builder's own; only the layout tables are shared with the record classes.
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "records/layouts.h"
#include "tools/sharegen/sharegen.h"

namespace zel::sharegen {

struct TypedRow {
    std::int32_t number = 0;
    std::string image;  // the joined image (base record, then extension record)
    const nlohmann::json* source = nullptr;  // the row in the description (which outlives it)
};

struct TypedTable {
    std::string kind;  // the class name, or "mailing" for the mailing list
    const records::RecordLayout* layout = nullptr;  // none for the mailing list
    int recordLength = 0;                           // base record
    int extensionLength = 0;                        // 0 when the table is one file
    std::int32_t lastRecord = 0;
    std::int32_t extensionLastRecord = 0;  // normally lastRecord; a shorter one leaves rows out
    // Record zero of the base file as described ("recordZero"); -2: worked out from the rows.
    std::int32_t freeHead = -1, highUsed = -2, activeCount = -2;
    std::vector<TypedRow> rows;
};

// Writes one field's JSON value into the image. A value that does not fit the field (too long,
// out of range, characters the field cannot hold, a derived field) is a DescriptionError.
void PutTypedField(std::string& image, const records::FieldLayout& field,
                   const nlohmann::json& value);

// A typed table: {"table": class or "mailing", "recordLength": n, "lastRecord": n,
// "extension": {"name", "recordLength", "lastRecord"}, "recordZero": {...}, "rows": [{"number": n,
// "status": s, <field>: value,
// ..., "raw": [byte fields]}]}.
TypedTable BuildTable(const nlohmann::json& description);

// The record-file bytes of the base part (and of the extension part) of a table.
std::string BaseFileBytes(const TypedTable& table);
std::string ExtensionFileBytes(const TypedTable& table);

// Index entries derived from a table: "CUSTI", "MAILI", "LINEI", "PARTI", "COMODI", "SUPLI",
// "DBPARTI", "DBSUPLI"; "SPECI" takes its entries from the index description's "specials".
std::vector<IndexEntry> DeriveEntries(const nlohmann::json& index, const TypedTable* table);

// FILE0's named bytes ({"MinimumMarkup": n, ...}) applied to its 512-byte blocks.
void PutFile0Values(std::string& area, const nlohmann::json& values);

// The part number as the business system stores it: trimmed, without the characters it cannot
// store, and the code of where they stood. False when the code does not fit.
bool StripForStorage(const std::string& part, std::string& stripped, std::string& code);

}  // namespace zel::sharegen
