// Encoding through the Media SDK API of a software session with the settings the encoder module
// uses, checked by decoding the output with libavcodec.

extern "C" {
#include <libavcodec/avcodec.h>
}

#include <mfx/mfxvideo.h>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "tests/mediasdk_runtime/media_fixtures.h"

namespace moraine::mediasdk::testing {
namespace {

// The encoder module's parameters for `width` x `height` at 25 pictures per second.
mfxVideoParam EncoderModuleParameters(mfxU16 width, mfxU16 height, mfxU16 kbps) {
  mfxVideoParam par{};
  par.mfx.CodecId = MFX_CODEC_AVC;
  par.mfx.TargetUsage = 4;
  par.mfx.RateControlMethod = MFX_RATECONTROL_VBR;
  par.mfx.TargetKbps = kbps;
  par.mfx.FrameInfo.FrameRateExtN = 25;
  par.mfx.FrameInfo.FrameRateExtD = 1;
  par.mfx.FrameInfo.FourCC = MFX_FOURCC_NV12;
  par.mfx.FrameInfo.ChromaFormat = MFX_CHROMAFORMAT_YUV420;
  par.mfx.FrameInfo.PicStruct = MFX_PICSTRUCT_PROGRESSIVE;
  par.mfx.FrameInfo.Width = static_cast<mfxU16>((width + 15) & ~15);
  par.mfx.FrameInfo.Height = static_cast<mfxU16>((height + 15) & ~15);
  par.mfx.FrameInfo.CropW = width;
  par.mfx.FrameInfo.CropH = height;
  par.mfx.GopRefDist = 1;
  par.AsyncDepth = 1;
  par.IOPattern = MFX_IOPATTERN_IN_SYSTEM_MEMORY;
  return par;
}

// A moving diagonal pattern with colour, different in every picture.
void PaintPicture(mfxFrameSurface1& surface, int index) {
  const mfxFrameInfo& info = surface.Info;
  for (int y = 0; y < info.CropH; ++y) {
    for (int x = 0; x < info.CropW; ++x) {
      surface.Data.Y[size_t(y) * surface.Data.Pitch + x] = static_cast<uint8_t>((x + y + 3 * index) * 2);
    }
  }
  for (int y = 0; y < info.CropH / 2; ++y) {
    for (int x = 0; x < info.CropW; x += 2) {
      surface.Data.UV[size_t(y) * surface.Data.Pitch + x] = static_cast<uint8_t>(64 + x / 4);
      surface.Data.UV[size_t(y) * surface.Data.Pitch + x + 1] = static_cast<uint8_t>(192 - y);
    }
  }
}

std::vector<int> NalTypes(const std::vector<uint8_t>& access_unit) {
  std::vector<int> types;
  for (size_t i = 3; i < access_unit.size(); ++i) {
    if (access_unit[i - 1] == 1 && access_unit[i - 2] == 0 && access_unit[i - 3] == 0) {
      types.push_back(access_unit[i] & 0x1F);
    }
  }
  return types;
}

class MediaSdkEncode : public ::testing::Test {
 protected:
  void Open(mfxVideoParam par) {
    mfxVersion version{{0, 1}};
    ASSERT_EQ(MFXInit(MFX_IMPL_AUTO_ANY, &version, &session_), MFX_ERR_NONE);
    ASSERT_GE(MFXVideoENCODE_Query(session_, &par, &par), MFX_ERR_NONE);
    mfxFrameAllocRequest request{};
    ASSERT_EQ(MFXVideoENCODE_QueryIOSurf(session_, &par, &request), MFX_ERR_NONE);
    surfaces_ = std::make_unique<SurfacePool>(request.Info, request.NumFrameSuggested);
    ASSERT_GE(MFXVideoENCODE_Init(session_, &par), MFX_ERR_NONE);
    parameters_ = mfxVideoParam{};
    ASSERT_EQ(MFXVideoENCODE_GetVideoParam(session_, &parameters_), MFX_ERR_NONE);
    buffer_.resize(size_t{parameters_.mfx.BufferSizeInKB} * parameters_.mfx.BRCParamMultiplier * 1000);
    bitstream_.Data = buffer_.data();
    bitstream_.MaxLength = static_cast<mfxU32>(buffer_.size());
  }

  void TearDown() override {
    if (session_ != nullptr) {
      MFXVideoENCODE_Close(session_);
      MFXClose(session_);
    }
  }

  // Encodes picture `index`; the access unit comes back in the same call.
  std::vector<uint8_t> Encode(int index, mfxEncodeCtrl* control = nullptr) {
    mfxFrameSurface1* surface = surfaces_->FreeSurface();
    PaintPicture(*surface, index);
    mfxSyncPoint sync = nullptr;
    EXPECT_EQ(MFXVideoENCODE_EncodeFrameAsync(session_, control, surface, &bitstream_, &sync),
              MFX_ERR_NONE);
    EXPECT_EQ(surface->Data.Locked, 1);
    EXPECT_EQ(MFXVideoCORE_SyncOperation(session_, sync, 60000), MFX_ERR_NONE);
    EXPECT_EQ(surface->Data.Locked, 0);
    std::vector<uint8_t> bytes(bitstream_.Data + bitstream_.DataOffset,
                               bitstream_.Data + bitstream_.DataOffset + bitstream_.DataLength);
    bitstream_.DataLength = 0;
    // The encoder module drains after every picture; nothing may be waiting.
    EXPECT_EQ(MFXVideoENCODE_EncodeFrameAsync(session_, nullptr, nullptr, &bitstream_, &sync),
              MFX_ERR_MORE_DATA);
    return bytes;
  }

  mfxSession session_ = nullptr;
  mfxVideoParam parameters_{};
  std::unique_ptr<SurfacePool> surfaces_;
  std::vector<uint8_t> buffer_;
  mfxBitstream bitstream_{};
};

// Encoded pictures decode back (with libavcodec) close to what went in.
TEST_F(MediaSdkEncode, EncodesAndDecodesBackAboveQualityFloor) {
  Open(EncoderModuleParameters(318, 238, 3000));
  EXPECT_EQ(parameters_.mfx.FrameInfo.Width, 320);
  EXPECT_EQ(parameters_.mfx.FrameInfo.Height, 240);
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_H264);
  AVCodecContext* context = avcodec_alloc_context3(codec);
  context->flags |= AV_CODEC_FLAG_LOW_DELAY;
  ASSERT_EQ(avcodec_open2(context, codec, nullptr), 0);
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  for (int i = 0; i < 8; ++i) {
    std::vector<uint8_t> unit = Encode(i);
    unit.resize(unit.size() + AV_INPUT_BUFFER_PADDING_SIZE);
    packet->data = unit.data();
    packet->size = static_cast<int>(unit.size() - AV_INPUT_BUFFER_PADDING_SIZE);
    ASSERT_EQ(avcodec_send_packet(context, packet), 0);
    ASSERT_EQ(avcodec_receive_frame(context, frame), 0) << "picture " << i;
    ASSERT_EQ(frame->width, 318);
    ASSERT_EQ(frame->height, 238);
    Nv12Picture decoded{318, 238, {}};
    for (int y = 0; y < 238; ++y) {
      decoded.bytes.insert(decoded.bytes.end(), frame->data[0] + y * frame->linesize[0],
                           frame->data[0] + y * frame->linesize[0] + 318);
    }
    PaintPicture((*surfaces_)[0], i);
    EXPECT_GT(LumaPsnr(CropOf((*surfaces_)[0]), decoded), 35.0) << "picture " << i;
  }
  av_frame_free(&frame);
  av_packet_free(&packet);
  avcodec_free_context(&context);
}

// The first picture is an IDR picture behind SPS and PPS; the GOP settings place I and IDR
// pictures, and every IDR picture carries the parameter sets again.
TEST_F(MediaSdkEncode, PictureTypesFollowTheGop) {
  mfxVideoParam par = EncoderModuleParameters(64, 48, 500);
  par.mfx.GopPicSize = 3;
  par.mfx.IdrInterval = 1;
  Open(par);
  const mfxU16 idr = MFX_FRAMETYPE_I | MFX_FRAMETYPE_REF | MFX_FRAMETYPE_IDR;
  const mfxU16 intra = MFX_FRAMETYPE_I | MFX_FRAMETYPE_REF;
  const mfxU16 predicted = MFX_FRAMETYPE_P | MFX_FRAMETYPE_REF;
  const std::vector<mfxU16> expected = {idr, predicted, predicted, intra, predicted,
                                        predicted, idr, predicted};
  for (size_t i = 0; i < expected.size(); ++i) {
    const std::vector<int> types = NalTypes(Encode(static_cast<int>(i)));
    EXPECT_EQ(bitstream_.FrameType, expected[i]) << "picture " << i;
    const bool has_parameter_sets = types.size() >= 2 && types[0] == 7 && types[1] == 8;
    EXPECT_EQ(has_parameter_sets, expected[i] == idr) << "picture " << i;
  }
  mfxEncodeCtrl control{};
  control.FrameType = MFX_FRAMETYPE_IDR | MFX_FRAMETYPE_I | MFX_FRAMETYPE_REF;
  Encode(9, &control);
  EXPECT_EQ(bitstream_.FrameType, idr);
  mfxEncodeStat statistics{};
  ASSERT_EQ(MFXVideoENCODE_GetEncodeStat(session_, &statistics), MFX_ERR_NONE);
  EXPECT_EQ(statistics.NumFrame, 9u);
}

TEST_F(MediaSdkEncode, BufferSizeDefaults) {
  // 1.5 x 10000 kbit/s for two seconds: 3750 KB, more than one uncompressed 1088-row picture.
  Open(EncoderModuleParameters(1920, 1080, 10000));
  EXPECT_EQ(parameters_.mfx.FrameInfo.Height, 1088);
  EXPECT_EQ(parameters_.mfx.FrameInfo.CropH, 1080);
  EXPECT_EQ(parameters_.mfx.MaxKbps * parameters_.mfx.BRCParamMultiplier, 15000);
  EXPECT_EQ(parameters_.mfx.BufferSizeInKB * parameters_.mfx.BRCParamMultiplier, 3750);
  EXPECT_EQ(parameters_.mfx.GopRefDist, 1);
  EXPECT_NE(parameters_.mfx.CodecProfile, 0);
  EXPECT_NE(parameters_.mfx.CodecLevel, 0);
}

TEST_F(MediaSdkEncode, BufferNeverSmallerThanOnePicture) {
  Open(EncoderModuleParameters(1280, 720, 1000));
  EXPECT_EQ(parameters_.mfx.BufferSizeInKB * parameters_.mfx.BRCParamMultiplier, 1383);
}

// A bitstream without room for BufferSizeInKB is refused before the picture is taken.
TEST_F(MediaSdkEncode, TooSmallBitstreamIsRefused) {
  Open(EncoderModuleParameters(64, 48, 500));
  mfxFrameSurface1* surface = surfaces_->FreeSurface();
  mfxSyncPoint sync = nullptr;
  bitstream_.MaxLength -= 1;
  EXPECT_EQ(MFXVideoENCODE_EncodeFrameAsync(session_, nullptr, surface, &bitstream_, &sync),
            MFX_ERR_NOT_ENOUGH_BUFFER);
  EXPECT_EQ(surface->Data.Locked, 0);
  EXPECT_EQ(sync, nullptr);
  bitstream_.MaxLength += 1;
  EXPECT_EQ(MFXVideoENCODE_EncodeFrameAsync(session_, nullptr, surface, &bitstream_, &sync),
            MFX_ERR_NONE);
}

TEST_F(MediaSdkEncode, QueryCorrectsAndRejects) {
  mfxVersion version{{0, 1}};
  ASSERT_EQ(MFXInit(MFX_IMPL_SOFTWARE, &version, &session_), MFX_ERR_NONE);
  mfxVideoParam par = EncoderModuleParameters(640, 480, 2000);
  par.mfx.GopRefDist = 3;
  EXPECT_EQ(MFXVideoENCODE_Query(session_, &par, &par), MFX_WRN_INCOMPATIBLE_VIDEO_PARAM);
  EXPECT_EQ(par.mfx.GopRefDist, 1);
  par.mfx.CodecId = MFX_CODEC_HEVC;
  EXPECT_EQ(MFXVideoENCODE_Query(session_, &par, &par), MFX_ERR_UNSUPPORTED);
  EXPECT_EQ(par.mfx.CodecId, 0u);
  mfxVideoParam configurable{};
  EXPECT_EQ(MFXVideoENCODE_Query(session_, nullptr, &configurable), MFX_ERR_NONE);
  EXPECT_EQ(configurable.mfx.TargetKbps, 1);

  par = EncoderModuleParameters(640, 480, 2000);
  par.IOPattern = MFX_IOPATTERN_IN_VIDEO_MEMORY;
  EXPECT_EQ(MFXVideoENCODE_Init(session_, &par), MFX_ERR_INVALID_VIDEO_PARAM);
  mfxSyncPoint sync = nullptr;
  mfxBitstream bitstream{};
  EXPECT_EQ(MFXVideoENCODE_EncodeFrameAsync(session_, nullptr, nullptr, &bitstream, &sync),
            MFX_ERR_NOT_INITIALIZED);
  EXPECT_EQ(MFXVideoENCODE_EncodeFrameAsync(session_, nullptr, nullptr, nullptr, &sync),
            MFX_ERR_NULL_PTR);
  EXPECT_EQ(MFXVideoENCODE_GetVideoParam(session_, &par), MFX_ERR_NOT_INITIALIZED);
  EXPECT_EQ(MFXVideoENCODE_Close(session_), MFX_ERR_NOT_INITIALIZED);
}

}  // namespace
}  // namespace moraine::mediasdk::testing
