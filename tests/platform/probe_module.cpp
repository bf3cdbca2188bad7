// A module with one entry point, loaded by the module loader tests.

extern "C" __attribute__((visibility("default"))) int PlatformProbeAnswer() { return 42; }
