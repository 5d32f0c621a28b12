#include "tools/sharegen/typed.h"

#include <cmath>
#include <map>

#include <nlohmann/json.hpp>

namespace zel::sharegen {

using nlohmann::json;
using records::FieldKind;
using records::FieldLayout;

namespace {

constexpr std::string_view kTail = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
constexpr std::string_view kDashPositions = "123456789ABCDEFGHIJKL";
constexpr int kMailingText = 7;  // bytes 7-86: name and three address lines
constexpr int kMailingAccount = 3;

[[noreturn]] void Bad(const std::string& what) { throw DescriptionError(what); }

void PutAt(std::string& image, int at, const std::string& bytes, const std::string& what) {
    if (at < 1 || static_cast<std::size_t>(at - 1) + bytes.size() > image.size())
        Bad(what + " does not fit in the record of " + std::to_string(image.size()) + " bytes");
    image.replace(static_cast<std::size_t>(at - 1), bytes.size(), bytes);
}

std::string Packed(char code, std::int64_t value, const std::string& what) {
    std::int64_t lo = 0, hi = 0;
    switch (code) {
        case 'B': hi = 0xFF; break;
        case 'C': hi = 0xFFFF; break;
        case 'D': hi = 0xFFFFFF; break;
        case 'I':
            lo = -0x80;
            hi = 0x7F;
            break;
        case 'J':
            lo = -0x8000;
            hi = 0x7FFF;
            break;
        case 'K':
            lo = -0x800000;
            hi = 0x7FFFFF;
            break;
        case 'L':
            lo = INT32_MIN;
            hi = INT32_MAX;
            break;
        default: Bad(what + ": unknown pack code");
    }
    if (value < lo || value > hi)
        Bad(what + ": " + std::to_string(value) + " does not fit packed code " +
            std::string(1, code));
    std::string bytes(code == 'B' || code == 'I'   ? 1
                      : code == 'C' || code == 'J' ? 2
                      : code == 'L'                ? 4
                                                   : 3,
                      '\0');
    PutPacked(bytes, 1, code, value);
    return bytes;
}

std::string TextOf(const json& v, const std::string& what) {
    if (!v.is_string()) Bad(what + " must be text");
    return v.get<std::string>();
}

// Compressed text of exactly `width` bytes; characters outside the alphabet are refused.
std::string CompressedField(const std::string& text, int width, std::string_view head,
                            const std::string& what) {
    const std::string alphabet = std::string(head) + std::string(kTail);
    const auto chars = static_cast<std::size_t>(width / 2 * 3);
    if (text.size() > chars)
        Bad(what + ": \"" + text + "\" is longer than " + std::to_string(chars) + " characters");
    for (char c : text)
        if (alphabet.find(c) == std::string::npos)
            Bad(what + ": \"" + text + "\" holds a character the field cannot store");
    std::string bytes = Compress(text, std::string(head));
    bytes.resize(static_cast<std::size_t>(width), '\0');
    return bytes;
}

std::int64_t Whole(const json& v, const std::string& what) {
    if (!v.is_number_integer()) Bad(what + " must be a whole number");
    return v.get<std::int64_t>();
}

// Days from 12/31/1967 of a date "YYYY-MM-DD".
struct Ymd {
    int y = 0, m = 0, d = 0;
};
Ymd ParseDate(const std::string& text, const std::string& what) {
    Ymd r;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d", &r.y, &r.m, &r.d) != 3 || r.m < 1 || r.m > 12 ||
        r.d < 1 || r.d > 31)
        Bad(what + ": dates are written YYYY-MM-DD");
    return r;
}
std::int64_t DaysFromCivil(int y, int m, int d) {
    y -= m <= 2;
    const int era = (y >= 0 ? y : y - 399) / 400;
    const int yoe = y - era * 400;
    const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return static_cast<std::int64_t>(era) * 146097 + doe - 719468;
}

std::string DateField(const FieldLayout& f, const json& v, const std::string& what) {
    if (v.is_string() && v.get<std::string>().empty())
        return std::string(static_cast<std::size_t>(f.width), '\0');
    const Ymd date = ParseDate(TextOf(v, what), what);
    if (f.opcode == 'J') {
        const std::int64_t day =
            DaysFromCivil(date.y, date.m, date.d) - DaysFromCivil(1967, 12, 31);
        return Packed('C', day, what);
    }
    if (date.y < 1930 || date.y > 2029) Bad(what + ": two-digit years cover 1930 to 2029");
    const int yy = date.y % 100;
    const std::int64_t n =
        f.opcode == 'R' ? yy * 10000 + date.m * 100 + date.d : date.m * 10000 + date.d * 100 + yy;
    return Packed('D', n, what);
}

std::string PlainField(const std::string& text, int width, const std::string& what) {
    if (text.size() > static_cast<std::size_t>(width))
        Bad(what + ": \"" + text + "\" is longer than " + std::to_string(width) + " characters");
    std::string padded = text;
    padded.resize(static_cast<std::size_t>(width), ' ');
    return padded;
}

void SetBits(std::string& image, int at, int mask, bool set, const std::string& what) {
    if (at < 1 || static_cast<std::size_t>(at) > image.size()) Bad(what + " does not fit");
    auto& byte = reinterpret_cast<unsigned char&>(image[static_cast<std::size_t>(at - 1)]);
    byte = static_cast<unsigned char>(set ? (byte | mask) : (byte & ~mask));
}

// The six one-character codes share their compressed bytes: read them back, replace one.
std::string ExpandGroup(const std::string& bytes) {
    const std::string alphabet = " ,/." + std::string(kTail);
    std::string out;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        unsigned v =
            static_cast<unsigned char>(bytes[i]) << 8 | static_cast<unsigned char>(bytes[i + 1]);
        out += alphabet[(v / 1600) % 40];
        out += alphabet[(v / 40) % 40];
        out += alphabet[v % 40];
    }
    return out;
}

std::string PartKeyText(const std::string& part, const std::string& what) {
    std::string stripped, code;
    if (!StripForStorage(part, stripped, code))
        Bad(what + ": more than three dashes in \"" + part + "\"");
    return stripped;
}

const json& RowValue(const TypedRow& row, const char* name) {
    static const json none;
    return row.source->contains(name) ? (*row.source)[name] : none;
}

std::string RowText(const TypedRow& row, const char* name) {
    const json& v = RowValue(row, name);
    return v.is_string() ? v.get<std::string>() : std::string();
}

std::int64_t RowWhole(const TypedRow& row, const char* name) {
    const json& v = RowValue(row, name);
    return v.is_number_integer() ? v.get<std::int64_t>() : 0;
}

// The compressed stripped part number padded with zero bytes to `width` bytes (cut to it).
std::string PartKey(const std::string& part, std::size_t width, const std::string& what) {
    std::string bytes = Compress(PartKeyText(part, what));
    bytes.resize(width, '\0');
    return bytes;
}

std::string RowPart(const TypedRow& row) {
    for (const char* name : {"Part_w_Dash", "Part_Number", "PartNumber"})
        if (row.source->contains(name)) return RowText(row, name);
    return "";
}

}  // namespace

bool StripForStorage(const std::string& part, std::string& stripped, std::string& code) {
    const std::size_t first = part.find_first_not_of(' ');
    const std::string trimmed = first == std::string::npos
                                    ? ""
                                    : part.substr(first, part.find_last_not_of(' ') - first + 1);
    stripped.clear();
    code.clear();
    for (std::size_t i = 0; i < trimmed.size(); ++i) {
        const char c = trimmed[i];
        const bool storable =
            c == ',' || c == '/' || c == '.' || (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z');
        if (storable)
            stripped += c;
        else if (i < kDashPositions.size())
            code += kDashPositions[i];
    }
    return code.size() < 4;
}

void PutTypedField(std::string& image, const FieldLayout& f, const json& v) {
    const std::string what = "field " + std::string(f.name);
    switch (f.kind) {
        case FieldKind::Integer:
            PutAt(image, f.position, Packed(f.opcode, Whole(v, what), what), what);
            return;
        case FieldKind::Scaled: {
            if (!v.is_number()) Bad(what + " must be a number");
            const double scaled = v.get<double>() * f.scale;
            const double whole = std::nearbyint(scaled);
            if (std::fabs(scaled - whole) > 1e-6 * std::max(1.0, std::fabs(scaled)))
                Bad(what + ": " + v.dump() + " is finer than the field stores");
            if (std::fabs(whole) > 4e9) Bad(what + ": " + v.dump() + " is out of range");
            PutAt(image, f.position, Packed(f.opcode, static_cast<std::int64_t>(whole), what),
                  what);
            return;
        }
        case FieldKind::Date: PutAt(image, f.position, DateField(f, v, what), what); return;
        case FieldKind::Compressed:
            PutAt(image, f.position,
                  CompressedField(TextOf(v, what), f.width,
                                  f.head.empty() ? records::kRestingHead : f.head, what),
                  what);
            return;
        case FieldKind::Plain:
        case FieldKind::PlainBlank:
            PutAt(image, f.position, PlainField(TextOf(v, what), f.width, what), what);
            return;
        case FieldKind::Bit: {
            const std::int64_t n = v.is_boolean() ? v.get<bool>() : Whole(v, what);
            if (n != 0 && n != 1) Bad(what + " is 0 or 1");
            SetBits(image, f.position, 1 << f.bit, n != 0, what);
            return;
        }
        case FieldKind::BitPair: {
            const std::int64_t n = Whole(v, what);
            if (n < 0 || n > 2) Bad(what + " is 0, 1 or 2");
            SetBits(image, f.position, 1 << f.bit, n != 0, what);
            SetBits(image, f.position, 1 << (f.bit + 1), n == 2, what);
            return;
        }
        case FieldKind::YesNo: {
            const std::string yn = v.is_boolean() ? (v.get<bool>() ? "Y" : "N") : TextOf(v, what);
            PutAt(image, f.position, PlainField(yn, 1, what), what);
            return;
        }
        case FieldKind::PartNumber: {
            std::string stripped, code;
            if (!StripForStorage(TextOf(v, what), stripped, code))
                Bad(what + ": more than three characters to restore in \"" + v.get<std::string>() +
                    "\"");
            const int numberBytes = f.width - 2;
            PutAt(image, f.position,
                  CompressedField(stripped, numberBytes, records::kRestingHead, what), what);
            PutAt(image, f.position + numberBytes,
                  CompressedField(code, 2, records::kRestingHead, what), what);
            return;
        }
        case FieldKind::CodeChar: {
            const std::string c = TextOf(v, what);
            if (c.size() > 1) Bad(what + " is one character");
            if (static_cast<std::size_t>(f.position - 1 + f.width) > image.size())
                Bad(what + " does not fit");
            std::string group = ExpandGroup(image.substr(static_cast<std::size_t>(f.position - 1),
                                                         static_cast<std::size_t>(f.width)));
            group[static_cast<std::size_t>(f.bit - 1)] = c.empty() ? ' ' : c[0];
            PutAt(image, f.position, CompressedField(group, f.width, records::kRestingHead, what),
                  what);
            return;
        }
        case FieldKind::Derived:
            Bad(what + " is worked out from other fields and cannot be written");
        case FieldKind::NotStored: return;  // lists and record numbers feed derived indexes only
    }
}

TypedTable BuildTable(const json& d) {
    TypedTable t;
    t.kind = d.at("table").get<std::string>();
    if (t.kind != "mailing") {
        t.layout = records::LayoutOf(t.kind);
        if (!t.layout) Bad("unknown record table \"" + t.kind + "\"");
    }
    t.recordLength = d.value("recordLength", 64);
    t.lastRecord = d.value("lastRecord", 0);
    if (d.contains("extension")) t.extensionLength = d["extension"].value("recordLength", 0);
    if (t.recordLength < 16 || t.extensionLength < 0) Bad("bad record length of table " + t.kind);
    const std::size_t length = static_cast<std::size_t>(t.recordLength + t.extensionLength);
    std::int32_t highest = 0;
    static const json kNoRows = json::array();
    const json& rows = d.contains("rows") ? d["rows"] : kNoRows;
    if (!rows.is_array()) Bad("\"rows\" must be a list");
    for (const json& row : rows) {
        TypedRow r;
        r.number = row.value("number", 0);
        r.source = &row;
        r.image.assign(length, '\0');
        PutPacked(r.image, 1, 'J', row.value("status", 1));
        for (const auto& [name, value] : row.items()) {
            if (name == "number" || name == "status" || name == "raw" || name == "supersededBy" ||
                name == "substitutes")
                continue;
            if (t.kind == "mailing") {
                if (name == "Account") continue;
                if (name == "Name" || name.rfind("Address_Line_", 0) == 0) continue;
                Bad("mailing list rows hold Account, Name and Address_Line_1 to 3");
            }
            const FieldLayout* f = t.layout->Find(name);
            if (!f) Bad(t.kind + " has no field \"" + name + "\"");
            if (!f->plus.empty() && row.contains(std::string(f->plus))) {
                // Stored without the month: written as the record class reads it back.
                const json& month = row[std::string(f->plus)];
                if (!value.is_number() || !month.is_number())
                    Bad(std::string(f->name) + " must be a number");
                const json stored =
                    value.is_number_integer() && month.is_number_integer()
                        ? json(value.get<std::int64_t>() - month.get<std::int64_t>())
                        : json(value.get<double>() - month.get<double>());
                PutTypedField(r.image, *f, stored);
                continue;
            }
            PutTypedField(r.image, *f, value);
        }
        if (t.kind == "mailing") {
            std::string text;
            for (const char* line :
                 {"Name", "Address_Line_1", "Address_Line_2", "Address_Line_3"}) {
                std::string l = row.contains(line) ? TextOf(row[line], line) : "";
                if (l.size() > 30) Bad(std::string(line) + " is longer than 30 characters");
                l.resize(30, ' ');
                text += l;
            }
            PutAt(r.image, kMailingText,
                  CompressedField(text, 80, records::kRestingHead, "mailing text"), "mailing text");
            PutAt(r.image, kMailingAccount, Packed('L', row.value("Account", 0), "Account"),
                  "Account");
        }
        if (row.contains("raw")) ApplyByteFields(r.image, row["raw"]);
        highest = std::max(highest, r.number);
        t.rows.push_back(std::move(r));
    }
    if (t.lastRecord == 0) t.lastRecord = highest;
    t.extensionLastRecord = t.lastRecord;
    if (d.contains("recordZero")) {
        const json& z = d["recordZero"];
        t.freeHead = z.value("freeHead", -1);
        t.highUsed = z.value("highUsed", -2);
        t.activeCount = z.value("activeCount", -2);
    }
    if (d.contains("extension"))
        t.extensionLastRecord = d["extension"].value("lastRecord", t.lastRecord);
    return t;
}

namespace {
std::string FileBytes(const TypedTable& t, std::size_t from, int length, bool countsFromBase) {
    RecordFileSpec spec;
    spec.recordLength = length;
    spec.lastRecord = t.lastRecord;
    std::int32_t high = 0, active = 0;
    for (const TypedRow& r : t.rows) {
        spec.records.emplace_back(r.number, r.image.substr(from, static_cast<std::size_t>(length)));
        const auto status = static_cast<std::int16_t>(static_cast<unsigned char>(r.image[0]) << 8 |
                                                      static_cast<unsigned char>(r.image[1]));
        if (status > 0) {
            high = std::max(high, r.number);
            ++active;
        }
    }
    spec.freeHead = t.freeHead;
    spec.highUsed = countsFromBase ? high : t.highUsed;
    spec.activeCount = countsFromBase ? active : t.activeCount;
    return BuildRecordFile(spec);
}
}  // namespace

std::string BaseFileBytes(const TypedTable& t) { return FileBytes(t, 0, t.recordLength, false); }

std::string ExtensionFileBytes(const TypedTable& t) {
    TypedTable part = t;
    part.lastRecord = t.extensionLastRecord;
    std::erase_if(part.rows, [&](const TypedRow& r) { return r.number > t.extensionLastRecord; });
    return FileBytes(part, static_cast<std::size_t>(t.recordLength), t.extensionLength, true);
}

std::vector<IndexEntry> DeriveEntries(const json& index, const TypedTable* t) {
    const std::string kind = index.at("derive").get<std::string>();
    std::vector<IndexEntry> out;
    auto need = [&](const char* table) {
        if (!t || t->kind != table) Bad("index " + kind + " is derived from a " + table + " table");
    };
    const std::string what = "index " + kind;
    if (kind == "CUSTI") {
        need("clsCustomers");
        for (const TypedRow& r : t->rows)
            out.push_back({Packed('L', RowWhole(r, "Account"), what), r.number});
    } else if (kind == "MAILI") {
        need("mailing");
        for (const TypedRow& r : t->rows)
            out.push_back({Packed('L', RowWhole(r, "Account"), what), r.number});
    } else if (kind == "LINEI") {
        need("clsLines");
        for (const TypedRow& r : t->rows) {
            out.push_back({Packed('C', RowWhole(r, "Line"), what), r.number});
            if (!RowText(r, "Alpha_Line").empty())
                out.push_back(
                    {CompressedField(RowText(r, "Alpha_Line"), 2, records::kRestingHead, what),
                     r.number});
        }
    } else if (kind == "COMODI") {
        need("clsLines");
        for (const TypedRow& r : t->rows) {
            const json& list = RowValue(r, "Comodities");
            if (list.is_null()) continue;
            for (const json& c : list) {
                const std::string code = TextOf(c, what);
                if (code.size() != 1) Bad(what + ": commodity codes are one character");
                out.push_back({Packed('C', RowWhole(r, "Line"), what) + code, r.number});
            }
        }
    } else if (kind == "PARTI") {
        need("clsParts");
        for (const TypedRow& r : t->rows)
            out.push_back(
                {Packed('C', RowWhole(r, "Line"), what) + PartKey(RowPart(r), 12, what), r.number});
    } else if (kind == "SUPLI") {
        need("clsParts");
        for (const TypedRow& r : t->rows) {
            const std::string head =
                Packed('C', RowWhole(r, "Line"), what) + PartKey(RowPart(r), 12, what);
            const json& by = RowValue(r, "supersededBy");
            if (by.is_object()) {
                std::string key = head + "S" + std::string(1, '\0') +
                                  Packed('C', by.value("Line", RowWhole(r, "Line")), what) +
                                  PartKey(by.at("part").get<std::string>(), 12, what);
                out.push_back({key, r.number});
            }
            const json& subs = RowValue(r, "substitutes");
            if (subs.is_array()) {
                for (const json& s : subs)
                    out.push_back(
                        {head + "Z" + std::string(1, '\0') + PartKey(TextOf(s, what), 10, what),
                         r.number});
            }
        }
    } else if (kind == "DBPARTI") {
        if (!t || (t->kind != "clsDbparts" && t->kind != "clsExtdbparts"))
            Bad(what + " is derived from a parts-database table");
        const std::size_t keyLength = static_cast<std::size_t>(index.value("keyLength", 14));
        for (const TypedRow& r : t->rows) {
            std::string key =
                CompressedField(RowText(r, "AlphaLine"), 2, records::kRestingHead, what) +
                PartKey(RowPart(r), keyLength - 2, what);
            out.push_back({key, r.number});
        }
    } else if (kind == "DBSUPLI") {
        if (!t || (t->kind != "clsDbparts" && t->kind != "clsExtdbparts"))
            Bad(what + " is derived from a parts-database table");
        for (const TypedRow& r : t->rows) {
            const json& by = RowValue(r, "supersededBy");
            if (!by.is_string()) continue;
            out.push_back(
                {PartKey(RowPart(r), 12, what) + "S" + PartKey(by.get<std::string>(), 12, what),
                 r.number});
        }
    } else if (kind == "SPECI") {
        for (const json& s : index.value("specials", json::array())) {
            std::string key = Packed('C', s.at("matrix").get<std::int64_t>(), what);
            const std::int64_t line = s.value("line", 0);
            std::int32_t record = 1;
            if (s.contains("brackets")) {
                const bool high = s.value("high", false);
                key += high ? Packed('J', -1, what) : Packed('C', 0, what);
                for (const json& a : s["brackets"]) key += Packed('J', Whole(a, what), what);
            } else if (s.contains("chain")) {
                key += Packed('C', 9999, what) + Packed('C', Whole(s["chain"], what), what);
            } else {
                if (s.contains("part")) {
                    key +=
                        Packed('C', line, what) + PartKey(s["part"].get<std::string>(), 12, what);
                } else if (s.contains("prefix")) {
                    std::string prefix = PartKeyText(s["prefix"].get<std::string>(), what);
                    if (prefix.size() > 18) Bad(what + ": prefix longer than 18 characters");
                    prefix.resize(18, 'Z');
                    key += Packed('C', line + 1000, what) + Compress(prefix);
                } else if (s.contains("priceCode")) {
                    key += Packed('C', line + 4000, what) +
                           PartKey(s["priceCode"].get<std::string>(), 12, what);
                } else if (s.contains("commodity")) {
                    key += Packed('C', line + 3000, what) +
                           PartKey(s["commodity"].get<std::string>(), 12, what);
                } else {
                    key += Packed('C', line + 2000, what);
                }
                const std::int64_t level = s.value("level", 1);
                const std::int64_t bump = s.value("bump", 0);
                if (level < 0 || level > 15) Bad(what + ": price level 0 to 15");
                Packed('J', bump, what);
                record = static_cast<std::int32_t>(level << 16 | (bump & 0xFFFF));
                if (record == 0) record = 1 << 20;  // level 0 without bump: keep a live pointer
            }
            if (key.size() > 16) Bad(what + ": key longer than 16 bytes");
            key.resize(16, '\0');
            out.push_back({key, record});
        }
    } else {
        Bad("unknown derived index \"" + kind + "\"");
    }
    return out;
}

void PutFile0Values(std::string& area, const json& values) {
    for (const auto& [name, value] : values.items()) {
        const records::BlockBytes* spec = nullptr;
        for (const records::BlockBytes& b : records::kFile0Bytes)
            if (b.name == name) spec = &b;
        if (!spec) Bad("FILE0 has no named bytes \"" + name + "\"");
        const std::size_t blockAt = static_cast<std::size_t>(spec->block) * 512;
        if (area.size() < blockAt + 512) area.resize(blockAt + 512, '\0');
        std::string block = area.substr(blockAt, 512);
        const std::string what = "FILE0 " + name;
        if (spec->opcode == 0) {
            PutAt(block, spec->position, PlainField(TextOf(value, what), spec->width, what), what);
        } else {
            const json list = value.is_array() ? value : json::array({value});
            if (static_cast<int>(list.size()) > spec->count)
                Bad(what + ": at most " + std::to_string(spec->count) + " values");
            for (std::size_t i = 0; i < list.size(); ++i)
                PutAt(block, spec->position + static_cast<int>(i) * spec->width,
                      Packed(spec->opcode, Whole(list[i], what), what), what);
        }
        area.replace(blockAt, 512, block);
    }
}

}  // namespace zel::sharegen
