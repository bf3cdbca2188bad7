#include <gtest/gtest.h>

#include <cmath>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "moraine/mp4/mp4_output.h"
#include "moraine/mp4/output_naming.h"
#include "tests/mp4/mp4_box_finder.h"
#include "tests/mp4/x264_test_stream.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace moraine {
namespace {

using testing::AccessUnit;
using testing::NalType;
using testing::RunCommand;
using Bytes = std::vector<std::uint8_t>;

std::tm Time(int year, int month, int day, int hour, int minute, int second) {
  std::tm time{};
  time.tm_year = year - 1900;
  time.tm_mon = month - 1;
  time.tm_mday = day;
  time.tm_hour = hour;
  time.tm_min = minute;
  time.tm_sec = second;
  return time;
}

Bytes ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The value of `key=` in ffprobe's key=value output.
std::string ProbeValue(const std::string& text, const std::string& key) {
  const std::string prefix = key + "=";
  std::size_t line = 0;
  while (line < text.size()) {
    const std::size_t end = text.find('\n', line);
    if (text.compare(line, prefix.size(), prefix) == 0) {
      return text.substr(line + prefix.size(), end - line - prefix.size());
    }
    if (end == std::string::npos) break;
    line = end + 1;
  }
  return "";
}

// 16-bit mono sine, little-endian.
Bytes SinePcm(int samples, int sample_rate) {
  Bytes pcm;
  for (int i = 0; i < samples; ++i) {
    const auto value = static_cast<std::int16_t>(8000 * std::sin(2 * M_PI * 440.0 * i / sample_rate));
    pcm.push_back(static_cast<std::uint8_t>(value & 0xFF));
    pcm.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
  }
  return pcm;
}

struct ConversionResult {
  std::string path;
  int pictures = 0;
  int pcm_samples = 0;
};

// Runs an output file the way the conversion does: 25 pictures a second (3600 ticks each), audio
// records of 20 ms (160 samples at 8000 Hz) decoded into chunks of `chunk_bytes`.
ConversionResult Convert(const std::string& base_name, int sample_rate, int seconds) {
  testing::X264StreamOptions options;
  options.width = 72;
  options.height = 40;
  options.frames = 25 * seconds;
  options.keyframe_interval = 25;
  const std::vector<AccessUnit> stream = testing::EncodeX264Stream(options);
  const int record_samples = sample_rate / 50;
  const Bytes pcm = SinePcm(record_samples * 50 * seconds, sample_rate);

  Mp4Output output;
  std::optional<WorkingFile> working = create_working_file(base_name);
  EXPECT_TRUE(working);
  EXPECT_EQ(open_output(output, working->file.get()), 0);
  setup_audio_track(output, sample_rate);
  AudioDurationMap durations;
  std::int64_t sequence = 0;
  std::size_t pcm_position = 0;
  for (const AccessUnit& unit : stream) {
    for (const Bytes& nal : unit.nal_units) {
      const int type = NalType(nal);
      if (type != 1 && type != 5 && type != 7 && type != 8) continue;
      EXPECT_EQ(h264_write_nal(*output.feeder, nal.data(), nal.size(), type >= 7 ? 0 : 3600), 0);
    }
    for (int record = 0; record < 2; ++record) {  // two 20 ms audio records per picture
      durations[++sequence] = 1800;
      on_decoded_audio(output, durations, pcm.data() + pcm_position, record_samples * 2, sequence,
                       kDecodedAudioKind);
      pcm_position += static_cast<std::size_t>(record_samples) * 2;
    }
  }
  EXPECT_TRUE(durations.empty());
  close_audio_encoder(output);
  EXPECT_EQ(finish_output(output), 0);
  const std::string final_name =
      finalize_output_file(base_name, std::move(working->file), working->path,
                           Time(2024, 3, 5, 9, 7, 2), Time(2024, 3, 5, 10, 30, 59));
  return {final_name, static_cast<int>(stream.size()), static_cast<int>(pcm.size() / 2)};
}

class Mp4OutputTest : public ::testing::TestWithParam<int> {};

TEST_P(Mp4OutputTest, PlayersDecodeEveryPictureAndAllAudio) {
  const int sample_rate = GetParam();
  testing::TempDir dir;
  const ConversionResult result = Convert(dir.File("cam1_"), sample_rate, 2);
  EXPECT_EQ(result.path, dir.File("cam1_20240305_090702-103059.mp4"));

  const auto decode = RunCommand({"ffmpeg", "-v", "error", "-xerror", "-i", result.path, "-f", "null", "-"});
  EXPECT_EQ(decode.exit_status, 0) << decode.standard_error;
  EXPECT_EQ(decode.standard_error, "");

  const auto video = RunCommand({"ffprobe", "-v", "error", "-select_streams", "v:0", "-count_frames",
                                 "-show_entries", "stream=codec_name,width,height,nb_read_frames,duration_ts,time_base",
                                 "-of", "default=nw=1", result.path});
  ASSERT_EQ(video.exit_status, 0) << video.standard_error;
  EXPECT_EQ(ProbeValue(video.standard_output, "codec_name"), "h264");
  EXPECT_EQ(ProbeValue(video.standard_output, "width"), "72");
  EXPECT_EQ(ProbeValue(video.standard_output, "height"), "40");
  EXPECT_EQ(ProbeValue(video.standard_output, "nb_read_frames"), std::to_string(result.pictures));
  EXPECT_EQ(ProbeValue(video.standard_output, "time_base"), "1/90000");
  EXPECT_EQ(ProbeValue(video.standard_output, "duration_ts"), std::to_string(result.pictures * 3600));

  const auto audio = RunCommand({"ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
                                 "stream=codec_name,profile,sample_rate,channels,duration_ts", "-of",
                                 "default=nw=1", result.path});
  ASSERT_EQ(audio.exit_status, 0) << audio.standard_error;
  EXPECT_EQ(ProbeValue(audio.standard_output, "codec_name"), "aac");
  EXPECT_EQ(ProbeValue(audio.standard_output, "profile"), "LC");
  EXPECT_EQ(ProbeValue(audio.standard_output, "sample_rate"), std::to_string(sample_rate));
  EXPECT_EQ(ProbeValue(audio.standard_output, "channels"), "1");
  // The track plays exactly as long as its audio records; the encoder's start-up delay is in the
  // media but skipped by the edit list.
  EXPECT_EQ(ProbeValue(audio.standard_output, "duration_ts"), std::to_string(result.pcm_samples));

  // Played with the edit list, the track gives every sample that went in, from its first, and
  // at most the rest of a short last frame besides.
  const auto samples = RunCommand({"ffmpeg", "-v", "error", "-i", result.path, "-map", "0:a", "-f", "s16le", "-"});
  ASSERT_EQ(samples.exit_status, 0);
  const int played = static_cast<int>(samples.standard_output.size() / 2);
  EXPECT_GE(played, result.pcm_samples);
  EXPECT_LT(played, result.pcm_samples + 1024);
}

INSTANTIATE_TEST_SUITE_P(Rates, Mp4OutputTest, ::testing::Values(8000, 16000));

TEST(Mp4AudioTest, MissingEncoderReports) {
  Mp4Output output;
  AudioDurationMap durations{{7, 1800}};
  const Bytes pcm(320);
  // Diagnostics go to standard error: standard output carries only the program's own texts.
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(encode_audio(output, durations, pcm.data(), 320, 7), -1);
  on_decoded_audio(output, durations, pcm.data(), 320, 8, 3);  // not decoded audio: ignored
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "error: aac encode fail\n");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_TRUE(durations.empty());
}

TEST(Mp4OutputNamingTest, NamesCarryTheTimesOfFirstAndLastPicture) {
  EXPECT_EQ(final_output_name("cam1_", Time(2024, 3, 5, 9, 7, 2), Time(2024, 3, 5, 10, 30, 59)),
            "cam1_20240305_090702-103059.mp4");
  EXPECT_EQ(final_output_name("out/cam1_", Time(2024, 3, 5, 23, 59, 50), Time(2024, 3, 6, 0, 0, 10)),
            "out/cam1_20240305_235950-000010.mp4");
  EXPECT_EQ(final_output_name("x", Time(999, 12, 31, 1, 2, 3), Time(999, 12, 31, 1, 2, 4), "_2"),
            "x9991231_010203-010204_2.mp4");
}

TEST(Mp4OutputNamingTest, TakenNamesGetSuffixesAndExistingFilesStayUntouched) {
  testing::TempDir dir;
  const std::string base = dir.File("cam_");
  const std::tm start = Time(2024, 1, 2, 3, 4, 5);
  const std::tm end = Time(2024, 1, 2, 3, 4, 6);
  const std::string taken = final_output_name(base, start, end);
  std::ofstream(taken) << "keep me";
  std::vector<std::string> names;
  for (int i = 0; i < 2; ++i) {
    std::optional<WorkingFile> working = create_working_file(base);
    ASSERT_TRUE(working);
    EXPECT_EQ(std::filesystem::path(working->path).parent_path(), dir.path());
    std::fputs("data", working->file.get());
    names.push_back(finalize_output_file(base, std::move(working->file), working->path, start, end));
  }
  EXPECT_EQ(names[0], dir.File("cam_20240102_030405-030406_1.mp4"));
  EXPECT_EQ(names[1], dir.File("cam_20240102_030405-030406_2.mp4"));
  EXPECT_EQ(ReadFile(taken), (Bytes{'k', 'e', 'e', 'p', ' ', 'm', 'e'}));
  EXPECT_EQ(ReadFile(names[1]), (Bytes{'d', 'a', 't', 'a'}));
  // Only the three named files remain: no working file is left behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 3);
}

TEST(Mp4OutputNamingTest, FailedRenameKeepsTheFileAndSaysWhere) {
  testing::TempDir dir;
  const std::string base = dir.File(std::string(300, 'n'));  // the final name is too long
  std::optional<WorkingFile> working = create_working_file(base);
  ASSERT_TRUE(working);
  const std::string working_path = working->path;
  ::testing::internal::CaptureStderr();
  const std::string name = finalize_output_file(base, std::move(working->file), working_path,
                                                Time(2024, 1, 2, 3, 4, 5), Time(2024, 1, 2, 3, 4, 6));
  const std::string message = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(name, working_path);
  EXPECT_TRUE(std::filesystem::exists(working_path));
  EXPECT_NE(message.find("error: "), std::string::npos);
  EXPECT_NE(message.find(working_path), std::string::npos);
}

}  // namespace
}  // namespace moraine
