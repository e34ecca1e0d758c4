// Leak-checker suppressions for test programs that lay out text: fontconfig keeps pattern
// caches for the life of the process (allocated on first font lookup, never released), which
// the leak checker reports at exit. Nothing of ours is suppressed.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
