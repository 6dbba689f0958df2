#pragma once

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#endif

namespace sorvin {

// Work handed to another thread through a queue of a library built without ThreadSanitizer (oneTBB's
// arenas, Qt's event queue) crosses a synchronisation the sanitizer cannot see. The thread that
// hands it over marks the moment on a token of that piece of work, and the thread that runs it
// marks that it starts after it, so that what the work finds is judged as it really is ordered
// and every other access the threads share still is. Nothing in other builds.
struct ThreadHandoff {
    static void handOver(const void* token) {
#if defined(__SANITIZE_THREAD__)
        __tsan_release(const_cast<void*>(token));
#else
        (void)token;
#endif
    }
    static void takeOver(const void* token) {
#if defined(__SANITIZE_THREAD__)
        __tsan_acquire(const_cast<void*>(token));
#else
        (void)token;
#endif
    }
};

} // namespace sorvin
