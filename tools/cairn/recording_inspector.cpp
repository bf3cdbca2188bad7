#include "tools/cairn/recording_inspector.h"

#include <ctime>

#include "bitstream/sequence_parameters.h"
#include "moraine/recording/codec_table.h"
#include "moraine/recording/info_record.h"
#include "moraine/recording/video_payload.h"
#include "tools/cairn/nal_unit_names.h"

namespace moraine::cairn {
namespace {

constexpr std::size_t kStartCodeSize = 4;
constexpr std::uint8_t kPrivacyMarker = 0x11;
constexpr std::uint8_t kH264Sps = 7;
constexpr std::uint8_t kHevcSps = 33;

std::string FormatWallClock(const CairnRecordHeader& header) {
  const std::tm broken_down = WallClockTime(header);
  char text[32] = {};
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &broken_down);
  return text;
}

const char* KindName(std::uint8_t kind) {
  switch (kind) {
    case 1: case 2: return "video";
    case 4: return "info";
    case 5: return "parameter-set";
    case 6: return "audio";
    default: return "unused";
  }
}

const char* InfoTypeName(InfoRecordType type) {
  switch (type) {
    case InfoRecordType::kCodecDescriptor: return "codec-descriptor";
    case InfoRecordType::kPrivacySwitches: return "privacy-switches";
    case InfoRecordType::kStructuredMetadata: return "structured";
    case InfoRecordType::kOneLetterMetadata: return "one-letter";
    case InfoRecordType::kNone: return "none";
  }
  return "none";
}

void Merge(Fields& fields, const Fields& more) {
  for (const auto& [key, value] : more.items()) fields[key] = value;
}

}  // namespace

void RecordingInspector::TimeSpan::Add(std::uint32_t record_time, const std::string& wall_clock) {
  if (count++ == 0) {
    first = record_time;
    first_wall_clock = wall_clock;
  }
  last = record_time;
  last_wall_clock = wall_clock;
}

Fields RecordingInspector::TimeSpan::Describe() const {
  // Record times wrap at 2^32 ms; the distance is taken the same way.
  return Fields{{"records", count},
                {"first_record_time", first},
                {"last_record_time", last},
                {"span_ms", static_cast<std::uint32_t>(last - first)},
                {"first_wall_clock", first_wall_clock},
                {"last_wall_clock", last_wall_clock}};
}

Fields RecordingInspector::Common(std::uint64_t offset, const CairnRecordHeader& header,
                                  const std::string& wall_clock) {
  ++kind_counts_[header.kind & 0x0F];
  return Fields{{"offset", offset},
                {"kind", header.kind},
                {"kind_name", KindName(header.kind)},
                {"length", header.length},
                {"record_time", RecordTime(header)},
                {"wall_clock", wall_clock}};
}

Fields RecordingInspector::DescribeEmpty(std::uint64_t offset, const CairnRecordHeader& header) {
  ++empty_records_;
  Fields fields = Common(offset, header, FormatWallClock(header));
  fields["empty"] = true;
  return fields;
}

Fields RecordingInspector::Describe(std::uint64_t offset, const CairnRecord& record) {
  const std::string wall_clock = FormatWallClock(record.header);
  Fields fields = Common(offset, record.header, wall_clock);
  const std::uint8_t kind = record.header.kind;
  if (IsVideoFrameKind(kind) || kind == static_cast<std::uint8_t>(RecordKind::kParameterSet)) {
    DescribeVideoPayload(record, fields);
  } else if (kind == static_cast<std::uint8_t>(RecordKind::kInfo)) {
    DescribeInfoPayload(record, fields);
  }
  if (IsVideoFrameKind(kind)) video_.Add(RecordTime(record.header), wall_clock);
  if (kind == static_cast<std::uint8_t>(RecordKind::kAudioFrame)) audio_.Add(RecordTime(record.header), wall_clock);
  return fields;
}

void RecordingInspector::DescribeVideoPayload(const CairnRecord& record, Fields& fields) {
  const std::uint8_t* payload = record.payload();
  const std::size_t size = record.payload_size();
  const bool start_code = size >= kStartCodeSize && payload[0] == 0 && payload[1] == 0 && payload[2] == 0 &&
                          (payload[3] == 1 || payload[3] == kPrivacyMarker);
  const bool marked = size >= kStartCodeSize && payload[3] == kPrivacyMarker;
  privacy_marked_ = privacy_marked_ || marked;
  fields["privacy_marker"] = marked;
  if (!start_code) fields["start_code"] = "missing";
  const std::optional<std::uint8_t> type = NalUnitType(payload, size, hevc_);
  if (!type) return;
  fields["nal_type"] = *type;
  fields["nal_name"] = hevc_ ? HevcNalUnitName(*type) : H264NalUnitName(*type);
  if (record.header.kind != static_cast<std::uint8_t>(RecordKind::kParameterSet)) return;
  const bool sps = hevc_ ? *type == kHevcSps : *type == kH264Sps;
  if (!sps || size <= kStartCodeSize) return;
  const std::uint8_t* nal = payload + kStartCodeSize;
  const std::size_t nal_size = size - kStartCodeSize;
  last_sps_ = hevc_ ? ParseHevcSps(nal, nal_size, last_sps_) : ParseH264Sps(nal, nal_size);
  const std::string picture_size = std::to_string(last_sps_.width) + "x" + std::to_string(last_sps_.height);
  fields["picture_size"] = picture_size;
  if (picture_sizes_.empty() || picture_sizes_.back() != picture_size) picture_sizes_.push_back(picture_size);
}

void RecordingInspector::DescribeInfoPayload(const CairnRecord& record, Fields& fields) {
  const std::uint8_t* payload = record.payload();
  const std::size_t size = record.payload_size();
  const InfoRecordType type = ClassifyInfoRecord(payload, size, codec_pending_);
  fields["info"] = InfoTypeName(type);
  switch (type) {
    case InfoRecordType::kCodecDescriptor: {
      codec_pending_ = false;
      codec_number_ = ParseCodecNumber(payload + 1);
      hevc_ = LookUpCodec(*codec_number_).hevc;
      Merge(fields, DescribeCodecDescriptor(payload, size));
      break;
    }
    case InfoRecordType::kPrivacySwitches: Merge(fields, DescribePrivacySwitches(payload, size)); break;
    case InfoRecordType::kStructuredMetadata: Merge(fields, DescribeStructuredBlock(payload, size)); break;
    case InfoRecordType::kOneLetterMetadata: Merge(fields, DescribeOneLetterRecord(payload, size)); break;
    case InfoRecordType::kNone: break;
  }
}

Fields RecordingInspector::Summary() const {
  Fields by_kind = Fields::object();
  std::uint64_t total = 0;
  for (int kind = 0; kind < 16; ++kind) {
    if (kind_counts_[kind] == 0) continue;
    by_kind[std::to_string(kind)] = kind_counts_[kind];
    total += kind_counts_[kind];
  }
  Fields summary{{"records", total}, {"records_by_kind", by_kind}, {"empty_records", empty_records_}};
  if (codec_number_) {
    summary["codec_number"] = *codec_number_;
  } else {
    summary["codec_number"] = nullptr;
  }
  summary["video_coding"] = hevc_ ? "HEVC" : "H.264";
  summary["privacy_marked"] = privacy_marked_;
  if (video_.count > 0) summary["video"] = video_.Describe();
  if (audio_.count > 0) summary["audio"] = audio_.Describe();
  summary["picture_sizes"] = picture_sizes_;
  summary["problems"] = problems_;
  return summary;
}

}  // namespace moraine::cairn
