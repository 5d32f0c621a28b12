#pragma once
// Small helpers shared by the engine's tests (header only, not used by the engine itself).
#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>

#include "engine/fileio.h"
#include "engine/state.h"
#include "platform/error.h"
#include "platform/test_support.h"

namespace zel::engine::testing {

// A byte string from byte values 0-255.
inline std::string Bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s.push_back(static_cast<char>(static_cast<unsigned char>(v)));
    return s;
}

// Runs `f` and returns the numbered error it raised (number 0, empty texts when none).
template <typename F>
platform::RuntimeError Raised(F&& f) {
    try {
        f();
    } catch (const platform::RuntimeError& e) {
        return e;
    }
    return platform::RuntimeError(0, "", "");
}

// A share "\\HOST\QMRLINK\DATA" in a private folder, with a fresh open-file list.
class DataShareTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto sys = std::make_shared<cSystem>();
        sys->mUNCDrive = "HOST";
        sys->mDirectory = "DATA";
        Engine().SystemInfo = sys;
        Engine().OpenFiles = std::make_shared<cOpenFiles>();
        sandbox_.dir().MakeDirs("unc/HOST/QMRLINK/DATA");
    }
    void TearDown() override {
        Engine().OpenFiles.reset();
        Engine().SystemInfo.reset();
    }

    // Bytes of a file on the share.
    std::string Read(const std::string& name) { return sandbox_.dir().Read(Relative(name)); }
    void Write(const std::string& name, const std::string& bytes) {
        sandbox_.dir().Write(Relative(name), bytes);
    }
    static std::string Relative(const std::string& name) { return "unc/HOST/QMRLINK/DATA/" + name; }

    platform::testing::SandboxEnv sandbox_;
};

}  // namespace zel::engine::testing
