#include "tests/driver/media_check.h"

#include <nlohmann/json.hpp>

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
    StreamSummary entry;
    entry.codec_type = stream.value("codec_type", "");
    entry.codec_name = stream.value("codec_name", "");
    entry.width = IntegerField(stream, "width");
    entry.height = IntegerField(stream, "height");
    entry.sample_rate = IntegerField(stream, "sample_rate");
    entry.channels = IntegerField(stream, "channels");
    entry.decoded_frames = IntegerField(stream, "nb_read_frames");
    entry.container_frames = IntegerField(stream, "nb_frames");
    entry.duration_seconds = SecondsField(stream, "duration");
    summary.streams.push_back(entry);
  }
  return summary;
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

}  // namespace moraine::testing
