#include "tools/cairn/synth_options.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <limits>
#include <map>
#include <sstream>

namespace moraine::cairn {
namespace {

constexpr int kMaxDimension = 4096;
constexpr std::int64_t kMaxDurationMs = 3600 * 1000;
constexpr int kSecondsPerZoneStep = 900;

template <typename Integer>
bool ParseInteger(const std::string& text, Integer low, Integer high, Integer& value) {
  Integer parsed{};
  const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), parsed);
  if (status != std::errc() || end != text.data() + text.size() || parsed < low || parsed > high) return false;
  value = parsed;
  return true;
}

// Seconds with up to millisecond precision, e.g. "2" or "1.5".
bool ParseMilliseconds(const std::string& text, std::int64_t low, std::int64_t high, std::int64_t& value) {
  double seconds = 0;
  const auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  if (status != std::errc() || end != text.data() + text.size() || !std::isfinite(seconds)) return false;
  const double milliseconds = std::round(seconds * 1000);
  if (milliseconds < static_cast<double>(low) || milliseconds > static_cast<double>(high)) return false;
  value = static_cast<std::int64_t>(milliseconds);
  return true;
}

bool ParseSize(const std::string& text, int& width, int& height) {
  const std::size_t x = text.find('x');
  if (x == std::string::npos) return false;
  int w = 0;
  int h = 0;
  if (!ParseInteger(text.substr(0, x), 16, kMaxDimension, w) || !ParseInteger(text.substr(x + 1), 16, kMaxDimension, h)) {
    return false;
  }
  if (w % 2 != 0 || h % 2 != 0) return false;
  width = w;
  height = h;
  return true;
}

// "YYYY-MM-DDTHH:MM:SS" (or with a blank for the T), read as the recorder's local time.
std::optional<std::int64_t> ParseLocalDateTime(const std::string& text) {
  std::tm broken_down{};
  char separator = 0;
  int consumed = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2d%c%2d:%2d:%2d%n", &broken_down.tm_year, &broken_down.tm_mon,
                  &broken_down.tm_mday, &separator, &broken_down.tm_hour, &broken_down.tm_min, &broken_down.tm_sec,
                  &consumed) != 7 ||
      static_cast<std::size_t>(consumed) != text.size() || (separator != 'T' && separator != ' ')) {
    return std::nullopt;
  }
  const std::tm given = broken_down;
  broken_down.tm_year -= 1900;
  broken_down.tm_mon -= 1;
  const std::time_t seconds = timegm(&broken_down);
  // timegm normalises out-of-range fields; a date that changed was not a real date.
  if (broken_down.tm_year != given.tm_year - 1900 || broken_down.tm_mon != given.tm_mon - 1 ||
      broken_down.tm_mday != given.tm_mday || broken_down.tm_hour != given.tm_hour ||
      broken_down.tm_min != given.tm_min || broken_down.tm_sec != given.tm_sec) {
    return std::nullopt;
  }
  return static_cast<std::int64_t>(seconds);
}

bool ParseMetadataList(const std::string& text, SynthOptions& options) {
  options.analytics.one_letter_records = false;
  options.analytics.structured_blocks = false;
  options.privacy = false;
  if (text == "none") return true;
  std::istringstream items(text);
  std::string item;
  while (std::getline(items, item, ',')) {
    if (item == "letters") {
      options.analytics.one_letter_records = true;
    } else if (item == "blocks") {
      options.analytics.structured_blocks = true;
    } else if (item == "privacy") {
      options.privacy = true;
    } else {
      return false;
    }
  }
  return true;
}

bool ParseFault(const std::string& text, SynthOptions& options) {
  if (text == "zero-length") {
    options.faults.zero_length_records = true;
  } else if (text == "truncated") {
    options.faults.truncated_last_record = true;
  } else if (text == "garbage") {
    options.faults.garbage_between_records = true;
  } else if (text == "no-codec-descriptor") {
    options.codec_descriptor = false;
  } else if (text == "late-codec-descriptor") {
    options.late_codec_descriptor = true;
  } else if (text == "undecodable") {
    options.faults.undecodable_picture = true;
  } else {
    return false;
  }
  return true;
}

struct PendingValues {
  std::optional<std::string> start;
  std::optional<std::string> keyframe_interval;
  std::optional<std::string> size_change;
  std::optional<std::string> audio_onset;
};

using ValueHandler = std::function<bool(const std::string&, SynthOptions&, PendingValues&)>;

const std::map<std::string, ValueHandler>& ValueOptions() {
  static const std::map<std::string, ValueHandler> handlers = {
      {"--size", [](const std::string& v, SynthOptions& o, PendingValues&) { return ParseSize(v, o.width, o.height); }},
      {"--fps", [](const std::string& v, SynthOptions& o, PendingValues&) { return ParseInteger(v, 1, 120, o.frame_rate); }},
      {"--keyint", [](const std::string& v, SynthOptions&, PendingValues& p) { p.keyframe_interval = v; return true; }},
      {"--duration",
       [](const std::string& v, SynthOptions& o, PendingValues&) {
         return ParseMilliseconds(v, 1, kMaxDurationMs, o.duration_ms);
       }},
      {"--codec",
       [](const std::string& v, SynthOptions& o, PendingValues&) { return ParseInteger(v, -999, 9999, o.codec_number); }},
      {"--quality", [](const std::string& v, SynthOptions& o, PendingValues&) { return ParseInteger(v, 0, 51, o.quality); }},
      {"--zone",
       [](const std::string& v, SynthOptions& o, PendingValues&) {
         return ParseInteger<std::int8_t>(v, std::numeric_limits<std::int8_t>::min(),
                                          std::numeric_limits<std::int8_t>::max(), o.zone);
       }},
      {"--start", [](const std::string& v, SynthOptions&, PendingValues& p) { p.start = v; return true; }},
      {"--seed",
       [](const std::string& v, SynthOptions& o, PendingValues&) {
         return ParseInteger<std::uint32_t>(v, 0, std::numeric_limits<std::uint32_t>::max(), o.seed);
       }},
      {"--size-change", [](const std::string& v, SynthOptions&, PendingValues& p) { p.size_change = v; return true; }},
      {"--metadata", [](const std::string& v, SynthOptions& o, PendingValues&) { return ParseMetadataList(v, o); }},
      {"--metadata-interval",
       [](const std::string& v, SynthOptions& o, PendingValues&) {
         return ParseInteger(v, 10, 60000, o.analytics.interval_ms);
       }},
      {"--pixelate",
       [](const std::string& v, SynthOptions& o, PendingValues&) {
         const std::size_t comma = v.find(',');
         return comma != std::string::npos &&
                ParseInteger<std::uint16_t>(v.substr(0, comma), 0, 0xFFFF, o.pixelate_level) &&
                ParseInteger<std::uint16_t>(v.substr(comma + 1), 0, 0xFFFF, o.pixelate_algorithm);
       }},
      {"--audio",
       [](const std::string& v, SynthOptions& o, PendingValues&) {
         if (v == "tone") o.audio = AudioSignal::kTone;
         else if (v == "noise") o.audio = AudioSignal::kNoise;
         else if (v == "none") o.audio.reset();
         else return false;
         return true;
       }},
      {"--audio-onset", [](const std::string& v, SynthOptions&, PendingValues& p) { p.audio_onset = v; return true; }},
      {"--aac-rate",
       [](const std::string& v, SynthOptions& o, PendingValues&) { return ParseInteger(v, 8000, 48000, o.aac_rate); }},
      {"--audio-record",
       [](const std::string& v, SynthOptions& o, PendingValues&) { return ParseInteger(v, 10, 1000, o.audio_record_ms); }},
      {"--fault", [](const std::string& v, SynthOptions& o, PendingValues&) { return ParseFault(v, o); }},
  };
  return handlers;
}

// Values that depend on other options are resolved once all of them are known.
bool ResolvePending(const PendingValues& pending, SynthOptions& options, std::string& error) {
  options.keyframe_interval = options.frame_rate;
  if (pending.keyframe_interval && !ParseInteger(*pending.keyframe_interval, 1, 1000, options.keyframe_interval)) {
    error = "--keyint takes a number of pictures from 1 to 1000";
    return false;
  }
  if (pending.start) {
    std::int64_t utc_seconds = 0;
    std::uint32_t epoch_seconds = 0;
    if (ParseInteger(*pending.start, std::uint32_t{0}, std::numeric_limits<std::uint32_t>::max(), epoch_seconds)) {
      utc_seconds = epoch_seconds;
    } else if (const auto local = ParseLocalDateTime(*pending.start)) {
      utc_seconds = *local - static_cast<std::int64_t>(options.zone) * kSecondsPerZoneStep;
    } else {
      error = "--start takes seconds since 1970 or a local time YYYY-MM-DDTHH:MM:SS";
      return false;
    }
    const std::int64_t last_seconds = utc_seconds + options.duration_ms / 1000 + 1;
    if (utc_seconds < 0 || last_seconds > std::numeric_limits<std::uint32_t>::max()) {
      error = "--start puts the recording outside the 32-bit seconds of a record header";
      return false;
    }
    options.start_seconds = static_cast<std::uint32_t>(utc_seconds);
  }
  if (pending.size_change) {
    const std::size_t colon = pending.size_change->find(':');
    SizeChange change;
    if (colon == std::string::npos ||
        !ParseMilliseconds(pending.size_change->substr(0, colon), 1, options.duration_ms - 1, change.at_ms) ||
        !ParseSize(pending.size_change->substr(colon + 1), change.width, change.height)) {
      error = "--size-change takes SECONDS:WIDTHxHEIGHT with a time inside the recording";
      return false;
    }
    options.size_change = change;
  }
  if (pending.audio_onset && !ParseMilliseconds(*pending.audio_onset, 0, options.duration_ms - 1, options.audio_onset_ms)) {
    error = "--audio-onset takes SECONDS inside the recording";
    return false;
  }
  return true;
}

}  // namespace

ParseOutcome ParseSynthOptions(const std::vector<std::string>& arguments, SynthOptions& options, std::string& error) {
  PendingValues pending;
  bool have_output = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    std::string name = arguments[i];
    std::optional<std::string> value;
    if (name == "--help" || name == "-h") return ParseOutcome::kHelp;
    if (name == "--privacy-marker") {
      options.privacy_marker = true;
      continue;
    }
    if (name.rfind("--", 0) != 0) {
      if (have_output) {
        error = "more than one output file: " + name;
        return ParseOutcome::kError;
      }
      options.output_path = name;
      have_output = true;
      continue;
    }
    if (const std::size_t equals = name.find('='); equals != std::string::npos) {
      value = name.substr(equals + 1);
      name.resize(equals);
    }
    const auto handler = ValueOptions().find(name);
    if (handler == ValueOptions().end()) {
      error = "unknown option " + name;
      return ParseOutcome::kError;
    }
    if (!value) {
      if (i + 1 == arguments.size()) {
        error = name + " needs a value";
        return ParseOutcome::kError;
      }
      value = arguments[++i];
    }
    if (!handler->second(*value, options, pending)) {
      error = "bad value for " + name + ": " + *value;
      return ParseOutcome::kError;
    }
  }
  if (!have_output) {
    error = "no output file given";
    return ParseOutcome::kError;
  }
  return ResolvePending(pending, options, error) ? ParseOutcome::kRun : ParseOutcome::kError;
}

std::string SynthHelpText() {
  return R"(Usage: cairn synth OUT [options]

Writes a synthetic recording to OUT: moving objects over a textured background, encoded as
H.264 or HEVC, with audio and analytic metadata, records in time order. People have faces
with eyes and a mouth and skin and clothes of fine, high-contrast detail (2-pixel cells), so
that masking shows in a decoded picture. The same options and seed always give the same bytes.

Picture and timing:
  --size WxH               picture size, even numbers (default 1280x720)
  --fps N                  pictures per second (default 25)
  --keyint N               pictures from one IDR picture to the next (default: one second)
  --duration SECONDS       length of the recording, e.g. 2 or 1.5 (default 10)
  --quality CRF            encoder quality, 0-51, lower is better (default 28)
  --size-change S:WxH      from S seconds on, pictures of size WxH (new parameter sets)
  --start TIME             start: seconds since 1970 (UTC), or recorder local time
                           YYYY-MM-DDTHH:MM:SS (default 2024-03-15 12:00:00 UTC)
  --zone N                 recorder time zone in quarter hours east of UTC (default 4)

Codecs:
  --codec N                codec number of the codec descriptor (default 10: H.264 and
                           G.711 mu-law). It selects the video coding and the audio codec:
                           0, 1 G.726-32; 26 G.726-16; 5-9 AAC-LC; 10, 16, 17, 36 mu-law;
                           22-24, 27, 37, 38 A-law; HEVC with 28 AAC-LC 16 kHz, 29 G.722,
                           30-34 AAC-LC, 35 mu-law; any other number H.264 with G.722
  --audio tone|noise|none  the sound, or no audio records (default tone)
  --audio-onset S          silence for the first S seconds, then the sound (default 0)
  --audio-record MS        length of each audio record of G.711, G.726 and G.722,
                           10-1000 ms (default 20); AAC records hold one frame each
  --aac-rate HZ            code AAC at this rate (its ADTS headers say so) instead of
                           the codec table's, as some recorders do

Metadata and privacy:
  --metadata LIST          comma-separated: letters (one-letter M, L, F, P records),
                           blocks (structured blocks), privacy (privacy switches and a
                           Pixelate block); or none (default letters,blocks)
  --metadata-interval MS   one report per object every MS milliseconds (default 500)
  --pixelate LEVEL,ALGO    pixelation level and anonymizer algorithm of the Pixelate
                           block (default 8,0)
  --privacy-marker         mark video and parameter-set records for privacy processing

Faults, for testing readers (may be repeated):
  --fault zero-length      empty records in the middle of the recording
  --fault truncated        the last record is cut short
  --fault garbage          random bytes between two records
  --fault no-codec-descriptor
                           leave out the codec descriptor
  --fault late-codec-descriptor
                           put the codec descriptor after the first parameter sets
  --fault undecodable      the picture before the second key frame carries no slice

  --seed N                 varies the scene, the sound and the garbage bytes (default 1)
  --help                   this text
)";
}

}  // namespace moraine::cairn
