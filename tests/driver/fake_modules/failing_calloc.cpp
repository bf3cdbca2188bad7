// Preloaded into the program to take its memory away at one place: calloc fails for requests of
// exactly MORAINE_TEST_FAILING_CALLOC_BYTES bytes (the size of one buffer a test names) and
// serves every other request as usual.

#include <cstdlib>
#include <cstring>

extern "C" void* __libc_calloc(std::size_t count, std::size_t size);

extern "C" __attribute__((visibility("default"))) void* calloc(std::size_t count, std::size_t size) {
  const char* const failing = std::getenv("MORAINE_TEST_FAILING_CALLOC_BYTES");
  if (failing != nullptr && count * size == std::strtoull(failing, nullptr, 10)) return nullptr;
  return __libc_calloc(count, size);
}
