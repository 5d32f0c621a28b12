#pragma once
// Test-only: the lookups' tests on a site (lookup_site.h) written to a sandboxed share, with the
// program-wide engine connected to it and the program-wide values reset after each test.
#include <gtest/gtest.h>

#include "engine/catalog.h"
#include "engine/state.h"
#include "platform/seams.h"
#include "platform/test_support.h"
#include "processor/globals.h"
#include "processor/lookup_site.h"

namespace zel::processor::testing {

// A test on a site: Build() writes the share and connects the program-wide engine.
class SiteTest : public ::testing::Test {
protected:
    void TearDown() override {
        engine::Engine().DataEngine.reset();
        engine::ReleaseEngine();
        engine::Engine().EpcInfo.reset();
        engine::Engine().CrmAlphabet = engine::kDefaultCrmAlphabet;
        ResetProgramValues();
    }

    static void ResetProgramValues() { gState = ProgramState{}; }

    void Build() {
        sharegen::BuildShare(site.Description(), sandbox.UncRoot(), sandbox.Temp());
        engine::LoadCatalogSettings();
        ASSERT_TRUE(engine::Engine().DataEngine) << "the engine did not connect";
    }
    // Native path of a file under the share's QMRLINK folder.
    std::string SharePath(const std::string& relative) const {
        return sandbox.UncRoot() + "/QSERVER/QMRLINK/" + relative;
    }

    Site site;
    platform::testing::SandboxEnv sandbox;
    platform::testing::ScopedEnv station{"COMPUTERNAME", std::string("dealerpc")};
    platform::testing::BoxRecorder boxes;
};

}  // namespace zel::processor::testing
