#include "tests/driver/fake_anonymizer_access.h"

#include <dlfcn.h>

#include <stdexcept>

namespace moraine::testing {

std::string FakeModule(const std::string& name) { return std::string(MORAINE_FAKE_MODULE_DIR) + "/lib" + name + ".so"; }

FakeAnonymizerLog& FakeAnonymizerLogOf(const std::string& module) {
  void* handle = dlopen(module.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (handle == nullptr) throw std::runtime_error(module + " is not loaded");
  const auto calls = reinterpret_cast<FakeAnonymizerCallsFunction>(dlsym(handle, "FakeAnonymizerCalls"));
  dlclose(handle);
  return *calls();
}

}  // namespace moraine::testing
