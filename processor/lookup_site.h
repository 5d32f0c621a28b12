#pragma once
// Test-only (tests and benchmarks): a dealer site on a sample share for the lookups, built
// through the share builder from typed records (field names of the record layouts) and index
// keys written out the way the business system files them. Header only; nothing of the program
// uses it.
#include <map>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <stdexcept>

#include "records/layouts.h"
#include "tools/sharegen/sharegen.h"
#include "tools/sharegen/typed.h"

namespace zel::processor::testing {

using json = nlohmann::json;

// A live record of `layout` (status 1) with the named fields set, `length` bytes (the layout's
// image length when 0).
inline std::string Record(const records::RecordLayout& layout, const json& fields,
                          std::size_t length = 0) {
    std::string image(length ? length : static_cast<std::size_t>(layout.imageLength), '\0');
    sharegen::PutPacked(image, 1, 'J', 1);
    for (const auto& [name, value] : fields.items()) {
        const records::FieldLayout* f = layout.Find(name);
        if (!f)
            throw std::runtime_error("no field " + name + " in " + std::string(layout.className));
        sharegen::PutTypedField(image, *f, value);
    }
    return image;
}

inline std::string Packed(char code, std::int64_t value) {
    const int width = code == 'B' || code == 'I'   ? 1
                      : code == 'C' || code == 'J' ? 2
                      : code == 'D' || code == 'K' ? 3
                                                   : 4;
    std::string s(static_cast<std::size_t>(width), '\0');
    sharegen::PutPacked(s, 1, code, value);
    return s;
}

// `text` compressed, cut or filled with zero bytes to `width` bytes.
inline std::string Crm(const std::string& text, std::size_t width) {
    std::string bytes = sharegen::Compress(text);
    bytes.resize(width, '\0');
    return bytes;
}

// One record file of the site: records by number.
struct Table {
    int recordLength = 64;
    std::map<std::int32_t, std::string> records;
    std::int32_t lastRecord = 0;  // at least the highest record
};

// One keyed index of the site.
struct Index {
    int keyLength = 8;
    std::vector<std::pair<std::string, std::int32_t>> entries;
    json blocks;  // raw bytes over the built blocks ({"0": [fields]}), to damage an index
};

// A site: host QSERVER, data directory QMR1, this station "dealerpc" with terminal 7.
class Site {
public:
    // Files of the data directory, by logical name.
    std::map<std::string, Table> tables;
    std::map<std::string, Index> indexes;
    // Parts files of branch n (":QMR" & n & ":PARTL" ...).
    std::map<int, std::pair<Table, Table>> branchParts;  // PARTL, EPARTL
    std::map<int, Index> branchIndex;                    // PARTI
    // Whole physical files under QMRLINK ("DB\\PARTIABC" ...).
    json files = json::array();
    // FILE0 block 0 fields.
    json file0Block0 = json::array();
    bool withFile0 = true;

    Site() {
        for (const char* name : {"CUSTI", "MAILI"}) indexes[name].keyLength = 4;
        indexes["LINEI"].keyLength = 2;
        indexes["PARTI"].keyLength = 14;
        indexes["COMODI"].keyLength = 4;
        indexes["SUPLI"].keyLength = 30;
        indexes["SPECI"].keyLength = 16;
        tables["CUSTL"].recordLength = 150;
        tables["ECUSTL"].recordLength = 150;
        tables["MCUSTL"].recordLength = 256;
        tables["MAILL"].recordLength = 128;
        tables["LINEL"].recordLength = 100;
        tables["ELINEL"].recordLength = 122;
        tables["PARTL"].recordLength = 128;
        tables["EPARTL"].recordLength = 160;
    }

    // ---- customers ----
    void Customer(std::int32_t record, std::int32_t number, json fields = json::object()) {
        fields["Account"] = number;
        PutSplit("CUSTL", "ECUSTL", record, Record(records::kCustomersLayout, fields, 300));
        indexes["CUSTI"].entries.push_back({Packed('L', number), record});
        Touch("MCUSTL", record);
    }
    // The customer record `record` links to account `linked` (MCUSTL bytes 173-175).
    void LinkCustomer(std::int32_t record, std::int32_t linked) {
        std::string& m = Rec("MCUSTL", record);
        sharegen::PutPacked(m, 173, 'D', linked);
    }
    // A mailing-list entry: 120 characters of name and three address lines.
    void Mailing(std::int32_t record, std::int32_t number, const std::string& text) {
        std::string& m = Rec("MAILL", record);
        sharegen::PutPacked(m, 1, 'J', 1);
        m.replace(6, 80, Crm(text, 80));
        indexes["MAILI"].entries.push_back({Packed('L', number), record});
    }

    // ---- product lines ----
    void Line(std::int32_t record, std::int32_t number, const std::string& alpha,
              json fields = json::object()) {
        fields["Line"] = number;
        fields["Alpha_Line"] = alpha;
        PutSplit("LINEL", "ELINEL", record, Record(records::kLinesLayout, fields, 222));
        indexes["LINEI"].entries.push_back({Packed('C', number), record});
        indexes["LINEI"].entries.push_back({Crm(alpha, 2), record});
    }

    // ---- parts ----
    // PARTI key: line, compressed stripped part number (12 bytes).
    static std::string PartKey(std::int32_t line, const std::string& stripped) {
        return Packed('C', line) + Crm(stripped, 12);
    }
    void Part(std::int32_t record, std::int32_t line, const std::string& partWithDash,
              json fields = json::object(), int branch = 0) {
        fields["Line"] = line;
        fields["Part_w_Dash"] = partWithDash;
        PutPart(record, line, Stripped(partWithDash), Record(records::kPartsLayout, fields, 288),
                branch);
    }
    // The template part of a line (part number "............").
    void TemplatePart(std::int32_t record, std::int32_t line, json fields = json::object()) {
        fields["Line"] = line;
        fields["Part_w_Dash"] = "............";
        PutPart(record, line, "............", Record(records::kPartsLayout, fields, 288), 0);
    }

    // ---- supersession index ----
    void Supersedes(std::int32_t line, const std::string& part, std::int32_t newLine,
                    const std::string& newPart) {
        std::string key = Packed('C', line) + Crm(part, 12) + "S" + std::string(1, '\0') +
                          Packed('C', newLine) + Crm(newPart, 12);
        indexes["SUPLI"].entries.push_back({key, 1});
    }
    void Substitute(std::int32_t line, const std::string& part, const std::string& sub) {
        std::string key =
            Packed('C', line) + Crm(part, 12) + "Z" + std::string(1, '\0') + Crm(sub, 10);
        key.resize(30, '\0');
        indexes["SUPLI"].entries.push_back({key, 1});
    }

    // ---- special prices ----
    static std::int32_t SpecialRecord(int level, int bumpHundredths) {
        return (level << 16) | (bumpHundredths & 0xFFFF);
    }
    void Special(std::int32_t matrix, std::int32_t selector, const std::string& data,
                 std::int32_t record) {
        std::string key = Packed('C', matrix) + Packed('C', selector) + data;
        key.resize(16, '\0');
        indexes["SPECI"].entries.push_back({key, record});
    }
    void Brackets(std::int32_t matrix, bool upper, int a, int b, int c) {
        std::string data = Packed('J', a) + Packed('J', b) + Packed('J', c);
        Special(matrix, upper ? 65535 : 0, data, 1);
    }

    // ---- parts database of a line ----
    struct DbPart {
        std::int32_t record;
        std::string part;  // with dashes
        json fields;
    };
    void Database(const std::string& alpha, int keyLength, int recordLength,
                  const std::vector<DbPart>& parts, const std::string& fileCode = "") {
        const records::RecordLayout& layout =
            keyLength == 14 ? records::kExtdbpartsLayout : records::kDbpartsLayout;
        const std::string code = fileCode.empty() ? alpha : fileCode;
        json dataFile = {
            {"path", "DB\\PARTL" + code}, {"type", "L"}, {"recordLength", recordLength}};
        json recs = json::array();
        json index = {{"path", "DB\\PARTI" + code}, {"type", "I"}, {"keyLength", keyLength}};
        json entries = json::array();
        std::int32_t last = 0;
        for (const DbPart& p : parts) {
            json fields = p.fields;
            fields["AlphaLine"] = alpha;
            fields["Part_w_Dash"] = p.part;
            std::string image = Record(layout, fields, static_cast<std::size_t>(recordLength));
            recs.push_back({{"number", p.record}, {"image", image}});
            const std::string key = Crm(alpha, 2) + Crm(Stripped(p.part), 12);
            entries.push_back({{"key", key.substr(0, static_cast<std::size_t>(keyLength))},
                               {"record", p.record}});
            last = std::max(last, p.record);
        }
        dataFile["records"] = recs;
        dataFile["lastRecord"] = last;
        if (recordLength == 128)
            dataFile["blocks"] = {
                {"0", json::array({{{"at", 59}, {"pack", "B"}, {"value", 128}}})}};
        index["entries"] = entries;
        files.push_back(dataFile);
        files.push_back(index);
    }
    // The database supersession chain of a line: each pair (part, superseded by).
    void DatabaseChain(const std::string& alpha,
                       const std::vector<std::pair<std::string, std::string>> links) {
        json entries = json::array();
        for (const auto& [from, to] : links)
            entries.push_back({{"key", Crm(from, 12) + "S" + Crm(to, 12)}, {"record", 1}});
        files.push_back({{"path", "DB\\SUPLI" + alpha},
                         {"type", "I"},
                         {"keyLength", 25},
                         {"entries", entries}});
    }

    json Description() const {
        json d;
        d["host"] = "QSERVER";
        d["directory"] = "QMR1";
        d["catalog"] = {{"Server", "QSERVER"}, {"DataShare", "DATA"}, {"CatalogShare", "CATALOG"},
                        {"Directory", "QMR1"}, {"TerminalID", "7"},   {"CustomerNumber", "1"}};
        d["ttymap"] = json::array({"DEALERPC 7"});
        json own = json::array();
        for (const auto& [name, t] : tables) own.push_back(TableFile(name, t));
        for (const auto& [name, i] : indexes) own.push_back(IndexFile(name, i));
        d["resolutions"] = json::array({{{"path", "QMR1:QMR1FD"}, {"files", own}}});
        for (const auto& [branch, pair] : branchParts) {
            const std::string dir = "QMR" + std::to_string(branch);
            json list = json::array();
            json partl = TableFile("PARTL", pair.first);
            partl["links"] = json::array({":" + dir + ":PARTL"});
            json epartl = TableFile("EPARTL", pair.second);
            epartl["links"] = json::array({":" + dir + ":EPARTL"});
            json parti = IndexFile("PARTI", branchIndex.at(branch));
            parti["links"] = json::array({":" + dir + ":PARTI"});
            list.push_back(partl);
            list.push_back(epartl);
            list.push_back(parti);
            d["resolutions"].push_back({{"path", dir + ":" + dir + "FD"}, {"files", list}});
        }
        if (withFile0) d["file0"] = {{"blocks", {{"0", file0Block0}}}};
        d["files"] = files;
        return d;
    }

    static std::string Stripped(const std::string& part) {
        std::string stripped, code;
        sharegen::StripForStorage(part, stripped, code);
        return stripped;
    }

private:
    std::string& Rec(const std::string& file, std::int32_t record) {
        Table& t = tables[file];
        std::string& r = t.records[record];
        if (r.empty()) r.assign(static_cast<std::size_t>(t.recordLength), '\0');
        t.lastRecord = std::max(t.lastRecord, record);
        return r;
    }
    void Touch(const std::string& file, std::int32_t record) { Rec(file, record); }

    void PutSplit(const std::string& base, const std::string& ext, std::int32_t record,
                  const std::string& image) {
        const auto baseLength = static_cast<std::size_t>(tables[base].recordLength);
        Rec(base, record) = image.substr(0, baseLength);
        std::string& e = Rec(ext, record);
        e = image.substr(baseLength);
        e.resize(static_cast<std::size_t>(tables[ext].recordLength), '\0');
    }

    void PutPart(std::int32_t record, std::int32_t line, const std::string& stripped,
                 const std::string& image, int branch) {
        if (branch == 0) {
            PutSplit("PARTL", "EPARTL", record, image);
            indexes["PARTI"].entries.push_back({PartKey(line, stripped), record});
            return;
        }
        auto& pair = branchParts[branch];
        pair.first.recordLength = 128;
        pair.second.recordLength = 160;
        pair.first.records[record] = image.substr(0, 128);
        pair.second.records[record] = image.substr(128);
        pair.first.lastRecord = std::max(pair.first.lastRecord, record);
        pair.second.lastRecord = pair.first.lastRecord;
        Index& idx = branchIndex[branch];
        idx.keyLength = 14;
        idx.entries.push_back({PartKey(line, stripped), record});
    }

    static json TableFile(const std::string& name, const Table& t) {
        json f = {{"name", name},
                  {"type", "L"},
                  {"recordLength", t.recordLength},
                  {"lastRecord", std::max<std::int32_t>(t.lastRecord, 1)}};
        json recs = json::array();
        for (const auto& [n, image] : t.records) recs.push_back({{"number", n}, {"image", image}});
        f["records"] = recs;
        return f;
    }
    static json IndexFile(const std::string& name, const Index& i) {
        json f = {{"name", name}, {"type", "I"}, {"keyLength", i.keyLength}};
        json entries = json::array();
        for (const auto& [key, rec] : i.entries) entries.push_back({{"key", key}, {"record", rec}});
        f["entries"] = entries;
        if (!i.blocks.is_null()) f["blocks"] = i.blocks;
        return f;
    }
};

}  // namespace zel::processor::testing
