// Compiled into every program of a sanitizer or fuzz build (see the top
// CMakeLists.txt). The environment variables ASAN_OPTIONS, LSAN_OPTIONS and
// UBSAN_OPTIONS still override these defaults.

extern "C" {

__attribute__((visibility("default"), used)) const char *__asan_default_options()
{
    return "detect_leaks=1:check_initialization_order=1:strict_init_order=1:detect_stack_use_after_return=1";
}

__attribute__((visibility("default"), used)) const char *__ubsan_default_options()
{
    return "print_stacktrace=1:halt_on_error=1";
}

// Leaks reported inside system libraries that the project cannot free; a
// leak in the project's own code is never suppressed here.
__attribute__((visibility("default"), used)) const char *__lsan_default_suppressions()
{
    return "";
}

} // extern "C"
