#pragma once

// Builds Cairn recordings in memory for the driver tests and writes them to files.

#include <cstdint>
#include <string>
#include <vector>

#include "moraine/recording/cairn_record.h"

namespace moraine::testing {

class RecordingBuilder {
 public:
  // Appends a record of `kind` at `record_time_ms` whose length field is the payload's size.
  RecordingBuilder& Add(std::uint8_t kind, std::uint32_t record_time_ms, const std::vector<std::uint8_t>& payload);
  // As Add, with a length field that may disagree with the payload (records cut short).
  RecordingBuilder& AddWithLength(std::uint8_t kind, std::uint32_t record_time_ms, std::uint32_t claimed_length,
                                  const std::vector<std::uint8_t>& payload);
  // Appends a header or raw bytes as they are.
  RecordingBuilder& AddHeader(const CairnRecordHeader& header);
  RecordingBuilder& AddBytes(const std::vector<std::uint8_t>& bytes);

  const std::vector<std::uint8_t>& bytes() const { return bytes_; }
  // Writes the recording to `path`; returns the path.
  std::string WriteTo(const std::string& path) const;

 private:
  std::vector<std::uint8_t> bytes_;
};

// A video payload: start code (last byte `marker`), then the NAL header byte and two bytes.
std::vector<std::uint8_t> VideoPayload(std::uint8_t nal_header = 0x65, std::uint8_t marker = 0x01);

}  // namespace moraine::testing
