// The window tests bound how long the main thread keeps its event loop from turning. The address
// sanitizer gives freed memory back to the system every few seconds, on whichever thread frees
// memory then, the main thread too: after a test that asked the disk many questions, that took
// 300 to 700 ms on a loaded machine, none of it the program's work. These tests keep the memory.
extern "C" const char* __asan_default_options() {
    return "allocator_release_to_os_interval_ms=-1";
}
