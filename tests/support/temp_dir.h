#pragma once

// A fresh folder under the system temporary folder, removed with everything in it on destruction.

#include <filesystem>
#include <string>

namespace moraine::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // path() / name, as a string.
  std::string File(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

}  // namespace moraine::testing
