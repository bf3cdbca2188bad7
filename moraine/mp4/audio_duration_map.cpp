#include "moraine/mp4/audio_duration_map.h"

#include <iterator>

namespace moraine {

void NoteAudioDuration(AudioDurationMap& durations, std::int64_t sequence, std::uint64_t duration) {
  durations[sequence] = duration;
  while (durations.size() > kMaxAudioDurationEntries) {
    const auto oldest = durations.begin();
    std::next(oldest)->second += oldest->second;
    durations.erase(oldest);
  }
}

std::optional<std::uint64_t> TakeAudioDuration(AudioDurationMap& durations, std::int64_t sequence) {
  const auto end = durations.upper_bound(sequence);
  if (end == durations.begin()) return std::nullopt;
  std::uint64_t duration = 0;
  for (auto entry = durations.begin(); entry != end; ++entry) duration += entry->second;
  durations.erase(durations.begin(), end);
  return duration;
}

}  // namespace moraine
