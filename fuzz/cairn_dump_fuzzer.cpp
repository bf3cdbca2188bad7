// Feeds arbitrary records to the listing of `cairn dump`: the first input byte picks the record
// kind, the rest is the payload.

#include <cstddef>
#include <cstdint>

#include "moraine/recording/cairn_reader.h"
#include "tools/cairn/recording_inspector.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  moraine::cairn::RecordingInspector inspector;
  moraine::CairnRecord record;
  record.header.kind = data[0] & 0x0F;
  record.header.length = static_cast<std::uint32_t>(size - 1);
  record.bytes.assign(moraine::kCairnHeaderSize, 0);
  record.bytes.insert(record.bytes.end(), data + 1, data + size);
  // Twice: the second pass sees the state the first one left (codec honoured, NAL rule, last SPS).
  inspector.Describe(0, record);
  inspector.Describe(record.bytes.size(), record);
  inspector.Summary();
  return 0;
}
