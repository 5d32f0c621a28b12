#pragma once
// Test-only helpers: message boxes answered and remembered, and a sample business share built
// in a private sandbox (header only; the engine itself does not use it).
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "engine/catalog.h"
#include "engine/state.h"
#include "platform/seams.h"
#include "platform/test_support.h"
#include "tools/sharegen/sharegen.h"

namespace zel::engine::testing {

using BoxRecorder = platform::testing::BoxRecorder;

// The engine tests' toy share (engine/toy_share.json: host QSERVER, directory QMR1) in a sandbox,
// with this station named "dealerpc". Tests change the description before Build().
class SampleShareTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::ifstream in(std::string(ZEL_SOURCE_DIR) + "/engine/toy_share.json");
        description = nlohmann::json::parse(in);
    }
    void TearDown() override {
        Engine().DataEngine.reset();
        ReleaseEngine();
        Engine().EpcInfo.reset();
        Engine().CrmAlphabet = kDefaultCrmAlphabet;
    }

    void Build() { sharegen::BuildShare(description, sandbox.UncRoot(), sandbox.Temp()); }
    // Native path of a file under the share's QMRLINK folder.
    std::string SharePath(const std::string& relative) const {
        return sandbox.UncRoot() + "/QSERVER/QMRLINK/" + relative;
    }
    std::string ReadShare(const std::string& relative) const {
        return sandbox.dir().Read("unc/QSERVER/QMRLINK/" + relative);
    }
    void WriteShare(const std::string& relative, const std::string& bytes) const {
        sandbox.dir().Write("unc/QSERVER/QMRLINK/" + relative, bytes);
    }

    platform::testing::SandboxEnv sandbox;
    platform::testing::ScopedEnv station{"COMPUTERNAME", std::string("dealerpc")};
    BoxRecorder boxes;
    nlohmann::json description;
};

}  // namespace zel::engine::testing
