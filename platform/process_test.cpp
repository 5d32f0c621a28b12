#include "platform/process.h"

#include <sys/resource.h>

#include <gtest/gtest.h>

namespace zel::platform {
namespace {

TEST(OpenFileLimit, SoftLimitIsRaisedToTheHardOne) {
    struct rlimit lim {};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &lim), 0);
    const struct rlimit original = lim;
    if (lim.rlim_max == RLIM_INFINITY || lim.rlim_max < 64) GTEST_SKIP() << "no finite hard limit";
    lim.rlim_cur = 32;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lim), 0);

    EXPECT_EQ(RaiseOpenFileLimit(), static_cast<long>(lim.rlim_max));
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &lim), 0);
    EXPECT_EQ(lim.rlim_cur, lim.rlim_max);
    // A second call changes nothing.
    EXPECT_EQ(RaiseOpenFileLimit(), static_cast<long>(lim.rlim_max));
    ::setrlimit(RLIMIT_NOFILE, &original);
}

}  // namespace
}  // namespace zel::platform
