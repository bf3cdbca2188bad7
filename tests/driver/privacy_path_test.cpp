// The anonymizer option step and the privacy path of one picture, with the stand-ins for the
// Anonymizer module: the fake paints a frame red, its refusing variant refuses every frame. The
// mosaic's path is tested end to end.

#include "moraine/driver/privacy_path.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "moraine/driver/anonymizer_options.h"
#include "moraine/driver/nv12_bgr_conversion.h"
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

TEST(PrivacyPath, ModuleMasksOrTheRefusedPictureLosesItsColour) {
  struct Case {
    const char* module;  // nullptr: no module
    int y, u, v;         // -1: as the picture was (within 2)
  };
  for (const Case& c : {Case{"FakeAnonymizer", 76, 85, 255}, Case{"FakeAnonymizerRefusing", -1, 128, 128},
                        Case{nullptr, -1, -1, -1}}) {
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
    // Only the refused picture is reported, and only once.
    EXPECT_EQ(warnings.find("warning:") == std::string::npos, c.u != 128) << warnings;
    EXPECT_EQ(warnings.find("warning:"), warnings.rfind("warning:"));
    for (std::size_t i = 0; i < picture.size(); ++i) {
      const int expected = i < 34 * 6 ? c.y : (i % 2 == 0 ? c.u : c.v);
      ASSERT_LE(std::abs(picture[i] - (expected < 0 ? original[i] : expected)), 2) << "byte " << i;
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
