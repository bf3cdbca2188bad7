#pragma once

// The options of `cairn synth`: what recording to make, and how to parse them from the command line.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/cairn/analytic_metadata.h"
#include "tools/cairn/audio_signal.h"
#include "tools/cairn/fault_injection.h"

namespace moraine::cairn {

// 2024-03-15 12:00:00 UTC: a fixed default keeps default recordings identical from run to run.
inline constexpr std::uint32_t kDefaultStartSeconds = 1710504000;

struct SizeChange {
  std::int64_t at_ms = 0;  // from the start of the recording
  int width = 0;
  int height = 0;
};

struct SynthOptions {
  std::string output_path;
  int width = 1280;
  int height = 720;
  int frame_rate = 25;
  int keyframe_interval = 25;
  std::int64_t duration_ms = 10000;
  int codec_number = 10;  // H.264 with G.711 mu-law
  int quality = 28;
  std::int8_t zone = 4;  // quarter hours east of UTC
  std::uint32_t start_seconds = kDefaultStartSeconds;
  std::uint32_t seed = 1;
  bool privacy_marker = false;
  std::optional<SizeChange> size_change;
  AnalyticSettings analytics;
  bool privacy = false;
  std::uint16_t pixelate_level = 8;
  std::uint16_t pixelate_algorithm = 0;
  std::optional<AudioSignal> audio = AudioSignal::kTone;  // nullopt: no audio records
  std::int64_t audio_onset_ms = 0;  // silence before the sound starts
  int audio_record_ms = 20;         // length of each record of the sample-stream codecs
  int aac_rate = 0;                 // rate AAC is coded at; 0: the codec table's
  bool codec_descriptor = true;
  bool late_codec_descriptor = false;  // the descriptor follows the first parameter sets
  FaultSet faults;
};

enum class ParseOutcome { kRun, kHelp, kError };

// Parses the arguments after "synth" (the output path and the options) into `options`, which
// holds the defaults on entry. kError leaves a message in `error`.
ParseOutcome ParseSynthOptions(const std::vector<std::string>& arguments, SynthOptions& options, std::string& error);

// The text `cairn synth --help` prints.
std::string SynthHelpText();

}  // namespace moraine::cairn
