#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "moraine/recording/cairn_record.h"
#include "moraine/recording/codec_table.h"
#include "moraine/recording/video_payload.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/recording_files.h"

namespace moraine::testing {
namespace {

constexpr std::uint8_t kVideo = 1;
constexpr std::uint8_t kInfo = 4;
constexpr std::uint8_t kParameterSet = 5;
constexpr std::uint8_t kAudio = 6;
constexpr std::uint32_t kDefaultStartRecordTime = 1710504000u * 1000u;  // wraps like the header's

std::uint8_t H264Type(const CairnRecord& record) { return *NalUnitType(record.payload(), record.payload_size(), false); }
std::uint8_t HevcType(const CairnRecord& record) { return *NalUnitType(record.payload(), record.payload_size(), true); }

// True when the payload is a start code and one NAL unit with no further start code inside.
bool IsSingleNalUnit(const CairnRecord& record) {
  const std::uint8_t* payload = record.payload();
  const std::size_t size = record.payload_size();
  if (size < 5 || payload[0] != 0 || payload[1] != 0 || payload[2] != 0 || payload[3] != 1) return false;
  for (std::size_t i = 4; i + 2 < size; ++i) {
    if (payload[i] == 0 && payload[i + 1] == 0 && payload[i + 2] <= 1) return false;
  }
  return true;
}

// Decodes a raw video stream completely with ffmpeg; returns ffprobe's "width,height,frames".
std::string DecodeVideo(const TempDir& dir, const std::vector<std::uint8_t>& stream, const std::string& format) {
  const std::string path = dir.File("video." + format);
  WriteBytes(path, stream);
  const CommandResult decode = RunCommand({"ffmpeg", "-v", "error", "-xerror", "-f", format, "-i", path, "-f", "null", "-"});
  EXPECT_EQ(decode.exit_status, 0) << decode.standard_error;
  EXPECT_EQ(decode.standard_error, "");
  const CommandResult probe = RunCommand({"ffprobe", "-v", "error", "-f", format, "-count_frames", "-show_entries",
                                          "stream=width,height,nb_read_frames", "-of", "csv=p=0", path});
  EXPECT_EQ(probe.exit_status, 0) << probe.standard_error;
  return probe.standard_output;
}

TEST(CairnToolSynth, RecordsComeInTheOrderAndAtTheTimesTheConverterExpects) {
  TempDir dir;
  const auto records = ReadRecords(Synthesize(dir, "order.cairn", {"--size", "160x120", "--duration", "2", "--keyint",
                                                                    "10", "--metadata", "none"}));
  ASSERT_FALSE(records.empty());
  // The codec descriptor comes first.
  ASSERT_EQ(records[0].header.kind, kInfo);
  ASSERT_EQ(records[0].payload_size(), 5u);
  EXPECT_EQ(records[0].payload()[0], 'c');
  EXPECT_EQ(ParseCodecNumber(records[0].payload() + 1), 10);

  std::vector<std::uint32_t> picture_times;
  std::vector<std::uint32_t> audio_times;
  std::uint32_t previous_time = 0;
  for (std::size_t i = 0; i < records.size(); ++i) {
    const CairnRecord& record = records[i];
    const std::uint32_t time = RecordTime(record.header) - kDefaultStartRecordTime;
    EXPECT_GE(time, previous_time) << "record " << i << " is out of time order";
    previous_time = time;
    if (record.header.kind == kParameterSet) {
      EXPECT_TRUE(IsSingleNalUnit(record)) << "record " << i;
      EXPECT_LE(record.payload_size(), 250u) << "the converter stores parameter sets of up to 250 bytes";
    }
    if (record.header.kind == kAudio) audio_times.push_back(time);
    if (record.header.kind != kVideo) continue;
    picture_times.push_back(time);
    if (H264Type(record) == 5) {
      // Every IDR picture follows its own SPS and PPS, stamped with the picture's time.
      ASSERT_GE(i, 2u);
      EXPECT_EQ(records[i - 2].header.kind, kParameterSet);
      EXPECT_EQ(H264Type(records[i - 2]), 7);
      EXPECT_EQ(records[i - 1].header.kind, kParameterSet);
      EXPECT_EQ(H264Type(records[i - 1]), 8);
      EXPECT_EQ(RecordTime(records[i - 1].header), RecordTime(record.header));
      EXPECT_EQ(time % 400, 0u) << "IDR pictures every 10 pictures";
    } else {
      EXPECT_EQ(H264Type(record), 1);
    }
  }
  ASSERT_EQ(picture_times.size(), 50u);
  for (std::size_t i = 0; i < picture_times.size(); ++i) EXPECT_EQ(picture_times[i], 40 * i);
  ASSERT_EQ(audio_times.size(), 100u);
  for (std::size_t i = 0; i < audio_times.size(); ++i) EXPECT_EQ(audio_times[i], 20 * i);
}

TEST(CairnToolSynth, H264StreamDecodesCompletely) {
  TempDir dir;
  const auto records = ReadRecords(Synthesize(dir, "h264.cairn", {"--size", "320x240", "--duration", "2"}));
  EXPECT_EQ(DecodeVideo(dir, ConcatenatePayloads(records, {kParameterSet, kVideo}), "h264"), "320,240,50\n");
}

TEST(CairnToolSynth, HevcStreamWithVpsDecodesCompletely) {
  TempDir dir;
  const auto records =
      ReadRecords(Synthesize(dir, "hevc.cairn", {"--size", "320x240", "--duration", "1", "--codec", "35"}));
  std::vector<std::uint8_t> parameter_set_types;
  for (const CairnRecord& record : records) {
    if (record.header.kind == kParameterSet) parameter_set_types.push_back(HevcType(record));
  }
  EXPECT_EQ(parameter_set_types, (std::vector<std::uint8_t>{32, 33, 34}));
  EXPECT_EQ(DecodeVideo(dir, ConcatenatePayloads(records, {kParameterSet, kVideo}), "hevc"), "320,240,25\n");
}

TEST(CairnToolSynth, SizeChangeStartsNewParameterSetsAndPictures) {
  TempDir dir;
  const auto records = ReadRecords(Synthesize(
      dir, "resize.cairn", {"--size", "320x240", "--duration", "2", "--size-change", "0.8:176x144", "--keyint", "50"}));
  int idr_pictures = 0;
  for (const CairnRecord& record : records) {
    if (record.header.kind == kVideo && H264Type(record) == 5) ++idr_pictures;
  }
  EXPECT_EQ(idr_pictures, 2);
  const std::string path = dir.File("resize.h264");
  WriteBytes(path, ConcatenatePayloads(records, {kParameterSet, kVideo}));
  const CommandResult frames = RunCommand(
      {"ffprobe", "-v", "error", "-f", "h264", "-show_entries", "frame=width,height", "-of", "csv=p=0", path});
  ASSERT_EQ(frames.exit_status, 0) << frames.standard_error;
  std::string expected;
  for (int i = 0; i < 20; ++i) expected += "320,240\n";
  for (int i = 0; i < 30; ++i) expected += "176,144\n";
  EXPECT_EQ(frames.standard_output, expected);
}

TEST(CairnToolSynth, SameOptionsGiveTheSameBytes) {
  TempDir dir;
  const std::vector<std::string> h264 = {"--size", "160x120", "--duration", "1", "--metadata", "letters,blocks,privacy"};
  const std::vector<std::string> hevc = {"--size", "160x120", "--duration", "1", "--codec", "28"};
  EXPECT_EQ(ReadBytes(Synthesize(dir, "a.cairn", h264)), ReadBytes(Synthesize(dir, "b.cairn", h264)));
  EXPECT_EQ(ReadBytes(Synthesize(dir, "c.cairn", hevc)), ReadBytes(Synthesize(dir, "d.cairn", hevc)));
  std::vector<std::string> other_seed = h264;
  other_seed.insert(other_seed.end(), {"--seed", "2"});
  EXPECT_NE(ReadBytes(Synthesize(dir, "a.cairn", h264)), ReadBytes(Synthesize(dir, "e.cairn", other_seed)));
}

TEST(CairnToolSynth, PrivacyMarkerOnEveryVideoRecordAndTheStreamStillDecodes) {
  TempDir dir;
  auto records = ReadRecords(
      Synthesize(dir, "private.cairn", {"--size", "160x120", "--duration", "1", "--privacy-marker", "--metadata", "privacy"}));
  bool switches_before_video = false;
  bool pixelate_block = false;
  bool video_seen = false;
  for (CairnRecord& record : records) {
    if (record.header.kind == kInfo && record.payload_size() == 3 && record.payload()[0] == 'B') {
      EXPECT_EQ(record.payload()[1], 1);
      EXPECT_EQ(record.payload()[2], 1);
      switches_before_video = !video_seen;
    }
    if (record.header.kind == kInfo && record.payload_size() > 18 &&
        std::memcmp(record.payload() + 10, "Pixelate", 8) == 0) {
      pixelate_block = !video_seen;
    }
    if (record.header.kind == kVideo || record.header.kind == kParameterSet) {
      video_seen = true;
      EXPECT_TRUE(RemovePrivacyMarker(record.payload(), record.payload_size()));
    }
  }
  EXPECT_TRUE(switches_before_video);
  EXPECT_TRUE(pixelate_block);
  EXPECT_EQ(DecodeVideo(dir, ConcatenatePayloads(records, {kParameterSet, kVideo}), "h264"), "160,120,25\n");
}

TEST(CairnToolSynth, AnalyticRecordsFollowTheMovingObjects) {
  TempDir dir;
  const auto records =
      ReadRecords(Synthesize(dir, "analytics.cairn", {"--size", "320x240", "--duration", "2", "--metadata-interval", "250"}));
  std::vector<int> motion_left;
  std::string letters;
  std::vector<std::string> block_names;
  for (const CairnRecord& record : records) {
    if (record.header.kind != kInfo || record.payload_size() < 13) continue;
    const std::uint8_t* payload = record.payload();
    if (payload[0] == 'G') {
      ASSERT_EQ(std::memcmp(payload, "GAD", 3), 0);
      EXPECT_EQ(payload[3] << 8 | payload[4], static_cast<int>(record.payload_size()));
      EXPECT_EQ(payload[5] << 8 | payload[6], 320);  // source size: the picture the analytics saw
      block_names.emplace_back(reinterpret_cast<const char*>(payload + 10), payload[9]);
      continue;
    }
    letters += static_cast<char>(payload[0]);
    if (payload[0] == 'M') {
      EXPECT_EQ(record.payload_size(), 13u);
      EXPECT_EQ(payload[9] << 8 | payload[10], 320);
      EXPECT_EQ(payload[11] << 8 | payload[12], 240);
      motion_left.push_back(((payload[1] & 0x0F) << 16 | payload[2] << 8 | payload[3]) / 1000);
    }
  }
  for (const char letter : {'M', 'L', 'F', 'P'}) EXPECT_NE(letters.find(letter), std::string::npos) << letter;
  for (const char* name : {"motion", "perimeter", "loitering", "fire"}) {
    EXPECT_NE(std::find(block_names.begin(), block_names.end(), name), block_names.end()) << name;
  }
  ASSERT_EQ(motion_left.size(), 8u);  // the person is reported every 250 ms
  EXPECT_NE(motion_left.front(), motion_left.back()) << "the person walks";
}

struct AudioCase {
  const char* name;
  const char* codec_number;
  std::vector<std::string> input_format;  // ffmpeg options describing the raw stream
  int sample_rate;
  std::size_t frame_bytes;  // 0: frames of varying size (AAC)
};

void PrintTo(const AudioCase& audio, std::ostream* out) { *out << audio.name; }

class CairnToolSynthAudio : public ::testing::TestWithParam<AudioCase> {};

TEST_P(CairnToolSynthAudio, PayloadsDecodeToTheSound) {
  const AudioCase& audio = GetParam();
  TempDir dir;
  const auto records = ReadRecords(Synthesize(
      dir, "audio.cairn", {"--size", "64x48", "--duration", "2", "--metadata", "none", "--codec", audio.codec_number}));
  std::size_t frames = 0;
  for (const CairnRecord& record : records) {
    if (record.header.kind != kAudio) continue;
    ++frames;
    if (audio.frame_bytes != 0) {
      EXPECT_EQ(record.payload_size(), audio.frame_bytes);
    } else {
      // One ADTS frame whose length field covers exactly the payload.
      ASSERT_GE(record.payload_size(), 7u);
      EXPECT_EQ(record.payload()[0], 0xFF);
      EXPECT_EQ(record.payload()[1] & 0xF6, 0xF0);
      const std::size_t length =
          (record.payload()[3] & 3u) << 11 | static_cast<std::size_t>(record.payload()[4]) << 3 | record.payload()[5] >> 5;
      EXPECT_EQ(length, record.payload_size());
    }
  }
  EXPECT_GT(frames, 0u);
  std::vector<std::uint8_t> stream = ConcatenatePayloads(records, {kAudio});
  if (std::string(audio.input_format[1]) == "g726") {
    // The raw G.726 reader cuts its input into 1020-byte packets and flags a short last one.
    stream.resize(stream.size() / 1020 * 1020);
  }
  const std::string input = dir.File("audio.raw");
  const std::string output = dir.File("audio.pcm");
  WriteBytes(input, stream);
  std::vector<std::string> command = {"ffmpeg", "-v", "error", "-xerror"};
  command.insert(command.end(), audio.input_format.begin(), audio.input_format.end());
  command.insert(command.end(), {"-i", input, "-f", "s16le", "-ac", "1", output});
  const CommandResult decode = RunCommand(command);
  ASSERT_EQ(decode.exit_status, 0) << decode.standard_error;
  EXPECT_EQ(decode.standard_error, "");

  const std::vector<std::uint8_t> pcm = ReadBytes(output);
  const std::size_t samples = pcm.size() / 2;
  // Two seconds of sound, less what the G.726 trimming or the AAC priming takes.
  EXPECT_GT(samples, static_cast<std::size_t>(audio.sample_rate) * 3 / 2);
  EXPECT_LE(samples, static_cast<std::size_t>(audio.sample_rate) * 2);
  double energy = 0;
  for (std::size_t i = 0; i < samples; ++i) {
    const auto sample = static_cast<std::int16_t>(pcm[2 * i] | pcm[2 * i + 1] << 8);
    energy += static_cast<double>(sample) * sample;
  }
  EXPECT_GT(std::sqrt(energy / static_cast<double>(samples)), 1000.0) << "the tone is audible";
}

INSTANTIATE_TEST_SUITE_P(
    AudioFamilies, CairnToolSynthAudio,
    ::testing::Values(AudioCase{"MuLaw", "10", {"-f", "mulaw", "-ar", "8000"}, 8000, 160},
                      AudioCase{"ALaw", "22", {"-f", "alaw", "-ar", "8000"}, 8000, 160},
                      AudioCase{"G726At32k", "0", {"-f", "g726", "-code_size", "4", "-ar", "8000"}, 8000, 80},
                      AudioCase{"G726At16k", "26", {"-f", "g726", "-code_size", "2", "-ar", "8000"}, 8000, 40},
                      AudioCase{"Aac8k", "5", {"-f", "aac"}, 8000, 0},
                      AudioCase{"Aac16kWithHevc", "28", {"-f", "aac"}, 16000, 0},
                      AudioCase{"G722WithHevc", "29", {"-f", "g722"}, 16000, 160}),
    [](const ::testing::TestParamInfo<AudioCase>& info) { return std::string(info.param.name); });

TEST(CairnToolSynth, FaultsAndOmissions) {
  TempDir dir;
  const std::vector<std::string> base = {"--size", "64x48", "--duration", "1", "--metadata", "none"};
  auto with = [&base](std::vector<std::string> more) {
    more.insert(more.begin(), base.begin(), base.end());
    return more;
  };
  const std::size_t clean = ReadRecords(Synthesize(dir, "clean.cairn", base)).size();

  // Empty records are skipped by the reader; everything else is still there.
  const std::string empty_path = Synthesize(dir, "empty.cairn", with({"--fault", "zero-length"}));
  EXPECT_EQ(ReadRecords(empty_path).size(), clean);
  EXPECT_EQ(ReadBytes(empty_path).size(), ReadBytes(dir.File("clean.cairn")).size() + 32);

  // The cut last record is dropped.
  EXPECT_EQ(ReadRecords(Synthesize(dir, "cut.cairn", with({"--fault", "truncated"}))).size(), clean - 1);

  // Garbage makes the reader lose its way at some point after the start.
  const auto garbled = ReadRecords(Synthesize(dir, "garbage.cairn", with({"--fault", "garbage"})));
  EXPECT_NE(ReadBytes(dir.File("garbage.cairn")), ReadBytes(dir.File("clean.cairn")));
  EXPECT_GT(garbled.size(), clean / 2);

  const auto no_descriptor = ReadRecords(Synthesize(dir, "nocodec.cairn", with({"--fault", "no-codec-descriptor"})));
  ASSERT_FALSE(no_descriptor.empty());
  EXPECT_EQ(no_descriptor.size(), clean - 1);
  EXPECT_EQ(no_descriptor[0].header.kind, kParameterSet);

  for (const CairnRecord& record : ReadRecords(Synthesize(dir, "silent.cairn", with({"--audio", "none"})))) {
    EXPECT_NE(record.header.kind, kAudio);
  }

  // The descriptor follows the first parameter sets (SPS, PPS) and precedes the first picture.
  const auto late = ReadRecords(Synthesize(dir, "late.cairn", with({"--fault", "late-codec-descriptor"})));
  ASSERT_GE(late.size(), 4u);
  EXPECT_EQ(late[0].header.kind, kParameterSet);
  EXPECT_EQ(late[1].header.kind, kParameterSet);
  EXPECT_EQ(late[2].header.kind, kInfo);
  EXPECT_EQ(late[2].payload()[0], 'c');
  EXPECT_EQ(late[3].header.kind, kVideo);

}

// AAC coded at another rate than the codec table's, as the converter's tests of resampling use.
TEST(CairnToolSynth, AacRateOfItsOwn) {
  TempDir dir;
  for (const CairnRecord& record : ReadRecords(Synthesize(
           dir, "aac.cairn", {"--size", "64x48", "--duration", "1", "--codec", "5", "--aac-rate", "16000"}))) {
    if (record.header.kind == kAudio) {
      EXPECT_EQ((record.payload()[2] >> 2) & 0x0F, 8);  // ADTS sampling frequency index of 16 kHz
    }
  }
}

TEST(CairnToolSynth, RecordingAcrossMidnightAndTheZoneByte) {
  TempDir dir;
  const auto records = ReadRecords(Synthesize(
      dir, "midnight.cairn", {"--size", "64x48", "--duration", "2", "--start", "2024-12-31T23:59:59", "--zone", "-4"}));
  std::vector<std::tm> video_days;
  for (const CairnRecord& record : records) {
    EXPECT_EQ(record.header.zone, -4);
    if (record.header.kind == kVideo) video_days.push_back(WallClockTime(record.header));
  }
  ASSERT_FALSE(video_days.empty());
  EXPECT_EQ(video_days.front().tm_year, 124);
  EXPECT_EQ(video_days.front().tm_hour, 23);
  EXPECT_EQ(video_days.front().tm_sec, 59);
  EXPECT_EQ(video_days.back().tm_year, 125);
  EXPECT_EQ(video_days.back().tm_mday, 1);
  EXPECT_EQ(video_days.back().tm_hour, 0);
}

TEST(CairnToolSynth, UnwritableOutputFails) {
  TempDir dir;
  const CommandResult result =
      RunCommand({BuiltFile("cairn"), "synth", dir.File("missing/out.cairn"), "--size", "64x48", "--duration", "0.2"});
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_NE(result.standard_error.find("cannot create"), std::string::npos);
}

}  // namespace
}  // namespace moraine::testing
