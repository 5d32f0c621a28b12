#pragma once
// Test support for Dulvan's windows: one QApplication for the test program (offscreen), and a
// sandbox with a built business share, a fresh settings store, captured message boxes and an
// "end the program" that throws.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "engine/facade.h"
#include "engine/state.h"
#include "platform/seams.h"
#include "platform/test_support.h"
#include "processor/globals.h"
#include "processor/utilities.h"
#include "processor/windows/error_window.h"
#include "processor/windows/install.h"
#include "processor/windows/settings_window.h"
#include "processor/windows/window_timing_test_support.h"
#include "testing/qt_app.h"
#include "tools/sharegen/sharegen.h"

namespace zel::processor::testing {

using qttest::App;

// Runs the event loop until `done` holds or `ms` pass; the result of `done` at the end.
inline bool WaitFor(const std::function<bool()>& done, int ms = 5000) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return done();
}

// Runs `action` once the event loop next gets control (inside a modal window's loop, say).
inline void Soon(int ms, std::function<void()> action) {
    QTimer::singleShot(ms, &App(), std::move(action));
}

// The business share description the tests build: host HOST, data directory QMR1, a terminal
// map, FILE0 with the multi-location and restricted-lines flags set, and the catalog INI.
inline const char* kShareDescription = R"({
  "host": "HOST",
  "directory": "QMR1",
  "ttymap": ["  OTHERSTATION   4"],
  "file0": {"blocks": {
      "1": [{"at": 151, "text": "SAMPLE DISTRIBUTING CO"}],
      "401": [{"at": 45, "text": "Y"}, {"at": 309, "text": "Y"}]}},
  "catalog": {"Server": "HOST", "DataShare": "QMRLINK", "CatalogShare": "CAT",
              "Directory": "QMR1", "TerminalID": "1", "CustomerNumber": ""}
})";

class DulvanSandbox : public ::testing::Test {
protected:
    // The application exists before any window object of a derived fixture.
    DulvanSandbox() { App(); }

    void SetUp() override {
        App();
        ResetProgramState();
        previousBox_ = platform::SetMsgBoxHandler([this](const platform::MsgBoxRequest& r) {
            boxes.push_back(r);
            return answerBox ? answerBox(r) : platform::MsgResult::Ok;
        });
        WindowTiming::SetRetryInterval(100);
        InstallWindows();
    }
    void TearDown() override {
        SettingsController::Instance().Unload();
        platform::SetMsgBoxHandler(previousBox_);
        WindowTiming::SetRetryInterval(0);
        ResetProgramState();
    }

    static void ResetProgramState() {
        SettingsController::Instance().Unload();
        gState = ProgramState{};
        DropEngine();
    }
    // The program creates its engine objects once; a test that starts a second monitor drops
    // those of the first one before.
    static void DropEngine() {
        engine::Engine().DataEngine.reset();
        engine::Engine() = engine::EngineState{};
    }

    // Builds the test share with the share builder; true when it was built.
    bool BuildShare() const {
        try {
            sharegen::BuildShare(nlohmann::json::parse(kShareDescription), env.UncRoot(),
                                 env.Temp());
        } catch (const std::exception& e) {
            ADD_FAILURE() << "share not built: " << e.what();
            return false;
        }
        // The business server's share for the hub documents; Dulvan makes only its last level.
        env.dir().MakeDirs("unc/HOST/DadAri");
        return true;
    }
    std::string Native(const std::string& relative) const { return env.UncRoot() + "/" + relative; }
    bool Exists(const std::string& relative) const { return env.dir().Exists("unc/" + relative); }
    void Put(const std::string& relative, const std::string& bytes) const {
        env.dir().Write("unc/" + relative, bytes);
    }
    std::vector<std::string> BoxTexts() const {
        std::vector<std::string> texts;
        for (const auto& b : boxes) texts.push_back(b.text);
        return texts;
    }

    platform::testing::SandboxEnv env;
    std::vector<platform::MsgBoxRequest> boxes;
    std::function<platform::MsgResult(const platform::MsgBoxRequest&)> answerBox;

private:
    platform::MsgBoxHandler previousBox_;
};

}  // namespace zel::processor::testing
