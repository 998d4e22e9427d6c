// sanitizerdefaults.cpp: options baked into sanitizer builds of the game and
// the tests, so that a plain run (or ctest) needs no environment.
//
// The system's X, GL, SDL and SDL_mixer libraries keep some allocations for the life of
// the process; those are suppressed by library name below, ours never are.
// A library name is only known while the library is loaded, and the GL
// driver is unloaded when the window closes, so dlclose is made a no-op in
// these builds: the driver stays mapped and its leaks keep their name.
// (Full unwinding on malloc would find the name further up the stack, but it
// deadlocks inside the unwinder while the software GL driver compiles code.)
#include <dlfcn.h>

extern "C" int dlclose(void* handle) {
    (void)handle;
    return 0;
}

extern "C" const char* __asan_default_options() {
    return "detect_leaks=1:strict_string_checks=1:detect_stack_use_after_return=1";
}

// miniupnpc's HTTP reader reads a header's number with strtol straight from
// its receive buffer, which holds no terminating zero: strict string checks
// take strtol to read the whole rest of the buffer and report a read past
// it, though strtol stops at the number's end. The library is Debian's, not
// ours to mend; its other interceptor reports go with this one.
extern "C" const char* __asan_default_suppressions() { return "interceptor_via_lib:libminiupnpc.so\n"; }

// use_tls=0: the thread-local block of a library loaded at run time (the GL
// driver and what it loads) is an ordinary heap chunk. When one lands 16
// bytes past a 4 KiB boundary, the leak checker takes the chunk's own header
// for an old C library's TLS header and scans from a bogus small address: its
// tracer then dies of a segmentation fault at exit ("Tracer caught signal
// 11"), after every test has passed. Without the thread-local roots a leak
// can only be reported more readily, never missed. None of our code uses
// thread_local; the few C library allocations that then look unheld are
// suppressed below.
extern "C" const char* __lsan_default_options() { return "print_suppressions=0:use_tls=0"; }

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
           // SDL_mixer and the MIDI synthesiser it loads, whose GLib type
           // system keeps its blocks for the life of the process, and the
           // PulseAudio client library SDL's audio start-up touches.
           "leak:libSDL_mixer\n"
           "leak:libfluidsynth\n"
           "leak:libinstpatch\n"
           "leak:libgobject-2.0\n"
           "leak:libglib-2.0\n"
           "leak:libpulse\n"
           "leak:libdrm\n"
           "leak:libxcb\n"
           // The C library's loader and dlerror() keep these for the life of
           // the process; without thread-local roots they look unheld.
           "leak:_dlerror_run\n"
           "leak:_dl_exception_create\n"
           "leak:add_to_global_resize\n"
           "leak:_dl_map_object_deps\n"
           "leak:dl_open_worker_begin\n";
}
