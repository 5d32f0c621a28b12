#include "processor/restart.h"

#include "platform/process.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <thread>

#include "engine/state.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/seams.h"
#include "platform/test_support.h"

namespace zel::processor {
namespace {

using ::testing::ElementsAre;

class RestartTest : public ::testing::Test {
protected:
    void SetUp() override {
        previousBox_ = platform::SetMsgBoxHandler([this](const platform::MsgBoxRequest& r) {
            boxes.push_back(r.text);
            return platform::MsgResult::Ok;
        });
    }
    void TearDown() override {
        platform::SetMsgBoxHandler(previousBox_);
        SetProcessStarter(nullptr);
        engine::Engine() = engine::EngineState{};
    }
    std::vector<std::string> boxes;

private:
    platform::MsgBoxHandler previousBox_;
};

TEST_F(RestartTest, StartsItsOwnExecutableMinimisedAndEndsAtOnce) {
    engine::Engine().SystemInfo = std::make_shared<engine::cSystem>();
    std::string started;
    std::map<std::string, std::string> env;
    SetProcessStarter([&](const std::string& path, const std::map<std::string, std::string>& e) {
        started = path;
        env = e;
        return true;
    });
    platform::ScopedEndProgramThrows ends;
    try {
        RestartProgram();
        FAIL() << "the program did not end";
    } catch (const platform::ProgramEnded& e) {
        EXPECT_EQ(e.code, 0);
    }
    EXPECT_EQ(started, platform::NativePath(platform::ProgramPath()));
    EXPECT_EQ(env[kShowStateVariable], kShowMinimized);
    EXPECT_EQ(engine::Engine().SystemInfo, nullptr);
    EXPECT_EQ(engine::Engine().DataEngine, nullptr);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(RestartTest, AFailedStartIsToldAndTheProgramStillEnds) {
    SetProcessStarter(
        [](const std::string&, const std::map<std::string, std::string>&) { return false; });
    platform::ScopedEndProgramThrows ends;
    try {
        RestartProgram();
    } catch (const platform::ProgramEnded& e) {
        EXPECT_EQ(e.code, 1);
    }
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_THAT(boxes[0], ::testing::StartsWith("Could not start "));
}

TEST_F(RestartTest, StartDetachedRunsTheProgramWithTheExtraEnvironment) {
    platform::testing::TempDir dir;
    std::string script =
        // Written under another name first: the name appears only with the whole line in it.
        dir.Write(
            "child.sh",
            "#!/bin/sh\necho \"$ZEL_SHOW_STATE\" > \"$0.part\" && mv \"$0.part\" \"$0.out\"\n");
    ::chmod(script.c_str(), 0755);
    ASSERT_TRUE(platform::StartDetached(script, {{kShowStateVariable, kShowMinimized}}));
    // Until the child has run, however long a loaded machine takes; ctest's limit stops a hang.
    while (!dir.Exists("child.sh.out")) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(dir.Read("child.sh.out"), "minimized\n");
    EXPECT_FALSE(platform::StartDetached(dir.path() + "/missing", {}));
}

TEST_F(RestartTest, TheRequestBeingAnsweredIsHandedToTheNewInstance) {
    std::map<std::string, std::string> env;
    SetProcessStarter([&](const std::string&, const std::map<std::string, std::string>& e) {
        env = e;
        return true;
    });
    platform::ScopedEndProgramThrows ends;
    EXPECT_THROW(RestartProgram("\\\\srv\\dadari\\zeldist\\q1.req"), platform::ProgramEnded);
    EXPECT_EQ(env[kRestartRequestVariable], "\\\\srv\\dadari\\zeldist\\q1.req");
    EXPECT_EQ(env[kShowStateVariable], kShowMinimized);
    // Without a request none is handed over.
    env.clear();
    EXPECT_THROW(RestartProgram(), platform::ProgramEnded);
    EXPECT_EQ(env.count(kRestartRequestVariable), 0u);
}

TEST_F(RestartTest, TheStartStateIsReadOnceAndNotPassedOn) {
    platform::testing::ScopedEnv show(kShowStateVariable, std::string(kShowMinimized));
    platform::testing::ScopedEnv request(kRestartRequestVariable, std::string("\\\\s\\a.req"));
    const RestartState state = TakeRestartState();
    EXPECT_TRUE(state.minimized);
    EXPECT_EQ(state.request, "\\\\s\\a.req");
    EXPECT_EQ(std::getenv(kShowStateVariable), nullptr);
    EXPECT_EQ(std::getenv(kRestartRequestVariable), nullptr);
    const RestartState again = TakeRestartState();
    EXPECT_FALSE(again.minimized);
    EXPECT_EQ(again.request, "");
}

}  // namespace
}  // namespace zel::processor
