#include "platform/registry.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <fstream>

namespace moraine::platform {
namespace {

std::string_view Trimmed(std::string_view text) {
  const auto is_space = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
  while (!text.empty() && is_space(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_space(text.back())) text.remove_suffix(1);
  return text;
}

bool SameName(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

std::optional<std::uint32_t> ParseDword(std::string_view text) {
  std::uint32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

std::string RegistryFilePath() {
  const char* file = std::getenv("MORAINE_REGISTRY_FILE");
  if (file == nullptr || *file == '\0') return kDefaultRegistryFile;
  return file;
}

RegistryDword ReadRegistryDword(std::string_view name) {
  RegistryDword result;
  std::ifstream file(RegistryFilePath());
  if (!file) return result;
  result.key_opened = true;
  std::string line;
  while (std::getline(file, line)) {
    const std::string_view entry = Trimmed(line);
    const std::size_t equals = entry.find('=');
    if (entry.empty() || entry.front() == '#' || equals == std::string_view::npos) continue;
    if (!SameName(Trimmed(entry.substr(0, equals)), name)) continue;
    result.value = ParseDword(Trimmed(entry.substr(equals + 1)));
    break;
  }
  return result;
}

}  // namespace moraine::platform
