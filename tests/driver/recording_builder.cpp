#include "tests/driver/recording_builder.h"

#include <fstream>
#include <stdexcept>

namespace moraine::testing {

RecordingBuilder& RecordingBuilder::Add(std::uint8_t kind, std::uint32_t record_time_ms,
                                        const std::vector<std::uint8_t>& payload) {
  return AddWithLength(kind, record_time_ms, static_cast<std::uint32_t>(payload.size()), payload);
}

RecordingBuilder& RecordingBuilder::AddWithLength(std::uint8_t kind, std::uint32_t record_time_ms,
                                                  std::uint32_t claimed_length,
                                                  const std::vector<std::uint8_t>& payload) {
  CairnRecordHeader header;
  header.kind = kind;
  header.length = claimed_length;
  header.seconds = record_time_ms / 1000;
  header.milliseconds = static_cast<std::uint16_t>(record_time_ms % 1000);
  AddHeader(header);
  return AddBytes(payload);
}

RecordingBuilder& RecordingBuilder::AddHeader(const CairnRecordHeader& header) {
  const auto encoded = EncodeCairnHeader(header);
  bytes_.insert(bytes_.end(), encoded.begin(), encoded.end());
  return *this;
}

RecordingBuilder& RecordingBuilder::AddBytes(const std::vector<std::uint8_t>& bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  return *this;
}

std::string RecordingBuilder::WriteTo(const std::string& path) const {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(bytes_.data()), static_cast<std::streamsize>(bytes_.size()));
  if (!file) throw std::runtime_error("cannot write " + path);
  return path;
}

std::vector<std::uint8_t> VideoPayload(std::uint8_t nal_header, std::uint8_t marker) {
  return {0x00, 0x00, 0x00, marker, nal_header, 0x88, 0x84};
}

}  // namespace moraine::testing
