#include "mediacommon/status_report.h"

#include <array>
#include <cstdio>

namespace moraine::mediacommon {
namespace {

// Indexed by -status for the SDK's error codes MFX_ERR_UNKNOWN (-1) to MFX_ERR_INVALID_AUDIO_PARAM (-20).
constexpr std::array<const char*, 21> kErrorFormats = {
    nullptr,
    "\n Unknown error: %s %d\n",
    "\n Null pointer.  Check filename/path + permissions? %s %d\n",
    "\n Unsupported feature/library load error. %s %d\n",
    "\n Could not allocate memory. %s %d\n",
    "\n Insufficient IO buffers. %s %d\n",
    "\n Invalid handle. %s %d\n",
    "\n Memory lock failure. %s %d\n",
    "\n Function called before initialization. %s %d\n",
    "\n Specified object not found. %s %d\n",
    "\n More input data expected. %s %d\n",
    "\n More output surfaces expected. %s %d\n",
    "\n Operation aborted. %s %d\n",
    "\n HW device lost. %s %d\n",
    "\n Incompatible video parameters. %s %d\n",
    "\n Invalid video parameters. %s %d\n",
    "\n Undefined behavior. %s %d\n",
    "\n Device operation failure. %s %d\n",
    "\n More bitstream data expected. %s %d\n",
    "\n Incompatible audio parameters. %s %d\n",
    "\n Invalid audio parameters. %s %d\n",
};

template <typename... Arguments>
std::string Format(const char* format, Arguments... arguments) {
  const int length = std::snprintf(nullptr, 0, format, arguments...);
  if (length <= 0) return {};
  std::string text(static_cast<std::size_t>(length) + 1, '\0');
  std::snprintf(text.data(), text.size(), format, arguments...);
  text.resize(static_cast<std::size_t>(length));
  return text;
}

}  // namespace

std::string StatusReportText(std::int32_t status, const char* source_path, int line) {
  if (source_path == nullptr) source_path = "";
  if (status == 0) return "\n No error.\n";
  if (status < 0 && status >= -static_cast<std::int32_t>(kErrorFormats.size() - 1)) {
    return Format(kErrorFormats[static_cast<std::size_t>(-status)], source_path, line);
  }
  return Format("\nError code %d,\t%s\t%d\n\n", status, source_path, line);
}

int PrintStatusReport(std::int32_t status, const char* source_path, int line) {
  const std::string text = StatusReportText(status, source_path, line);
  return static_cast<int>(std::fwrite(text.data(), 1, text.size(), stdout));
}

}  // namespace moraine::mediacommon
