#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "moraine/recording/cairn_record.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"
#include "tests/tools/recording_files.h"
#include "tools/cairn/info_payload_summary.h"
#include "tools/cairn/recording_dump.h"

namespace moraine::testing {
namespace {

using nlohmann::json;

// One parsed JSON object per line of `cairn dump --json`.
std::vector<json> DumpJson(const std::string& path) {
  const CommandResult result = RunCommand({BuiltFile("cairn"), "dump", path, "--json"});
  EXPECT_EQ(result.exit_status, 0) << result.standard_error;
  std::vector<json> lines;
  std::istringstream text(result.standard_output);
  for (std::string line; std::getline(text, line);) lines.push_back(json::parse(line));
  return lines;
}

std::vector<std::uint8_t> Record(std::uint8_t kind, std::uint32_t seconds, const std::vector<std::uint8_t>& payload,
                                 std::uint32_t length_field) {
  CairnRecordHeader header;
  header.kind = kind;
  header.length = length_field;
  header.seconds = seconds;
  const auto bytes = EncodeCairnHeader(header);
  std::vector<std::uint8_t> record(bytes.size() + payload.size());
  std::copy(bytes.begin(), bytes.end(), record.begin());
  std::copy(payload.begin(), payload.end(), record.begin() + static_cast<std::ptrdiff_t>(bytes.size()));
  return record;
}

std::vector<std::uint8_t> Record(std::uint8_t kind, std::uint32_t seconds, const std::vector<std::uint8_t>& payload) {
  return Record(kind, seconds, payload, static_cast<std::uint32_t>(payload.size()));
}

void Append(std::vector<std::uint8_t>& file, const std::vector<std::uint8_t>& more) {
  file.insert(file.end(), more.begin(), more.end());
}

std::string DumpText(const std::string& path) {
  std::ostringstream out;
  std::string error;
  EXPECT_TRUE(cairn::DumpRecording(path, cairn::DumpFormat::kText, out, error)) << error;
  return out.str();
}

TEST(CairnToolDump, ListsEverySynthesizedRecordAndSumsThemUp) {
  TempDir dir;
  const std::string path = Synthesize(dir, "listed.cairn", {"--size", "160x120", "--duration", "1", "--size-change",
                                                            "0.5:96x64", "--metadata", "letters,blocks,privacy"});
  const auto records = ReadRecords(path);
  const std::vector<json> lines = DumpJson(path);
  ASSERT_EQ(lines.size(), records.size() + 1);

  std::uint64_t expected_offset = 0;
  std::map<std::string, int> kinds;
  for (std::size_t i = 0; i < records.size(); ++i) {
    const json& line = lines[i];
    EXPECT_EQ(line["offset"], expected_offset) << i;
    EXPECT_EQ(line["kind"], records[i].header.kind) << i;
    EXPECT_EQ(line["length"], records[i].header.length) << i;
    EXPECT_EQ(line["record_time"], RecordTime(records[i].header)) << i;
    expected_offset += records[i].bytes.size();
    ++kinds[std::to_string(records[i].header.kind)];
  }
  EXPECT_EQ(lines[0]["info"], "codec-descriptor");
  EXPECT_EQ(lines[0]["audio_codec"], "G.711 mu-law");
  EXPECT_EQ(lines[0]["wall_clock"], "2024-03-15 13:00:00");  // 12:00 UTC, zone byte 4 is one hour east

  const json& summary = lines.back()["summary"];
  ASSERT_TRUE(summary.is_object());
  EXPECT_EQ(summary["records"], records.size());
  for (const auto& [kind, count] : kinds) EXPECT_EQ(summary["records_by_kind"][kind], count) << kind;
  EXPECT_EQ(summary["codec_number"], 10);
  EXPECT_EQ(summary["picture_sizes"], json({"160x120", "96x64"}));
  EXPECT_EQ(summary["video"]["records"], 25);
  EXPECT_EQ(summary["video"]["span_ms"], 960);
  EXPECT_EQ(summary["problems"], 0);
}

TEST(CairnToolDump, NalTypesFollowTheCodecDescriptor) {
  TempDir dir;
  const std::vector<std::string> hevc = {"--size", "64x48", "--duration", "0.2", "--codec", "35", "--metadata", "none"};
  std::vector<std::string> names;
  for (const json& line : DumpJson(Synthesize(dir, "hevc.cairn", hevc))) {
    if (line.contains("nal_name")) names.push_back(line["nal_name"]);
  }
  ASSERT_GE(names.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(names.begin(), names.begin() + 4),
            (std::vector<std::string>{"VPS", "SPS", "PPS", "IDR"}));

  // Without a descriptor the H.264 rule stays: the HEVC VPS header byte 0x40 reads as type 0.
  std::vector<std::string> without = hevc;
  without.insert(without.end(), {"--fault", "no-codec-descriptor"});
  const std::vector<json> lines = DumpJson(Synthesize(dir, "bare.cairn", without));
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0]["nal_type"], 0);
  EXPECT_EQ(lines.back()["summary"]["codec_number"], nullptr);
}

TEST(CairnToolDump, OnlyTheFirstCodecDescriptorCounts) {
  TempDir dir;
  std::vector<std::uint8_t> file;
  Append(file, Record(4, 100, {'c', ' ', ' ', '3', '5'}));
  Append(file, Record(4, 100, {'c', ' ', ' ', '1', '0'}));
  const std::string path = dir.File("two.cairn");
  WriteBytes(path, file);
  const std::vector<json> lines = DumpJson(path);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0]["codec_number"], 35);
  EXPECT_EQ(lines[1]["info"], "one-letter");
  EXPECT_EQ(lines[1]["letter"], "C");
  EXPECT_EQ(lines[2]["summary"]["video_coding"], "HEVC");
}

TEST(CairnToolDump, EmptyRecordsAndACutLastRecordAreListed) {
  TempDir dir;
  std::vector<std::uint8_t> file;
  Append(file, Record(4, 100, {'B', 1, 0}));
  Append(file, Record(1, 100, {}));  // empty: skipped by the reader
  Append(file, Record(6, 100, {1, 2, 3}));
  Append(file, Record(6, 101, {}));
  Append(file, Record(6, 101, {9, 9}, 50));  // header promises 50 bytes, 2 are there
  const std::string path = dir.File("damaged.cairn");
  WriteBytes(path, file);

  const std::vector<json> lines = DumpJson(path);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0]["switch_one"], true);
  EXPECT_EQ(lines[0]["switch_two"], false);
  EXPECT_EQ(lines[1]["offset"], 19);
  EXPECT_EQ(lines[1]["empty"], true);
  EXPECT_EQ(lines[2]["offset"], 35);
  EXPECT_EQ(lines[3]["offset"], 54);
  EXPECT_EQ(lines[3]["empty"], true);
  EXPECT_EQ(lines[4]["offset"], 70);
  EXPECT_EQ(lines[4]["problem"], "truncated record of kind 6: header says 50 payload bytes, 2 present");
  const json& summary = lines[5]["summary"];
  EXPECT_EQ(summary["empty_records"], 2);
  EXPECT_EQ(summary["problems"], 1);
  EXPECT_EQ(summary["records"], 4);
}

TEST(CairnToolDump, DamageIsAProblemAndTheRecordsAfterItAreListed) {
  TempDir dir;
  std::vector<std::uint8_t> file;
  Append(file, Record(6, 100, {1, 2, 3}));
  Append(file, {0x0E, 0x42, 0xFF, 0xFF, 0x7F, 0x13, 0x37, 0xA5, 0xC3, 0x99, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07});
  Append(file, Record(6, 101, {4, 5}));
  WriteBytes(dir.File("garbage.cairn"), file);
  const std::vector<json> lines = DumpJson(dir.File("garbage.cairn"));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1]["offset"], 19);
  EXPECT_EQ(lines[1]["problem"], "17 damaged bytes skipped: no plausible record header");
  EXPECT_EQ(lines[2]["offset"], 36);
  EXPECT_EQ(lines[3]["summary"]["problems"], 1);
}

TEST(CairnToolDump, GarbageShortAndEmptyFilesAreReportedNotFatal) {
  TempDir dir;
  std::mt19937 generator(7);
  std::vector<std::uint8_t> garbage(5000);
  for (std::uint8_t& byte : garbage) byte = static_cast<std::uint8_t>(generator());
  WriteBytes(dir.File("garbage.bin"), garbage);
  WriteBytes(dir.File("short.bin"), {1, 2, 3, 4, 5, 6, 7});
  WriteBytes(dir.File("empty.bin"), {});
  for (const char* name : {"garbage.bin", "short.bin", "empty.bin"}) {
    for (const char* format : {"--json", "--text"}) {
      std::vector<std::string> command = {BuiltFile("cairn"), "dump", dir.File(name)};
      if (std::string(format) == "--json") command.push_back(format);
      const CommandResult result = RunCommand(command);
      EXPECT_EQ(result.exit_status, 0) << name << result.standard_error;
      EXPECT_NE(result.standard_output.find("summary"), std::string::npos) << name;
    }
  }
  EXPECT_EQ(DumpJson(dir.File("short.bin")).back()["summary"]["problems"], 1);
  EXPECT_EQ(DumpJson(dir.File("empty.bin")).back()["summary"]["records"], 0);
  EXPECT_NE(DumpText(dir.File("short.bin")).find("7 trailing bytes, too few for a record header"), std::string::npos);
}

TEST(CairnToolDump, SynthesizedFaultsShowUp) {
  TempDir dir;
  const std::vector<std::string> base = {"--size", "64x48", "--duration", "0.5", "--metadata", "none"};
  for (const char* fault : {"truncated", "garbage", "zero-length"}) {
    std::vector<std::string> options = base;
    options.insert(options.end(), {"--fault", fault});
    const json summary = DumpJson(Synthesize(dir, std::string(fault) + ".cairn", options)).back()["summary"];
    if (std::string(fault) == "zero-length") {
      EXPECT_EQ(summary["empty_records"], 2);
    } else {
      EXPECT_GE(summary["problems"], 1) << fault;
    }
  }
}

TEST(CairnToolDump, UnreadableFilesFail) {
  TempDir dir;
  for (const std::string& path : {dir.File("missing.cairn"), dir.path().string()}) {
    const CommandResult result = RunCommand({BuiltFile("cairn"), "dump", path});
    EXPECT_EQ(result.exit_status, 1) << path;
    EXPECT_NE(result.standard_error.find("cannot"), std::string::npos);
  }
  EXPECT_EQ(RunCommand({BuiltFile("cairn"), "dump"}).exit_status, 2);
  EXPECT_EQ(RunCommand({BuiltFile("cairn"), "frobnicate"}).exit_status, 2);
}

TEST(CairnToolDump, MalformedInfoPayloadsDecodeWithinTheirBytes) {
  // A block whose object count promises more objects than the payload holds.
  std::vector<std::uint8_t> block = {'G', 'A', 'D', 0x00, 0x17, 0x01, 0x60, 0x01, 0x20, 0x01, 'x', 0x00, 0x05,
                                     0x01, 0x00, 0x06, 0x08, 0x04, 0x00, 0x0A, 0x00, 0x14,  // one vertex (10, 20)
                                     0x02};  // a type byte without its length
  cairn::Fields fields = cairn::DescribeStructuredBlock(block.data(), block.size());
  EXPECT_EQ(fields["block_valid"], true);
  EXPECT_EQ(fields["block_name"], "x");
  EXPECT_EQ(fields["drawing_objects"], 1);
  EXPECT_EQ(fields["info_objects"], 0);
  EXPECT_EQ(fields["objects"], "object 0 kind 2 state 1 outline (10,20)-(10,20)");

  block[4] = 0x18;  // total length no longer matches
  EXPECT_EQ(cairn::DescribeStructuredBlock(block.data(), block.size())["block_valid"], false);

  for (const std::vector<std::uint8_t>& short_record :
       {std::vector<std::uint8_t>{'M', 1, 2, 3, 4, 5}, std::vector<std::uint8_t>{'l', 1, 2},
        std::vector<std::uint8_t>{'F', 1}, std::vector<std::uint8_t>{'P'}}) {
    // Exact sizes: a sanitizer build catches any read past the end.
    const std::vector<std::uint8_t> exact(short_record);
    const std::string summary = cairn::DescribeOneLetterRecord(exact.data(), exact.size())["summary"];
    EXPECT_NE(summary.find("too short"), std::string::npos) << summary;
  }
  const std::vector<std::uint8_t> alarm = {'P', 'A', 0, 0, 3, 0, 1, 0, 0, 0};
  EXPECT_EQ(cairn::DescribeOneLetterRecord(alarm.data(), alarm.size())["summary"], "perimeter alarm object 3 on");
}

TEST(CairnToolFixtures, ShippedRecordingsListCleanly) {
  const std::map<std::string, std::vector<std::string>> sizes = {
      {"h264_mulaw_320x240.cairn", {"320x240"}},
      {"hevc_aac_320x240.cairn", {"320x240"}},
      {"size_change_metadata.cairn", {"352x288", "176x144"}},
      {"privacy_marked.cairn", {"320x240"}},
  };
  for (const auto& [name, picture_sizes] : sizes) {
    const json summary = DumpJson(TestDataFile(name)).back()["summary"];
    EXPECT_EQ(summary["problems"], 0) << name;
    EXPECT_EQ(summary["picture_sizes"], json(picture_sizes)) << name;
  }
  EXPECT_EQ(DumpJson(TestDataFile("privacy_marked.cairn")).back()["summary"]["privacy_marked"], true);
}

TEST(CairnToolFixtures, DamagedRecordingsShowTheirDamage) {
  EXPECT_EQ(DumpJson(TestDataFile("invalid/zero_length_records.cairn")).back()["summary"]["empty_records"], 2);
  for (const char* name : {"invalid/truncated_last_record.cairn", "invalid/garbage_between_records.cairn"}) {
    EXPECT_GE(DumpJson(TestDataFile(name)).back()["summary"]["problems"], 1) << name;
  }
}

TEST(CairnToolFixtures, ReadmeCommandRemakesTheH264Recording) {
  TempDir dir;
  const std::string remade = Synthesize(dir, "h264_mulaw_320x240.cairn", {"--size", "320x240", "--duration", "2"});
  EXPECT_EQ(ReadBytes(remade), ReadBytes(TestDataFile("h264_mulaw_320x240.cairn")));
}

}  // namespace
}  // namespace moraine::testing
