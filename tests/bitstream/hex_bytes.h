#pragma once

// Test bytes written as hexadecimal text: "0000016588".

#include <cstdint>
#include <string>
#include <vector>

namespace moraine::testing {

inline std::vector<std::uint8_t> FromHex(const char* hex) {
  std::vector<std::uint8_t> bytes;
  for (const char* p = hex; p[0] != '\0' && p[1] != '\0'; p += 2) {
    bytes.push_back(static_cast<std::uint8_t>(std::stoi(std::string(p, 2), nullptr, 16)));
  }
  return bytes;
}

}  // namespace moraine::testing
