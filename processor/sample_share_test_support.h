#pragma once
// Test support: the sample business share (samples/share.json) built in a test's sandbox and
// connected as the program-wide engine, so that requests run through the real lookups.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include <nlohmann/json.hpp>

#include "engine/catalog.h"
#include "engine/state.h"
#include "platform/test_support.h"
#include "processor/restart.h"
#include "tools/sharegen/sharegen.h"

namespace zel::processor::testing {

// The sample site's description without its generated filler parts (tests build it often).
inline nlohmann::json SampleShareDescription() {
    std::ifstream in(std::string(ZEL_SOURCE_DIR) + "/samples/share.json");
    nlohmann::json description = nlohmann::json::parse(in);
    description.erase("generate");
    return description;
}

// A share built from a description and connected as the program-wide engine, for the life of
// the object. This station is the sample's "dealerpc"; a restart of the program (a failing
// customer lookup) is refused instead of starting the test program again.
class ConnectedShare {
public:
    ConnectedShare() {
        previousStarter_ = SetProcessStarter(
            [](const std::string&, const std::map<std::string, std::string>&) { return false; });
    }
    ~ConnectedShare() {
        Disconnect();
        SetProcessStarter(previousStarter_);
    }
    ConnectedShare(const ConnectedShare&) = delete;
    ConnectedShare& operator=(const ConnectedShare&) = delete;

    void Connect(const nlohmann::json& description, const platform::testing::SandboxEnv& env) {
        Disconnect();
        sharegen::BuildShare(description, env.UncRoot(), env.Temp());
        engine::LoadCatalogSettings();
        ASSERT_TRUE(engine::Engine().DataEngine) << "no engine on the built share";
    }
    static void Disconnect() {
        engine::Engine().DataEngine.reset();
        engine::ReleaseEngine();
        engine::Engine() = engine::EngineState{};
    }

private:
    platform::testing::ScopedEnv station_{"COMPUTERNAME", std::string("dealerpc")};
    ProcessStarter previousStarter_;
};

}  // namespace zel::processor::testing
