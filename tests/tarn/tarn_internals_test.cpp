// The decoder module's building blocks, linked directly.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>

#include <cstring>
#include <vector>

#include "tarn/hardwarevideodecoder/access_violation_guard.h"
#include "tarn/hardwarevideodecoder/hardware_video_decoder.h"
#include "tarn/utils/bitstream_append.h"
#include "tarn/utils/key_data.h"
#include "tarn/utils/picture_copy.h"

namespace moraine::tarn {
namespace {

TEST(KeyDataTest, H264ParameterSetsStartDecoding) {
  const std::uint8_t sps[] = {0, 0, 0, 1, 0x67, 0x42};
  const std::uint8_t pps[] = {0, 0, 0, 1, 0x68, 0xCE};
  const std::uint8_t idr_slice[] = {0, 0, 0, 1, 0x65, 0x88};
  EXPECT_TRUE(IsKeyData(VideoCodec::kH264, sps, 6));
  EXPECT_TRUE(IsKeyData(VideoCodec::kH264, pps, 6));
  EXPECT_FALSE(IsKeyData(VideoCodec::kH264, idr_slice, 6));
  EXPECT_FALSE(IsKeyData(VideoCodec::kH264, sps, 5));  // five bytes or less never count
  EXPECT_FALSE(IsKeyData(VideoCodec::kH264, nullptr, 6));
}

TEST(KeyDataTest, HevcVideoSequenceAndPictureParameterSetsStartDecoding) {
  for (const std::uint8_t type : {32, 33, 34}) {
    const std::uint8_t unit[] = {0, 0, 0, 1, static_cast<std::uint8_t>(type << 1), 0x01};
    EXPECT_TRUE(IsKeyData(VideoCodec::kHevc, unit, 6)) << int(type);
  }
  const std::uint8_t idr_slice[] = {0, 0, 0, 1, 19 << 1, 0x01};
  const std::uint8_t prefix_sei[] = {0, 0, 0, 1, 39 << 1, 0x01};
  EXPECT_FALSE(IsKeyData(VideoCodec::kHevc, idr_slice, 6));
  EXPECT_FALSE(IsKeyData(VideoCodec::kHevc, prefix_sei, 6));
  // An H.264 SPS header byte (0x67) reads as HEVC type 51.
  const std::uint8_t h264_sps[] = {0, 0, 0, 1, 0x67, 0x42};
  EXPECT_FALSE(IsKeyData(VideoCodec::kHevc, h264_sps, 6));
}

class BitstreamAppendTest : public ::testing::Test {
 protected:
  BitstreamAppendTest() : buffer_(16) {
    bitstream_.Data = buffer_.data();
    bitstream_.MaxLength = 16;
  }
  std::vector<mfxU8> buffer_;
  mfxBitstream bitstream_{};
};

TEST_F(BitstreamAppendTest, UnconsumedBytesMoveToTheFrontBeforeTheNewOnes) {
  const std::uint8_t first[] = {1, 2, 3, 4, 5, 6};
  ASSERT_EQ(AppendToBitstream(bitstream_, first, 6), MFX_ERR_NONE);
  bitstream_.DataOffset = 4;  // the decoder consumed four bytes
  bitstream_.DataLength = 2;
  const std::uint8_t second[] = {7, 8, 9};
  ASSERT_EQ(AppendToBitstream(bitstream_, second, 3), MFX_ERR_NONE);
  EXPECT_EQ(bitstream_.DataOffset, 0u);
  EXPECT_EQ(bitstream_.DataLength, 5u);
  EXPECT_EQ(bitstream_.DataFlag, MFX_BITSTREAM_COMPLETE_FRAME);
  EXPECT_EQ(std::vector<mfxU8>(buffer_.begin(), buffer_.begin() + 5), (std::vector<mfxU8>{5, 6, 7, 8, 9}));
}

TEST_F(BitstreamAppendTest, OverflowFailsAndChangesNothing) {
  const std::uint8_t bytes[16] = {};
  ASSERT_EQ(AppendToBitstream(bitstream_, bytes, 10), MFX_ERR_NONE);
  bitstream_.DataOffset = 4;
  bitstream_.DataLength = 6;
  EXPECT_EQ(AppendToBitstream(bitstream_, bytes, 11), MFX_ERR_NOT_ENOUGH_BUFFER);
  EXPECT_EQ(bitstream_.DataOffset, 4u);
  EXPECT_EQ(bitstream_.DataLength, 6u);
  EXPECT_EQ(AppendToBitstream(bitstream_, bytes, 10), MFX_ERR_NONE);  // exactly full is fine
  EXPECT_EQ(AppendToBitstream(bitstream_, bytes, -1), MFX_ERR_NOT_ENOUGH_BUFFER);
}

TEST(PictureCopyTest, CopiesTheTopLeftPartWithoutRowPadding) {
  // A 8 × 4 surface with pitch 8; luma byte = 10 × row + column, chroma byte = 100 + 10 × row + column.
  std::vector<mfxU8> surface(8 * 4 * 3 / 2);
  for (int row = 0; row < 4; ++row) {
    for (int column = 0; column < 8; ++column) surface[row * 8 + column] = static_cast<mfxU8>(10 * row + column);
  }
  for (int row = 0; row < 2; ++row) {
    for (int column = 0; column < 8; ++column) surface[32 + row * 8 + column] = static_cast<mfxU8>(100 + 10 * row + column);
  }
  mfxFrameData data{};
  data.Y = surface.data();
  data.UV = surface.data() + 32;
  data.Pitch = 8;

  const PackedPicture whole = CopyPackedPicture(data, 8, 4);
  ASSERT_EQ(whole.size, 48u);
  EXPECT_EQ(std::memcmp(whole.bytes.get(), surface.data(), 48), 0);

  const PackedPicture part = CopyPackedPicture(data, 3, 2);
  ASSERT_EQ(part.size, 9u);
  const std::vector<mfxU8> expected = {0, 1, 2, 10, 11, 12, 100, 101, 102};
  EXPECT_EQ(std::vector<mfxU8>(part.bytes.get(), part.bytes.get() + 9), expected);
}

TEST(DecoderSurfaceCountTest, AtLeastTenSurfaces) {
  EXPECT_EQ(DecoderSurfaceCount(0), 10);
  EXPECT_EQ(DecoderSurfaceCount(4), 10);
  EXPECT_EQ(DecoderSurfaceCount(10), 10);
  EXPECT_EQ(DecoderSurfaceCount(11), 11);
}

struct sigaction CurrentSegvAction() {
  struct sigaction action {};
  sigaction(SIGSEGV, nullptr, &action);
  return action;
}

TEST(AccessViolationGuardTest, FaultInsideTheCallIsSurvivedAndThePreviousHandlerRestored) {
  const struct sigaction before = CurrentSegvAction();
  void* page = mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(page, MAP_FAILED);
  bool reached_fault = false;
  const bool finished = CallWithAccessViolationGuard([&] {
    reached_fault = true;
    *static_cast<volatile int*>(page) = 1;
  });
  munmap(page, 4096);
  EXPECT_TRUE(reached_fault);
  EXPECT_FALSE(finished);
  EXPECT_EQ(CurrentSegvAction().sa_handler, before.sa_handler);

  // The guard is not left behind: a later guarded call runs normally.
  int runs = 0;
  EXPECT_TRUE(CallWithAccessViolationGuard([&] { ++runs; }));
  EXPECT_EQ(runs, 1);
  EXPECT_EQ(CurrentSegvAction().sa_handler, before.sa_handler);
}

}  // namespace
}  // namespace moraine::tarn
