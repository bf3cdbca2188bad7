// End-to-end conversions: recordings made by `cairn synth`, converted by the built Moraine with its
// real modules, and the MP4 files checked with ffprobe and a full ffmpeg decode.
//
// Which pictures may be lost: a picture reaches the file when the decoder hands it out within its
// own record and the encoder's output for it is collected before its file is finished. The synthetic
// streams have no picture reordering, so the decoder delivers every picture at once and no picture is
// lost, not even after a run of garbage bytes, which the reader passes over.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/driver/media_check.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace moraine {
namespace {

namespace fs = std::filesystem;
using testing::BuiltFile;
using testing::CommandResult;
using testing::CopyProgram;
using testing::RunCommand;

constexpr char kBanner[] = "CAIRN to mp4 conversion\n";
constexpr char kSuccess[] = "CAIRN to mp4 conversion succesful\n";
constexpr double kPictureSeconds = 1.0 / 25;
constexpr int kAacFrameSamples = 1024;
constexpr int kAllPictures = -1;

struct ExpectedFile {
  std::string name;
  int width = 320;
  int height = 240;
  int pictures = kAllPictures;  // or every video record of the recording
  int undecodable = 0;          // records among them that give no picture
  // Where the sound starts on the file's timeline, in seconds, as ffmpeg plays it (edit list
  // applied); 0: not checked.
  double onset = 0;
};

struct ConversionCase {
  std::string label;
  std::vector<std::string> synth_arguments;
  int audio_sample_rate = 8000;  // 0: the file has no audio track
  std::vector<ExpectedFile> files;
  std::string warning = {};  // a line standard error must carry exactly once
};

void PrintTo(const ConversionCase& c, std::ostream* out) { *out << c.label; }

// The default recording: 2 s at 25 pictures a second from 2024-03-15 12:00:00 UTC, zone +1 h.
std::string Synthesize(const testing::TempDir& temp, const std::vector<std::string>& options) {
  const std::string recording = temp.File("input.cairn");
  std::vector<std::string> command = {BuiltFile("cairn"), "synth", recording, "--size", "320x240", "--duration", "2"};
  command.insert(command.end(), options.begin(), options.end());
  const CommandResult result = RunCommand(command);
  if (result.exit_status != 0) ADD_FAILURE() << "cairn synth failed: " << result.standard_error;
  return recording;
}

CommandResult Convert(const std::string& program, const std::string& recording, const std::string& base) {
  // The per-record pause only slows tests down; the child inherits this setting.
  setenv("MORAINE_RECORD_PAUSE_MS", "0", 1);
  return RunCommand({program, recording, base});
}

std::vector<std::string> FileNames(const fs::path& folder) {
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

std::size_t Occurrences(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

class ConversionTest : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(ConversionTest, KeepsEveryPictureAndTheSound) {
  const ConversionCase& c = GetParam();
  testing::TempDir temp;
  const std::string recording = Synthesize(temp, c.synth_arguments);
  const testing::RecordingSummary source = testing::SummarizeRecording(recording);
  const fs::path output_folder = temp.path() / "out";
  fs::create_directory(output_folder);

  const CommandResult result = Convert(BuiltFile("Moraine"), recording, (output_folder / "cam_").string());
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.standard_output, std::string(kBanner) + kSuccess) << result.standard_error;
  if (c.warning.empty()) {
    // Nothing the program or its modules do on a recording they can read is worth a diagnostic.
    EXPECT_EQ(result.standard_error, "");
  } else {
    EXPECT_EQ(Occurrences(result.standard_error, c.warning), 1u) << result.standard_error;
  }

  // Only the finished files, under their final names: no working file is left behind.
  std::vector<std::string> expected_names;
  for (const ExpectedFile& file : c.files) expected_names.push_back(file.name);
  ASSERT_EQ(FileNames(output_folder), expected_names);

  double audio_seconds = 0;
  for (const ExpectedFile& expected : c.files) {
    const std::string path = (output_folder / expected.name).string();
    SCOPED_TRACE(expected.name);
    EXPECT_EQ(testing::DecodeErrors(path), "");
    const std::optional<testing::MediaSummary> media = testing::ProbeMedia(path);
    ASSERT_TRUE(media.has_value());

    const testing::StreamSummary* video = media->Find("video");
    ASSERT_NE(video, nullptr);
    const int records = expected.pictures == kAllPictures ? source.video_records : expected.pictures;
    const int pictures = records - expected.undecodable;
    EXPECT_EQ(video->codec_name, "h264");
    EXPECT_EQ(video->width, expected.width);
    EXPECT_EQ(video->height, expected.height);
    EXPECT_EQ(video->decoded_frames, pictures);
    EXPECT_EQ(video->container_frames, pictures);
    // Each picture lasts until the next video record (an undecodable record's time goes to the
    // next picture), the last one as long as the one before it: the video keeps the records' time.
    EXPECT_NEAR(video->duration_seconds, records * kPictureSeconds, 1e-3);
    if (expected.onset != 0) {
      const std::optional<double> onset = testing::SoundOnsetSeconds(path, 1500);
      ASSERT_TRUE(onset.has_value());
      EXPECT_NEAR(*onset, expected.onset, 1e-3);
    }
    // A second, independent reader sees the same sizes and durations.
    const std::optional<testing::MediaSummary> info = testing::ProbeWithMediaInfo(path);
    ASSERT_TRUE(info.has_value());
    for (const testing::StreamSummary& stream : media->streams) {
      const testing::StreamSummary* seen = info->Find(stream.codec_type);
      ASSERT_NE(seen, nullptr) << stream.codec_type;
      EXPECT_EQ(seen->width, stream.width);
      EXPECT_EQ(seen->height, stream.height);
      EXPECT_EQ(seen->sample_rate, stream.sample_rate);
      EXPECT_NEAR(seen->duration_seconds, stream.duration_seconds, 1e-3) << stream.codec_type;
    }

    const testing::StreamSummary* audio = media->Find("audio");
    if (c.audio_sample_rate == 0) {
      EXPECT_EQ(audio, nullptr);
      continue;
    }
    ASSERT_NE(audio, nullptr);
    EXPECT_EQ(audio->codec_name, "aac");
    EXPECT_EQ(audio->sample_rate, c.audio_sample_rate);
    EXPECT_EQ(audio->channels, 1);
    // The sound plays at the declared rate: as many frames decode as the track lasts.
    const double aac_frame = static_cast<double>(kAacFrameSamples) / c.audio_sample_rate;
    EXPECT_NEAR(audio->decoded_frames * aac_frame, audio->duration_seconds, 2 * aac_frame);
    audio_seconds += audio->duration_seconds;
  }
  if (c.audio_sample_rate != 0) {
    // The sound of every audio record arrives, each in the file its time belongs to: the records'
    // span plus the last record's own length.
    ASSERT_GT(source.audio_records, 1);
    const double record_seconds = source.audio_span_seconds / (source.audio_records - 1);
    EXPECT_NEAR(audio_seconds, source.audio_span_seconds + record_seconds, 2e-3);
  }
}

const std::string kOneFile = "cam_20240315_130000-130001.mp4";

INSTANTIATE_TEST_SUITE_P(
    Recordings, ConversionTest,
    ::testing::Values(
        ConversionCase{"H264MuLawPrivacyMarked", {"--codec", "10", "--privacy-marker", "--metadata", "privacy"},
                       8000, {{kOneFile}}},
        ConversionCase{"HevcAac16k", {"--codec", "28"}, 16000, {{kOneFile}}},
        // 540 rows are coded as 544; the conformance window says which 540 are shown.
        ConversionCase{"Hevc960x540", {"--codec", "28", "--size", "960x540"}, 16000, {{kOneFile, 960, 540}}},
        // The descriptor comes after the first HEVC parameter sets, before anything is written.
        ConversionCase{"LateCodecDescriptor", {"--codec", "28", "--fault", "late-codec-descriptor"}, 16000,
                       {{kOneFile}}, "warning: the recording has no codec descriptor"},
        // The codec table says 8000 Hz, the recorder's AAC says 16000 Hz.
        ConversionCase{"AacAtAnotherRateThanTheTable", {"--codec", "5", "--aac-rate", "16000"}, 8000, {{kOneFile}}},
        ConversionCase{"HevcG722", {"--codec", "29"}, 16000, {{kOneFile}}},
        // The zone byte moves the names: at 12:00 UTC, -4 quarter hours give 11:00 and 8 give 14:00.
        ConversionCase{"H264ALawZoneMinus4", {"--codec", "22", "--zone", "-4"}, 8000,
                       {{"cam_20240315_110000-110001.mp4"}}},
        ConversionCase{"H264G726TwoBitsZone8", {"--codec", "26", "--zone", "8"}, 8000,
                       {{"cam_20240315_140000-140001.mp4"}}},
        ConversionCase{"H264G726FourBits", {"--codec", "0"}, 8000, {{kOneFile}}},
        ConversionCase{"H264Aac8k", {"--codec", "5"}, 8000, {{kOneFile}}},
        // Records of 100 ms to 1 s decode to several AAC frames, which share the record's time.
        ConversionCase{"MuLawIn100msRecords", {"--audio-record", "100"}, 8000, {{kOneFile}}},
        ConversionCase{"MuLawIn400msRecords", {"--audio-record", "400"}, 8000, {{kOneFile}}},
        ConversionCase{"MuLawIn1sRecords", {"--audio-record", "1000"}, 8000, {{kOneFile}}},
        ConversionCase{"G722In100msRecords", {"--codec", "29", "--audio-record", "100"}, 16000, {{kOneFile}}},
        // A tone 2 s into a file starts at 2 s: the edit list skips the AAC encoder's start-up delay
        // in every file. G.722's filter banks delay the sound of the recording itself by 1.6 ms.
        ConversionCase{"ToneOnset8k", {"--duration", "3", "--audio-onset", "2"}, 8000,
                       {{"cam_20240315_130000-130002.mp4", 320, 240, kAllPictures, 0, 2.0}}},
        ConversionCase{"ToneOnset16k", {"--codec", "29", "--duration", "3", "--audio-onset", "2"}, 16000,
                       {{"cam_20240315_130000-130002.mp4", 320, 240, kAllPictures, 0, 2.0016}}},
        ConversionCase{"ToneOnset8kAfterSizeChange", {"--duration", "4", "--size-change", "1:160x120", "--audio-onset", "3"},
                       8000, {{"cam_20240315_130000-130000.mp4", 320, 240, 25},
                              {"cam_20240315_130001-130003.mp4", 160, 120, 75, 0, 2.0}}},
        ConversionCase{"ToneOnset16kAfterSizeChange",
                       {"--codec", "29", "--duration", "4", "--size-change", "1:160x120", "--audio-onset", "3"},
                       16000, {{"cam_20240315_130000-130000.mp4", 320, 240, 25},
                               {"cam_20240315_130001-130003.mp4", 160, 120, 75, 0, 2.0016}}},
        ConversionCase{"SizeChangeStartsASecondFile", {"--size-change", "1:160x120"}, 8000,
                       {{"cam_20240315_130000-130000.mp4", 320, 240, 25},
                        {"cam_20240315_130001-130001.mp4", 160, 120, 25}}},
        ConversionCase{"SpanningMidnight", {"--start", "2024-03-15T23:59:59"}, 8000,
                       {{"cam_20240315_235959-000000.mp4"}}},
        ConversionCase{"NoAudio", {"--audio", "none"}, 0, {{kOneFile}}},
        // Record times wrap from 2^32 - 1 ms to 0 1.4 s in.
        ConversionCase{"RecordTimeWraps", {"--start", "1717986917"}, 8000, {{"cam_20240610_033517-033518.mp4"}}},
        ConversionCase{"UndecodablePicture", {"--fault", "undecodable"}, 8000,
                       {{kOneFile, 320, 240, kAllPictures, 1}}},
        // Without a codec descriptor the recording is read with the default row: H.264 video and
        // audio decoded as G.722 at 16 kHz (the synthetic sound is mu-law, so it sounds wrong, but
        // the video is kept).
        ConversionCase{"NoCodecDescriptor", {"--fault", "no-codec-descriptor"}, 16000, {{kOneFile}},
                       "warning: the recording has no codec descriptor"},
        // The record cut short is damage at the end of the file, passed over with a warning.
        ConversionCase{"EmptyAndTruncatedRecords", {"--fault", "zero-length", "--fault", "truncated"}, 8000,
                       {{kOneFile}}, "warning: the recording is damaged"},
        // The reader passes over the garbage and keeps every picture after it.
        ConversionCase{"GarbageBetweenRecords", {"--fault", "garbage"}, 8000, {{kOneFile}},
                       "warning: the recording is damaged"}),
    [](const ::testing::TestParamInfo<ConversionCase>& info) { return info.param.label; });

TEST(ConversionModules, WithoutTheAudioDecoderModuleNothingIsConverted) {
  testing::TempDir temp;
  const std::string recording = Synthesize(temp, {"--duration", "1", "--audio", "none"});
  const std::string program = CopyProgram(temp.path() / "program", {"libBrook.so"});
  fs::create_directory(temp.path() / "out");
  const CommandResult result = Convert(program, recording, temp.File("out/cam_"));
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.standard_output, kBanner);
  EXPECT_NE(result.standard_error.find("libBrook.so"), std::string::npos) << result.standard_error;
  EXPECT_TRUE(fs::is_empty(temp.path() / "out"));
}

TEST(ConversionModules, WithoutTheAnonymizerModuleTheConversionSucceeds) {
  testing::TempDir temp;
  const std::string recording = Synthesize(temp, {"--duration", "1", "--privacy-marker", "--metadata", "privacy"});
  const std::string program = CopyProgram(temp.path() / "program", {"libAnonymizer.so"});
  ASSERT_FALSE(fs::exists(temp.path() / "program" / "libAnonymizer.so"));
  fs::create_directory(temp.path() / "out");
  const CommandResult result = Convert(program, recording, temp.File("out/cam_"));
  EXPECT_EQ(result.standard_output, std::string(kBanner) + kSuccess) << result.standard_error;
  const std::vector<std::string> names = FileNames(temp.path() / "out");
  ASSERT_EQ(names.size(), 1u);
  EXPECT_EQ(testing::DecodeErrors(temp.File("out/" + names[0])), "");
}

}  // namespace
}  // namespace moraine
