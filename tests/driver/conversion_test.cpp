// End-to-end conversions: recordings made by `cairn synth`, converted by the built Moraine with its
// real modules, and the MP4 files checked with ffprobe and a full ffmpeg decode.
//
// Which pictures may be lost: a picture reaches the file when the decoder hands it out within its
// own record and the encoder's output for it is collected before its file is finished. The synthetic
// streams have no picture reordering, so the decoder delivers every picture at once and no picture is
// lost; the only pictures missing are those of records the reader never delivers (everything from a
// run of garbage bytes on, which reads as a record longer than the rest of the file).

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
    const int pictures = expected.pictures == kAllPictures ? source.video_records : expected.pictures;
    EXPECT_EQ(video->codec_name, "h264");
    EXPECT_EQ(video->width, expected.width);
    EXPECT_EQ(video->height, expected.height);
    EXPECT_EQ(video->decoded_frames, pictures);
    EXPECT_EQ(video->container_frames, pictures);
    // Each picture lasts until the next video record; the last one of the recording lasts 0.
    EXPECT_NEAR(video->duration_seconds, pictures * kPictureSeconds, kPictureSeconds + 1e-3);

    const testing::StreamSummary* audio = media->Find("audio");
    if (c.audio_sample_rate == 0) {
      EXPECT_EQ(audio, nullptr);
      continue;
    }
    ASSERT_NE(audio, nullptr);
    EXPECT_EQ(audio->codec_name, "aac");
    EXPECT_EQ(audio->sample_rate, c.audio_sample_rate);
    EXPECT_EQ(audio->channels, 1);
    EXPECT_GT(audio->decoded_frames, 0);
    audio_seconds += audio->duration_seconds;
  }
  if (c.audio_sample_rate != 0) {
    // The sound of every audio record arrives: the records' span plus the last record's own length.
    // Each file may end in one AAC frame that the player counts in full.
    ASSERT_GT(source.audio_records, 1);
    const double record_seconds = source.audio_span_seconds / (source.audio_records - 1);
    const double aac_frame = static_cast<double>(kAacFrameSamples) / c.audio_sample_rate;
    EXPECT_NEAR(audio_seconds, source.audio_span_seconds + record_seconds, c.files.size() * aac_frame + 0.02);
  }
}

const std::string kOneFile = "cam_20240315_130000-130001.mp4";

INSTANTIATE_TEST_SUITE_P(
    Recordings, ConversionTest,
    ::testing::Values(
        ConversionCase{"H264MuLawPrivacyMarked", {"--codec", "10", "--privacy-marker", "--metadata", "privacy"},
                       8000, {{kOneFile}}},
        ConversionCase{"HevcAac16k", {"--codec", "28"}, 16000, {{kOneFile}}},
        ConversionCase{"HevcG722", {"--codec", "29"}, 16000, {{kOneFile}}},
        // The zone byte moves the names: at 12:00 UTC, -4 quarter hours give 11:00 and 8 give 14:00.
        ConversionCase{"H264ALawZoneMinus4", {"--codec", "22", "--zone", "-4"}, 8000,
                       {{"cam_20240315_110000-110001.mp4"}}},
        ConversionCase{"H264G726TwoBitsZone8", {"--codec", "26", "--zone", "8"}, 8000,
                       {{"cam_20240315_140000-140001.mp4"}}},
        ConversionCase{"H264G726FourBits", {"--codec", "0"}, 8000, {{kOneFile}}},
        ConversionCase{"H264Aac8k", {"--codec", "5"}, 8000, {{kOneFile}}},
        ConversionCase{"SizeChangeStartsASecondFile", {"--size-change", "1:160x120"}, 8000,
                       {{"cam_20240315_130000-130000.mp4", 320, 240, 25},
                        {"cam_20240315_130001-130001.mp4", 160, 120, 25}}},
        ConversionCase{"SpanningMidnight", {"--start", "2024-03-15T23:59:59"}, 8000,
                       {{"cam_20240315_235959-000000.mp4"}}},
        ConversionCase{"NoAudio", {"--audio", "none"}, 0, {{kOneFile}}},
        // Without a codec descriptor the recording is read with the default row: H.264 video and
        // audio decoded as G.722 at 16 kHz (the synthetic sound is mu-law, so it sounds wrong, but
        // the video is kept).
        ConversionCase{"NoCodecDescriptor", {"--fault", "no-codec-descriptor"}, 16000, {{kOneFile}},
                       "warning: the recording has no codec descriptor"},
        ConversionCase{"EmptyAndTruncatedRecords", {"--fault", "zero-length", "--fault", "truncated"}, 8000,
                       {{kOneFile}}},
        // The garbage reads as a record longer than the rest of the file: the input ends there and
        // the pictures before it are kept.
        ConversionCase{"GarbageBetweenRecords", {"--fault", "garbage"}, 8000, {{kOneFile}}}),
    [](const ::testing::TestParamInfo<ConversionCase>& info) { return info.param.label; });

// Copies the program and every module beside it except `left_out` into a folder of its own.
std::string CopyProgram(const fs::path& folder, const std::vector<std::string>& left_out) {
  fs::create_directory(folder);
  const fs::path bin = fs::path(BuiltFile("Moraine")).parent_path();
  for (const fs::directory_entry& entry : fs::directory_iterator(bin)) {
    const std::string name = entry.path().filename();
    const bool module = name.starts_with("lib") && name.ends_with(".so");
    if ((module || name == "Moraine") && std::find(left_out.begin(), left_out.end(), name) == left_out.end()) {
      fs::copy_file(entry.path(), folder / name);
    }
  }
  return (folder / "Moraine").string();
}

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
