// Race reports the ThreadSanitizer build ignores: PulseAudio's client libraries (reached through
// ALSA's pulse plugin) are not instrumented, so the order their own atomics give to the memory
// they share with their mainloop thread is invisible to the sanitizer.
extern "C" const char* __tsan_default_suppressions() {
    return "race:libpulse.so\n"
           "race:libpulsecommon\n";
}
