#pragma once
// Crash sweeps for tests: a piece of work is run in a child process that the platform's crash
// seam ends just before its k-th file-system change, then run again to its end in a fresh child,
// as the program would be started again after a crash. k sweeps every change the work makes.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

#include "platform/seams.h"

namespace zel::processor::testing {

// Runs `work` in a child process with the crash seam at `k` (0: none). The child's exit code,
// or -1 when it died otherwise. The child leaves with _exit, so nothing of the test process's
// clean-up runs twice.
inline int RunInChild(const std::function<void()>& work, long k) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        platform::CrashAtFileChange(k);
        work();
        ::_exit(0);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// For k = 1, 2, ...: `prepare` sets the scene, a child runs `work` and dies at change k, and
// `rerun` (the program's next start) runs in a fresh child; then `check(k)` looks at what is
// left. The sweep ends with the first k that the work runs through without reaching it; that
// run is checked too (as k = 0). Returns the number of changes the work makes.
inline long SweepCrashes(const std::function<void()>& prepare, const std::function<void()>& work,
                         const std::function<void()>& rerun, const std::function<void(long)>& check,
                         long limit = 2000) {
    for (long k = 1; k <= limit; ++k) {
        prepare();
        const int first = RunInChild(work, k);
        if (first == 0) {
            check(0);
            return k - 1;
        }
        EXPECT_EQ(first, platform::kCrashExitCode) << "the work failed before change " << k;
        const int second = RunInChild(rerun, 0);
        EXPECT_EQ(second, 0) << "the rerun after a crash at change " << k << " failed";
        check(k);
        if (::testing::Test::HasFailure()) return k;
    }
    ADD_FAILURE() << "the work never ended";
    return limit;
}

}  // namespace zel::processor::testing
