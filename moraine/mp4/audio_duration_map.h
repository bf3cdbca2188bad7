#pragma once

// Durations of audio records by sequence number: the main loop notes each record's duration when
// it hands the record to the audio decoder, and the audio encoding takes it out when the record's
// decoded sound comes back. Records whose sound never comes back (undecodable audio, a codec the
// decoder does not know) must not keep their entries for ever, nor lose their time: their
// durations are carried forward to a later record, and the map never holds more than a few entries.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>

namespace moraine {

// Duration (90 kHz ticks) of each audio record, by its sequence number.
using AudioDurationMap = std::map<std::int64_t, std::uint64_t>;

// More records than any audio decoder holds back before it calls back.
inline constexpr std::size_t kMaxAudioDurationEntries = 64;

// Enters the duration of audio record `sequence` (sequence numbers count up). Beyond
// kMaxAudioDurationEntries entries the oldest is folded into the next one, which carries its time.
void NoteAudioDuration(AudioDurationMap& durations, std::int64_t sequence, std::uint64_t duration);

// Takes out the duration of record `sequence`, whose sound came back, together with those of
// earlier records: the decoder calls back in record order, so their sound never will, and their time
// goes to this record. nullopt when neither this record nor an earlier one has an entry.
std::optional<std::uint64_t> TakeAudioDuration(AudioDurationMap& durations, std::int64_t sequence);

}  // namespace moraine
