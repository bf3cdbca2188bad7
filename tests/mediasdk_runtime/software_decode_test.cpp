// Decoding through the Media SDK API of a software session, compared picture by picture with
// what the ffmpeg tool decodes from the same stream.

#include <mfx/mfxvideo.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>

#include "tests/mediasdk_runtime/media_fixtures.h"
#include "tests/support/temp_dir.h"

namespace moraine::mediasdk::testing {
namespace {

using moraine::testing::TempDir;

struct StreamCase {
  const char* name;
  mfxU32 codec_id;
  const char* size;  // coded by the encoder
  int frames;
  std::vector<std::string> encoder;
  int visible_width;
  int visible_height;
  mfxU16 crop_x;
  mfxU16 crop_y;
};

void PrintTo(const StreamCase& c, std::ostream* os) { *os << c.name; }

class MediaSdkDecodeMatchesReference : public ::testing::TestWithParam<StreamCase> {};

// Every access unit yields its picture in the same call, and the pictures equal the reference.
TEST_P(MediaSdkDecodeMatchesReference, PictureByPicture) {
  const StreamCase& c = GetParam();
  TempDir folder;
  const std::string format = c.codec_id == MFX_CODEC_HEVC ? "hevc" : "h264";
  const std::string stream = MakeStream(folder, "stream", c.size, c.frames, c.encoder, format);
  const auto units = SplitAccessUnits(c.codec_id, ReadBinaryFile(stream));
  const auto reference = ReferenceDecode(folder, stream, c.visible_width, c.visible_height);
  ASSERT_EQ(units.size(), static_cast<size_t>(c.frames));
  ASSERT_EQ(reference.size(), static_cast<size_t>(c.frames));

  SoftwareDecoding decoding(c.codec_id, units.front());
  const mfxFrameInfo& info = decoding.parameters().mfx.FrameInfo;
  EXPECT_EQ(info.CropX, c.crop_x);
  EXPECT_EQ(info.CropY, c.crop_y);
  EXPECT_EQ(info.CropW, c.visible_width);
  EXPECT_EQ(info.CropH, c.visible_height);
  EXPECT_EQ(info.Width % 16, 0);
  EXPECT_EQ(info.Height % 16, 0);
  for (size_t i = 0; i < units.size(); ++i) {
    Nv12Picture picture;
    ASSERT_EQ(decoding.Decode(&units[i], &picture), MFX_ERR_NONE) << "access unit " << i;
    EXPECT_EQ(picture.width, c.visible_width);
    EXPECT_EQ(picture.height, c.visible_height);
    EXPECT_TRUE(picture.bytes == reference[i].bytes) << "picture " << i;
  }
  EXPECT_TRUE(decoding.Drain().empty());
}

INSTANTIATE_TEST_SUITE_P(
    MediaSdk, MediaSdkDecodeMatchesReference,
    ::testing::Values(
        StreamCase{"H264_1280x720", MFX_CODEC_AVC, "1280x720", 4,
                   {"-c:v", "libx264", "-preset", "ultrafast", "-bf", "0"}, 1280, 720, 0, 0},
        StreamCase{"H264_1920x1080_cropped", MFX_CODEC_AVC, "1920x1080", 3,
                   {"-c:v", "libx264", "-preset", "veryfast", "-bf", "0"}, 1920, 1080, 0, 0},
        StreamCase{"H264_odd_crop_left_top", MFX_CODEC_AVC, "334x190", 5,
                   {"-c:v", "libx264", "-bf", "0", "-x264-params", "crop-rect=2,4,0,0"}, 332, 186,
                   2, 4},
        StreamCase{"Hevc_352x288", MFX_CODEC_HEVC, "352x288", 5,
                   {"-c:v", "libx265", "-preset", "ultrafast", "-x265-params",
                    "bframes=0:log-level=error"},
                   352, 288, 0, 0},
        StreamCase{"Hevc_odd_crop", MFX_CODEC_HEVC, "238x134", 4,
                   {"-c:v", "libx265", "-preset", "ultrafast", "-x265-params",
                    "bframes=0:log-level=error"},
                   238, 134, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// With B pictures the pictures come out in display order, delayed by libavcodec's reorder depth.
// A call without bitstream never ends the stream, so the pictures still held back at the end
// (two here) are not handed out.
TEST(MediaSdkDecode, StreamWithBPicturesComesOutInDisplayOrder) {
  TempDir folder;
  const std::string stream = MakeStream(folder, "b.264", "176x144", 12,
                                        {"-c:v", "libx264", "-bf", "2", "-g", "6"}, "h264");
  const auto units = SplitAccessUnits(MFX_CODEC_AVC, ReadBinaryFile(stream));
  const auto reference = ReferenceDecode(folder, stream, 176, 144);
  SoftwareDecoding decoding(MFX_CODEC_AVC, units.front());
  std::vector<Nv12Picture> pictures;
  for (const auto& unit : units) {
    Nv12Picture picture;
    const mfxStatus status = decoding.Decode(&unit, &picture);
    ASSERT_TRUE(status == MFX_ERR_NONE || status == MFX_ERR_MORE_DATA) << status;
    if (status == MFX_ERR_NONE) pictures.push_back(picture);
  }
  EXPECT_TRUE(decoding.Drain().empty());
  ASSERT_EQ(pictures.size(), reference.size() - 2);
  for (size_t i = 0; i < pictures.size(); ++i) {
    EXPECT_TRUE(pictures[i].bytes == reference[i].bytes) << "picture " << i;
  }
}

// Without MFX_BITSTREAM_COMPLETE_FRAME the input may be cut anywhere; a call without bitstream
// decodes the last access unit collected.
TEST(MediaSdkDecode, StreamFedInArbitraryPieces) {
  TempDir folder;
  const std::string stream = MakeStream(folder, "s.264", "176x144", 6,
                                        {"-c:v", "libx264", "-bf", "0"}, "h264");
  const std::vector<uint8_t> bytes = ReadBinaryFile(stream);
  const auto reference = ReferenceDecode(folder, stream, 176, 144);
  SoftwareDecoding decoding(MFX_CODEC_AVC, SplitAccessUnits(MFX_CODEC_AVC, bytes).front());
  decoding.bitstream().DataFlag = 0;
  std::vector<Nv12Picture> pictures;
  for (size_t offset = 0; offset < bytes.size(); offset += 777) {
    const std::vector<uint8_t> piece(bytes.begin() + static_cast<ptrdiff_t>(offset),
                                     bytes.begin() + static_cast<ptrdiff_t>(std::min(offset + 777, bytes.size())));
    Nv12Picture picture;
    const mfxStatus status = decoding.Decode(&piece, &picture);
    if (status == MFX_ERR_NONE) pictures.push_back(picture);
    EXPECT_EQ(decoding.bitstream().DataLength, 0u);  // everything is taken in
  }
  for (auto& picture : decoding.Drain()) pictures.push_back(std::move(picture));
  ASSERT_EQ(pictures.size(), reference.size());
  for (size_t i = 0; i < pictures.size(); ++i) EXPECT_TRUE(pictures[i].bytes == reference[i].bytes);
}

// A call without bitstream in the middle of the stream hands out nothing new and does not end the
// stream: the following access units decode as before.
TEST(MediaSdkDecode, CallWithoutBitstreamMidStreamDoesNotEndIt) {
  TempDir folder;
  const std::string stream = MakeStream(folder, "s.265", "128x96", 4,
                                        {"-c:v", "libx265", "-x265-params", "bframes=0:log-level=error"},
                                        "hevc");
  const auto units = SplitAccessUnits(MFX_CODEC_HEVC, ReadBinaryFile(stream));
  const auto reference = ReferenceDecode(folder, stream, 128, 96);
  SoftwareDecoding decoding(MFX_CODEC_HEVC, units.front());
  for (size_t i = 0; i < units.size(); ++i) {
    EXPECT_EQ(decoding.Decode(nullptr, nullptr), MFX_ERR_MORE_DATA);
    Nv12Picture picture;
    ASSERT_EQ(decoding.Decode(&units[i], &picture), MFX_ERR_NONE);
    EXPECT_TRUE(picture.bytes == reference[i].bytes);
  }
}

class MediaSdkDecodeStatus : public ::testing::Test {
 protected:
  void SetUp() override {
    stream_ = MakeStream(folder_, "s.264", "160x120", 3, {"-c:v", "libx264", "-bf", "0"}, "h264");
    units_ = SplitAccessUnits(MFX_CODEC_AVC, ReadBinaryFile(stream_));
    decoding_ = std::make_unique<SoftwareDecoding>(MFX_CODEC_AVC, units_.front());
  }
  TempDir folder_;
  std::string stream_;
  std::vector<std::vector<uint8_t>> units_;
  std::unique_ptr<SoftwareDecoding> decoding_;
};

TEST_F(MediaSdkDecodeStatus, HeaderDescribesTheStream) {
  const mfxVideoParam& par = decoding_->parameters();
  EXPECT_EQ(par.mfx.FrameInfo.FourCC, static_cast<mfxU32>(MFX_FOURCC_NV12));
  EXPECT_EQ(par.mfx.FrameInfo.ChromaFormat, MFX_CHROMAFORMAT_YUV420);
  EXPECT_EQ(par.mfx.FrameInfo.Width, 160);
  EXPECT_EQ(par.mfx.FrameInfo.Height, 128);
  EXPECT_EQ(par.mfx.FrameInfo.CropH, 120);
  EXPECT_EQ(par.mfx.FrameInfo.FrameRateExtN / par.mfx.FrameInfo.FrameRateExtD, 25u);
  EXPECT_EQ(par.mfx.FrameInfo.AspectRatioW, 1);
  EXPECT_EQ(par.mfx.FrameInfo.PicStruct, MFX_PICSTRUCT_PROGRESSIVE);
  EXPECT_EQ(par.mfx.CodecProfile & 0xFF, MFX_PROFILE_AVC_HIGH);
}

TEST_F(MediaSdkDecodeStatus, HeaderNeedsBothParameterSets) {
  mfxVideoParam par{};
  par.mfx.CodecId = MFX_CODEC_AVC;
  std::vector<uint8_t> junk(100, 0x55);
  mfxBitstream bitstream{};
  bitstream.Data = junk.data();
  bitstream.DataLength = bitstream.MaxLength = static_cast<mfxU32>(junk.size());
  EXPECT_EQ(MFXVideoDECODE_DecodeHeader(decoding_->session(), &bitstream, &par), MFX_ERR_MORE_DATA);
  EXPECT_EQ(bitstream.DataLength, 3u);  // a start code cut by the end survives

  // The SPS alone: the data is kept from the SPS on.
  std::vector<uint8_t> data = {0xAA, 0xBB};
  const auto& first = units_.front();
  const uint8_t pps_start[] = {0, 0, 1, 0x68};
  const size_t pps =
      std::search(first.begin() + 4, first.end(), std::begin(pps_start), std::end(pps_start)) -
      first.begin();
  ASSERT_LT(pps, first.size());
  data.insert(data.end(), first.begin(), first.begin() + static_cast<ptrdiff_t>(pps));
  bitstream.Data = data.data();
  bitstream.DataOffset = 0;
  bitstream.DataLength = bitstream.MaxLength = static_cast<mfxU32>(data.size());
  EXPECT_EQ(MFXVideoDECODE_DecodeHeader(decoding_->session(), &bitstream, &par), MFX_ERR_MORE_DATA);
  EXPECT_EQ(bitstream.DataOffset, 2u);
}

TEST_F(MediaSdkDecodeStatus, SurfaceCountsFollowTheLevel) {
  mfxVideoParam par = decoding_->parameters();
  par.mfx.CodecLevel = MFX_LEVEL_AVC_31;
  par.mfx.FrameInfo.Width = 1280;
  par.mfx.FrameInfo.Height = 720;
  par.AsyncDepth = 0;
  mfxFrameAllocRequest request{};
  ASSERT_EQ(MFXVideoDECODE_QueryIOSurf(decoding_->session(), &par, &request), MFX_ERR_NONE);
  EXPECT_EQ(request.NumFrameMin, 6);  // 18000 macroblocks / 3600 per picture + 1
  EXPECT_EQ(request.NumFrameSuggested, 9);
  EXPECT_EQ(request.Type & MFX_MEMTYPE_SYSTEM_MEMORY, MFX_MEMTYPE_SYSTEM_MEMORY);
  par.IOPattern = MFX_IOPATTERN_OUT_VIDEO_MEMORY;
  EXPECT_EQ(MFXVideoDECODE_QueryIOSurf(decoding_->session(), &par, &request),
            MFX_ERR_INVALID_VIDEO_PARAM);
}

// The output surface stays locked until its sync point is synchronised; a locked work surface
// is refused with MFX_ERR_MORE_SURFACE before any input is taken.
TEST_F(MediaSdkDecodeStatus, LockedSurfacesAndSyncPoints) {
  mfxSession session = decoding_->session();
  mfxBitstream& bitstream = decoding_->bitstream();
  std::memcpy(bitstream.Data, units_[0].data(), units_[0].size());
  bitstream.DataLength = static_cast<mfxU32>(units_[0].size());
  mfxFrameSurface1& surface = decoding_->surfaces()[0];
  mfxFrameSurface1* out = nullptr;
  mfxSyncPoint sync = nullptr;
  surface.Data.Locked = 1;
  EXPECT_EQ(MFXVideoDECODE_DecodeFrameAsync(session, &bitstream, &surface, &out, &sync),
            MFX_ERR_MORE_SURFACE);
  EXPECT_EQ(bitstream.DataLength, units_[0].size());
  surface.Data.Locked = 0;
  ASSERT_EQ(MFXVideoDECODE_DecodeFrameAsync(session, &bitstream, &surface, &out, &sync), MFX_ERR_NONE);
  EXPECT_EQ(out, &surface);
  EXPECT_EQ(bitstream.DataLength, 0u);
  EXPECT_EQ(surface.Data.Locked, 1);
  EXPECT_EQ(MFXVideoCORE_SyncOperation(session, sync, 1000), MFX_ERR_NONE);
  EXPECT_EQ(surface.Data.Locked, 0);
  EXPECT_EQ(MFXVideoCORE_SyncOperation(session, sync, 1000), MFX_ERR_NOT_FOUND);
  EXPECT_EQ(MFXVideoCORE_SyncOperation(session, nullptr, 1000), MFX_ERR_NULL_PTR);
}

TEST_F(MediaSdkDecodeStatus, ArgumentAndStateErrors) {
  mfxSession session = decoding_->session();
  mfxBitstream& bitstream = decoding_->bitstream();
  mfxFrameSurface1* work = &decoding_->surfaces()[0];
  mfxFrameSurface1* out = nullptr;
  mfxSyncPoint sync = nullptr;
  EXPECT_EQ(MFXVideoDECODE_DecodeFrameAsync(session, &bitstream, nullptr, &out, &sync), MFX_ERR_NULL_PTR);
  EXPECT_EQ(MFXVideoDECODE_DecodeFrameAsync(session, &bitstream, work, nullptr, &sync), MFX_ERR_NULL_PTR);
  EXPECT_EQ(MFXVideoDECODE_DecodeFrameAsync(nullptr, &bitstream, work, &out, &sync),
            MFX_ERR_INVALID_HANDLE);
  bitstream.DataOffset = bitstream.MaxLength;
  bitstream.DataLength = 1;
  EXPECT_EQ(MFXVideoDECODE_DecodeFrameAsync(session, &bitstream, work, &out, &sync),
            MFX_ERR_UNDEFINED_BEHAVIOR);
  bitstream.DataOffset = bitstream.DataLength = 0;
  EXPECT_EQ(MFXVideoDECODE_DecodeFrameAsync(session, &bitstream, work, &out, &sync), MFX_ERR_MORE_DATA);

  mfxVideoParam par = decoding_->parameters();
  EXPECT_EQ(MFXVideoDECODE_Init(session, &par), MFX_ERR_UNDEFINED_BEHAVIOR);
  mfxDecodeStat statistics{};
  EXPECT_EQ(MFXVideoDECODE_GetDecodeStat(session, &statistics), MFX_ERR_NONE);
  EXPECT_EQ(MFXVideoDECODE_SetSkipMode(session, MFX_SKIPMODE_LESS), MFX_WRN_VALUE_NOT_CHANGED);
  EXPECT_EQ(MFXVideoDECODE_Close(session), MFX_ERR_NONE);
  EXPECT_EQ(MFXVideoDECODE_Close(session), MFX_ERR_NOT_INITIALIZED);
  EXPECT_EQ(MFXVideoDECODE_DecodeFrameAsync(session, &bitstream, work, &out, &sync),
            MFX_ERR_NOT_INITIALIZED);
  EXPECT_EQ(MFXVideoDECODE_GetVideoParam(session, &par), MFX_ERR_NOT_INITIALIZED);

  par.IOPattern = MFX_IOPATTERN_OUT_VIDEO_MEMORY;
  EXPECT_EQ(MFXVideoDECODE_Init(session, &par), MFX_ERR_INVALID_VIDEO_PARAM);
  par.IOPattern = MFX_IOPATTERN_OUT_SYSTEM_MEMORY;
  par.mfx.CodecId = MFX_CODEC_MPEG2;
  EXPECT_EQ(MFXVideoDECODE_Init(session, &par), MFX_ERR_UNSUPPORTED);
  EXPECT_EQ(MFXVideoDECODE_Query(session, &par, &par), MFX_ERR_UNSUPPORTED);
  EXPECT_EQ(par.mfx.CodecId, 0u);
}

// A sequence larger than the surfaces stops decoding with its data left in the bitstream.
TEST_F(MediaSdkDecodeStatus, LargerSequenceIsIncompatible) {
  const std::string larger = MakeStream(folder_, "l.264", "320x240", 1, {"-c:v", "libx264"}, "h264");
  const std::vector<uint8_t> unit = ReadBinaryFile(larger);
  EXPECT_EQ(decoding_->Decode(&unit, nullptr), MFX_ERR_INCOMPATIBLE_VIDEO_PARAM);
  EXPECT_EQ(decoding_->bitstream().DataLength, unit.size());
}

}  // namespace
}  // namespace moraine::mediasdk::testing
