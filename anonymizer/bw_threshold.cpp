#include "anonymizer/bw_threshold.h"

#include "anonymizer/module_diagnostics.h"
#include "platform/registry.h"

namespace moraine::anonymizer {

std::int32_t ReadBwThreshold() {
  constexpr std::int32_t kDefaultThreshold = 1;
  const platform::RegistryDword setting = platform::ReadRegistryDword("BWThreshold");
  if (!setting.key_opened) {
    DebugMessage("Anonymizer::ReadRegistryValue cannot open registry key");
    return kDefaultThreshold;
  }
  if (!setting.value) {
    DebugMessage("Anonymizer::ReadRegistryValue registry subkey not available");
    return kDefaultThreshold;
  }
  DebugMessage("Anonymizer::ReadRegistryValue registry subkey found");
  // Stored as an unsigned 32-bit value and used as a signed percentage.
  return static_cast<std::int32_t>(*setting.value);
}

}  // namespace moraine::anonymizer
