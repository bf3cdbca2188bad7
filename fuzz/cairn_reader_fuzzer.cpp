// Reads arbitrary bytes as a Cairn recording: every record, the look-ahead from it, and the
// payload rules the converter applies to it.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "moraine/driver/cairn_reader.h"
#include "moraine/driver/codec_table.h"
#include "moraine/driver/info_record.h"
#include "moraine/driver/video_payload.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // fmemopen wants a writable buffer even for reading.
  std::vector<std::uint8_t> buffer(data, data + size);
  auto reader = moraine::CairnReader::FromStream(fmemopen(buffer.data(), buffer.size(), "rb"));
  if (!reader) return 0;

  bool codec_pending = true;
  bool hevc = false;
  while (auto record = reader->ReadNextRecord()) {
    const moraine::CairnRecordHeader& header = record->header;
    reader->LookAheadDuration(header.kind, moraine::RecordTime(header));
    moraine::WallClockTime(header);

    std::uint8_t* payload = record->payload();
    const std::size_t payload_size = record->payload_size();
    moraine::RemovePrivacyMarker(payload, payload_size);
    moraine::NalUnitType(payload, payload_size, hevc);
    const auto type = moraine::ClassifyInfoRecord(payload, payload_size, codec_pending);
    if (type == moraine::InfoRecordType::kCodecDescriptor) {
      codec_pending = false;
      hevc = moraine::LookUpCodec(moraine::ParseCodecNumber(payload + 1)).hevc;
    } else if (type == moraine::InfoRecordType::kPrivacySwitches) {
      moraine::ReadPrivacySwitches(payload, payload_size);
    }
    if (reader->AtEnd()) break;
  }
  return 0;
}
