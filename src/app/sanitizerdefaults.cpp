// sanitizerdefaults.cpp: options baked into sanitizer builds of the game and
// the tests, so that a plain run (or ctest) needs no environment.
//
// Full unwinding on malloc: the system's GL and X libraries are built without
// frame pointers, and only a full stack shows that a leak is theirs. Their
// process-lifetime allocations are suppressed by library; ours never are.
extern "C" const char* __asan_default_options() {
    return "fast_unwind_on_malloc=0:detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1";
}

extern "C" const char* __ubsan_default_options() { return "print_stacktrace=1:halt_on_error=1"; }

extern "C" const char* __lsan_default_suppressions() {
    return "leak:libX11.so\n"
           "leak:libGLX\n"
           "leak:libGL.so\n"
           "leak:libGLdispatch\n"
           "leak:swrast_dri\n"
           "leak:libLLVM\n"
           "leak:libSDL-1.2\n"
           "leak:libSDL_image\n"
           "leak:libdrm\n"
           "leak:libxcb\n";
}
