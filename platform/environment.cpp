#include "platform/environment.h"

#include <cstdlib>

namespace moraine::platform {

std::optional<std::string> UserProfileDirectory() {
  const char* home = std::getenv("HOME");
  if (home == nullptr) return std::nullopt;
  return std::string(home);
}

std::string HomeDriveDirectory() {
  const char* drive = std::getenv("HOMEDRIVE");
  if (drive == nullptr || *drive == '\0') return "/";
  return drive;
}

std::string WithTrailingSeparator(std::string directory) {
  if (!directory.empty() && directory.back() != kPathSeparator) directory.push_back(kPathSeparator);
  return directory;
}

}  // namespace moraine::platform
