// Built only with ThreadSanitizer (SORVIN_TSAN). A parallel loop's caller waits for its parts inside
// libtbb, which is built without the sanitizer, so what the caller does after the loop (reading
// the results, freeing what the parts read) would seem to race with the parts. Each part, as it
// ends, counts itself off the loop's wait_context with an atomic the sanitizer sees (in oneTBB's
// header code, compiled into ours); the caller's wait, taken over here, then acquires that atomic
// when it returns, as the library itself does unseen. (The way there, the parts reading what the
// caller prepared, is made visible by platform/parallel_for.hpp.)
#include <cstddef>
#include <cstdint>
#include <dlfcn.h>
#include <sanitizer/tsan_interface.h>
#include <oneapi/tbb/detail/_task.h>

namespace {

// wait_context { std::uint64_t m_version_and_traits; std::atomic<std::uint64_t> m_ref_count; }
static_assert(sizeof(tbb::detail::d1::wait_context) == 2 * sizeof(std::uint64_t));
void acquireCount(tbb::detail::d1::wait_context& waited) {
    __tsan_acquire(reinterpret_cast<char*>(&waited) + sizeof(std::uint64_t));
}

template <typename Function>
Function real(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

} // namespace

namespace tbb::detail::r1 {

void __TBB_EXPORTED_FUNC execute_and_wait(d1::task& t, d1::task_group_context& taskContext,
                                          d1::wait_context& waited, d1::task_group_context& waitContext) {
    using Function = void (*)(d1::task&, d1::task_group_context&, d1::wait_context&, d1::task_group_context&);
    static const auto library = real<Function>(
        "_ZN3tbb6detail2r116execute_and_waitERNS0_2d14taskERNS2_18task_group_contextERNS2_12wait_contextES6_");
    library(t, taskContext, waited, waitContext);
    acquireCount(waited);
}

void __TBB_EXPORTED_FUNC wait(d1::wait_context& waited, d1::task_group_context& context) {
    using Function = void (*)(d1::wait_context&, d1::task_group_context&);
    static const auto library = real<Function>("_ZN3tbb6detail2r14waitERNS0_2d112wait_contextERNS2_18task_group_contextE");
    library(waited, context);
    acquireCount(waited);
}

} // namespace tbb::detail::r1
