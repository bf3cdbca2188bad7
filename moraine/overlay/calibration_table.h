#pragma once

// The recorder's calibration of picture shapes: for an aspect ratio, the width and height (W, H)
// of the area its analytics covered at that shape. The grid mapping compares two shapes through
// it. Filled from the text of 'C' payloads; entries are overwritten, never removed.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>

namespace moraine {

struct CalibrationPair {
  std::int32_t width = 0;   // W, 1 to 65535
  std::int32_t height = 0;  // H, 1 to 65535
  friend bool operator==(const CalibrationPair&, const CalibrationPair&) = default;
};

class CalibrationTable {
 public:
  // Keys beyond this many are ignored, so that a stream of 'C' payloads cannot grow the table
  // without bound; overwriting a key already present still works.
  static constexpr std::size_t kMaxKeys = 256;

  // Reads a list of "aspect,W,H;" entries (the payload after its letter; no terminator needed)
  // and stores each valid one. Reading stops at the first ';' that starts the remaining text;
  // text after the last ';' is ignored. An entry is skipped unless all three numbers convert,
  // the aspect is finite and above 0, and W and H lie in 1 to 65535.
  void ReadText(std::span<const std::uint8_t> text);

  // The pair stored under exactly `aspect`, if any.
  std::optional<CalibrationPair> Find(float aspect) const;

  std::size_t size() const { return entries_.size(); }

 private:
  void Store(float aspect, CalibrationPair pair);

  std::map<float, CalibrationPair> entries_;
};

}  // namespace moraine
