#include "tests/driver/media_check.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <regex>
#include <stdexcept>

#include "tests/support/run_command.h"

namespace moraine::testing {
namespace {

int IntegerField(const nlohmann::json& object, const char* name) {
  if (!object.contains(name)) return 0;
  const nlohmann::json& value = object[name];
  return value.is_string() ? std::stoi(value.get<std::string>()) : value.get<int>();
}

double SecondsField(const nlohmann::json& object, const char* name) {
  return object.contains(name) ? std::stod(object[name].get<std::string>()) : 0.0;
}

// The names a reader gives the fields of a stream in its JSON output.
struct FieldNames {
  const char* codec_name;
  const char* width;
  const char* height;
  const char* sample_rate;
  const char* channels;
  const char* duration;
};

StreamSummary ReadStream(const nlohmann::json& stream, const std::string& codec_type, const FieldNames& names) {
  StreamSummary entry;
  entry.codec_type = codec_type;
  entry.codec_name = stream.value(names.codec_name, "");
  entry.width = IntegerField(stream, names.width);
  entry.height = IntegerField(stream, names.height);
  entry.sample_rate = IntegerField(stream, names.sample_rate);
  entry.channels = IntegerField(stream, names.channels);
  entry.duration_seconds = SecondsField(stream, names.duration);
  return entry;
}

}  // namespace

const StreamSummary* MediaSummary::Find(const std::string& codec_type) const {
  for (const StreamSummary& stream : streams) {
    if (stream.codec_type == codec_type) return &stream;
  }
  return nullptr;
}

std::optional<MediaSummary> ProbeMedia(const std::string& path) {
  const CommandResult result = RunCommand(
      {"ffprobe", "-v", "error", "-count_frames", "-show_entries",
       "stream=codec_type,codec_name,width,height,sample_rate,channels,nb_frames,nb_read_frames,duration", "-of",
       "json", path});
  if (result.exit_status != 0) return std::nullopt;
  const nlohmann::json probe = nlohmann::json::parse(result.standard_output, nullptr, false);
  if (probe.is_discarded() || !probe.contains("streams")) return std::nullopt;
  MediaSummary summary;
  for (const nlohmann::json& stream : probe["streams"]) {
    StreamSummary entry = ReadStream(stream, stream.value("codec_type", ""),
                                     {"codec_name", "width", "height", "sample_rate", "channels", "duration"});
    entry.decoded_frames = IntegerField(stream, "nb_read_frames");
    entry.container_frames = IntegerField(stream, "nb_frames");
    summary.streams.push_back(entry);
  }
  return summary;
}

std::optional<MediaSummary> ProbeWithMediaInfo(const std::string& path) {
  const CommandResult result = RunCommand({"mediainfo", "--Output=JSON", path});
  if (result.exit_status != 0) return std::nullopt;
  const nlohmann::json info = nlohmann::json::parse(result.standard_output, nullptr, false);
  if (info.is_discarded() || !info.contains("media") || !info["media"].contains("track")) return std::nullopt;
  MediaSummary summary;
  for (const nlohmann::json& track : info["media"]["track"]) {
    const std::string type = track.value("@type", "");
    if (type != "Video" && type != "Audio") continue;
    summary.streams.push_back(ReadStream(track, type == "Video" ? "video" : "audio",
                                         {"Format", "Width", "Height", "SamplingRate", "Channels", "Duration"}));
  }
  return summary;
}

std::optional<double> SoundOnsetSeconds(const std::string& path, int threshold) {
  const std::optional<MediaSummary> media = ProbeMedia(path);
  const StreamSummary* audio = media ? media->Find("audio") : nullptr;
  if (audio == nullptr || audio->sample_rate <= 0) return std::nullopt;
  const CommandResult result =
      RunCommand({"ffmpeg", "-v", "error", "-i", path, "-map", "0:a", "-f", "s16le", "-ac", "1", "-"});
  const std::string& pcm = result.standard_output;
  for (std::size_t i = 0; i + 1 < pcm.size(); i += 2) {
    const auto sample = static_cast<std::int16_t>(static_cast<std::uint8_t>(pcm[i]) |
                                                  static_cast<std::uint8_t>(pcm[i + 1]) << 8);
    if (std::abs(sample) >= threshold) return static_cast<double>(i / 2) / audio->sample_rate;
  }
  return std::nullopt;
}

std::string DecodeErrors(const std::string& path) {
  const CommandResult result = RunCommand({"ffmpeg", "-nostdin", "-v", "error", "-xerror", "-i", path, "-f", "null", "-"});
  if (result.exit_status != 0 && result.standard_error.empty()) return "ffmpeg failed";
  return result.standard_error;
}

RecordingSummary SummarizeRecording(const std::string& recording) {
  const CommandResult result = RunCommand({BuiltFile("cairn"), "dump", recording});
  if (result.exit_status != 0) throw std::runtime_error("cairn dump failed: " + result.standard_error);
  // Summary lines such as "  video: records=50 first_record_time=... span_ms=1960 ...".
  const std::regex family_line(R"((video|audio): records=(\d+) .*span_ms=(\d+))");
  RecordingSummary summary;
  for (std::sregex_iterator match(result.standard_output.begin(), result.standard_output.end(), family_line), end;
       match != end; ++match) {
    const int records = std::stoi((*match)[2]);
    const double span = std::stoi((*match)[3]) / 1000.0;
    if ((*match)[1] == "video") {
      summary.video_records = records;
      summary.video_span_seconds = span;
    } else {
      summary.audio_records = records;
      summary.audio_span_seconds = span;
    }
  }
  return summary;
}

std::vector<std::uint8_t> DecodedLuma(const std::string& path, int index) {
  const CommandResult result =
      RunCommand({"ffmpeg", "-v", "error", "-i", path, "-vf", "select=eq(n\\," + std::to_string(index) + ")",
                  "-frames:v", "1", "-f", "rawvideo", "-pix_fmt", "gray", "-"});
  if (result.exit_status != 0) return {};
  return {result.standard_output.begin(), result.standard_output.end()};
}

std::string CopyProgram(const std::filesystem::path& folder, const std::vector<std::string>& left_out) {
  std::filesystem::create_directory(folder);
  const std::filesystem::path bin = std::filesystem::path(BuiltFile("Moraine")).parent_path();
  for (const std::filesystem::directory_entry& entry : std::filesystem::directory_iterator(bin)) {
    const std::string name = entry.path().filename();
    const bool module = name.starts_with("lib") && name.ends_with(".so");
    if ((module || name == "Moraine") && std::find(left_out.begin(), left_out.end(), name) == left_out.end()) {
      std::filesystem::copy_file(entry.path(), folder / name);
    }
  }
  return (folder / "Moraine").string();
}

}  // namespace moraine::testing
