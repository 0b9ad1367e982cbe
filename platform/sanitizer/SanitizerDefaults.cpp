// Defaults for the sanitizer runtimes of instrumented builds (the functions
// are only called when a sanitizer runtime is linked in).

extern "C" {

__attribute__((used)) const char* __asan_default_options() {
    return "detect_leaks=1:strict_string_checks=1";
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
