#include "platform/module_loader.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>
#include <utility>

namespace moraine::platform {
namespace {

std::filesystem::path RunningProgramDirectory() {
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return {};
  return program.parent_path();
}

std::string LastDlError() {
  const char* text = dlerror();
  return text != nullptr ? text : "unknown error";
}

}  // namespace

std::string ModuleFileName(std::string_view module_name) {
  return "lib" + std::string(module_name) + ".so";
}

LoadedModule::LoadedModule(const std::string& file_name) {
  std::string target = file_name;
  const std::filesystem::path directory = RunningProgramDirectory();
  std::error_code error;
  if (!directory.empty() && std::filesystem::exists(directory / file_name, error)) {
    target = (directory / file_name).string();
  }
  // A name without a slash makes dlopen use the normal search path. RTLD_NODELETE keeps the code
  // mapped after unloading: libraries deep in the codec stack (the OpenMP runtime, pixman) leave
  // threads and allocations behind that do not survive being unmapped.
  handle_ = dlopen(target.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (handle_ == nullptr) error_ = LastDlError();
}

LoadedModule::~LoadedModule() { Unload(); }

LoadedModule::LoadedModule(LoadedModule&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), error_(std::move(other.error_)) {}

LoadedModule& LoadedModule::operator=(LoadedModule&& other) noexcept {
  if (this != &other) {
    Unload();
    handle_ = std::exchange(other.handle_, nullptr);
    error_ = std::move(other.error_);
  }
  return *this;
}

void* LoadedModule::FindEntryPoint(const char* name) const {
  if (handle_ == nullptr) return nullptr;
  return dlsym(handle_, name);
}

void LoadedModule::Unload() {
  if (handle_ != nullptr) dlclose(handle_);
  handle_ = nullptr;
}

}  // namespace moraine::platform
