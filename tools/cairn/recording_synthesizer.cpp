#include "tools/cairn/recording_synthesizer.h"

#include <memory>

#include "moraine/recording/cairn_record.h"
#include "moraine/recording/codec_table.h"
#include "tools/cairn/audio_track.h"
#include "tools/cairn/info_payloads.h"
#include "tools/cairn/scene.h"
#include "tools/cairn/scene_renderer.h"
#include "tools/cairn/video_encoder.h"

namespace moraine::cairn {
namespace {

constexpr std::uint8_t kStartCode[] = {0, 0, 0, 1};
constexpr std::size_t kStartCodeMarkerByte = 3;
constexpr std::uint8_t kPrivacyMarker = 0x11;

struct PictureSize {
  int width = 0;
  int height = 0;
  bool operator==(const PictureSize&) const = default;
};

PictureSize SizeAt(const SynthOptions& options, std::int64_t offset_ms) {
  if (options.size_change && offset_ms >= options.size_change->at_ms) {
    return {options.size_change->width, options.size_change->height};
  }
  return {options.width, options.height};
}

std::int64_t FrameOffsetMs(std::int64_t frame_index, int frame_rate) { return frame_index * 1000 / frame_rate; }

// Turns coded pictures into parameter-set and picture records.
class VideoRecordMaker {
 public:
  VideoRecordMaker(const SynthOptions& options, std::int64_t start_ms, std::vector<PendingRecord>& records)
      : options_(options), start_ms_(start_ms), records_(records) {}

  bool Add(std::vector<EncodedPicture> pictures, std::string& error) {
    for (EncodedPicture& picture : pictures) {
      const std::int64_t time_ms = start_ms_ + FrameOffsetMs(picture.frame_index, options_.frame_rate);
      if (picture.keyframe) {
        if (picture.parameter_sets.empty()) {
          error = "the encoder gave an IDR picture without parameter sets";
          return false;
        }
        // The picture before the second key frame is one no later picture refers to.
        if (++keyframes_ == 2 && options_.faults.undecodable_picture) MakeLastPictureUndecodable();
        for (const NalUnit& parameter_set : picture.parameter_sets) {
          records_.push_back(Record(RecordKind::kParameterSet, time_ms, RecordRank::kParameterSet, {parameter_set}));
        }
      }
      if (picture.slices.empty()) {
        error = "the encoder gave a picture without slices";
        return false;
      }
      records_.push_back(Record(RecordKind::kVideoFrame, time_ms, RecordRank::kPicture, picture.slices));
    }
    return true;
  }

 private:
  // Each NAL unit behind a 4-byte start code; the first one carries the privacy marker if asked.
  PendingRecord Record(RecordKind kind, std::int64_t time_ms, RecordRank rank, const std::vector<NalUnit>& units) const {
    PendingRecord record{static_cast<std::uint8_t>(kind), time_ms, rank, {}};
    for (const NalUnit& unit : units) {
      record.payload.insert(record.payload.end(), std::begin(kStartCode), std::end(kStartCode));
      record.payload.insert(record.payload.end(), unit.begin(), unit.end());
    }
    if (options_.privacy_marker) record.payload[kStartCodeMarkerByte] = kPrivacyMarker;
    return record;
  }

  // A record that keeps its time but holds only filler data, from which no decoder makes a picture.
  void MakeLastPictureUndecodable() {
    const bool hevc = LookUpCodec(options_.codec_number).hevc;
    const NalUnit filler = hevc ? NalUnit{0x4C, 0x01, 0xFF, 0xFF, 0x80} : NalUnit{0x0C, 0xFF, 0xFF, 0x80};
    for (auto record = records_.rbegin(); record != records_.rend(); ++record) {
      if (record->kind != static_cast<std::uint8_t>(RecordKind::kVideoFrame)) continue;
      record->payload = Record(RecordKind::kVideoFrame, record->time_ms, record->rank, {filler}).payload;
      return;
    }
  }

  const SynthOptions& options_;
  std::int64_t start_ms_;
  std::vector<PendingRecord>& records_;
  int keyframes_ = 0;
};

bool AddVideo(const SynthOptions& options, const Scene& scene, std::int64_t start_ms,
              std::vector<PendingRecord>& records, std::string& error) {
  VideoRecordMaker maker(options, start_ms, records);
  const VideoCodec codec = LookUpCodec(options.codec_number).hevc ? VideoCodec::kHevc : VideoCodec::kH264;
  std::unique_ptr<VideoEncoder> encoder;
  std::unique_ptr<SceneRenderer> renderer;
  PictureSize current;
  for (std::int64_t frame = 0; FrameOffsetMs(frame, options.frame_rate) < options.duration_ms; ++frame) {
    const std::int64_t offset_ms = FrameOffsetMs(frame, options.frame_rate);
    const PictureSize size = SizeAt(options, offset_ms);
    if (!encoder || size != current) {
      // A new size needs a new encoder, which starts with an IDR picture and its parameter sets.
      if (encoder && !maker.Add(encoder->Flush(), error)) return false;
      const VideoEncoderSettings settings{codec, size.width, size.height, options.frame_rate,
                                         options.keyframe_interval, options.quality};
      encoder = OpenVideoEncoder(settings, error);
      if (!encoder) return false;
      renderer = std::make_unique<SceneRenderer>(scene, size.width, size.height);
      current = size;
    }
    const YuvPicture picture = renderer->Render(static_cast<double>(offset_ms) / 1000);
    if (!maker.Add(encoder->Encode(picture, frame), error)) return false;
  }
  return !encoder || maker.Add(encoder->Flush(), error);
}

bool AddAudio(const SynthOptions& options, std::int64_t start_ms, std::vector<PendingRecord>& records,
              std::string& error) {
  const AudioTrackSettings settings{options.codec_number,   *options.audio,          options.duration_ms,
                                    options.audio_onset_ms, options.audio_record_ms, options.aac_rate,
                                    options.seed};
  const auto track = MakeAudioTrack(settings, error);
  if (!track) return false;
  for (const AudioFrame& frame : track->frames) {
    const std::int64_t time_ms = start_ms + frame.start_sample * 1000 / track->sample_rate;
    records.push_back({static_cast<std::uint8_t>(RecordKind::kAudioFrame), time_ms, RecordRank::kAudio, frame.payload});
  }
  return true;
}

void AddInfo(const std::vector<TimedPayload>& payloads, std::int64_t start_ms, RecordRank rank,
             std::vector<PendingRecord>& records) {
  for (const TimedPayload& payload : payloads) {
    records.push_back({static_cast<std::uint8_t>(RecordKind::kInfo), start_ms + payload.offset_ms, rank, payload.payload});
  }
}

SourceSize ToSourceSize(PictureSize size) {
  return {static_cast<std::uint16_t>(size.width), static_cast<std::uint16_t>(size.height)};
}

}  // namespace

std::optional<std::vector<PendingRecord>> BuildRecords(const SynthOptions& options, std::string& error) {
  const std::int64_t start_ms = static_cast<std::int64_t>(options.start_seconds) * 1000;
  std::vector<PendingRecord> records;
  if (options.codec_descriptor) {
    const auto descriptor = CodecDescriptorPayload(options.codec_number);
    if (!descriptor) {
      error = "codec number " + std::to_string(options.codec_number) + " does not fit a codec descriptor";
      return std::nullopt;
    }
    records.push_back({static_cast<std::uint8_t>(RecordKind::kInfo), start_ms, RecordRank::kCodecDescriptor,
                       {descriptor->begin(), descriptor->end()}});
  }
  if (options.privacy) {
    AddInfo(MakePrivacyRecords(options.pixelate_level, options.pixelate_algorithm, ToSourceSize(SizeAt(options, 0))),
            start_ms, RecordRank::kPrivacy, records);
  }
  const Scene scene(options.seed);
  if (!AddVideo(options, scene, start_ms, records, error)) return std::nullopt;
  if (options.codec_descriptor && options.late_codec_descriptor) {
    // Among the records of the first instant it now comes after the parameter sets.
    PendingRecord descriptor = std::move(records.front());
    records.erase(records.begin());
    descriptor.rank = RecordRank::kParameterSet;
    records.push_back(std::move(descriptor));
  }
  if (options.audio && !AddAudio(options, start_ms, records, error)) return std::nullopt;
  AddInfo(MakeAnalyticRecords(scene, options.analytics, options.duration_ms,
                              [&options](std::int64_t offset_ms) { return ToSourceSize(SizeAt(options, offset_ms)); }),
          start_ms, RecordRank::kAnalytics, records);
  return records;
}

std::optional<SynthesisReport> SynthesizeRecording(const SynthOptions& options, std::string& error) {
  auto records = BuildRecords(options, error);
  if (!records) return std::nullopt;
  SynthesisReport report;
  for (const PendingRecord& record : *records) {
    switch (static_cast<RecordKind>(record.kind)) {
      case RecordKind::kVideoFrame: ++report.pictures; break;
      case RecordKind::kParameterSet: ++report.parameter_sets; break;
      case RecordKind::kAudioFrame: ++report.audio_frames; break;
      default: ++report.info_records; break;
    }
  }
  std::vector<RecordBytes> pieces;
  if (!SerializeInTimeOrder(std::move(*records), options.zone, pieces, error)) return std::nullopt;
  InjectFaults(pieces, options.faults, options.seed);
  if (!WriteRecording(options.output_path, pieces, error)) return std::nullopt;
  for (const RecordBytes& piece : pieces) report.bytes += piece.size();
  return report;
}

}  // namespace moraine::cairn
