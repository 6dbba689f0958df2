#pragma once

#include "support/test_support.hpp"

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace sorvin::test {

// The role a test program plays when a test started it as its child; see ChildProgram.
inline constexpr const char* kChildRoleVariable = "SORVIN_TEST_CHILD_ROLE";
// The descriptor through which a child reports to its parent, and the one it is told through.
inline constexpr int kChildReportDescriptor = 100;
inline constexpr int kChildCommandDescriptor = 101;

// This test program started once more as a program of its own (spawned, not merely forked, so it
// may start threads whatever the parent runs), to be killed at a moment it reports: the parent
// waits for the report within a time, then kills it. The child's part is played by a global test
// environment of the program that reads kChildRoleVariable (childRole()) and ends the process
// before any test runs. Every wait is bounded, and the child is killed when this ends.
class ChildProgram {
public:
    // settings: "NAME=value" added to the child's environment.
    ChildProgram(const std::string& role, const std::vector<std::string>& settings) {
        int ends[2], told[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) return;
        report_ = ends[0];
        if (::pipe2(told, O_CLOEXEC) != 0) return;
        command_ = told[1];
        std::vector<std::string> environment = settings;
        environment.push_back(std::string(kChildRoleVariable) + "=" + role);
        for (char** variable = environ; *variable; ++variable)
            environment.emplace_back(*variable);
        std::vector<char*> envp;
        for (auto& variable : environment)
            envp.push_back(variable.data());
        envp.push_back(nullptr);
        // A filter that selects a test, so that the environments are set up; the child ends there.
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string program = "/proc/self/exe";
        std::string filter = std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
        char* argv[] = {program.data(), filter.data(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, ends[1], kChildReportDescriptor); // clears close-on-exec
        posix_spawn_file_actions_adddup2(&actions, told[0], kChildCommandDescriptor);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        if (::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, envp.data()) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(ends[1]); // only the child writes: its end closes the pipe
        ::close(told[0]);
    }
    ~ChildProgram() {
        kill();
        if (report_ >= 0) ::close(report_);
        if (command_ >= 0) ::close(command_);
    }
    ChildProgram(const ChildProgram&) = delete;
    ChildProgram& operator=(const ChildProgram&) = delete;

    bool started() const { return pid_ > 0 && report_ >= 0; }

    // True when a report came within the time; false when the child ended first or the time ran out.
    bool awaitReport(std::chrono::milliseconds timeout) {
        if (!started()) return false;
        pollfd wanted{report_, POLLIN, 0};
        if (::poll(&wanted, 1, static_cast<int>(timeout.count())) != 1) return false;
        char byte = 0;
        return ::read(report_, &byte, 1) == 1;
    }

    // One byte to the child, which awaitParent waits for.
    void tell() { (void)!::write(command_, "t", 1); }

    // True when the child ended of itself within the time (it is reaped then).
    bool awaitExit(std::chrono::milliseconds timeout) {
        if (!started()) return false;
        pollfd closed{report_, POLLIN, 0};
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        // Its end of the report pipe closes as it ends; reports still unread are skipped.
        for (char byte = 0;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || ::poll(&closed, 1, static_cast<int>(left.count())) != 1) return false;
            if (::read(report_, &byte, 1) <= 0) break;
        }
        int status = 0;
        if (::waitpid(pid_, &status, 0) != pid_) return false;
        pid_ = -1;
        return true;
    }

    void kill() { killAndReap(pid_); }
    pid_t pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    int report_ = -1;
    int command_ = -1;
};

// The role of this program when a ChildProgram started it; empty otherwise.
inline std::string childRole() {
    const char* role = std::getenv(kChildRoleVariable);
    return role ? role : "";
}

// In the child: one byte to the parent.
inline void reportToParent() {
    (void)!::write(kChildReportDescriptor, "r", 1);
}

// In the child: waits until the parent tells it something; false when the time ran out or the
// parent is gone.
inline bool awaitParent(std::chrono::milliseconds timeout) {
    pollfd told{kChildCommandDescriptor, POLLIN, 0};
    if (::poll(&told, 1, static_cast<int>(timeout.count())) != 1) return false;
    char byte = 0;
    return ::read(kChildCommandDescriptor, &byte, 1) == 1;
}

// In the child: a setting the parent gave.
inline std::string childSetting(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

} // namespace sorvin::test
