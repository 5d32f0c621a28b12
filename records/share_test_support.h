#pragma once
// Test-only: a business share built from a description (the sample site by default) in a
// sandbox, with the program-wide engine set up on it, and reads of raw records and keys.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include <nlohmann/json.hpp>

#include "engine/catalog.h"
#include "engine/fileio.h"
#include "engine/keyindex.h"
#include "engine/link.h"
#include "engine/share_test_support.h"
#include "engine/test_helpers.h"
#include "platform/error.h"

namespace zel::records::testing {

class ShareTest : public engine::testing::SampleShareTest {
protected:
    void SetUp() override {
        SampleShareTest::SetUp();
        std::ifstream in(std::string(ZEL_SOURCE_DIR) + "/samples/share.json");
        description = nlohmann::json::parse(in);
        description.erase("generate");  // the filler parts are not needed here
    }
    // Builds the share and creates the program-wide engine on it.
    void Open() {
        Build();
        engine::LoadCatalogSettings();
        ASSERT_TRUE(engine::Engine().DataEngine);
    }
    // Record number of an exact key of an index, 0 when there is none.
    static std::int32_t Find(const std::string& index, std::string key) {
        const auto file = engine::LogicalOpen(index);
        if (!file) return 0;
        std::string buff;
        std::int32_t rec = 0;
        engine::KFind(file.get(), buff, key, rec);
        return rec;
    }
    static std::string Joined(const std::string& base, const std::string& extension,
                              std::int32_t r) {
        return engine::LreadFile(engine::LogicalOpen(base).get(), r) +
               engine::LreadFile(engine::LogicalOpen(extension).get(), r);
    }
    // The resolution file's description of a file of the sample, to change before Build().
    nlohmann::json& FileOf(const std::string& resolution, const std::string& name) {
        for (auto& r : description["resolutions"])
            if (r["path"] == resolution)
                for (auto& f : r["files"])
                    if (f.value("name", "") == name) return f;
        ADD_FAILURE() << "no file " << name;
        static nlohmann::json none;
        return none;
    }
};

using engine::testing::Raised;

}  // namespace zel::records::testing
