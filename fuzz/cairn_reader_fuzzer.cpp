// Reads arbitrary bytes as a Cairn recording: every record, the look-ahead from it, and the
// payload rules the converter applies to it. Checks that records and the damaged ranges passed over
// lie inside the input in file order without overlapping, and that each look-ahead duration is the
// one the records read later give, damage or not.

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "moraine/recording/cairn_reader.h"
#include "moraine/recording/codec_table.h"
#include "moraine/recording/info_record.h"
#include "moraine/recording/video_payload.h"

namespace {

// The look-ahead family of a kind: 1 video, 2 audio, 0 none.
int Family(std::uint8_t kind) { return moraine::IsVideoFrameKind(kind) ? 1 : kind == 6 ? 2 : 0; }

struct ReadRecord {
  int family = 0;
  std::uint32_t record_time = 0;
  std::uint64_t look_ahead = 0;
};

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// Each look-ahead must name the distance to the next record of its family that was actually read.
void CheckLookAheads(const std::vector<ReadRecord>& records) {
  for (std::size_t i = 0; i < records.size(); ++i) {
    if (records[i].family == 0) continue;
    std::uint64_t expected = 0;
    for (std::size_t j = i + 1; j < records.size(); ++j) {
      if (records[j].family != records[i].family) continue;
      if (records[j].record_time > records[i].record_time) {
        expected = std::uint64_t{records[j].record_time - records[i].record_time} * 90;
      }
      break;
    }
    Check(records[i].look_ahead == expected);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // fmemopen wants a writable buffer even for reading.
  std::vector<std::uint8_t> buffer(data, data + size);
  std::FILE* stream = fmemopen(buffer.data(), buffer.size(), "rb");
  auto reader = moraine::CairnReader::FromStream(stream);
  if (!reader) return 0;
  // Everything passed over or delivered lies after what came before it.
  std::uint64_t covered = 0;
  reader->SetDamageHandler([&covered, size](const moraine::CairnReader::SkippedRange& range) {
    Check(range.size > 0 && range.offset >= covered && range.offset + range.size <= size);
    covered = range.offset + range.size;
  });

  std::vector<ReadRecord> records;
  bool codec_pending = true;
  bool hevc = false;
  while (auto record = reader->ReadNextRecord()) {
    const moraine::CairnRecordHeader& header = record->header;
    const off_t end = ftello(stream);
    Check(end >= 0 && static_cast<std::uint64_t>(end) <= size);
    const auto record_end = static_cast<std::uint64_t>(end);
    Check(record->bytes.size() <= record_end && record_end - record->bytes.size() >= covered);
    covered = record_end;
    const std::uint32_t record_time = moraine::RecordTime(header);
    records.push_back({Family(header.kind), record_time, reader->LookAheadDuration(header.kind, record_time)});
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
  CheckLookAheads(records);
  return 0;
}
