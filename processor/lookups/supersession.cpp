#include "processor/lookups/supersession.h"

#include <cstdlib>
#include <exception>

#include "platform/convert.h"
#include "platform/files.h"
#include "processor/lookups/line_part_lookup.h"
#include "processor/lookups/lookup_support.h"

namespace zel::processor {

using lookup::DataEngine;

namespace {

constexpr std::size_t kSubstituteWidth = 15;
constexpr std::size_t kKeyStateBuffer = 544;

// Search key of SUPLI: line, compressed part number (12 bytes), kind, then zeros to 30 bytes.
std::string SupersessionKey(std::int32_t line, const std::string& part, char kind) {
    std::string key = lookup::Zeros(2);
    lookup::PackAt(key, 'C', line, 1);
    key += lookup::CompressTo(platform::TrimTrailingSpaces(part), 12);
    key += kind;
    key += lookup::Zeros(15);
    return key;
}

bool SamePrefix(const std::string& a, const std::string& b, std::size_t n) {
    return a.size() >= n && b.size() >= n && a.compare(0, n, b, 0, n) == 0;
}

std::string Substitute(const std::string& key) {
    return lookup::Fixed(platform::TrimTrailingSpaces(lookup::ExpandAt(key, 17, 10)),
                         kSubstituteWidth);
}

}  // namespace

std::string GetSupersession(std::int32_t& LineNumber, std::string& PartNumber, std::string& Kind) {
    // A line number must fit its 2-byte field; a larger one would name another line.
    if (LineNumber < 0 || LineNumber > 65535) return {};
    const char kind = Kind.empty() ? '\0' : Kind[0];
    const std::string search = SupersessionKey(LineNumber, PartNumber, kind);
    std::string key = search;
    std::string buff(kKeyStateBuffer, '\0');
    std::int32_t r = 0;
    DataEngine().KFind("SUPLI", buff, key, r, true);
    // Nothing found (r 0) leaves the search key itself in `key`: it must not read as a match.
    if (r == 0 || !SamePrefix(key, search, 15)) return {};

    if (kind == 'S') {
        LineNumber = lookup::UnpackAt(key, 'C', 17);
        PartNumber = lookup::ExpandAt(key, 19, 12);
        return lookup::Mid(std::to_string(LineNumber + 1000), 2, 3) + " " +
               platform::TrimTrailingSpaces(PartNumber);
    }
    if (kind != 'Z') return {};

    // The next keys belong to this part only while line, part and kind stay the same; another
    // part's entries or the end of the index leave the rest of the 45 characters blank.
    std::string substitutes = Substitute(key);
    bool more = true;
    for (int i = 0; i < 2; ++i) {
        if (more) {
            DataEngine().KNext("SUPLI", buff, key, r, true);
            more = r != 0 && SamePrefix(key, search, 15);
        }
        substitutes += more ? Substitute(key) : std::string(kSubstituteWidth, ' ');
    }
    return substitutes;
}

Alternates GetDbAlternates(std::string& AlphaLine, std::int32_t& /*LineNumber*/,
                           std::string& PartNumber, std::int32_t& /*Quantity*/,
                           std::int32_t& RecordNumber) {
    Alternates found;
    std::int32_t count = 0;
    PartNumber = platform::TrimTrailingSpaces(PartNumber);

    try {
        if (!lookup::NamesAFile(AlphaLine)) return found;
        std::string path = "\\\\" + lookup::ServerName() + "\\QMRLINK" + "\\DB\\SUPLI" + AlphaLine;
        if (platform::ListDirectory(path).empty()) return found;
        const auto chain = DataEngine().PhysLogicalOpen(path, "I", 512);

        std::string search = lookup::CompressTo(PartNumber, 12) + "S";
        std::string key = search;
        std::string buff;
        std::int32_t r = 0;
        DataEngine().KFind(chain, buff, key, r, false);
        if (r == 0 || !SamePrefix(key, search, 13)) return found;

        // r 0 (end of the index, or an index that cannot be read) leaves the search key in
        // `key`, which would match itself: it ends the chain like a key of another part.
        while (r != 0 && SamePrefix(key, search, 13)) {
            std::string alt = platform::TrimTrailingSpaces(lookup::ExpandAt(key, 14, 12));
            if (alt == PartNumber) break;
            std::int32_t record = 0;
            bool orb = false;
            std::string dataSet;
            bool partsFileOnly = false;
            found.altPart = GetPart(AlphaLine, alt, record, orb, dataSet, partsFileOnly);
            const std::string entered = platform::TrimTrailingSpaces(alt);
            bool repeated = false;
            for (std::int32_t k = 1; k <= count; ++k)
                if (platform::TrimTrailingSpaces(
                        found.altPartNumbers[static_cast<std::size_t>(k)]) == entered)
                    repeated = true;
            if (repeated || count == kMaxAlternates) break;

            ++count;
            const auto n = static_cast<std::size_t>(count);
            found.altPartNumbers[n] = lookup::Fixed(alt, kAltPartNumberWidth);
            const auto onHand = static_cast<std::int32_t>(found.altPart.Quantity_On_Hand.ToUnits());
            found.altTotal += onHand;
            if (found.altPart.Quantity_On_Hand.Raw() >= 0) found.altQuantities[n] = onHand;

            search = key.substr(13, 12) + "S";
            key = search + lookup::Zeros(12);
            DataEngine().KFind(chain, buff, key, r, false);
        }
    } catch (const std::exception&) {
        // The walk ends here; what was found so far stands.
    }
    found.count = RecordNumber != 0 && found.altTotal == 0 ? 0 : count;
    return found;
}

}  // namespace zel::processor
