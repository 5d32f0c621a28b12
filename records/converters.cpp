#include "records/converters.h"

#include "engine/text.h"
#include "platform/convert.h"

namespace zel::records {

namespace {

// Storable part-number characters: the part-number alphabet after its first position (space).
constexpr std::string_view kPartAlphabet = " ,/.0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

constexpr std::string_view kStateCodes =
    "AL.AK.AR.AZ.CA.CO.CT.DC.DE.FL.GA.HI.IA.ID.IL.IN.KS.KY.LA.MA.MD.ME.MI.MN.MO.MS.MT.NC.ND.NE."
    "NH.NJ.NM.NV.NY.OH.OK.OR.PA.RI.SC.SD.TN.TX.UT.VA.VT.WA.WI.WV.WY.PR.CN.";

constexpr std::size_t kAddressLine = 30;

bool Storable(char c) {
    const std::size_t at = kPartAlphabet.find(c);
    return at != std::string_view::npos && at > 0;
}

std::string TrimSpaces(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return "";
    const std::size_t last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

}  // namespace

bool StripPartNumber(std::string& part, std::string& code) {
    part = TrimSpaces(part);
    std::string kept;
    std::string dashes;
    kept.reserve(part.size());
    for (std::size_t i = 0; i < part.size(); ++i) {
        if (Storable(part[i])) {
            kept += part[i];
        } else if (i < kDashPositions.size()) {
            dashes += kDashPositions[i];
        }
    }
    part = std::move(kept);
    code = std::move(dashes);
    return code.size() < 4;
}

void RestorePartNumber(std::string& part, const std::string& code) {
    const std::string_view restorable = kDashPositions.substr(0, 18);
    const std::size_t end = code.find_last_not_of(' ');
    if (end == std::string::npos) return;
    for (std::size_t k = 0; k <= end; ++k) {
        const std::size_t at = restorable.find(code[k]);
        if (at == std::string_view::npos) continue;
        // Insert before character at + 1 (1-based), i.e. after `at` characters.
        if (part.size() >= at) {
            part.insert(at, 1, '-');
        } else {
            part += '-';
        }
    }
}

std::int16_t YNToFlag(std::string_view text) { return text == "Y" ? 1 : 0; }

std::string FlagToYN(std::int16_t flag) { return flag != 0 ? "Y" : "N"; }

std::string GetState(std::string& address) { return PickFromAddress(address, "STATE"); }

std::string GetZip(std::string& address) { return PickFromAddress(address, "ZIP"); }

std::string PickFromAddress(std::string& address, std::string_view kind) {
    for (std::size_t start = 0; start < 4 * kAddressLine && start < address.size();
         start += kAddressLine) {
        if (address[start] == '.') {
            const std::size_t n = std::min(kAddressLine, address.size() - start);
            address.replace(start, n, n, ' ');
        }
    }
    std::string text = address;
    for (char& c : text)
        if (c == ',' || c == '.') c = ' ';
    const std::vector<std::string> words = SplitNoEmpty(text, " ", -1, 0);
    const bool state = kind == "STATE";
    for (std::size_t i = words.size(); i-- > 0;) {
        if (state ? IsStateCode(words[i]) : IsZipCode(words[i])) return words[i];
    }
    return "";
}

bool IsStateCode(std::string_view word) { return kStateCodes.find(word) != std::string_view::npos; }

bool IsZipCode(std::string_view word) {
    switch (word.size()) {
        case 5:
        case 9: return platform::IsNumeric(word);
        case 10:
            return word[5] == '-' && platform::IsNumeric(std::string(word.substr(0, 5)) +
                                                         std::string(word.substr(6, 4)));
        default: return false;
    }
}

std::vector<std::string> SplitNoEmpty(std::string_view text, std::string_view delimiter,
                                      std::int32_t limit, std::int32_t compare) {
    return engine::Split(text, delimiter, limit, compare);
}

}  // namespace zel::records
