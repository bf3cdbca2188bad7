// The encoder module through its exported functions, loaded from the bin folder like the program
// loads it. Its output is checked with ffprobe/ffmpeg as independent readers and decoded again with
// the decoder module.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "tests/mediacommon/media_test_support.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace moraine::testing {
namespace {

constexpr double kPsnrFloor = 30.0;

class FellModuleTest : public ::testing::Test {
 protected:
  // Encodes `count` synthetic pictures on `handle`, expecting output for each; returns the stream.
  Bytes EncodeSequence(std::int32_t handle, int width, int height, int count) {
    Bytes stream;
    for (int i = 0; i < count; ++i) {
      const Bytes picture = SyntheticPicture(width, height, i);
      EXPECT_EQ(fell_.encode(handle, 0, picture.data(), static_cast<std::int32_t>(picture.size())), 1) << i;
      const std::uint8_t* data = nullptr;
      std::int32_t size = 0;
      EXPECT_EQ(fell_.get(handle, &data, &size), 0);
      EXPECT_GT(size, 0) << i;
      if (data != nullptr) stream.insert(stream.end(), data, data + size);
    }
    return stream;
  }

  // ffprobe's reading of the first video stream, "codec,width,height": the picture size, or with
  // `ignore_crop` the coded frame size.
  std::string Probe(const std::string& file, bool ignore_crop = false) {
    std::vector<std::string> command = {"ffprobe", "-v", "error"};
    if (ignore_crop) command.insert(command.end(), {"-flags2", "+ignorecrop"});
    command.insert(command.end(), {"-select_streams", "v:0", "-show_entries", "stream=codec_name,width,height",
                                   "-of", "csv=p=0", file});
    return RunCommand(command).standard_output;
  }

  FellModule fell_;
};

TEST_F(FellModuleTest, EncodeBeforeCreateGivesNothing) {
  const Bytes picture = SyntheticPicture(64, 64, 0);
  EXPECT_EQ(fell_.encode(9, 0, picture.data(), static_cast<std::int32_t>(picture.size())), 0);
  const std::uint8_t* data = nullptr;
  std::int32_t size = 0;
  EXPECT_EQ(fell_.get(9, &data, &size), -1);
  fell_.close(9);
}

TEST_F(FellModuleTest, HandlesOutsideTheTableSelectNothing) {
  const Bytes picture = SyntheticPicture(64, 64, 0);
  const std::uint8_t* data = nullptr;
  std::int32_t size = 0;
  for (const std::int32_t handle : {-1, 160}) {
    EXPECT_EQ(fell_.create(handle, 25, 1000, 64, 64), 0);
    EXPECT_EQ(fell_.encode(handle, 0, picture.data(), static_cast<std::int32_t>(picture.size())), -1);
    EXPECT_EQ(fell_.get(handle, &data, &size), -1);
    EXPECT_EQ(fell_.close(handle), 0);
  }
}

TEST_F(FellModuleTest, RoundTripThroughFfmpegAndTheDecoderModule) {
  // 200 × 120 is not a multiple of 16 either way: the frame is rounded up, the crop keeps the size.
  constexpr int kWidth = 200;
  constexpr int kHeight = 120;
  constexpr int kCount = 6;
  ASSERT_EQ(fell_.create(1, 25, 2000, kWidth, kHeight), 1);
  const Bytes stream = EncodeSequence(1, kWidth, kHeight, kCount);
  fell_.close(1);

  TempDir dir;
  WriteFileBytes(dir.File("out.h264"), stream);
  EXPECT_EQ(Probe(dir.File("out.h264")), "h264,200,120\n");
  EXPECT_EQ(Probe(dir.File("out.h264"), true), "h264,208,128\n");
  const CommandResult decoded = RunCommand({"ffmpeg", "-v", "error", "-i", dir.File("out.h264"), "-f", "rawvideo",
                                            "-pix_fmt", "nv12", dir.File("out.nv12")});
  ASSERT_EQ(decoded.exit_status, 0) << decoded.standard_error;
  const std::string ffmpeg_pictures = ReadFileBytes(dir.File("out.nv12"));
  const std::size_t picture_size = kWidth * kHeight * 3 / 2;
  ASSERT_EQ(ffmpeg_pictures.size(), picture_size * kCount);

  TarnModule tarn;
  const Bytes sets = LeadingParameterSets(stream, StreamCodec::kH264);
  ASSERT_TRUE(tarn.create(1, 1, kWidth, kHeight, sets.data(), static_cast<std::int32_t>(sets.size())));
  const std::vector<Bytes> access_units = SplitAccessUnits(stream, StreamCodec::kH264);
  ASSERT_EQ(access_units.size(), static_cast<std::size_t>(kCount));
  for (int i = 0; i < kCount; ++i) {
    const Bytes original = SyntheticPicture(kWidth, kHeight, i);
    const Bytes by_ffmpeg(ffmpeg_pictures.begin() + i * picture_size, ffmpeg_pictures.begin() + (i + 1) * picture_size);
    EXPECT_GE(LumaPsnr(original, by_ffmpeg, kWidth, kHeight), kPsnrFloor) << "picture " << i;

    ASSERT_EQ(tarn.decode(1, 0, access_units[i].data(), static_cast<std::int32_t>(access_units[i].size())), 1);
    std::uint8_t* block = nullptr;
    std::int32_t size = 0, width = 0, height = 0;
    ASSERT_EQ(tarn.get(1, &block, &size, &width, &height), 0);
    const std::unique_ptr<std::uint8_t[]> owned(block);
    ASSERT_EQ(static_cast<std::size_t>(size), picture_size);
    EXPECT_EQ(Bytes(block, block + size), by_ffmpeg) << "picture " << i;
  }
  tarn.close(1);
}

TEST_F(FellModuleTest, FullHdFrameIsRoundedTo1088WithTheCropKeeping1080) {
  ASSERT_EQ(fell_.create(2, 25, 10000, 1920, 1080), 1);
  const Bytes stream = EncodeSequence(2, 1920, 1080, 1);
  fell_.close(2);
  TempDir dir;
  WriteFileBytes(dir.File("out.h264"), stream);
  EXPECT_EQ(Probe(dir.File("out.h264")), "h264,1920,1080\n");
  EXPECT_EQ(Probe(dir.File("out.h264"), true), "h264,1920,1088\n");
}

TEST_F(FellModuleTest, ShortPictureIsRefusedAndTheEncoderGoesOn) {
  ASSERT_EQ(fell_.create(3, 25, 1000, 64, 48), 1);
  const Bytes picture = SyntheticPicture(64, 48, 0);
  // Exactly as long as the caller says: a read past it is caught by the address sanitizer.
  const auto short_copy = std::make_unique<std::uint8_t[]>(picture.size() - 1);
  std::copy(picture.begin(), picture.end() - 1, short_copy.get());
  EXPECT_EQ(fell_.encode(3, 0, short_copy.get(), static_cast<std::int32_t>(picture.size() - 1)), -5);
  EXPECT_EQ(fell_.encode(3, 0, picture.data(), static_cast<std::int32_t>(picture.size())), 1);
  fell_.close(3);
}

TEST_F(FellModuleTest, EmptyPictureOnlyCollectsAndAnswersFromEarlierOutput) {
  ASSERT_EQ(fell_.create(4, 25, 1000, 64, 48), 1);
  EXPECT_EQ(fell_.encode(4, 0, nullptr, 0), 0);  // nothing produced yet
  EncodeSequence(4, 64, 48, 1);
  EXPECT_EQ(fell_.encode(4, 0, nullptr, 0), 1);
  const std::uint8_t* data = reinterpret_cast<const std::uint8_t*>(&data);
  std::int32_t size = 5;
  EXPECT_EQ(fell_.get(4, &data, &size), 0);
  EXPECT_EQ(data, nullptr);
  EXPECT_EQ(size, 0);

  fell_.close(4);  // the next object of the slot starts without output
  EXPECT_EQ(fell_.get(4, &data, &size), -1);
  fell_.close(4);
}

TEST_F(FellModuleTest, SizesTheFrameCannotHoldAreRefused) {
  EXPECT_EQ(fell_.create(5, 25, 1000, 0, 48), 0);
  EXPECT_EQ(fell_.create(5, 25, 1000, 64, -16), 0);
  EXPECT_EQ(fell_.create(5, 25, 1000, 65521, 48), 0);
  fell_.close(5);
}

TEST_F(FellModuleTest, AvailabilityAnswerIsStable) {
  const std::int32_t first = fell_.available();
  EXPECT_TRUE(first == 0 || first == 1);
  EXPECT_EQ(fell_.available(), first);
}

}  // namespace
}  // namespace moraine::testing
