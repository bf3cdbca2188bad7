// The anonymizer option step and the privacy path of one picture, with the stand-ins for the
// Anonymizer module: the fake paints a frame red, its refusing variant refuses every frame.

#include "moraine/privacy/privacy_path.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "moraine/driver/conversion_state.h"
#include "moraine/privacy/anonymizer_options.h"
#include "moraine/privacy/nv12_bgr_conversion.h"
#include "platform/debug_output.h"
#include "tests/driver/fake_anonymizer_access.h"

namespace moraine {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::FakeModule;

std::int32_t Int32At(const std::uint8_t* bytes, std::size_t offset) {
  std::int32_t value;
  std::memcpy(&value, bytes + offset, sizeof value);
  return value;
}

// Luma rising to the right and down, chroma varying from pair to pair, all within the colours that
// survive the round trip.
Bytes Gradient(int w, int h) {
  Bytes picture(static_cast<std::size_t>(Nv12PictureBytes(w, h)));
  for (std::size_t i = 0; i < picture.size(); ++i) {
    const int x = static_cast<int>(i) % w, y = static_cast<int>(i) / w;
    picture[i] = static_cast<std::uint8_t>(i < std::size_t(w * h) ? 80 + x + 2 * y : 100 + i % 50);
  }
  return picture;
}

TEST(AnonymizerOptionStep, SendsTheBlockSizeForTheClampedLevelAndSizesTheWorkImage) {
  ConversionState state;
  RunAnonymizerOptionStep(state, 8, {64, 48}, {0, 0});
  EXPECT_TRUE(state.pixelation_active);
  EXPECT_EQ(state.work_image.data(), nullptr);  // not privacy-marked

  state.object_pixelator.Bind(FakeModule("FakeAnonymizer"));
  const FakeAnonymizerLog& log = testing::FakeAnonymizerLogOf(FakeModule("FakeAnonymizer"));
  state.privacy_marked = true;
  state.pixelation.anonymizer_algorithm = 3;
  std::string diagnostics;
  platform::SetDebugOutputHook([&](std::string_view text) { diagnostics += text; });
  // Level 0 still sends options (as level 1) but switches the path off; an unchanged size leaves
  // the image as it is.
  for (const auto& [level, block] : {std::pair{16, 187}, std::pair{0, 3000}, std::pair{150, 30}, std::pair{-1, 30}}) {
    RunAnonymizerOptionStep(state, level, {1920, 1080}, {1920, 1080});
    EXPECT_EQ(state.pixelation_active, level != 0) << level;
    EXPECT_EQ(Int32At(log.parameters, 20), block) << level;
    EXPECT_EQ(Int32At(log.parameters, 28), 3) << level;
  }
  platform::SetDebugOutputHook({});
  EXPECT_NE(diagnostics.find("Setting anonymisation options algo 3 pixelationsize 187\n"), std::string::npos);
  EXPECT_EQ(state.work_image.data(), nullptr);
  RunAnonymizerOptionStep(state, 8, {64, 48}, {1920, 1080});
  EXPECT_TRUE(state.work_image.Matches(64, 48));
}

// The module masks the picture; a picture the module refuses is covered by the coarse mosaic, and
// without the module the built-in mosaic masks it. Either mosaic gives blocks of 6 on this 34 × 6
// picture: the level's 8, limited to the smaller side.
TEST(PrivacyPath, ModuleMasksAndEveryOtherPathCoversThePictureWithBlocks) {
  struct Case {
    const char* module;  // nullptr: no module
    const char* warning;  // nullptr: none
  };
  const Case cases[] = {
      {"FakeAnonymizer", nullptr},
      {"FakeAnonymizerRefusing", "refused it); such pictures are covered whole by a coarse mosaic"},
      {nullptr, "(module not loaded); privacy-marked pictures are masked with the built-in mosaic"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.module ? c.module : "no module");
    ConversionState state;
    if (c.module != nullptr) state.object_pixelator.Bind(FakeModule(c.module));
    state.privacy_marked = true;
    state.pixelation = {2, 8};
    ASSERT_TRUE(state.work_image.Prepare(8, 8));  // as a damaged parameter set or a late marker leaves it
    const Bytes original = Gradient(34, 6);
    Bytes picture = original;
    ::testing::internal::CaptureStderr();
    RunPrivacyPath(state, picture.data(), picture.size(), 34, 6);
    RunPrivacyPath(state, picture.data(), picture.size(), 34, 6);
    const std::string warnings = ::testing::internal::GetCapturedStderr();
    if (c.warning == nullptr) {
      EXPECT_EQ(warnings, "");
      for (std::size_t i = 0; i < picture.size(); ++i) {
        const int red = i < 34 * 6 ? 76 : (i % 2 == 0 ? 85 : 255);
        ASSERT_LE(std::abs(picture[i] - red), 2) << "byte " << i;
      }
    } else {
      // Reported once, however many pictures.
      EXPECT_NE(warnings.find(c.warning), std::string::npos) << warnings;
      EXPECT_EQ(warnings.find("warning:"), warnings.rfind("warning:"));
      EXPECT_EQ(state.privacy_fail_closed_pictures, c.module != nullptr ? 2u : 0u);
      for (int y = 0; y < 6; ++y) {
        for (int x = 0; x < 34; ++x) ASSERT_EQ(picture[y * 34 + x], picture[std::min(x, 29) / 6 * 6]) << x << "," << y;
      }
    }
    if (c.module == nullptr) continue;
    // The first picture of its size brought the module the options for it: (34 + 6) / 8.
    const FakeAnonymizerLog& log = testing::FakeAnonymizerLogOf(FakeModule(c.module));
    EXPECT_EQ(Int32At(log.parameters, 20), 5);
    EXPECT_EQ(Int32At(log.parameters, 28), 2);
    AnonymizerFrame frame;
    std::memcpy(&frame, log.frame, sizeof frame);
    EXPECT_EQ(frame.pixels, state.work_image.pixels());
    EXPECT_EQ(frame.info_header, state.work_image.info_header());
    EXPECT_EQ(frame.data_size, 34 * 6 * 3);
    EXPECT_EQ(frame.width, 34);
    EXPECT_EQ(frame.height, 6);
    EXPECT_EQ(Bytes(std::begin(frame.reserved), std::end(frame.reserved)), Bytes(516, 0));
  }
}

}  // namespace
}  // namespace moraine
