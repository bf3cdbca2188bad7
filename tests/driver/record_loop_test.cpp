// The record loop against a stand-in module that logs every call into Tarn, Fell and Brook: which
// parameter sets start and restart the video pipeline, in what order the modules are called, and
// what a run leaves behind. The parameter sets are real ones, taken from recordings of `cairn synth`.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "moraine/driver/converter.h"
#include "moraine/recording/cairn_reader.h"
#include "tests/bitstream/nal_unit_writer.h"
#include "tests/driver/fake_anonymizer_access.h"
#include "tests/driver/recording_builder.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace moraine {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::RecordingBuilder;
using testing::VideoPayload;

const std::string kFakeMedia = std::string(MORAINE_FAKE_MODULE_DIR) + "/libFakeMedia.so";

// The parameter-set records (VPS for HEVC, SPS, PPS) of a short synthetic recording.
std::vector<Bytes> ParameterSets(const testing::TempDir& temp, const std::string& codec, const std::string& size) {
  const std::string path = temp.File("ps-" + codec + "-" + size + ".cairn");
  const testing::CommandResult made = testing::RunCommand(
      {testing::BuiltFile("cairn"), "synth", path, "--codec", codec, "--size", size, "--duration", "0.2", "--audio",
       "none", "--metadata", "none"});
  EXPECT_EQ(made.exit_status, 0) << made.standard_error;
  std::vector<Bytes> sets;
  const std::unique_ptr<CairnReader> reader = CairnReader::Open(path);
  while (std::optional<CairnRecord> record = reader->ReadNextRecord()) {
    if (record->header.kind != static_cast<std::uint8_t>(RecordKind::kParameterSet)) continue;
    const Bytes payload(record->payload(), record->payload() + record->payload_size());
    if (std::find(sets.begin(), sets.end(), payload) == sets.end()) sets.push_back(payload);
  }
  return sets;
}

Bytes WithStartCode(const Bytes& nal) {
  Bytes payload(4 + nal.size());
  payload[3] = 0x01;
  std::copy(nal.begin(), nal.end(), payload.begin() + 4);
  return payload;
}

// A baseline SPS of one 16 × 16 macroblock whose crop takes the whole width: width 0.
Bytes ZeroWidthSps() {
  testing::NalUnitWriter sps({0x67});
  sps.U(8, 66).U(8, 0).U(8, 30);  // profile_idc, constraint flags, level_idc
  sps.Ue(0).Ue(0).Ue(2).Ue(1);    // seq_parameter_set_id, log2_max_frame_num_minus4, pic_order_cnt_type, max_num_ref_frames
  sps.U(1, 0);                    // gaps_in_frame_num_value_allowed_flag
  sps.Ue(0).Ue(0);                // pic_width_in_mbs_minus1, pic_height_in_map_units_minus1
  sps.U(1, 1).U(1, 1);            // frame_mbs_only_flag, direct_8x8_inference_flag
  sps.U(1, 1).Ue(0).Ue(8).Ue(0).Ue(0);  // frame_cropping_flag; left, right (8 × 2 pixels), top, bottom
  sps.U(1, 0);                    // vui_parameters_present_flag
  return WithStartCode(sps.Finish());
}

std::string Hex(const Bytes& bytes, std::size_t limit = SIZE_MAX) {
  std::ostringstream text;
  for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
    text << std::hex << (bytes[i] < 16 ? "0" : "") << static_cast<int>(bytes[i]);
  }
  return text.str();
}

Bytes Joined(const std::vector<Bytes>& parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// The logged calls whose line starts with one of `prefixes`, in order.
std::vector<std::string> CallsOf(const std::string& log, const std::vector<std::string>& prefixes) {
  std::vector<std::string> calls;
  std::istringstream lines(log);
  for (std::string line; std::getline(lines, line);) {
    for (const std::string& prefix : prefixes) {
      if (line.starts_with(prefix)) {
        calls.push_back(line);
        break;
      }
    }
  }
  return calls;
}

class RecordLoopTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("MORAINE_RECORD_PAUSE_MS", "0", 1); }

  // Converts `recording` with the stand-in modules; returns the calls they saw.
  std::string Convert(const RecordingBuilder& recording, std::int32_t expected_status = Converter::kSucceeded,
                      const std::string& anonymizer = testing::FakeModule("Missing")) {
    ConverterModuleFiles files;
    files.media.tarn = files.media.fell = files.media.brook = kFakeMedia;
    files.anonymizer = anonymizer;
    Converter converter(recording.WriteTo(temp_.File("input.cairn")), files);
    std::filesystem::create_directories(temp_.path() / "out");
    EXPECT_EQ(converter.run(temp_.File("out/cam_")), expected_status);
    void* module = dlopen(kFakeMedia.c_str(), RTLD_NOW | RTLD_NOLOAD);
    EXPECT_NE(module, nullptr);
    std::string log;
    if (module != nullptr) {
      reinterpret_cast<void (*)(std::string*)>(dlsym(module, "FakeMediaTakeEvents"))(&log);
      dlclose(module);
    }
    return log;
  }

  std::vector<std::string> OutputFiles() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(temp_.path() / "out")) {
      names.push_back(entry.path().filename());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  testing::TempDir temp_;
};

TEST_F(RecordLoopTest, H264ParameterSetsStartAndRestartThePipeline) {
  const std::vector<Bytes> large = ParameterSets(temp_, "10", "320x240");
  const std::vector<Bytes> small = ParameterSets(temp_, "10", "160x120");
  ASSERT_EQ(large.size(), 2u);  // SPS, PPS
  ASSERT_EQ(small.size(), 2u);
  const Bytes& pps = large[1];

  RecordingBuilder recording;
  recording.Add(4, 0, {'c', '0', '0', '1', '0'})
      .Add(5, 0, pps)                      // a PPS before any SPS is skipped
      .Add(5, 0, ZeroWidthSps()).Add(5, 0, pps)  // an SPS without a usable size starts nothing
      .Add(1, 0, VideoPayload(0x65))       // no decoder yet
      .Add(5, 0, large[0]).Add(5, 0, large[1])
      .Add(6, 10, {1, 2, 3, 4})
      .Add(1, 40, VideoPayload(0x65))
      .Add(5, 60, large[0]).Add(5, 60, large[1])  // repeated with the same size: no effect
      .Add(1, 80, VideoPayload(0x41))
      .Add(5, 100, small[0]).Add(5, 100, small[1])
      .Add(1, 1120, VideoPayload(0x65));
  const std::string log = Convert(recording);

  EXPECT_EQ(CallsOf(log, {"Tarn"}),
            (std::vector<std::string>{
                "TarnCreate 0 codec=1 320x240 " + Hex(Joined(large)),
                "TarnDecode " + Hex(large[0], 6), "TarnDecode " + Hex(large[1], 6),
                "TarnDecode 000000016588", "TarnDecode 000000014188",
                "TarnClose 0",
                "TarnCreate 0 codec=1 160x120 " + Hex(Joined(small)),
                "TarnDecode " + Hex(small[0], 6), "TarnDecode " + Hex(small[1], 6),
                "TarnDecode 000000016588",
                "TarnClose 0"}))
      << log;
  // Each picture goes to the encoder with its decoder's size; the encoder's held-back output is
  // collected before each file is finished.
  EXPECT_EQ(CallsOf(log, {"Fell"}),
            (std::vector<std::string>{"FellCreate 0 25 10000 320x240", "FellEncode 115200", "FellEncode 115200",
                                      "FellEncode 0", "FellClose 0", "FellCreate 0 25 10000 160x120",
                                      "FellEncode 28800", "FellEncode 0", "FellClose 0"}))
      << log;
  EXPECT_EQ(CallsOf(log, {"CreateDecoder", "Brook", "DestroyDecoder"}),
            (std::vector<std::string>{"CreateDecoder", "BrookSetRate selector=5 rate=32000", "BrookSetOutputRate 8000",
                                      "BrookSetAllocator", "BrookSetLock", "BrookSetOutputCallback",
                                      "BrookDecode 4 bytes #1", "BrookFinish", "DestroyDecoder"}))
      << log;
  // The encoder's output had no start code, so it was dropped and neither file holds a picture. The
  // first file holds nothing at all and is removed; the second, named after its first and last
  // video records (1970-01-01, zone 0), holds the sound the audio decoder delivers as it finishes.
  EXPECT_EQ(OutputFiles(), (std::vector<std::string>{"cam_19700101_000001-000001.mp4"}));
}

// A damaged SPS gives no size: the privacy options of every later pixelation block are still sent
// for the size the stream has.
TEST_F(RecordLoopTest, SpsWithoutAUsableSizeLeavesThePrivacyOptionsAlone) {
  const std::string marked = temp_.File("marked.cairn");
  ASSERT_EQ(testing::RunCommand({testing::BuiltFile("cairn"), "synth", marked, "--size", "320x240", "--duration",
                                 "0.2", "--audio", "none", "--metadata", "privacy", "--pixelate", "16,1",
                                 "--privacy-marker"})
                .exit_status,
            0);
  RecordingBuilder recording;
  Bytes pixelate_block, pps;
  std::uint32_t time = 0;
  const std::unique_ptr<CairnReader> reader = CairnReader::Open(marked);
  while (std::optional<CairnRecord> record = reader->ReadNextRecord()) {
    const Bytes payload(record->payload(), record->payload() + record->payload_size());
    time = RecordTime(record->header);
    recording.Add(record->header.kind, time, payload);
    // The last info record is the "Pixelate" block, the last parameter set a PPS.
    if (record->header.kind == static_cast<std::uint8_t>(RecordKind::kInfo)) pixelate_block = payload;
    if (record->header.kind == static_cast<std::uint8_t>(RecordKind::kParameterSet)) pps = payload;
  }
  recording.Add(5, time, ZeroWidthSps()).Add(5, time, pps).Add(4, time, pixelate_block);
  const std::string anonymizer = testing::FakeModule("FakeAnonymizer");
  Convert(recording, Converter::kSucceeded, anonymizer);
  std::int32_t pixel_block_size = 0;
  std::memcpy(&pixel_block_size, testing::FakeAnonymizerLogOf(anonymizer).parameters + 20, sizeof pixel_block_size);
  EXPECT_EQ(pixel_block_size, (320 + 240) / 16);
}

TEST_F(RecordLoopTest, HevcDecoderGetsVpsSpsAndPpsAtStartAndAfterASizeChange) {
  const std::vector<Bytes> large = ParameterSets(temp_, "28", "320x240");
  const std::vector<Bytes> small = ParameterSets(temp_, "28", "160x120");
  ASSERT_EQ(large.size(), 3u);  // VPS, SPS, PPS
  ASSERT_EQ(small.size(), 3u);

  RecordingBuilder recording;
  recording.Add(4, 0, {'c', '0', '0', '2', '8'});
  for (const Bytes& set : large) recording.Add(5, 0, set);
  recording.Add(1, 0, VideoPayload(0x26));  // IDR_W_RADL
  for (const Bytes& set : small) recording.Add(5, 40, set);
  recording.Add(1, 40, VideoPayload(0x26));
  const std::string log = Convert(recording);

  EXPECT_EQ(CallsOf(log, {"TarnCreate", "TarnClose"}),
            (std::vector<std::string>{"TarnCreate 0 codec=13 320x240 " + Hex(Joined(large)), "TarnClose 0",
                                      // the displayed height: the conformance window takes the 8 rows of padding off
                                      "TarnCreate 0 codec=13 160x120 " + Hex(Joined(small)), "TarnClose 0"}))
      << log;
  EXPECT_EQ(CallsOf(log, {"BrookSetRate"}), (std::vector<std::string>{"BrookSetRate selector=4 rate=32000"}));
}

TEST_F(RecordLoopTest, WithoutCodecDescriptorTheFirstParameterSetSetsUpTheDefaultCodec) {
  const std::vector<Bytes> sets = ParameterSets(temp_, "10", "320x240");
  RecordingBuilder recording;
  recording.Add(6, 0, {9, 9}).Add(5, 0, sets[0]).Add(5, 0, sets[1]).Add(1, 0, VideoPayload(0x65));
  const std::string log = Convert(recording);
  EXPECT_EQ(CallsOf(log, {"Brook"}),
            (std::vector<std::string>{"BrookDecode 2 bytes #1", "BrookSetRate selector=3 rate=32000",
                                      "BrookSetOutputRate 16000", "BrookSetAllocator", "BrookSetLock",
                                      "BrookSetOutputCallback", "BrookFinish"}));
  EXPECT_EQ(CallsOf(log, {"TarnCreate"}).size(), 1u);
  EXPECT_EQ(OutputFiles().size(), 1u);
}

// A descriptor behind the first parameter sets still applies while nothing is written: the HEVC
// sets that the default row (H.264) could not read are read again, and the audio decoder that the
// default row configured (and that already decoded) is replaced by one for the named codec.
TEST_F(RecordLoopTest, LateCodecDescriptorAppliesWhileNothingIsWritten) {
  const std::vector<Bytes> sets = ParameterSets(temp_, "28", "320x240");
  RecordingBuilder recording;
  for (const Bytes& set : sets) recording.Add(5, 0, set);
  recording.Add(6, 0, {1, 2}).Add(4, 0, {'c', '0', '0', '2', '8'}).Add(1, 0, VideoPayload(0x26));
  const std::string log = Convert(recording);
  EXPECT_EQ(CallsOf(log, {"TarnCreate"}), (std::vector<std::string>{"TarnCreate 0 codec=13 320x240 " + Hex(Joined(sets))}));
  EXPECT_EQ(CallsOf(log, {"CreateDecoder", "DestroyDecoder", "BrookSetRate", "BrookDecode"}),
            (std::vector<std::string>{"CreateDecoder", "BrookSetRate selector=3 rate=32000", "BrookDecode 2 bytes #1",
                                      "CreateDecoder", "DestroyDecoder", "BrookSetRate selector=4 rate=32000",
                                      "DestroyDecoder"}));
  EXPECT_EQ(OutputFiles().size(), 1u);
}

// What the audio decoder still holds at the end reaches the file: it is finished before the AAC
// encoder is closed.
TEST_F(RecordLoopTest, SoundDeliveredWhenTheAudioDecoderFinishesIsWritten) {
  const std::vector<Bytes> sets = ParameterSets(temp_, "10", "320x240");
  RecordingBuilder recording;
  recording.Add(4, 0, {'c', '0', '0', '1', '0'}).Add(5, 0, sets[0]).Add(5, 0, sets[1]);
  recording.Add(1, 0, VideoPayload(0x65)).Add(6, 0, {1, 2}).Add(6, 250, {3, 4});
  Convert(recording);
  ASSERT_EQ(OutputFiles().size(), 1u);
  const testing::CommandResult probe =
      testing::RunCommand({"ffprobe", "-v", "error", "-select_streams", "a", "-show_entries", "stream=codec_name",
                           "-of", "csv=p=0", temp_.File("out/" + OutputFiles()[0])});
  EXPECT_EQ(probe.standard_output, "aac\n");
}

TEST_F(RecordLoopTest, RecordingWithoutVideoLeavesNoEmptyFile) {
  RecordingBuilder recording;
  recording.Add(6, 0, {1}).Add(3, 0, {1, 2}).Add(6, 20, {2});
  const std::string log = Convert(recording, Converter::kFailed);
  EXPECT_EQ(CallsOf(log, {"TarnCreate", "FellCreate"}).size(), 0u);
  EXPECT_TRUE(OutputFiles().empty());
}

}  // namespace
}  // namespace moraine
