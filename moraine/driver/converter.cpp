#include "moraine/driver/converter.h"

#include <ctime>
#include <utility>

#include "moraine/driver/cairn_reader.h"
#include "moraine/driver/codec_table.h"
#include "moraine/driver/info_record.h"
#include "moraine/driver/video_payload.h"

namespace moraine {
namespace {

// What one walk over the records keeps besides the converter's own fields.
struct RecordLoopState {
  std::uint32_t record_time = 0;  // of the latest record that takes a time; info records inherit it
  std::tm start_time{};           // wall-clock time of the first video frame of the output file
  std::tm end_time{};             // wall-clock time of the latest video frame
  bool first_frame = true;
  bool codec_pending = true;      // no codec descriptor honoured yet
  CodecSettings codec;
};

void TakeTimes(const CairnRecordHeader& header, RecordLoopState& loop) {
  if (TakesRecordTime(header.kind)) loop.record_time = RecordTime(header);
  if (!IsVideoFrameKind(header.kind)) return;
  if (loop.first_frame) {
    loop.start_time = WallClockTime(header);
    loop.first_frame = false;
  } else {
    loop.end_time = WallClockTime(header);
  }
}

void HandleInfoRecord(const CairnRecord& record, RecordLoopState& loop) {
  const std::uint8_t* payload = record.payload();
  if (ClassifyInfoRecord(payload, record.payload_size(), loop.codec_pending) == InfoRecordType::kCodecDescriptor) {
    loop.codec_pending = false;
    loop.codec = LookUpCodec(ParseCodecNumber(payload + 1));
  }
}

}  // namespace

Converter::Converter(std::string input_path) : input_path_(std::move(input_path)) {}

std::int32_t Converter::run(const std::string& output_base_name) {
  output_base_name_ = output_base_name;
  const std::unique_ptr<CairnReader> reader = CairnReader::Open(input_path_);
  if (!reader) return -1;

  RecordLoopState loop;
  while (std::optional<CairnRecord> record = reader->ReadNextRecord()) {
    const std::uint8_t kind = record->header.kind;
    TakeTimes(record->header, loop);
    if (IsVideoFrameKind(kind) || kind == static_cast<std::uint8_t>(RecordKind::kParameterSet)) {
      // The marker must be gone before the payload is used anywhere.
      if (RemovePrivacyMarker(record->payload(), record->payload_size())) privacy_marked_ = true;
    } else if (kind == static_cast<std::uint8_t>(RecordKind::kInfo)) {
      HandleInfoRecord(*record, loop);
    }
    if (reader->AtEnd()) break;
  }
  return 0;
}

}  // namespace moraine
