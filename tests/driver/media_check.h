#pragma once

// Checks of conversion results with independent readers: ffprobe and ffmpeg for the MP4 files, the
// cairn tool's dump for the recordings they were made from.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace moraine::testing {

struct StreamSummary {
  std::string codec_type;  // "video" or "audio"
  std::string codec_name;
  int width = 0;
  int height = 0;
  int sample_rate = 0;
  int channels = 0;
  int decoded_frames = 0;  // frames ffprobe decoded
  int container_frames = 0;  // samples the MP4 index lists
  double duration_seconds = 0;
};

struct MediaSummary {
  std::vector<StreamSummary> streams;
  // The first stream of that type, or null.
  const StreamSummary* Find(const std::string& codec_type) const;
};

// ffprobe's view of `path`, decoding every frame to count it; nullopt when ffprobe cannot read it.
std::optional<MediaSummary> ProbeMedia(const std::string& path);

// Full decode of every stream with `ffmpeg -v error -xerror`; returns what ffmpeg complained about,
// empty when the decode went through cleanly.
std::string DecodeErrors(const std::string& path);

// The same streams as a second, independent reader (mediainfo) sees them: type, size, rate,
// channels and duration (the frame counts stay 0); nullopt when mediainfo cannot read the file.
std::optional<MediaSummary> ProbeWithMediaInfo(const std::string& path);

// When the sound of `path` first reaches `threshold` (of 32767), in seconds on the file's timeline
// as ffmpeg plays it (edit list applied); nullopt when it never does.
std::optional<double> SoundOnsetSeconds(const std::string& path, int threshold);

// The luma plane of picture `index` (from 0) of the video in `path` as ffmpeg decodes it, row after
// row; empty when ffmpeg cannot deliver that picture.
std::vector<std::uint8_t> DecodedLuma(const std::string& path, int index);

// Copies the built program and every module beside it except those in `left_out` into `folder`
// (created); returns the copied program's path.
std::string CopyProgram(const std::filesystem::path& folder, const std::vector<std::string>& left_out);

// What `cairn dump` reads from a recording.
struct RecordingSummary {
  int video_records = 0;
  int audio_records = 0;
  double video_span_seconds = 0;  // first to last video frame record
  double audio_span_seconds = 0;
};
RecordingSummary SummarizeRecording(const std::string& recording);

}  // namespace moraine::testing
