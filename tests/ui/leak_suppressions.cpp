// Fontconfig keeps caches that Qt never frees; the leak checker is told to ignore them, and only
// them, so that a leak of our own still fails the run.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
