#include "moraine/overlay/calibration_table.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string>

namespace moraine {
namespace {

constexpr std::uint8_t kEntryEnd = ';';
constexpr char kFieldSeparator = ',';
constexpr long kMinSide = 1;
constexpr long kMaxSide = 65535;

// One side of a pair: an integer read as "%d" reads it (leading blanks, a sign, decimal digits),
// in range. Advances `cursor` past it.
std::optional<std::int32_t> ReadSide(const char*& cursor) {
  char* end = nullptr;
  errno = 0;
  const long side = std::strtol(cursor, &end, 10);
  if (end == cursor || errno == ERANGE || side < kMinSide || side > kMaxSide) return std::nullopt;
  cursor = end;
  return static_cast<std::int32_t>(side);
}

bool Expect(const char*& cursor, char separator) {
  if (*cursor != separator) return false;
  ++cursor;
  return true;
}

// "aspect,W,H" with anything after H ignored, as the recorder's own reading of it does. `entry`
// is a terminated copy: the payload itself carries no terminator.
std::optional<std::pair<float, CalibrationPair>> ParseEntry(const std::string& entry) {
  const char* cursor = entry.c_str();
  char* end = nullptr;
  const float aspect = std::strtof(cursor, &end);
  // A NaN key would break the ordering of the table; zero or negative aspects describe no shape.
  if (end == cursor || !std::isfinite(aspect) || !(aspect > 0.0f)) return std::nullopt;
  cursor = end;
  if (!Expect(cursor, kFieldSeparator)) return std::nullopt;
  const std::optional<std::int32_t> width = ReadSide(cursor);
  if (!width || !Expect(cursor, kFieldSeparator)) return std::nullopt;
  const std::optional<std::int32_t> height = ReadSide(cursor);
  if (!height) return std::nullopt;
  return std::pair{aspect, CalibrationPair{*width, *height}};
}

}  // namespace

void CalibrationTable::ReadText(std::span<const std::uint8_t> text) {
  auto rest = text.begin();
  while (rest != text.end()) {
    const auto entry_end = std::find(rest, text.end(), kEntryEnd);
    if (entry_end == text.end() || entry_end == rest) return;
    if (const auto entry = ParseEntry(std::string(rest, entry_end))) Store(entry->first, entry->second);
    rest = entry_end + 1;
  }
}

std::optional<CalibrationPair> CalibrationTable::Find(float aspect) const {
  if (std::isnan(aspect)) return std::nullopt;  // the map's ordering would match it to any key
  const auto found = entries_.find(aspect);
  if (found == entries_.end()) return std::nullopt;
  return found->second;
}

void CalibrationTable::Store(float aspect, CalibrationPair pair) {
  const auto found = entries_.find(aspect);
  if (found != entries_.end()) {
    found->second = pair;
  } else if (entries_.size() < kMaxKeys) {
    entries_.emplace(aspect, pair);
  }
}

}  // namespace moraine
