#pragma once

// The registry stand-in: the values of the one registry key the system reads, kept in a text file of
// "Name=Value" lines (blank lines and lines starting with '#' are skipped, spaces around names and
// values are ignored, names match without regard to case as registry names do). The file is the one
// named by the environment variable MORAINE_REGISTRY_FILE when that is set and not empty, else
// kDefaultRegistryFile.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace moraine::platform {

inline constexpr char kDefaultRegistryFile[] = "/etc/moraine/registry";

// The file that stands in for the registry key.
std::string RegistryFilePath();

// What a query for a 32-bit number (a DWORD value) found.
struct RegistryDword {
  bool key_opened = false;             // the file could be read
  std::optional<std::uint32_t> value;  // empty when the name is missing or not a 32-bit number
};

// Reads value `name` of the key as a decimal number from 0 to 4294967295; the first line with that
// name counts.
RegistryDword ReadRegistryDword(std::string_view name);

}  // namespace moraine::platform
