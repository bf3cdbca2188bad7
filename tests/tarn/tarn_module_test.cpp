// The decoder module through its exported functions, loaded from the bin folder like the program
// loads it. Test streams come from ffmpeg, which also decodes them for comparison.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

#include "tests/mediacommon/media_test_support.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace moraine::testing {
namespace {

constexpr int kWidth = 176;
constexpr int kHeight = 144;
constexpr int kPictures = 4;

struct Picture {
  std::int32_t result = -99;
  Bytes bytes;
  std::int32_t width = -1;
  std::int32_t height = -1;
  bool null = true;
};

// The stream decoded by ffmpeg into packed NV12 pictures.
Bytes ReferenceDecode(const Bytes& stream) {
  TempDir dir;
  WriteFileBytes(dir.File("stream"), stream);
  const CommandResult result = RunCommand({"ffmpeg", "-v", "error", "-i", dir.File("stream"), "-f", "rawvideo",
                                           "-pix_fmt", "nv12", dir.File("pictures.nv12")});
  if (result.exit_status != 0) return {};
  const std::string bytes = ReadFileBytes(dir.File("pictures.nv12"));
  return Bytes(bytes.begin(), bytes.end());
}

class TarnModuleTest : public ::testing::TestWithParam<StreamCodec> {
 protected:
  static void SetUpTestSuite() {
    tarn_ = std::make_unique<TarnModule>();
    for (const StreamCodec codec : {StreamCodec::kH264, StreamCodec::kHevc}) {
      Stream& stream = streams_[static_cast<int>(codec)];
      stream.bytes = MakeTestStream(codec, kWidth, kHeight, kPictures);
      stream.access_units = SplitAccessUnits(stream.bytes, codec);
      stream.parameter_sets = LeadingParameterSets(stream.bytes, codec);
      stream.reference = ReferenceDecode(stream.bytes);
    }
  }
  static void TearDownTestSuite() { tarn_.reset(); }

  struct Stream {
    Bytes bytes;
    std::vector<Bytes> access_units;
    Bytes parameter_sets;
    Bytes reference;
  };

  const Stream& TestStream() const { return streams_[static_cast<int>(GetParam())]; }
  std::int32_t CodecNumber() const { return GetParam() == StreamCodec::kHevc ? 13 : 1; }

  bool Create(std::int32_t handle, int width = kWidth, int height = kHeight) {
    const Bytes& sets = TestStream().parameter_sets;
    return tarn_->create(handle, CodecNumber(), width, height, sets.data(), static_cast<std::int32_t>(sets.size()));
  }
  std::int32_t Decode(std::int32_t handle, const Bytes& unit) {
    return tarn_->decode(handle, 0, unit.data(), static_cast<std::int32_t>(unit.size()));
  }
  Picture Get(std::int32_t handle) {
    Picture picture;
    std::uint8_t* block = nullptr;
    std::int32_t size = -1;
    picture.result = tarn_->get(handle, &block, &size, &picture.width, &picture.height);
    const std::unique_ptr<std::uint8_t[]> owned(block);  // the caller releases the block with delete[]
    picture.null = block == nullptr;
    if (block != nullptr) picture.bytes.assign(block, block + size);
    return picture;
  }
  // The reference picture `index`, cut to its top-left width × height part.
  Bytes ReferencePart(int index, int width, int height) const {
    const std::size_t full = kWidth * kHeight * 3 / 2;
    const std::uint8_t* picture = TestStream().reference.data() + index * full;
    Bytes part;
    for (int row = 0; row < height; ++row) part.insert(part.end(), picture + row * kWidth, picture + row * kWidth + width);
    const std::uint8_t* chroma = picture + kWidth * kHeight;
    for (int row = 0; row < height / 2; ++row) part.insert(part.end(), chroma + row * kWidth, chroma + row * kWidth + width);
    return part;
  }

  static std::unique_ptr<TarnModule> tarn_;
  static Stream streams_[2];
};

std::unique_ptr<TarnModule> TarnModuleTest::tarn_;
TarnModuleTest::Stream TarnModuleTest::streams_[2];

TEST_P(TarnModuleTest, DecodesEveryPictureLikeFfmpeg) {
  ASSERT_EQ(TestStream().access_units.size(), static_cast<std::size_t>(kPictures));
  ASSERT_EQ(TestStream().reference.size(), static_cast<std::size_t>(kPictures * kWidth * kHeight * 3 / 2));
  ASSERT_TRUE(Create(1));
  for (int i = 0; i < kPictures; ++i) {
    ASSERT_EQ(Decode(1, TestStream().access_units[i]), 1) << "access unit " << i;
    const Picture picture = Get(1);
    ASSERT_EQ(picture.result, 0);
    EXPECT_EQ(picture.width, kWidth);
    EXPECT_EQ(picture.height, kHeight);
    EXPECT_EQ(picture.bytes, ReferencePart(i, kWidth, kHeight)) << "picture " << i;
  }
  tarn_->close(1);
}

TEST_P(TarnModuleTest, SmallerRequestedSizeGivesTheTopLeftPartAndLargerNothing) {
  ASSERT_TRUE(Create(2, 64, 47));
  ASSERT_EQ(Decode(2, TestStream().access_units[0]), 1);
  const Picture part = Get(2);
  ASSERT_EQ(part.result, 0);
  EXPECT_EQ(part.bytes.size(), 64u * 47 + 64 * 47 / 2);
  const Bytes expected = ReferencePart(0, 64, 47);
  EXPECT_TRUE(std::equal(expected.begin(), expected.end(), part.bytes.begin()));

  ASSERT_TRUE(Create(2, kWidth + 32, kHeight));
  ASSERT_EQ(Decode(2, TestStream().access_units[0]), 1);
  EXPECT_EQ(Get(2).result, -1);
  tarn_->close(2);
}

TEST_P(TarnModuleTest, PictureIsHandedOutOnce) {
  ASSERT_TRUE(Create(3));
  ASSERT_EQ(Decode(3, TestStream().access_units[0]), 1);
  EXPECT_FALSE(Get(3).null);

  std::uint8_t* block = reinterpret_cast<std::uint8_t*>(&block);
  std::int32_t size = 77;
  std::int32_t width = 11;
  std::int32_t height = 22;
  EXPECT_EQ(tarn_->get(3, &block, &size, &width, &height), 0);
  EXPECT_EQ(block, nullptr);
  EXPECT_EQ(size, 0);
  EXPECT_EQ(width, 11);
  EXPECT_EQ(height, 22);
  tarn_->close(3);
}

TEST_P(TarnModuleTest, DataBeforeTheFirstParameterSetIsDropped) {
  ASSERT_TRUE(Create(4));
  // The second access unit is a plain slice; five bytes are never key data, whatever they hold.
  EXPECT_EQ(Decode(4, TestStream().access_units[1]), 0);
  const Bytes five(TestStream().access_units[0].begin(), TestStream().access_units[0].begin() + 5);
  EXPECT_EQ(Decode(4, five), 0);
  EXPECT_EQ(Get(4).result, -1);  // nothing decoded yet
  ASSERT_EQ(Decode(4, TestStream().access_units[0]), 1);
  EXPECT_EQ(Get(4).bytes, ReferencePart(0, kWidth, kHeight));
  tarn_->close(4);
}

TEST_P(TarnModuleTest, OversizedInputFailsAndDecodingGoesOn) {
  ASSERT_TRUE(Create(5));
  ASSERT_EQ(Decode(5, TestStream().access_units[0]), 1);
  ASSERT_EQ(Get(5).bytes, ReferencePart(0, kWidth, kHeight));
  EXPECT_EQ(Decode(5, Bytes(0x200000 + 1, 0)), -1);
  ASSERT_EQ(Decode(5, TestStream().access_units[1]), 1);
  EXPECT_EQ(Get(5).bytes, ReferencePart(1, kWidth, kHeight));
  tarn_->close(5);
}

TEST_P(TarnModuleTest, ClosedHandleStartsOverIdle) {
  ASSERT_TRUE(Create(6));
  ASSERT_EQ(Decode(6, TestStream().access_units[0]), 1);
  tarn_->close(6);
  EXPECT_EQ(Get(6).result, -1);
  EXPECT_EQ(Decode(6, TestStream().access_units[1]), 0);
  tarn_->close(6);
}

TEST_P(TarnModuleTest, CreateAgainWithoutCloseStartsClean) {
  ASSERT_TRUE(Create(9));
  ASSERT_EQ(Decode(9, TestStream().access_units[0]), 1);
  // The first session's surfaces are gone: its picture must not be handed out any more.
  ASSERT_TRUE(Create(9));
  EXPECT_EQ(Get(9).result, -1);
  ASSERT_EQ(Decode(9, TestStream().access_units[0]), 1);
  EXPECT_EQ(Get(9).bytes, ReferencePart(0, kWidth, kHeight));
  tarn_->close(9);
}

TEST_P(TarnModuleTest, PictureWithoutAreaIsRefused) {
  EXPECT_FALSE(Create(10, 0, kHeight));
  EXPECT_FALSE(Create(10, kWidth, -2));
  tarn_->close(10);
}

INSTANTIATE_TEST_SUITE_P(Codecs, TarnModuleTest, ::testing::Values(StreamCodec::kH264, StreamCodec::kHevc),
                         [](const auto& info) { return info.param == StreamCodec::kHevc ? "Hevc" : "H264"; });

class TarnEdgeTest : public ::testing::Test {
 protected:
  TarnModule tarn_;
};

TEST_F(TarnEdgeTest, DecodeBeforeCreateFindsAnIdleDecoder) {
  const Bytes sps = {0, 0, 0, 1, 0x67, 0x42, 0, 0x1e};
  EXPECT_EQ(tarn_.decode(7, 0, sps.data(), static_cast<std::int32_t>(sps.size())), 0);
  std::uint8_t* block = nullptr;
  std::int32_t size = 0, width = 0, height = 0;
  EXPECT_EQ(tarn_.get(7, &block, &size, &width, &height), -1);
  tarn_.close(7);
}

TEST_F(TarnEdgeTest, HandlesOutsideTheTableSelectNothing) {
  const Bytes sps = {0, 0, 0, 1, 0x67, 0x42, 0, 0x1e};
  std::uint8_t* block = nullptr;
  std::int32_t size = 0, width = 0, height = 0;
  for (const std::int32_t handle : {-1, 160, 100000}) {
    EXPECT_FALSE(tarn_.create(handle, 1, 64, 64, sps.data(), static_cast<std::int32_t>(sps.size())));
    EXPECT_EQ(tarn_.decode(handle, 0, sps.data(), static_cast<std::int32_t>(sps.size())), -1);
    EXPECT_EQ(tarn_.get(handle, &block, &size, &width, &height), -1);
    tarn_.close(handle);
  }
}

TEST_F(TarnEdgeTest, FailedCreateReportsTheStatusAndMarksTheCheck) {
  setenv("MORAINE_DEBUG_OUTPUT", "1", 1);
  const Bytes not_a_stream = {0, 0, 0, 1, 0x09, 0x10, 0x00, 0x00};
  CapturedOutput captured;
  const bool created = tarn_.create(8, 1, 64, 64, not_a_stream.data(), static_cast<std::int32_t>(not_a_stream.size()));
  captured.Stop();
  unsetenv("MORAINE_DEBUG_OUTPUT");
  EXPECT_FALSE(created);
  EXPECT_NE(captured.Out().find("\n More input data expected. "), std::string::npos) << captured.Out();
  EXPECT_EQ(captured.Err(), "ERROR CHECK RESULT\n");
  EXPECT_EQ(tarn_.decode(8, 0, not_a_stream.data(), static_cast<std::int32_t>(not_a_stream.size())), 0);
  tarn_.close(8);
}

TEST_F(TarnEdgeTest, AvailabilityAnswerIsStable) {
  const std::int32_t first = tarn_.available();
  EXPECT_TRUE(first == 0 || first == 1);
  EXPECT_EQ(tarn_.available(), first);
}

}  // namespace
}  // namespace moraine::testing
