// Conversions that go wrong, end to end with the built program: damage costs only the damaged bytes,
// and a recording that yields no file or a full disk ends without the success line. Standard output
// carries only the program's own texts; the reason is on standard error.

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "tests/driver/media_check.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace moraine {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using testing::BuiltFile;
using testing::CommandResult;

const std::string kBanner = "CAIRN to mp4 conversion\n";
const std::string kSuccess = "CAIRN to mp4 conversion succesful\n";

Bytes RandomBytes(std::size_t size, std::uint32_t seed) {
  std::mt19937 random(seed);
  Bytes bytes(size);
  for (std::uint8_t& byte : bytes) byte = static_cast<std::uint8_t>(random() >> 24);
  return bytes;
}

std::string Write(const std::string& path, const Bytes& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::ssize(bytes));
  return path;
}

// Converts `recording` into an empty `folder`; returns the result and the files left there, sorted.
std::pair<CommandResult, std::vector<fs::path>> Convert(const std::string& recording, const fs::path& folder) {
  fs::remove_all(folder);
  fs::create_directories(folder);
  setenv("MORAINE_RECORD_PAUSE_MS", "0", 1);
  const CommandResult result = testing::RunCommand({BuiltFile("Moraine"), recording, (folder / "cam_").string()});
  std::vector<fs::path> files(fs::directory_iterator(folder), {});
  std::sort(files.begin(), files.end());
  return {result, files};
}

std::string Synthesize(const testing::TempDir& temp, const std::vector<std::string>& options) {
  std::vector<std::string> command = {BuiltFile("cairn"), "synth", temp.File("intact.cairn"), "--size", "160x120"};
  command.insert(command.end(), options.begin(), options.end());
  EXPECT_EQ(testing::RunCommand(command).exit_status, 0);
  return temp.File("intact.cairn");
}

TEST(DamagedRecordingConversion, EveryPictureAfterGarbageComesThrough) {
  testing::TempDir temp;
  const std::string intact = Synthesize(temp, {"--duration", "1"});
  std::ifstream file(intact, std::ios::binary);
  const Bytes bytes((std::istreambuf_iterator<char>(file)), {});
  // Record boundaries: each 16-byte header gives its payload length in bytes 2 to 4.
  std::vector<std::size_t> offsets;
  for (std::size_t at = 0; at + 16 <= bytes.size();) {
    offsets.push_back(at);
    at += 16 + (bytes[at + 2] | bytes[at + 3] << 8 | bytes[at + 4] << 16);
  }
  const auto [clean, clean_files] = Convert(intact, temp.path() / "out");
  ASSERT_EQ(clean_files.size(), 1u);
  const std::optional<testing::MediaSummary> expected = testing::ProbeMedia(clean_files[0].string());
  ASSERT_TRUE(expected && expected->Find("video") && expected->Find("video")->decoded_frames == 25);

  for (const std::size_t size : {1, 17, 4000}) {
    for (const std::size_t offset : {std::size_t{0}, offsets[offsets.size() / 2], offsets.back()}) {
      SCOPED_TRACE(std::to_string(size) + " bytes at offset " + std::to_string(offset));
      Bytes damaged = bytes;
      const Bytes garbage = RandomBytes(size, static_cast<std::uint32_t>(size + offset));
      damaged.insert(damaged.begin() + static_cast<std::ptrdiff_t>(offset), garbage.begin(), garbage.end());
      const auto [result, files] = Convert(Write(temp.File("damaged.cairn"), damaged), temp.path() / "out");
      EXPECT_EQ(result.standard_output, kBanner + kSuccess);
      EXPECT_EQ(result.standard_error, "warning: the recording is damaged: " + std::to_string(size) +
                                           " bytes at offset " + std::to_string(offset) +
                                           " hold no readable record and were skipped\n");
      ASSERT_EQ(files.size(), 1u);
      const std::optional<testing::MediaSummary> media = testing::ProbeMedia(files[0].string());
      ASSERT_TRUE(media && media->Find("video"));
      // Every picture, each as long as before: the durations reach across the damage.
      EXPECT_EQ(media->Find("video")->decoded_frames, 25);
      EXPECT_EQ(media->Find("video")->duration_seconds, expected->Find("video")->duration_seconds);
    }
  }
}

// Recordings with nothing to convert: no file, no success line, and the reason on standard error.
TEST(DamagedRecordingConversion, NothingToConvertIsNoSuccess) {
  const Bytes codec_descriptor_only = {
      4, 0, 5, 0, 0,             // kind 4 (info), an unread byte, length 5
      0, 0,                      // milliseconds
      0x40, 0x33, 0xF4, 0x65,    // seconds: 2024-03-15 12:00:00 UTC
      0, 0, 0, 0, 4,             // unread bytes, zone one hour east
      'c', '0', '0', '1', '0'};  // codec number 10
  const struct {
    Bytes bytes;
    std::string reason;
  } cases[] = {
      {{}, "no record could be read from the recording"},
      {{'h', 'e', 'l', 'l', 'o', '!', '\n', '\n'}, "no record could be read from the recording"},
      {RandomBytes(64 * 1024, 1), "no record could be read from the recording"},
      {codec_descriptor_only, "the recording holds no video that could be read and no audio"},
  };
  testing::TempDir temp;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.bytes.size()) + " bytes");
    const auto [result, files] = Convert(Write(temp.File("input.cairn"), c.bytes), temp.path() / "out");
    EXPECT_EQ(result.standard_output, kBanner);
    EXPECT_NE(result.standard_error.find("error: no MP4 file was written: " + c.reason + "\n"), std::string::npos)
        << result.standard_error;
    EXPECT_TRUE(files.empty());
  }
}

// The second file of a recording does not fit on the "disk": programs started meanwhile inherit a
// file size limit and an ignored SIGXFSZ, so a write past the limit fails with EFBIG. That file
// keeps its working name, the first stays as it was, and the error names the file and the reason.
TEST(FullDiskConversion, ACutShortFileKeepsItsWorkingNameAndNothingSucceeds) {
  testing::TempDir temp;
  const std::string recording = Synthesize(temp, {"--duration", "2", "--size-change", "1:640x480"});
  const auto [intact, intact_files] = Convert(recording, temp.path() / "intact");
  ASSERT_EQ(intact_files.size(), 2u);
  ASSERT_LT(fs::file_size(intact_files[0]), fs::file_size(intact_files[1]));

  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit limit = saved;
  limit.rlim_cur = (fs::file_size(intact_files[0]) + fs::file_size(intact_files[1])) / 2;
  setrlimit(RLIMIT_FSIZE, &limit);
  const auto saved_handler = std::signal(SIGXFSZ, SIG_IGN);
  const auto [result, files] = Convert(recording, temp.path() / "full");
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, saved_handler);

  EXPECT_EQ(result.standard_output, kBanner);
  ASSERT_EQ(files.size(), 2u) << result.standard_error;
  EXPECT_EQ(files[0].filename(), intact_files[0].filename());
  EXPECT_EQ(fs::file_size(files[0]), fs::file_size(intact_files[0]));
  EXPECT_TRUE(files[1].filename().string().starts_with("moraine-work-")) << files[1];
  EXPECT_NE(result.standard_error.find("error: writing " + files[1].string() + " failed: File too large"),
            std::string::npos)
      << result.standard_error;
}

}  // namespace
}  // namespace moraine
