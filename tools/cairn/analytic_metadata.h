#pragma once

// The analytic info records of a synthetic recording: what a recorder's analytics would report
// about the scene's objects (one-letter records and structured blocks), and the privacy settings
// (privacy switches and a "Pixelate" block).

#include <cstdint>
#include <functional>
#include <vector>

#include "tools/cairn/info_payloads.h"
#include "tools/cairn/scene.h"

namespace moraine::cairn {

struct TimedPayload {
  std::int64_t offset_ms = 0;  // from the start of the recording
  std::vector<std::uint8_t> payload;
};

struct AnalyticSettings {
  bool one_letter_records = true;  // 'M', 'L', 'F', 'P' records
  bool structured_blocks = true;   // "GAD" blocks named motion, perimeter, loitering, fire
  int interval_ms = 500;           // one report per object at every interval
};

// Reports on every object of the scene at offsets 0, interval, 2 * interval ... below
// `duration_ms`. `source_size_at` gives the picture size the analytics ran on at an offset.
std::vector<TimedPayload> MakeAnalyticRecords(const Scene& scene, const AnalyticSettings& settings,
                                              std::int64_t duration_ms,
                                              const std::function<SourceSize(std::int64_t)>& source_size_at);

// Privacy switches one and two on, then a "Pixelate" block asking for `level` with `algorithm`.
std::vector<TimedPayload> MakePrivacyRecords(std::uint16_t level, std::uint16_t algorithm, SourceSize source);

}  // namespace moraine::cairn
