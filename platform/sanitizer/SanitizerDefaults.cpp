// Defaults for the sanitizer runtimes of instrumented builds (the functions
// are only called when a sanitizer runtime is linked in).

extern "C" {

__attribute__((used)) const char* __asan_default_options() {
    // intercept_tls_get_addr=0: gcc 12's runtime takes a thread's dynamic TLS
    // block for one with glibc 2.19's header whenever the block starts 16
    // bytes into a page, and then reads a made-up range from the two words
    // before it. Where the blocks land depends on how many threads the
    // software GL rasteriser starts, so on some machines (two cores) the
    // leak check at exit read such a range and its tracer died. Without the
    // interceptor the blocks are ordinary heap blocks, reached through each
    // thread's static TLS, and leak detection stays on for everything.
    return "detect_leaks=1:strict_string_checks=1:intercept_tls_get_addr=0";
}

__attribute__((used)) const char* __lsan_default_options() {
    // Fast unwinding: the slow unwinder deadlocks inside the software GL
    // driver's code generator, which allocates while it registers unwind
    // tables. The first frame of a driver allocation is still the driver's,
    // which is where the suppressions find it.
    return "fast_unwind_on_malloc=1:print_suppressions=0";
}

// Caches of system libraries that the engine cannot free (drivers, toolkit).
__attribute__((used)) const char* __lsan_default_suppressions() {
    return "leak:libSDL2\n"
           "leak:libGLX\n"
           "leak:libGL.so\n"
           "leak:libEGL\n"
           "leak:libgallium\n"
           "leak:libLLVM\n"
           "leak:swrast\n"
           "leak:libdbus\n"
           "leak:libfontconfig\n"
           "leak:libopenal\n"
           "leak:libX11\n"
           "leak:libxcb\n"
           "leak:libglapi\n"
           "leak:libdrm\n"
           "leak:libexpat\n";
}

__attribute__((used)) const char* __ubsan_default_options() {
    return "print_stacktrace=1:halt_on_error=1";
}


#if defined(__SANITIZE_ADDRESS__)
// Libraries stay loaded to the end of an instrumented run, so that the leak
// report can still name the driver that made an allocation.
int dlclose(void*) { return 0; }
#endif

}
