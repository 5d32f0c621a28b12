#pragma once
// Seeded bulk records for sample shares: the sample site's filler parts and the large site of
// the benchmarks are both the sample description with a "generate" section, built by the same
// builder.
#include <cstdint>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "tools/sharegen/sharegen.h"

namespace zel::sharegen {

// "generate": {"seed": n, "parts": n, "customers": n}. Adds `parts` part rows spread over every
// part table of the description (lines taken from its product-line table) and `customers`
// customer rows (accounts from 20000 on) to its customer table; record numbers continue after
// the described rows. The same seed gives the same records. Removes the section.
void ExpandGenerated(nlohmann::json& description);

struct SiteSize {
    std::uint32_t seed = 1;
    std::int32_t parts = 100000;
    std::int32_t customers = 1000;
};

// The sample site of `descriptionPath` (normally samples/share.json) with the generated records
// of `size` in place of its own "generate" section, built under `uncRoot` with the catalog INI
// in `tempFolder`.
BuildResult BuildGeneratedSite(const std::string& descriptionPath, const SiteSize& size,
                               const std::string& uncRoot, const std::string& tempFolder);

}  // namespace zel::sharegen
