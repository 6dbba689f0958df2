// The slow share that other tests stand a cloud drive or a far NAS with: it must really be slow,
// really hold a call while stopped, and refuse what it is told to, or those tests prove nothing.

#include "support/slow_share.hpp"
#include "support/test_support.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <future>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace sorvin::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string contentOf(const fs::path& file) {
    std::ifstream in(file);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(SlowShareTest, AnswersEveryCallLateHoldsThemWhileStoppedAndRefusesLinksWhenTold) {
    const TemporaryFolder root;
    fs::create_directories(root / "source");
    std::ofstream(root / "source" / "a.txt") << "hello";
    SlowShare share(root / "source", root / "share");
    if (!share.skipReason().empty()) GTEST_SKIP() << share.skipReason();
    const fs::path file = share.path() / "a.txt";
    EXPECT_EQ(contentOf(file), "hello");

    // Late: a read of a small file takes several calls, each at least the delay.
    share.answerEachAfter(150ms);
    share.clearCallLog();
    auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(contentOf(file), "hello");
    EXPECT_GE(std::chrono::steady_clock::now() - started, 450ms);
    const auto calls = share.callLog();
    EXPECT_TRUE(std::ranges::find(calls, "open /a.txt") != calls.end());
    EXPECT_TRUE(std::ranges::find(calls, "read /a.txt") != calls.end());
    // Each call names the thread that made it.
    const auto byThread = share.calls();
    EXPECT_TRUE(std::ranges::any_of(byThread, [](const SlowShare::Call& call) {
        return call.op == "open" && call.path == "/a.txt" && call.thread == ::gettid();
    }));
    share.answerEachAfter(0ms);

    // Stopped: nothing answers until resumed, then the call goes on.
    share.stop(30s);
    auto held = std::async(std::launch::async, [&] { return contentOf(file); });
    EXPECT_EQ(held.wait_for(500ms), std::future_status::timeout);
    share.resume();
    ASSERT_EQ(held.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(held.get(), "hello");
    EXPECT_FALSE(share.resumedByWatchdog());

    // Links refused as a share that cannot make them; renames with flags refused as on many shares.
    share.refuseLinks(EROFS);
    EXPECT_NE(::link(file.c_str(), (share.path() / "b.txt").c_str()), 0);
    EXPECT_EQ(errno, EROFS);
    share.refuseLinks(0);
    EXPECT_EQ(::link(file.c_str(), (share.path() / "b.txt").c_str()), 0);
    EXPECT_NE(::renameat2(AT_FDCWD, file.c_str(), AT_FDCWD, (share.path() / "b.txt").c_str(), RENAME_EXCHANGE), 0);
    EXPECT_EQ(errno, EINVAL);
    EXPECT_TRUE(fs::exists(root / "source" / "b.txt"));
}

} // namespace
} // namespace sorvin::test
