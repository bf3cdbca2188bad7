#pragma once

// Puts the records of a recording into time order and writes them out as headers and payloads.

#include <cstdint>
#include <string>
#include <vector>

namespace moraine::cairn {

// Which of several records with the same time comes first: the codec descriptor, then privacy
// settings, then parameter sets before the picture they belong to, then sound, then analytics.
enum class RecordRank { kCodecDescriptor, kPrivacy, kParameterSet, kPicture, kAudio, kAnalytics };

struct PendingRecord {
  std::uint8_t kind = 0;
  std::int64_t time_ms = 0;  // milliseconds since 1970-01-01 00:00:00 UTC
  RecordRank rank = RecordRank::kAnalytics;
  std::vector<std::uint8_t> payload;
};

using RecordBytes = std::vector<std::uint8_t>;  // a 16-byte header and its payload

// Orders the records by time and rank (keeping the given order among equals) and encodes each
// with its header. Returns false with a message when a payload exceeds the 24-bit length field
// or a time does not fit the header's 32-bit seconds.
bool SerializeInTimeOrder(std::vector<PendingRecord> records, std::int8_t zone, std::vector<RecordBytes>& serialized,
                          std::string& error);

// Writes the pieces back to back into a new file at `path`; false with a message on failure.
bool WriteRecording(const std::string& path, const std::vector<RecordBytes>& pieces, std::string& error);

}  // namespace moraine::cairn
