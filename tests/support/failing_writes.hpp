#pragma once

#include <csignal>
#include <sys/resource.h>

namespace sorvin::test {

// Every file write beyond the given size fails (as on a full disk) while it lives. Works for root
// too, whom file modes do not stop.
class FailingWrites {
public:
    explicit FailingWrites(rlim_t maximumFileBytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved_;
        small.rlim_cur = maximumFileBytes;
        ::setrlimit(RLIMIT_FSIZE, &small);
    }
    ~FailingWrites() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }
    FailingWrites(const FailingWrites&) = delete;
    FailingWrites& operator=(const FailingWrites&) = delete;

private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
};

} // namespace sorvin::test
