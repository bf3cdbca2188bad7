// Privacy-marked recordings of the cairn tool through the built program, seen through ffmpeg's
// decode of the MP4 file: the built-in mosaic leaves blocks of the level's size, the Anonymizer
// module masks what it detects, and a recording without the privacy marker is never masked.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
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
using Luma = std::vector<std::uint8_t>;

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr int kPicture = 40;  // late enough for the module's background model to know the scene

// Mean absolute distance of every pixel from the mean of its `block` × `block` square: about 0 on a
// mosaic of that block size, large on a textured picture.
double BlockSpread(const Luma& luma, int block) {
  double spread = 0;
  for (int top = 0; top + block <= kHeight; top += block) {
    for (int left = 0; left + block <= kWidth; left += block) {
      double mean = 0;
      for (int y = top; y < top + block; ++y) {
        for (int x = left; x < left + block; ++x) mean += luma[y * kWidth + x];
      }
      mean /= block * block;
      for (int y = top; y < top + block; ++y) {
        for (int x = left; x < left + block; ++x) spread += std::abs(luma[y * kWidth + x] - mean);
      }
    }
  }
  return spread / ((kWidth / block) * block * (kHeight / block) * block);
}

// Over the first `count` bytes (all when 0).
double MeanDistance(const Luma& a, const Luma& b, std::size_t count = 0) {
  if (count == 0) count = a.size();
  double distance = 0;
  for (std::size_t i = 0; i < count; ++i) distance += std::abs(a[i] - b[i]);
  return distance / static_cast<double>(count);
}

class PrivacyConversion : public ::testing::Test {
 protected:
  // The same scene every time; `pixelate` "LEVEL,ALGO" adds the privacy metadata, `marked` the
  // privacy marker. The luma of picture kPicture.
  Luma Converted(const std::string& pixelate, bool marked) {
    const std::string name = (pixelate.empty() ? "plain" : pixelate) + (marked ? "-marked" : "") +
                             std::to_string(runs_++);
    const std::string recording = temp_.File(name + ".cairn");
    std::vector<std::string> synth = {BuiltFile("cairn"), "synth", recording, "--size", "320x240", "--duration", "2",
                                      "--audio", "none", "--metadata", pixelate.empty() ? "none" : "privacy"};
    if (!pixelate.empty()) synth.insert(synth.end(), {"--pixelate", pixelate});
    if (marked) synth.push_back("--privacy-marker");
    EXPECT_EQ(testing::RunCommand(synth).exit_status, 0);
    const fs::path folder = temp_.path() / name;
    fs::create_directories(folder);
    setenv("MORAINE_RECORD_PAUSE_MS", "0", 1);
    const testing::CommandResult converted = testing::RunCommand({BuiltFile("Moraine"), recording, (folder / "cam_").string()});
    EXPECT_NE(converted.standard_output.find("succesful"), std::string::npos) << converted.standard_error;
    EXPECT_EQ(converted.standard_error, "");
    Luma luma = testing::DecodedLuma(fs::directory_iterator(folder)->path(), kPicture);
    EXPECT_EQ(luma.size(), static_cast<std::size_t>(kWidth * kHeight)) << name;
    luma.resize(kWidth * kHeight);
    return luma;
  }

  testing::TempDir temp_;
  int runs_ = 0;
};

TEST_F(PrivacyConversion, MosaicLeavesBlocksOfTheLevelsSizeOnlyOnMarkedRecordings) {
  const Luma plain = Converted("", false);
  EXPECT_GT(BlockSpread(plain, 16), 4.0);
  EXPECT_LT(MeanDistance(Converted("16,0", false), plain), 0.5);
  for (const int level : {8, 16}) {
    const Luma masked = Converted(std::to_string(level) + ",0", true);
    // Uniform within blocks of the level, not within blocks twice as large.
    EXPECT_LT(BlockSpread(masked, level), 1.0) << level;
    EXPECT_GT(BlockSpread(masked, 2 * level), 4.0) << level;
  }
}

// How much the module finds depends on its background model and colour rules, so only "something"
// is asked of it; the sky above the scene is neither moving nor skin-coloured.
TEST_F(PrivacyConversion, TheAnonymizerModuleMasksWhatItDetectsAndLeavesTheSky) {
  // A build that lost the module must not pass for one without privacy work to do.
  ASSERT_TRUE(fs::exists(BuiltFile("libAnonymizer.so"))) << "libAnonymizer.so is not built";
  const Luma plain = Converted("", false);
  for (const char* pixelate : {"16,1", "16,2"}) {
    const Luma luma = Converted(pixelate, true);
    EXPECT_LT(MeanDistance(luma, plain, 40 * kWidth), 0.5) << pixelate;
    int changed = 0;
    for (std::size_t i = 0; i < luma.size(); ++i) changed += std::abs(luma[i] - plain[i]) > 8;
    EXPECT_GT(changed, 20) << pixelate;
  }
}

}  // namespace
}  // namespace moraine
