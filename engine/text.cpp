#include "engine/text.h"

#include <array>
#include <cstring>

#include "engine/state.h"

namespace zel::engine {

namespace {

constexpr std::size_t kAlphabetLength = 40;

// Index of every byte value in an alphabet: its first position, 0 (as a space) when absent.
// The alphabet rarely changes, so the table of the last one used is kept.
struct IndexTable {
    char alphabet[kAlphabetLength] = {};
    std::size_t length = static_cast<std::size_t>(-1);
    std::array<std::uint8_t, 256> index{};
};

const std::array<std::uint8_t, 256>& IndexesFor(std::string_view alphabet) {
    thread_local IndexTable table;
    const std::size_t len = alphabet.size() < kAlphabetLength ? alphabet.size() : kAlphabetLength;
    if (table.length == len && std::memcmp(table.alphabet, alphabet.data(), len) == 0) {
        return table.index;
    }
    table.index.fill(0);
    for (std::size_t i = len; i-- > 0;) {
        table.index[static_cast<unsigned char>(alphabet[i])] = static_cast<std::uint8_t>(i);
    }
    std::memcpy(table.alphabet, alphabet.data(), len);
    table.length = len;
    return table.index;
}

// Position of `needle` in `hay` from `from`, exact or without regard to letter case.
std::size_t FindFrom(std::string_view hay, std::string_view needle, std::size_t from,
                     bool ignoreCase) {
    if (!ignoreCase) return hay.find(needle, from);
    if (needle.size() > hay.size()) return std::string_view::npos;
    for (std::size_t i = from; i + needle.size() <= hay.size(); ++i) {
        std::size_t k = 0;
        while (k < needle.size() && UpperCase(hay[i + k]) == UpperCase(needle[k])) ++k;
        if (k == needle.size()) return i;
    }
    return std::string_view::npos;
}

}  // namespace

std::string Crm(std::string& source, std::string_view alphabet) {
    if (const std::size_t rest = source.size() % 3; rest != 0) source.append(3 - rest, ' ');
    const auto& index = IndexesFor(alphabet);
    std::string out(source.size() / 3 * 2, '\0');
    const auto* in = reinterpret_cast<const unsigned char*>(source.data());
    for (std::size_t i = 0, o = 0; i < source.size(); i += 3, o += 2) {
        const unsigned v = index[in[i]] * 1600u + index[in[i + 1]] * 40u + index[in[i + 2]];
        out[o] = static_cast<char>(static_cast<unsigned char>(v >> 8));
        out[o + 1] = static_cast<char>(static_cast<unsigned char>(v & 0xFFu));
    }
    return out;
}

std::string Ucm(std::string& source, std::string_view alphabet) {
    if (source.size() % 2 != 0) source.push_back('\0');
    // An index outside the alphabet yields no character; only a group's first can be one.
    char table[kAlphabetLength];
    const std::size_t known = alphabet.size() < kAlphabetLength ? alphabet.size() : kAlphabetLength;
    std::memcpy(table, alphabet.data(), known);
    std::string out(source.size() / 2 * 3, '\0');
    const auto* in = reinterpret_cast<const unsigned char*>(source.data());
    char* o = out.data();
    for (std::size_t i = 0; i < source.size(); i += 2) {
        const unsigned v = (static_cast<unsigned>(in[i]) << 8) | in[i + 1];
        const unsigned q1 = v / 1600u, q2 = (v / 40u) % 40u, q3 = v % 40u;
        if (q1 < known) *o++ = table[q1];
        if (q2 < known) *o++ = table[q2];
        if (q3 < known) *o++ = table[q3];
    }
    out.resize(static_cast<std::size_t>(o - out.data()));
    return out;
}

std::string Crm(std::string& source) { return Crm(source, Engine().CrmAlphabet); }
std::string Ucm(std::string& source) { return Ucm(source, Engine().CrmAlphabet); }

std::string Trun(std::string_view source, std::int32_t flgRemoveControlCharacters) {
    return flgRemoveControlCharacters == 0 ? platform::TrimTrailingSpaces(source)
                                           : platform::TrimValue(source);
}

void StrPos(std::int32_t& location, std::string_view source, std::string_view target) {
    if (source.empty()) {
        location = 0;
        return;
    }
    const std::size_t at = source.find(target);
    location = at == std::string_view::npos ? 0 : static_cast<std::int32_t>(at + 1);
}

std::int32_t Min(std::int32_t var1, std::int32_t var2) { return var1 < var2 ? var1 : var2; }
std::int32_t Max(std::int32_t var1, std::int32_t var2) { return var2 < var1 ? var1 : var2; }

std::vector<std::string> Split(std::string_view expression, std::string_view delimiter,
                               std::int32_t limit, std::int32_t compare) {
    std::vector<std::string> kept;
    if (expression.empty() || delimiter.empty() || limit == 0) return kept;
    const bool ignoreCase = compare == 1;
    const auto keep = [&](std::string_view item) {
        // An empty item stands for the delimiter and goes with the items that contain it.
        if (!item.empty() && item.find(delimiter) == std::string_view::npos) {
            kept.emplace_back(item);
        }
    };
    std::size_t start = 0;
    std::int32_t items = 0;
    while (true) {
        if (limit > 0 && items == limit - 1) break;  // the rest is the last item
        const std::size_t at = FindFrom(expression, delimiter, start, ignoreCase);
        if (at == std::string_view::npos) break;
        keep(expression.substr(start, at - start));
        ++items;
        start = at + delimiter.size();
    }
    keep(expression.substr(start));
    return kept;
}

}  // namespace zel::engine
