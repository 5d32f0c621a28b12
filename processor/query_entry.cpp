#include "processor/query_entry.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace zel::processor {

// The query answer is not built yet: the answer work file keeps the request's header alone.
void AnswerStockQuery(RequestContext&) {}

std::string QueryDateTime(const std::tm& local) {
    char text[48];
    std::snprintf(text, sizeof text, "%04d%02d%02d %d:%d:%d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return text;
}

ItemStatus StockStatus(const StatusFacts& facts) {
    if (facts.unauthorized) return {kUnauthorizedLine, ""};
    if (facts.total >= facts.requested) return {"Available", "Item1-3"};
    if (facts.recordNumber < 1 || facts.orderCode == "Z") {
        return {facts.recordNumber == 0 ? "Part Not Found" : "Special Order Only", "Item1-6"};
    }
    if (facts.backOrdered > 0) return {"Factory Back-Ordered", "Item1-5"};
    if (facts.onOrder > 0) return {"On-Order, Awaiting Delivery", "Item1-4"};
    return {};
}

void LocationMarks::StartItem() {
    count_ = 1;
    Mark(1);
}

void LocationMarks::Mark(std::int32_t k) {
    if (k < 0) return;
    const auto at = static_cast<std::size_t>(k);
    if (at >= marked_.size()) marked_.resize(at + 1, false);
    marked_[at] = true;
}

void LocationMarks::CountLocation(std::int32_t k) {
    Mark(k);
    ++count_;
}

bool LocationMarks::IsMarked(std::int32_t k) const {
    return k >= 0 && static_cast<std::size_t>(k) < marked_.size() && marked_[static_cast<std::size_t>(k)];
}

std::int32_t QueryItemCount(std::string_view value, std::int32_t highestSection) {
    const std::optional<double> number = ParseNumber(value);
    if (!number) return 0;
    const double whole = RoundHalfEven(*number);
    if (whole < std::numeric_limits<std::int32_t>::min() ||
        whole > std::numeric_limits<std::int32_t>::max()) {
        return 0;
    }
    const auto count = static_cast<std::int32_t>(whole);
    if (count <= kItemCountCut) return count;
    return std::min(count, highestSection);
}

std::optional<std::int32_t> ItemSectionNumber(std::string_view section) {
    static constexpr std::string_view kPrefix = "POITEMS";
    if (section.size() <= kPrefix.size() || section.size() > kPrefix.size() + 10) return std::nullopt;
    if (UpperCase(section.substr(0, kPrefix.size())) != kPrefix) return std::nullopt;
    const std::string_view digits = section.substr(kPrefix.size());
    if (digits.front() == '0') return std::nullopt;
    std::int64_t n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + (c - '0');
    }
    if (n > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    return static_cast<std::int32_t>(n);
}

}  // namespace zel::processor
