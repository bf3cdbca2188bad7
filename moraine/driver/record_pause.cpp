#include "moraine/driver/record_pause.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace moraine {
namespace {

constexpr std::uint32_t kMaxRecordPauseMilliseconds = 10000;

}  // namespace

std::uint32_t ParseRecordPause(const char* text) {
  if (text == nullptr) return kDefaultRecordPauseMilliseconds;
  const char* end = text + std::strlen(text);
  std::uint32_t milliseconds = 0;
  const auto [stop, status] = std::from_chars(text, end, milliseconds);
  if (status != std::errc() || stop != end || milliseconds > kMaxRecordPauseMilliseconds) {
    std::fprintf(stderr, "warning: MORAINE_RECORD_PAUSE_MS=\"%s\" is not a number of milliseconds from 0 to %u; "
                 "pausing %u ms after every record\n", text, kMaxRecordPauseMilliseconds,
                 kDefaultRecordPauseMilliseconds);
    return kDefaultRecordPauseMilliseconds;
  }
  return milliseconds;
}

std::uint32_t RecordPauseMilliseconds() { return ParseRecordPause(std::getenv("MORAINE_RECORD_PAUSE_MS")); }

}  // namespace moraine
