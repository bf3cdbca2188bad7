// Leak reports the sanitizer build of cairn must not fail on: libx265 3.5 keeps its copies of
// option strings and some filter buffers after x265_encoder_close and x265_param_free.
// LeakSanitizer asks for this list itself when the program ends.

extern "C" const char* __lsan_default_suppressions() { return "leak:libx265.so\n"; }
