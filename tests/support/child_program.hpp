#pragma once

#include "support/test_support.hpp"

#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <optional>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace sorvin::test {

// The role a test program plays when a test started it as its child; see ChildProgram.
inline constexpr const char* kChildRoleVariable = "SORVIN_TEST_CHILD_ROLE";
// The descriptor through which a child reports to its parent.
inline constexpr int kChildReportDescriptor = 100;
// The descriptor from which a child reads its parent's word.
inline constexpr int kChildWordDescriptor = 101;

// This test program started once more as a program of its own (spawned, not merely forked, so it
// may start threads whatever the parent runs), to be killed at a moment it reports: the parent
// waits for the report within a time, then kills it, or signals it and waits for its end; a child
// may wait for a word of its parent too. The child's part is played by a global test
// environment of the program that reads kChildRoleVariable (childRole()) and ends the process
// before any test runs. Every wait is bounded, and the child is killed when this ends.
class ChildProgram {
public:
    // settings: "NAME=value" added to the child's environment.
    ChildProgram(const std::string& role, const std::vector<std::string>& settings) {
        int ends[2];
        int words[2];
        if (::pipe2(ends, O_CLOEXEC) != 0) return;
        report_ = ends[0];
        if (::pipe2(words, O_CLOEXEC) != 0) return;
        word_ = words[1];
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
        posix_spawn_file_actions_adddup2(&actions, words[0], kChildWordDescriptor);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
        // Every signal handled as by default, also one this program was started ignoring (SIGINT in a
        // background job), as in a program started from a terminal.
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        sigset_t all;
        sigfillset(&all);
        posix_spawnattr_setsigdefault(&attributes, &all);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
        if (::posix_spawn(&pid_, program.c_str(), &actions, &attributes, argv, envp.data()) != 0) pid_ = -1;
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
        ::close(ends[1]); // only the child writes: its end closes the pipe
        ::close(words[0]);
    }
    ~ChildProgram() {
        kill();
        if (report_ >= 0) ::close(report_);
        if (word_ >= 0) ::close(word_);
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

    // One byte that the child reads with awaitParent().
    void tell() { (void)!::write(word_, "w", 1); }
    void signal(int number) {
        if (pid_ > 0) ::kill(pid_, number);
    }

    // How the child ended (a wait status), when it did within the time; it is reaped then.
    std::optional<int> awaitEnd(std::chrono::milliseconds timeout) {
        if (!started()) return std::nullopt;
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        char byte = 0;
        // Its end of the report pipe closes when it ends; reports still unread are skipped.
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd wanted{report_, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&wanted, 1, static_cast<int>(left.count())) != 1)
                return std::nullopt;
            if (::read(report_, &byte, 1) <= 0) break;
        }
        int status = 0;
        if (::waitpid(pid_, &status, 0) != pid_) return std::nullopt;
        pid_ = -1;
        return status;
    }

    void kill() { killAndReap(pid_); }

private:
    pid_t pid_ = -1;
    int report_ = -1;
    int word_ = -1;
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

// In the child: waits for the parent's word; false when none came within the time.
inline bool awaitParent(std::chrono::milliseconds timeout) {
    pollfd wanted{kChildWordDescriptor, POLLIN, 0};
    char byte = 0;
    return ::poll(&wanted, 1, static_cast<int>(timeout.count())) == 1 &&
           ::read(kChildWordDescriptor, &byte, 1) == 1;
}

// In the child: a setting the parent gave.
inline std::string childSetting(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

} // namespace sorvin::test
