#include "processor/lookups/price_lookup.h"

#include <cstdlib>
#include <set>
#include <string>

#include "engine/errors.h"
#include "platform/convert.h"
#include "processor/lookups/line_part_lookup.h"
#include "processor/lookups/lookup_support.h"

namespace zel::processor {

using lookup::DataEngine;
using platform::Currency;

namespace {

constexpr std::int64_t kRawPerCent = Currency::kScale / 100;

[[noreturn]] void Overflow() { platform::RaiseClassic(platform::err::kOverflow, "GetPrice"); }

std::int64_t Mul(std::int64_t a, std::int64_t b) {
    std::int64_t out = 0;
    if (__builtin_mul_overflow(a, b, &out)) Overflow();
    return out;
}

std::int64_t Add(std::int64_t a, std::int64_t b) {
    std::int64_t out = 0;
    if (__builtin_add_overflow(a, b, &out)) Overflow();
    return out;
}

// a / b rounded to the nearest whole number, halves to the even one (b > 0): how a product
// worked out in floating point comes back as a currency value.
std::int64_t DivideHalfEven(std::int64_t a, std::int64_t b) {
    std::int64_t q = a / b;
    const std::int64_t r = a % b;
    const std::int64_t twice = 2 * (r < 0 ? -r : r);
    if (twice > b || (twice == b && q % 2 != 0)) q += (a < 0) ? -1 : 1;
    return q;
}

// Truncated toward zero to whole cents.
std::int64_t TruncateToCents(std::int64_t raw) { return raw / kRawPerCent * kRawPerCent; }

// Rounded to whole cents, halves away from zero, as the two-decimal format rounds.
std::int64_t RoundToCents(std::int64_t raw) {
    const std::int64_t cents =
        (raw < 0 ? raw - kRawPerCent / 2 : raw + kRawPerCent / 2) / kRawPerCent;
    return cents * kRawPerCent;
}

// The bump (in hundredths of a percent) of a price, truncated toward zero to a whole cent. The
// bump is an exact decimal, so the product is worked out exactly; a binary fraction would lose
// a cent (0.7 % of 10.00 is 0.07, not 0.06).
std::int64_t BumpAmount(std::int64_t priceRaw, std::int64_t bumpHundredths) {
    const __int128 units = static_cast<__int128>(priceRaw) * bumpHundredths / 1000000;
    const __int128 raw = units * kRawPerCent;
    if (raw > INT64_MAX || raw < INT64_MIN) Overflow();
    return static_cast<std::int64_t>(raw);
}

// Units per cost of a part from its package code; the tests run in this order, the last that
// applies wins.
std::int64_t UnitsPerCost(const records::clsParts& part) {
    const std::string& code = part.Package_Code;
    const std::int64_t quantity = std::llabs(static_cast<long long>(part.Package_Quantity));
    std::int64_t units = 1;
    if (!code.empty() && code[0] == 'C') units = 100;
    if (!code.empty() && code[0] == 'M') units = 1000;
    if (!code.empty() && code[0] == 'S') units = quantity;
    if (code.size() >= 3 && code[2] == 'S' && part.Package_Quantity < 0) units = quantity;
    return units < 1 ? 1 : units;
}

struct PassResult {
    std::int64_t price = 0;  // raw currency
    std::int32_t level = 0;
    std::int64_t bump = 0;  // hundredths of a percent
};

class Pricing {
public:
    Pricing(const records::clsParts& part, const records::clsLines& line)
        : part_(part), line_(line), unitCost_(part.Cost / UnitsPerCost(part)) {}

    Currency UnitCost() const { return unitCost_; }

    // One pricing pass from `level` and `bump`: a level without a price takes the line's
    // definition for it, else falls back one level at a time down to the list price.
    PassResult Run(std::int32_t level, std::int64_t bump) const {
        for (;;) {
            const std::int32_t start = level;
            std::int64_t price = 0;
            // Levels the definitions have sent this pass to: a definition that leads back to
            // one of them ends the search with no price.
            std::set<std::int32_t> visited{level};
            for (;;) {
                if (level == 7) {
                    price = unitCost_.Raw();
                    break;
                }
                price = PriceOfLevel(level).Raw();
                if (price != 0) break;
                const int k = DefinitionFor(level);
                if (k == 0) break;
                const std::int32_t use = DefinitionUse(k);
                if (use == level || !visited.insert(use).second) break;
                level = use;
                bump = Mul(DefinitionPercent(k), 100);
            }
            if (bump != 0) price = Add(price, BumpAmount(price, bump));
            if (price != 0) return {TruncateToCents(price), level, bump};
            level = start;
            if (start < 2) return {0, level, bump};
            bump = 0;
            level = start - 1;
        }
    }

private:
    Currency PriceOfLevel(std::int32_t level) const {
        switch (level) {
            case 2: return part_.Level_1_Price;
            case 3: return part_.Level_2_Price;
            case 4: return part_.Level_3_Price;
            case 5: return part_.Level_4_Price;
            case 6: return part_.Level_5_Price;
            default: return part_.List_Price;
        }
    }

    int DefinitionFor(std::int32_t level) const {
        const std::int32_t levels[] = {line_.Price_Def_1_Level, line_.Price_Def_2_Level,
                                       line_.Price_Def_3_Level, line_.Price_Def_4_Level,
                                       line_.Price_Def_5_Level, line_.Price_Def_6_Level};
        for (int k = 1; k <= 6; ++k)
            if (levels[k - 1] == level) return k;
        return 0;
    }
    std::int32_t DefinitionUse(int k) const {
        const std::int32_t uses[] = {line_.Price_Def_1_Use, line_.Price_Def_2_Use,
                                     line_.Price_Def_3_Use, line_.Price_Def_4_Use,
                                     line_.Price_Def_5_Use, line_.Price_Def_6_Use};
        return uses[k - 1];
    }
    std::int32_t DefinitionPercent(int k) const {
        const std::int32_t percents[] = {line_.Price_Def_1_Perc, line_.Price_Def_2_Perc,
                                         line_.Price_Def_3_Perc, line_.Price_Def_4_Perc,
                                         line_.Price_Def_5_Perc, line_.Price_Def_6_Perc};
        return percents[k - 1];
    }

    const records::clsParts& part_;
    const records::clsLines& line_;
    Currency unitCost_;
};

// The special-price index, searched with fresh 16-byte keys (matrix, selector, data).
class SpecialPrices {
public:
    struct Hit {
        std::int32_t r = 0;
        std::string key;
    };

    Hit Find(std::int32_t matrix, std::int32_t selector, const std::string& data) const {
        Hit hit;
        hit.key = lookup::Zeros(4);
        lookup::PackAt(hit.key, 'C', matrix, 1);
        lookup::PackAt(hit.key, 'C', selector, 3);
        hit.key += data;
        hit.key.resize(16, '\0');
        std::string buff;
        DataEngine().KFind("SPECI", buff, hit.key, hit.r, false);
        return hit;
    }
    // An 8-byte key (matrix, selector, 4 zero bytes); nothing at all following reads as a key
    // of 16 zero bytes.
    Hit FindHead(std::int32_t matrix, std::int32_t selector) const {
        Hit hit;
        hit.key = lookup::Zeros(8);
        lookup::PackAt(hit.key, 'C', matrix, 1);
        lookup::PackAt(hit.key, 'C', selector, 3);
        std::string buff;
        DataEngine().KFind("SPECI", buff, hit.key, hit.r, false);
        if (hit.r == 0) hit.key = lookup::Zeros(16);
        return hit;
    }

    static std::int32_t Field(const std::string& key, std::int32_t at) {
        return lookup::UnpackAt(key, 'C', at);
    }
    static bool EndOfIndex(const std::string& key) {
        return key.find_first_not_of('\xFF') == std::string::npos;
    }
};

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

void GetPrice(records::clsParts& Part, records::clsLines& Line, records::clsCustomers& Customer,
              Currency& RetailPrice, Currency& NetPrice, Currency& UnitCost, std::int32_t& Level,
              float& Bump) {
    std::int32_t matrix = Customer.Price_Matrix;
    std::int32_t level = Customer.Default_Level;
    std::int64_t bump = Customer.Percentage_Bump;

    // Read as blanks, a missing FILE0 would price every part with an 82.24 % markup.
    std::string file0 = "FILE0";
    const auto file0Handle = DataEngine().OpenFile(file0);
    if (!file0Handle)
        throw platform::RuntimeError(platform::err::kFileNotFound, "GetPrice",
                                     "File not found: " + file0);
    const std::string block0 = DataEngine().BlockReadFile(file0Handle, 0, true);
    std::int64_t thresholds[7];
    for (int i = 0; i < 7; ++i) thresholds[i] = lookup::UnpackAt(block0, 'C', 389 + 2 * i);
    const std::int64_t markup = lookup::UnpackAt(block0, 'C', 93);
    std::int64_t adjustments[6] = {0, 0, 0, 0, 0, 0};

    Line = GetLine(Line.Alpha_Line);
    const Pricing pricing(Part, Line);

    if (matrix != 0) {
        const SpecialPrices speci;
        const std::int32_t line = Part.Line;
        const std::string part = Part.Part_Number;
        // Matrices a chain has been through: one that comes round again ends it.
        std::set<std::int32_t> visited;
        for (;;) {
            visited.insert(matrix);
            std::int32_t found = 0;
            auto hit = speci.Find(matrix, line, lookup::CompressTo(part, 12));
            if (hit.r > 0) {
                found = hit.r;
            } else {
                hit = speci.Find(matrix, line + 1000,
                                 lookup::CompressTo(platform::TrimTrailingSpaces(part), 12));
                // Nothing at or after the key (r 0, the search key left in place) is the end.
                if (hit.r == 0 || SpecialPrices::EndOfIndex(hit.key) ||
                    SpecialPrices::Field(hit.key, 1) != matrix)
                    break;
                if (SpecialPrices::Field(hit.key, 3) == ((line + 1000) & 0xFFFF)) {
                    std::string prefix =
                        platform::TrimTrailingSpaces(lookup::ExpandAt(hit.key, 5, 12));
                    prefix.erase(prefix.find_last_not_of('Z') + 1);
                    if (StartsWith(part, prefix)) found = std::abs(hit.r);
                }
            }
            if (found == 0) {
                hit = speci.Find(matrix, line + 4000, lookup::CompressTo(Part.Price_Code, 12));
                if (hit.r > 0) found = hit.r;
            }
            if (found == 0) {
                hit = speci.Find(matrix, line + 3000, lookup::CompressTo(Part.Comodity, 12));
                if (hit.r > 0) found = hit.r;
            }
            if (found == 0) {
                hit = speci.Find(matrix, line + 2000, "");
                if (hit.r > 0) {
                    found = hit.r;
                } else if (hit.r == 0 || SpecialPrices::Field(hit.key, 1) != matrix) {
                    break;
                }
            }
            if (found != 0) {
                level = ((found >> 16) & 0xFF) % 16;
                bump = static_cast<std::int16_t>(found & 0xFFFF);
                break;
            }
            // Bracket adjustments 1-3 (selector 0) and 4-6 (selector 65535) of this matrix.
            for (int half = 0; half < 2; ++half) {
                const std::int32_t selector = half == 0 ? 0 : 65535;
                std::string head = lookup::Zeros(4);
                lookup::PackAt(head, 'C', matrix, 1);
                lookup::PackAt(head, 'C', selector, 3);
                const auto brackets = speci.FindHead(matrix, selector);
                if (brackets.key.compare(0, 4, head) != 0) continue;
                for (int i = 0; i < 3; ++i)
                    adjustments[half * 3 + i] = lookup::UnpackAt(brackets.key, 'J', 5 + 2 * i);
            }
            hit = speci.Find(matrix, 9999, "");
            if (hit.r == 0 || SpecialPrices::Field(hit.key, 1) != matrix ||
                SpecialPrices::Field(hit.key, 3) != 9999)
                break;
            matrix = SpecialPrices::Field(hit.key, 5);
            if (visited.count(matrix)) break;
        }
    }

    const PassResult first = pricing.Run(level, bump);
    const PassResult list = pricing.Run(1, 0);
    std::int64_t retail = list.price;
    std::int64_t net = first.price;

    const std::int64_t minimum = Add(net, DivideHalfEven(Mul(net, markup), 10000));
    if (minimum > retail) retail = minimum;

    for (int i = 0; i < 6; ++i) {
        if (thresholds[i] == 0) break;
        if (net <= Mul(thresholds[i], kRawPerCent)) {
            const std::int64_t a = adjustments[i];
            net = Add(net, a < 0 ? Mul(-a, kRawPerCent) : DivideHalfEven(Mul(net, a), 10000));
            break;
        }
    }

    RetailPrice = Currency::FromRaw(RoundToCents(retail));
    NetPrice = Currency::FromRaw(RoundToCents(net));
    UnitCost = Currency::FromRaw(RoundToCents(pricing.UnitCost().Raw()));
    Level = first.level;
    Bump = static_cast<float>(first.bump) / 100.0f;
}

}  // namespace zel::processor
