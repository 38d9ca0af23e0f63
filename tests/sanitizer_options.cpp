// Sanitizer settings baked into every sanitized program, so that tests, the player run by
// the end-to-end tests and the fuzzers behave the same however they are started.
#include <dlfcn.h>
#include <stdlib.h>

extern "C" {

const char* __asan_default_options() {
    return "detect_leaks=1:strict_string_checks=1";
}

const char* __ubsan_default_options() {
    return "print_stacktrace=1:halt_on_error=1";
}

// Leaks inside the GL driver and the system libraries are theirs; the list is checked in.
const char* __lsan_default_options() {
    return "suppressions=" KESTRINE_LSAN_SUPPRESSIONS ":print_suppressions=0";
}
}

namespace {

// Mesa unloads its driver when the display closes, before the leak check runs; its leaks
// then show as "<unknown module>" and match no suppression. Keeping it loaded keeps the names.
[[maybe_unused]] const bool kDriverPinned = [] {
    dlopen("/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", RTLD_LAZY | RTLD_NODELETE);
    return true;
}();

// Mesa writes its shader cache from a thread it starts at the first compile. A short run can
// end while that thread is still starting, and LeakSanitizer's check then scans a stack that is
// not there yet and dies ("Tracer caught signal 11"), failing a capture that worked. A sanitized
// build keeps no shader cache; one set from outside is kept.
[[maybe_unused]] const bool kNoShaderCache = [] {
    setenv("MESA_SHADER_CACHE_DISABLE", "true", 0);
    return true;
}();

} // namespace
