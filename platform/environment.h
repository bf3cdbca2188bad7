#pragma once

// The user's folders and the path conventions of the platform.

#include <optional>
#include <string>

namespace moraine::platform {

inline constexpr char kPathSeparator = '/';

// The user's profile folder (the HOME variable); nothing when it is not set.
std::optional<std::string> UserProfileDirectory();

// The root of the system drive: the HOMEDRIVE variable when it is set and not empty (tests point it
// at a folder of their own), else "/".
std::string HomeDriveDirectory();

// `directory` with a path separator appended when it is not empty and does not end in one.
std::string WithTrailingSeparator(std::string directory);

}  // namespace moraine::platform
