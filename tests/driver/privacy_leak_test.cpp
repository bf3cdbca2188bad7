// No privacy-marked picture reaches the file recognisable, on any path the privacy step can take:
// the built-in mosaic, each algorithm of the Anonymizer module, the module missing, a module that
// refuses every picture and no memory for the work image. Every picture is decoded by ffmpeg, and
// the fine detail where the scene has people must fall by 90 % against the same recording
// converted without the privacy marker.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <numbers>
#include <ostream>
#include <string>
#include <vector>

#include "tests/driver/media_check.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"
#include "tools/cairn/scene.h"

namespace moraine {
namespace {

namespace fs = std::filesystem;
using testing::BuiltFile;
using Luma = std::vector<std::uint8_t>;

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kFramesPerSecond = 25;
constexpr std::uint32_t kSceneSeed = 1;  // the cairn tool's default
constexpr int kCell = 4;
// Inside a face, off its outline: where a mask meets the background the module's edge may fall
// either side of it.
constexpr int kFaceMargin = 4;
constexpr double kLeastReduction = 0.9;

// Pixel rectangle [left, right) × [top, bottom).
struct Region {
  int left, top, right, bottom;
};

// The walking person's face in picture `index`: the square inside the ellipse of its head, as the
// scene places it.
Region FaceAt(int index) {
  const cairn::Scene scene(kSceneSeed);
  for (const cairn::ScenePlacement& placement : scene.PlacementsAt(static_cast<double>(index) / kFramesPerSecond)) {
    if (placement.role != cairn::SceneRole::kPerson) continue;
    const cairn::NormalisedRect head = cairn::HeadOf(placement.bounds);
    const double centre_x = (head.left + head.right) / 2 * kWidth;
    const double centre_y = (head.top + head.bottom) / 2 * kHeight;
    const double half_width = (head.right - head.left) / 2 * kWidth / std::numbers::sqrt2 - kFaceMargin;
    const double half_height = (head.bottom - head.top) / 2 * kHeight / std::numbers::sqrt2 - kFaceMargin;
    return {static_cast<int>(centre_x - half_width), static_cast<int>(centre_y - half_height),
            static_cast<int>(centre_x + half_width), static_cast<int>(centre_y + half_height)};
  }
  return {};
}

// Mean luma variance inside the 4 × 4 cells of the picture's grid that lie wholly in `region`:
// what a face's features and skin are made of, and what any mosaic or pixelation flattens.
double FineDetail(const Luma& luma, const Region& region) {
  double total = 0;
  int cells = 0;
  for (int top = (region.top + kCell - 1) / kCell * kCell; top + kCell <= region.bottom; top += kCell) {
    for (int left = (region.left + kCell - 1) / kCell * kCell; left + kCell <= region.right; left += kCell) {
      double sum = 0, squares = 0;
      for (int y = top; y < top + kCell; ++y) {
        for (int x = left; x < left + kCell; ++x) {
          const double value = luma[static_cast<std::size_t>(y) * kWidth + x];
          sum += value;
          squares += value * value;
        }
      }
      const double mean = sum / (kCell * kCell);
      total += squares / (kCell * kCell) - mean * mean;
      ++cells;
    }
  }
  return cells == 0 ? 0 : total / cells;
}

// Every picture of the file's video as ffmpeg decodes it.
std::vector<Luma> DecodedPictures(const fs::path& file) {
  const testing::CommandResult decoded = testing::RunCommand(
      {"ffmpeg", "-v", "error", "-i", file.string(), "-f", "rawvideo", "-pix_fmt", "gray", "-"});
  EXPECT_EQ(decoded.exit_status, 0) << decoded.standard_error;
  std::vector<Luma> pictures;
  const std::size_t picture_bytes = static_cast<std::size_t>(kWidth) * kHeight;
  for (std::size_t at = 0; at + picture_bytes <= decoded.standard_output.size(); at += picture_bytes) {
    pictures.emplace_back(decoded.standard_output.begin() + static_cast<std::ptrdiff_t>(at),
                          decoded.standard_output.begin() + static_cast<std::ptrdiff_t>(at + picture_bytes));
  }
  return pictures;
}

enum class Program { kAsBuilt, kModuleRemoved, kRefusingModule, kNoMemoryForWorkImage };
enum class Measured { kWholePicture, kFace };

struct LeakCase {
  const char* path;
  const char* pixelate;  // LEVEL,ALGORITHM of the recording's privacy metadata
  Program program;
  Measured measured;
  const char* warning;  // what standard error must say; empty: nothing
};

void PrintTo(const LeakCase& c, std::ostream* out) { *out << c.path; }

class PrivacyLeak : public ::testing::TestWithParam<LeakCase> {
 protected:
  // The recording with `pixelate`, with or without the marker, converted by `command` + its two
  // arguments; every picture of the one output file.
  std::vector<Luma> Convert(const std::string& pixelate, bool marked, std::vector<std::string> command,
                            const std::string& expected_warning) {
    const std::string name = std::string(marked ? "marked" : "plain");
    const std::string recording = temp_.File(name + ".cairn");
    std::vector<std::string> synth = {BuiltFile("cairn"), "synth",   recording, "--size",   "640x480", "--duration",
                                      "2",                "--audio", "none",    "--metadata", "privacy", "--pixelate",
                                      pixelate};
    if (marked) synth.push_back("--privacy-marker");
    EXPECT_EQ(testing::RunCommand(synth).exit_status, 0);
    const fs::path folder = temp_.path() / (name + "-out");
    fs::create_directories(folder);
    command.insert(command.end(), {recording, (folder / "cam_").string()});
    const testing::CommandResult converted = testing::RunCommand(command);
    // The file stays valid and private, so the conversion still succeeds.
    EXPECT_NE(converted.standard_output.find("succesful"), std::string::npos) << converted.standard_error;
    if (expected_warning.empty()) {
      EXPECT_EQ(converted.standard_error, "");
    } else {
      EXPECT_NE(converted.standard_error.find(expected_warning), std::string::npos) << converted.standard_error;
      // Once a conversion, however many pictures it concerns.
      EXPECT_EQ(converted.standard_error.find("warning:"), converted.standard_error.rfind("warning:"));
    }
    return DecodedPictures(fs::directory_iterator(folder)->path());
  }

  // The program run for this case's path, as a command line without its two arguments.
  std::vector<std::string> ProgramFor(Program program) {
    const fs::path folder = temp_.path() / "program";
    switch (program) {
      case Program::kAsBuilt: return {BuiltFile("Moraine")};
      case Program::kModuleRemoved: return {testing::CopyProgram(folder, {"libAnonymizer.so"})};
      case Program::kRefusingModule: {
        const std::string copied = testing::CopyProgram(folder, {"libAnonymizer.so"});
        fs::copy_file(fs::path(MORAINE_FAKE_MODULE_DIR) / "libFakeAnonymizerRefusing.so", folder / "libAnonymizer.so");
        return {copied};
      }
      case Program::kNoMemoryForWorkImage:
        return {"env", "LD_PRELOAD=" + (fs::path(MORAINE_FAKE_MODULE_DIR) / "libFailingCalloc.so").string(),
                "MORAINE_TEST_FAILING_CALLOC_BYTES=" + std::to_string(kWidth * kHeight * 3 + 54),
                BuiltFile("Moraine")};
    }
    return {};
  }

  testing::TempDir temp_;
};

TEST_P(PrivacyLeak, EveryMarkedPictureLosesItsFineDetail) {
  const LeakCase& c = GetParam();
#if defined(MORAINE_SANITIZED_BUILD)
  // A sanitizer's allocator answers calloc before any preloaded library can.
  if (c.program == Program::kNoMemoryForWorkImage) GTEST_SKIP() << "calloc cannot be interposed under sanitizers";
#endif
  setenv("MORAINE_RECORD_PAUSE_MS", "0", 1);
  const std::vector<Luma> plain = Convert(c.pixelate, false, {BuiltFile("Moraine")}, "");
  const std::vector<Luma> masked = Convert(c.pixelate, true, ProgramFor(c.program), c.warning);
  ASSERT_EQ(masked.size(), plain.size());
  ASSERT_GE(plain.size(), 45u);
  for (std::size_t index = 0; index < plain.size(); ++index) {
    const Region region = c.measured == Measured::kFace ? FaceAt(static_cast<int>(index))
                                                         : Region{0, 0, kWidth, kHeight};
    const double before = FineDetail(plain[index], region);
    const double after = FineDetail(masked[index], region);
    ASSERT_GT(before, 100.0) << "picture " << index << ": the scene has no detail to hide there";
    EXPECT_LE(after, (1 - kLeastReduction) * before) << "picture " << index << " keeps " << after << " of " << before;
  }
}

// The module's pixelation blocks come out at about half the recording's level, so its own rows run
// at twice the level of the others: 16-pixel blocks on the face, as coarse as the mosaic's.
INSTANTIATE_TEST_SUITE_P(
    Paths, PrivacyLeak,
    ::testing::Values(
        LeakCase{"BuiltInMosaic", "16,0", Program::kAsBuilt, Measured::kWholePicture, ""},
        LeakCase{"MovingRegions", "32,1", Program::kAsBuilt, Measured::kFace, ""},
        LeakCase{"Skin", "32,2", Program::kAsBuilt, Measured::kFace, ""},
        LeakCase{"MovingRegionsOrSkin", "32,3", Program::kAsBuilt, Measured::kFace, ""},
        LeakCase{"ModuleRemoved", "16,1", Program::kModuleRemoved, Measured::kWholePicture,
                 "not available (module not found); privacy-marked pictures are masked with the built-in mosaic"},
        LeakCase{"ModuleRefuses", "16,1", Program::kRefusingModule, Measured::kWholePicture,
                 "(the anonymizer module refused it); such pictures are covered whole by a coarse mosaic"},
        LeakCase{"NoMemoryForWorkImage", "16,1", Program::kNoMemoryForWorkImage, Measured::kWholePicture,
                 "(no memory for the work image); such pictures are covered whole by a coarse mosaic"}),
    [](const ::testing::TestParamInfo<LeakCase>& info) { return std::string(info.param.path); });

}  // namespace
}  // namespace moraine
