// The Anonymizer module through its exported functions, loaded from the bin folder like the program
// loads it: objects and parameters, the records it refuses, the replacement of regions, the working
// size, the background model's warm-up, the registry setting and whole clips (made and checked with
// ffmpeg and ffprobe). The background model's own output differs between OpenCV versions, so no test
// pins it: they rely only on a large moving square being found once the warm-up is over.

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "anonymizer/anonymizer_exports.h"
#include "platform/module_loader.h"
#include "tests/mediacommon/media_test_support.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace moraine::testing {
namespace {

struct Module {
  platform::LoadedModule module{platform::ModuleFileName("Anonymizer")};
  decltype(&::GetAnonymizerObjPtr) get_object = module.EntryPoint<decltype(get_object)>("GetAnonymizerObjPtr");
  decltype(&::AnonymizeFrame) anonymize = module.EntryPoint<decltype(anonymize)>("AnonymizeFrame");
  decltype(&::GetAnonymizationParameters) get_parameters =
      module.EntryPoint<decltype(get_parameters)>("GetAnonymizationParameters");
  decltype(&::SetAnonymizationParameters) set_parameters =
      module.EntryPoint<decltype(set_parameters)>("SetAnonymizationParameters");
  decltype(&::ReleaseAnonymizerObjPtr) release = module.EntryPoint<decltype(release)>("ReleaseAnonymizerObjPtr");
  decltype(&::AnonymizeClip) anonymize_clip = module.EntryPoint<decltype(anonymize_clip)>("AnonymizeClip");
};
const Module& Anonymizer() {
  static const Module module;
  return module;
}

using Object = std::unique_ptr<IAnonymizer, void (*)(IAnonymizer*)>;
Object NewObject(std::int32_t masking, std::int32_t algorithm, std::int32_t pixel_block_size,
                 std::int32_t blur_intensity = 4) {
  Object object(Anonymizer().get_object(0, 0), Anonymizer().release);
  AnonymizationParameters parameters;
  parameters.maskingType = masking;
  parameters.algorithmType = algorithm;
  parameters.pixelBlockSize = pixel_block_size;
  parameters.blurIntensity = blur_intensity;
  EXPECT_TRUE(Anonymizer().set_parameters(object.get(), &parameters));
  return object;
}

struct Bgr {
  int b, g, r;
};
using Scene = std::function<Bgr(int x, int y)>;

// Packed pixels of 3 or 4 bytes (alpha 0) with the header that describes them.
struct Picture {
  Picture(int columns, int rows, const Scene& scene, int channels = 3)
      : columns(columns), rows(rows), channels(channels) {
    header.biWidth = columns;
    header.biHeight = rows;
    header.biBitCount = static_cast<std::uint16_t>(8 * channels);
    for (int y = 0; y < rows; ++y) {
      for (int x = 0; x < columns; ++x) {
        const Bgr c = scene(x, y);
        pixels.insert(pixels.end(), {std::uint8_t(c.b), std::uint8_t(c.g), std::uint8_t(c.r)});
        if (channels == 4) pixels.push_back(0);
      }
    }
  }
  const std::uint8_t* At(int x, int y) const { return &pixels[(std::size_t(y) * columns + x) * channels]; }
  bool Same(const Picture& other, int x, int y) const { return std::memcmp(At(x, y), other.At(x, y), 3) == 0; }
  bool Anonymize(const Object& object) {
    const AnonymizerFrame record = PackedFrameRecord(pixels.data(), header);
    return Anonymizer().anonymize(object.get(), &record);
  }

  int columns, rows, channels;
  std::vector<std::uint8_t> pixels;
  BitmapInfoHeader header;
};

// Counts the module's diagnostic messages from construction on; test failures reported meanwhile
// are passed on to standard output at the first count.
class Messages {
 public:
  Messages() { setenv("MORAINE_DEBUG_OUTPUT", "1", 1); }
  ~Messages() { unsetenv("MORAINE_DEBUG_OUTPUT"); }
  int Count(const std::string& message) {
    if (!stopped_) {
      output_.Stop();
      std::fputs(output_.Out().c_str(), stdout);
      stopped_ = true;
    }
    int count = 0;
    for (auto at = output_.Err().find(message); at != std::string::npos; at = output_.Err().find(message, at + 1)) {
      ++count;
    }
    return count;
  }

 private:
  CapturedOutput output_;
  bool stopped_ = false;
};

Bgr NonSkin(int, int) { return {200, 100, 50}; }
Bgr Skin(int x, int) { return {80 + x % 40, 120 + x % 40, 180 + x % 40}; }
// Adjacent blocks of these have different means whatever the block size.
Scene GreyRamp(int columns, int rows) {
  return [=](int x, int y) {
    const int v = 20 + 100 * x / columns + 100 * y / rows;
    return Bgr{v, v, v};
  };
}
Scene SkinRamp(int columns, int rows) {
  return [=](int x, int y) {
    const int g = 30 * x / columns + 30 * y / rows;
    return Bgr{80 + g, 120 + g, 180 + g};
  };
}
Scene TwoHalves(int columns, Bgr left, Bgr right) {
  return [=](int x, int) { return x < columns / 2 ? left : right; };
}

// Every pixel equals the top-left one of its block, and the first block ends where `block` says.
::testing::AssertionResult MadeOfBlocks(const Picture& picture, int block) {
  for (int y = 0; y < picture.rows; ++y) {
    for (int x = 0; x < picture.columns; ++x) {
      if (std::memcmp(picture.At(x, y), picture.At(x / block * block, y / block * block), 3) != 0) {
        return ::testing::AssertionFailure() << "pixel " << x << "," << y << " differs from its block";
      }
    }
  }
  if (block < picture.columns && std::memcmp(picture.At(block - 1, 0), picture.At(block, 0), 3) == 0) {
    return ::testing::AssertionFailure() << "the first block is wider than " << block;
  }
  return ::testing::AssertionSuccess();
}

// The middle row against a box filter of `kernel` columns computed here, within 1 for rounding, where
// the window lies inside the picture. The pictures change only from column to column.
::testing::AssertionResult BoxFiltered(const Picture& before, const Picture& after, int kernel) {
  const int y = before.rows / 2;
  for (int x = kernel / 2; x + kernel - kernel / 2 <= before.columns; ++x) {
    for (int channel = 0; channel < 3; ++channel) {
      double sum = 0;
      for (int i = x - kernel / 2; i < x - kernel / 2 + kernel; ++i) sum += before.At(i, y)[channel];
      if (std::abs(after.At(x, y)[channel] - sum / kernel) > 1.0) {
        return ::testing::AssertionFailure() << "column " << x << " is " << int{after.At(x, y)[channel]}
                                             << ", box filter " << sum / kernel;
      }
    }
  }
  return ::testing::AssertionSuccess();
}

class AnonymizerTest : public ::testing::Test {
 protected:
  void SetUp() override { setenv("MORAINE_REGISTRY_FILE", registry_.File("registry").c_str(), 1); }
  void TearDown() override { unsetenv("MORAINE_REGISTRY_FILE"); }
  TempDir registry_;
};

TEST_F(AnonymizerTest, ObjectsFromTheExportsAndNullObjectsRefused) {
  ASSERT_TRUE(Anonymizer().module.IsLoaded()) << Anonymizer().module.Error();
  // moraine::GetAnonymizer(moraine::AnonymizerLibrary, moraine::AnonymizeType)
  EXPECT_NE(Anonymizer().module.FindEntryPoint("_ZN7moraine13GetAnonymizerENS_17AnonymizerLibraryENS_13AnonymizeTypeE"),
            nullptr);
  EXPECT_EQ(Anonymizer().get_object(1, 0), nullptr);
  Anonymizer().release(Anonymizer().get_object(0, 5));

  Picture picture(16, 16, Skin);
  const AnonymizationParameters parameters;
  EXPECT_FALSE(picture.Anonymize(Object(nullptr, Anonymizer().release)));
  EXPECT_FALSE(Anonymizer().set_parameters(nullptr, &parameters));
  EXPECT_FALSE(Anonymizer().anonymize_clip(nullptr, "in.avi", "out.avi"));
  Anonymizer().release(nullptr);
}

TEST_F(AnonymizerTest, ParametersStartAtTheDefaultsAndRoundTripAllBytes) {
  const Object object(Anonymizer().get_object(0, 0), Anonymizer().release);
  const AnonymizationParameters defaults = Anonymizer().get_parameters(object.get());
  EXPECT_EQ(defaults.maskingType, 0);
  EXPECT_EQ(defaults.reserved_double, 1.0);
  EXPECT_EQ(defaults.pixelBlockSize, 10);
  EXPECT_EQ(defaults.blurIntensity, 4);

  AnonymizationParameters sent;
  for (std::size_t i = 0; i < sizeof sent; ++i) reinterpret_cast<std::uint8_t*>(&sent)[i] = std::uint8_t(0xA0 + i);
  EXPECT_TRUE(Anonymizer().set_parameters(object.get(), &sent));
  const AnonymizationParameters returned = Anonymizer().get_parameters(object.get());
  EXPECT_EQ(std::memcmp(&returned, &sent, sizeof sent), 0);
}

// A refused record leaves the caller's pixels alone and never reads or writes past them.
TEST_F(AnonymizerTest, RefusesRecordsThatDoNotDescribeTheirPixels) {
  constexpr char kChannels[] = "Incorrect Number of Channels";
  constexpr char kMatrix[] = "Not able to convert Image to Matrix";
  struct Case {
    const char* what;
    std::function<void(AnonymizerFrame&, BitmapInfoHeader&)> damage;
    const char* message;
  };
  const Case cases[] = {
      {"no header", [](AnonymizerFrame& r, BitmapInfoHeader&) { r.info_header = nullptr; }, kChannels},
      {"8 bits", [](AnonymizerFrame&, BitmapInfoHeader& h) { h.biBitCount = 8; }, kChannels},
      {"16 bits", [](AnonymizerFrame&, BitmapInfoHeader& h) { h.biBitCount = 16; }, kChannels},
      {"32 bits on 3-byte pixels", [](AnonymizerFrame&, BitmapInfoHeader& h) { h.biBitCount = 32; }, kMatrix},
      {"data size one short", [](AnonymizerFrame& r, BitmapInfoHeader&) { --r.data_size; }, kMatrix},
      {"data size one over", [](AnonymizerFrame& r, BitmapInfoHeader&) { ++r.data_size; }, kMatrix},
      {"no pixels", [](AnonymizerFrame& r, BitmapInfoHeader&) { r.pixels = nullptr; }, kMatrix},
      {"width 0", [](AnonymizerFrame& r, BitmapInfoHeader&) { r.width = 0; }, kMatrix},
      {"biWidth negative", [](AnonymizerFrame&, BitmapInfoHeader& h) { h.biWidth = -64; }, kMatrix},
      {"biHeight most negative", [](AnonymizerFrame&, BitmapInfoHeader& h) { h.biHeight = INT_MIN; }, kMatrix},
      // 48 rows × this width × 3 is the right data size modulo 2^32.
      {"product wraps in 32 bits", [](AnonymizerFrame&, BitmapInfoHeader& h) { h.biWidth = 64 + (1 << 28); }, kMatrix},
  };
  const Object object = NewObject(2, 2, 16);
  for (const Case& c : cases) {
    Picture picture(64, 48, Skin);
    const std::vector<std::uint8_t> before = picture.pixels;
    AnonymizerFrame record = PackedFrameRecord(picture.pixels.data(), picture.header);
    c.damage(record, picture.header);
    Messages messages;
    EXPECT_FALSE(Anonymizer().anonymize(object.get(), &record)) << c.what;
    EXPECT_EQ(messages.Count(c.message), 1) << c.what;
    EXPECT_EQ(picture.pixels, before) << c.what;
  }
  EXPECT_FALSE(Anonymizer().anonymize(object.get(), nullptr));
}

TEST_F(AnonymizerTest, FourChannelTopDownPictureComesBackOpaque) {
  Picture picture(64, 48, Skin, 4);
  picture.header.biHeight = -48;
  ASSERT_TRUE(picture.Anonymize(NewObject(2, 2, 16)));
  for (std::size_t alpha = 3; alpha < picture.pixels.size(); alpha += 4) ASSERT_EQ(picture.pixels[alpha], 255) << alpha;
}

TEST_F(AnonymizerTest, ReplacementBlockAndWindowSizes) {
  enum class Expect { kBlocks, kBoxFilter, kSolid };
  struct Case {
    const char* what;
    Scene scene;
    int columns, rows;
    std::int32_t masking, pixel_block_size, blur_intensity;
    Expect expect;
    int size;
  };
  const Bgr dark{60, 60, 60}, light{180, 180, 180}, skin{60, 100, 160}, pink{100, 140, 200};
  const Case cases[] = {
      {"grey, pixelated whole: (120 + 67) / 4", GreyRamp(1920, 1080), 1920, 1080, 2, 16, 4, Expect::kBlocks, 46},
      {"grey, solid type pixelates", GreyRamp(1920, 1080), 1920, 1080, 1, 16, 4, Expect::kBlocks, 46},
      {"skin: (120 + 67) / 2", SkinRamp(1920, 1080), 1920, 1080, 2, 16, 4, Expect::kBlocks, 93},
      {"block size 0 means 40", GreyRamp(1920, 1080), 1920, 1080, 2, 0, 4, Expect::kBlocks, 40},
      {"smaller blocks at the edges: (35 + 35) / 4", GreyRamp(70, 70), 70, 70, 2, 2, 4, Expect::kBlocks, 17},
      // Smaller computed blocks would leave faces recognisable.
      {"skin, a computed (2 + 1) / 2 becomes 4", SkinRamp(48, 27), 48, 27, 2, 19, 4, Expect::kBlocks, 4},
      {"grey, a computed block of 0 becomes 4", GreyRamp(48, 27), 48, 27, 2, 5000, 4, Expect::kBlocks, 4},
      {"grey, blurred whole: 1080 / 4", TwoHalves(1920, dark, light), 1920, 1080, 0, 16, 4, Expect::kBoxFilter, 270},
      {"skin: 2 × 1080 / 4", TwoHalves(1920, skin, pink), 1920, 1080, 0, 16, 4, Expect::kBoxFilter, 540},
      {"blur intensity 0 means 40", TwoHalves(1920, skin, pink), 1920, 1080, 0, 16, 0, Expect::kBoxFilter, 40},
      {"skin, solid colour", SkinRamp(1920, 1080), 1920, 1080, 1, 16, 4, Expect::kSolid, 0},
  };
  for (const Case& c : cases) {
    const Picture before(c.columns, c.rows, c.scene);
    Picture after = before;
    ASSERT_TRUE(after.Anonymize(NewObject(c.masking, 2, c.pixel_block_size, c.blur_intensity))) << c.what;
    const Picture solid(c.columns, c.rows, [](int, int) { return Bgr{135, 184, 222}; });
    switch (c.expect) {
      case Expect::kBlocks: EXPECT_TRUE(MadeOfBlocks(after, c.size)) << c.what; break;
      case Expect::kBoxFilter: EXPECT_TRUE(BoxFiltered(before, after, c.size)) << c.what; break;
      case Expect::kSolid: EXPECT_EQ(solid.pixels, after.pixels) << c.what; break;
    }
  }
}

// Pictures with more pixels than a 1920-wide one of their aspect ratio are processed at that size
// and come back at their own, pixelated in blocks of the working size; the rule catches 1920 × 1736
// by one row.
TEST_F(AnonymizerTest, LargePicturesProcessedAtTheWorkingWidth) {
  struct Case {
    int columns, rows;
    bool scaled;
    int block;  // the first block in the picture's own pixels
  };
  for (const Case& c : {Case{1920, 1080, false, 46}, Case{3840, 2160, true, 92}, Case{1920, 1736, true, 57},
                        Case{1280, 720, false, 31}}) {
    Picture picture(c.columns, c.rows, GreyRamp(c.columns, c.rows));
    const Picture before = picture;
    const std::string size = std::to_string(c.columns) + "x" + std::to_string(c.rows);
    Messages messages;
    ASSERT_TRUE(picture.Anonymize(NewObject(2, 0, 16))) << size;
    EXPECT_EQ(messages.Count("Resizing done to handle high resolution video"), c.scaled ? 1 : 0) << size;
    EXPECT_EQ(messages.Count("Resizing back to original size"), c.scaled ? 1 : 0) << size;
    EXPECT_EQ(std::memcmp(picture.At(3, 3), picture.At(c.block - 4, c.block - 4), 3), 0) << size;
    EXPECT_FALSE(before.Same(picture, 3, 3)) << size;
  }
}

// A 60 × 60 green square moves over a blue scene next to a still patch of skin. Option A relies on
// skin alone for the first five pictures of each picture size, then masks what moves too.
TEST_F(AnonymizerTest, WarmUpAfterEachSizeChangeThenMovingRegionsMasked) {
  const Object object = NewObject(2, 0, 16);
  Messages messages;
  for (const std::pair<int, int>& size : {std::pair{320, 240}, std::pair{352, 288}}) {
    const int columns = size.first;
    const int rows = size.second;
    bool square_masked_after_warm_up = false;
    for (int frame = 1; frame <= 8; ++frame) {
      // Off the block grid, so that masking shows at its edges.
      const int left = 20 * frame + 7;
      const auto in_square = [&](int x, int y) { return x >= left && x < left + 60 && y >= 63 && y < 123; };
      const auto in_skin = [&](int x, int y) { return x >= columns - 50 && y >= rows - 50; };
      Picture picture(columns, rows, [&](int x, int y) {
        return in_square(x, y) ? Bgr{50, 200, 50} : in_skin(x, y) ? Bgr{80, 120, 180} : Bgr{200, 100, 50};
      });
      const Picture before = picture;
      ASSERT_TRUE(picture.Anonymize(object));
      bool skin_masked = false;
      bool other_masked = false;
      for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < columns; ++x) {
          const bool changed = !before.Same(picture, x, y);
          (in_skin(x, y) ? skin_masked : other_masked) |= changed;
          if (frame > 5 && in_square(x, y)) square_masked_after_warm_up |= changed;
        }
      }
      EXPECT_TRUE(skin_masked) << columns << "x" << rows << " picture " << frame;
      EXPECT_TRUE(frame > 5 || !other_masked) << columns << "x" << rows << " picture " << frame;
    }
    EXPECT_TRUE(square_masked_after_warm_up) << columns << "x" << rows;
  }
  EXPECT_EQ(messages.Count("Reinitialize after Resolution change detected"), 1);
}

// A picture whose colour is below the registry's percentage counts as black and white and is masked
// whole; the percentage times the pixel count overflows 32 bits for the last value.
TEST_F(AnonymizerTest, BlackAndWhiteThresholdFromTheRegistryFile) {
  struct Case {
    const char* content;  // null: no file
    const char* message;
    const char* percentage;
    bool masked;
  };
  const Case cases[] = {
      {nullptr, "cannot open registry key", "thresholdPercentage = 1\n", false},
      {"Other=5\n", "registry subkey not available", "thresholdPercentage = 1\n", false},
      {"BWThreshold=many\n", "registry subkey not available", "thresholdPercentage = 1\n", false},
      {"BWThreshold=60000\n", "registry subkey found", "thresholdPercentage = 60000\n", true},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(registry_.File("registry"));
    if (c.content != nullptr) std::ofstream(registry_.File("registry")) << c.content;
    Picture picture(320, 240, NonSkin);
    picture.pixels[0] = 0;  // one odd pixel, so that pixelating changes the picture
    const std::vector<std::uint8_t> before = picture.pixels;
    Messages messages;
    EXPECT_TRUE(picture.Anonymize(NewObject(2, 2, 16)));
    EXPECT_EQ(messages.Count(c.message), 1) << c.message;
    EXPECT_EQ(messages.Count(c.percentage), 1) << c.percentage;
    EXPECT_EQ(picture.pixels != before, c.masked) << c.percentage;
  }
}

TEST_F(AnonymizerTest, AnonymizesAClipIntoAnXvidFile) {
  TempDir temp;
  const std::string input = temp.File("in.avi");
  ASSERT_EQ(RunCommand({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "testsrc2=size=160x120:rate=10", "-frames:v",
                        "8", "-c:v", "mpeg4", input})
                .exit_status,
            0);
  const Object object = NewObject(2, 0, 16);
  ASSERT_TRUE(Anonymizer().anonymize_clip(object.get(), input.c_str(), temp.File("out.avi").c_str()));
  const CommandResult probe =
      RunCommand({"ffprobe", "-v", "error", "-count_frames", "-show_entries",
                  "stream=codec_tag_string,width,height,nb_read_frames", "-of", "csv=p=0", temp.File("out.avi")});
  EXPECT_EQ(probe.standard_output, "XVID,160,120,8\n");

  const std::string missing = temp.File("missing.avi");
  EXPECT_FALSE(Anonymizer().anonymize_clip(object.get(), missing.c_str(), temp.File("none.avi").c_str()));
  EXPECT_FALSE(std::filesystem::exists(temp.File("none.avi")));
  EXPECT_FALSE(Anonymizer().anonymize_clip(object.get(), input.c_str(), temp.File("no/folder.avi").c_str()));
}

}  // namespace
}  // namespace moraine::testing
