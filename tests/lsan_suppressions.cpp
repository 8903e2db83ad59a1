// Leak reports the sanitizer build ignores: memory that system libraries keep for the whole
// process (fontconfig's configuration caches, reached through Qt's font database).
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}
