// Leak reports the sanitizer build ignores: memory that system libraries keep for the whole
// process (fontconfig's configuration caches, reached through Qt's font database; the GObject
// types and loaders libinstpatch registers when FluidSynth tries a file as a DLS instrument).
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n"
           "leak:libinstpatch-1.0.so\n"
           "leak:libgobject-2.0.so\n";
}
