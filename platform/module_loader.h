#pragma once

// Run-time loading of the shared modules by file name.

#include <string>
#include <string_view>

namespace moraine::platform {

// File name of a module on this platform: "Tarn" becomes "libTarn.so".
std::string ModuleFileName(std::string_view module_name);

// A loaded shared module, released when the object is destroyed. A released module's entry points
// must not be called any more; its code stays mapped until the process ends.
class LoadedModule {
 public:
  // Loads `file_name` from the folder of the running program when it is there, else through the
  // system's library search path. Check IsLoaded(); Error() tells why a load failed.
  explicit LoadedModule(const std::string& file_name);
  ~LoadedModule();

  LoadedModule(LoadedModule&& other) noexcept;
  LoadedModule& operator=(LoadedModule&& other) noexcept;
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;

  bool IsLoaded() const { return handle_ != nullptr; }
  const std::string& Error() const { return error_; }

  // Address of the exported symbol `name`, or null when the module lacks it or is not loaded.
  void* FindEntryPoint(const char* name) const;

  // FindEntryPoint converted to the function pointer type of the entry point.
  template <typename Function>
  Function EntryPoint(const char* name) const {
    return reinterpret_cast<Function>(FindEntryPoint(name));
  }

 private:
  void Unload();

  void* handle_ = nullptr;
  std::string error_;
};

}  // namespace moraine::platform
