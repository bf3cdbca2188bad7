// The encoder object against a stand-in for the Media SDK functions it calls, linked in place of the
// runtime: an encoder that keeps a picture back past the EncodeFrame that submitted it, as a hardware
// session with lookahead or reordering may, and reads it only once the caller has freed its block.

#include <gtest/gtest.h>
#include <mfx/mfxvideo.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "fell/hardwarevideoencoder/hardware_video_encoder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct FakeEncoder {
  bool keep_back = false;  // while set, the next picture submitted is locked and kept, not encoded
  mfxFrameSurface1* held = nullptr;
  const mfxU8* last_luma = nullptr;  // where the last picture encoded at once was read from
};
FakeEncoder fake;
int session_object = 0;

// "Encodes" a surface by appending its crop rectangle as packed NV12. The chroma is read through U
// and V, as a reader of the SDK's NV12 surfaces may, so a V left behind by UV shows.
void AppendPicture(const mfxFrameSurface1& surface, mfxBitstream& bitstream) {
  const mfxFrameInfo& info = surface.Info;
  const mfxFrameData& data = surface.Data;
  mfxU8* out = bitstream.Data + bitstream.DataOffset + bitstream.DataLength;
  const mfxU8* const start = out;
  for (std::size_t row = 0; row < info.CropH; ++row, out += info.CropW) {
    std::memcpy(out, data.Y + row * data.Pitch, info.CropW);
  }
  for (std::size_t row = 0; row < info.CropH / 2u; ++row) {
    for (std::size_t x = 0; x < info.CropW; x += 2) {
      *out++ = data.U[row * data.Pitch + x];
      *out++ = data.V[row * data.Pitch + x];
    }
  }
  bitstream.DataLength += static_cast<mfxU32>(out - start);
}

}  // namespace

extern "C" {

mfxStatus MFXInit(mfxIMPL, mfxVersion*, mfxSession* session) {
  *session = reinterpret_cast<mfxSession>(&session_object);
  return MFX_ERR_NONE;
}
mfxStatus MFXClose(mfxSession) { return MFX_ERR_NONE; }
mfxStatus MFXVideoENCODE_Query(mfxSession, mfxVideoParam*, mfxVideoParam*) { return MFX_ERR_NONE; }
mfxStatus MFXVideoENCODE_QueryIOSurf(mfxSession, mfxVideoParam* par, mfxFrameAllocRequest* request) {
  request->Info = par->mfx.FrameInfo;
  request->Info.Width *= 2;  // surfaces of another pitch than the picture's rows
  request->NumFrameMin = request->NumFrameSuggested = 2;
  return MFX_ERR_NONE;
}
mfxStatus MFXVideoENCODE_Init(mfxSession, mfxVideoParam*) { return MFX_ERR_NONE; }
mfxStatus MFXVideoENCODE_GetVideoParam(mfxSession, mfxVideoParam* par) {
  par->mfx.BufferSizeInKB = 16;
  return MFX_ERR_NONE;
}
mfxStatus MFXVideoENCODE_Close(mfxSession) {
  if (fake.held != nullptr) --fake.held->Data.Locked;
  fake.held = nullptr;
  return MFX_ERR_NONE;
}
mfxStatus MFXVideoCORE_SyncOperation(mfxSession, mfxSyncPoint, mfxU32) { return MFX_ERR_NONE; }

mfxStatus MFXVideoENCODE_EncodeFrameAsync(mfxSession, mfxEncodeCtrl*, mfxFrameSurface1* surface, mfxBitstream* bs,
                                          mfxSyncPoint* syncp) {
  const mfxU32 length_before = bs->DataLength;
  if (fake.held != nullptr && !fake.keep_back) {
    AppendPicture(*fake.held, *bs);
    --fake.held->Data.Locked;
    fake.held = nullptr;
  }
  if (surface != nullptr) {
    if (fake.keep_back && fake.held == nullptr) {
      ++surface->Data.Locked;
      fake.held = surface;
    } else {
      AppendPicture(*surface, *bs);
      fake.last_luma = surface->Data.Y;
    }
  }
  if (bs->DataLength == length_before) return MFX_ERR_MORE_DATA;
  *syncp = reinterpret_cast<mfxSyncPoint>(&session_object);
  return MFX_ERR_NONE;
}

// Never called, but the virtual tables of the SDK's C++ wrappers name them.
mfxStatus MFXInitEx(mfxInitParam, mfxSession*) { return MFX_ERR_UNSUPPORTED; }
mfxStatus MFXQueryIMPL(mfxSession, mfxIMPL*) { return MFX_ERR_UNSUPPORTED; }
mfxStatus MFXQueryVersion(mfxSession, mfxVersion*) { return MFX_ERR_UNSUPPORTED; }
mfxStatus MFXJoinSession(mfxSession, mfxSession) { return MFX_ERR_UNSUPPORTED; }
mfxStatus MFXDisjoinSession(mfxSession) { return MFX_ERR_UNSUPPORTED; }
mfxStatus MFXCloneSession(mfxSession, mfxSession*) { return MFX_ERR_UNSUPPORTED; }
mfxStatus MFXSetPriority(mfxSession, mfxPriority) { return MFX_ERR_UNSUPPORTED; }
mfxStatus MFXGetPriority(mfxSession, mfxPriority*) { return MFX_ERR_UNSUPPORTED; }
mfxStatus MFXDoWork(mfxSession) { return MFX_ERR_UNSUPPORTED; }
mfxStatus MFXVideoCORE_SetBufferAllocator(mfxSession, mfxBufferAllocator*) { return MFX_ERR_UNSUPPORTED; }
mfxStatus MFXVideoCORE_SetFrameAllocator(mfxSession, mfxFrameAllocator*) { return MFX_ERR_UNSUPPORTED; }
mfxStatus MFXVideoCORE_SetHandle(mfxSession, mfxHandleType, mfxHDL) { return MFX_ERR_UNSUPPORTED; }
mfxStatus MFXVideoCORE_GetHandle(mfxSession, mfxHandleType, mfxHDL*) { return MFX_ERR_UNSUPPORTED; }
mfxStatus MFXVideoCORE_QueryPlatform(mfxSession, mfxPlatform*) { return MFX_ERR_UNSUPPORTED; }
mfxStatus MFXVideoENCODE_Reset(mfxSession, mfxVideoParam*) { return MFX_ERR_UNSUPPORTED; }
mfxStatus MFXVideoENCODE_GetEncodeStat(mfxSession, mfxEncodeStat*) { return MFX_ERR_UNSUPPORTED; }

}  // extern "C"

namespace moraine::fell {
namespace {

// Whole 16-row units, so the encoder reads both planes of a picture in place.
constexpr int kWidth = 32;
constexpr int kHeight = 16;
constexpr std::size_t kPictureSize = kWidth * kHeight * 3 / 2;

Bytes Picture(int seed) {
  Bytes picture(kPictureSize);
  for (std::size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<std::uint8_t>(i * 7 + seed);
  return picture;
}

// Picture A is kept back, and its block overwritten and freed before the encoder reads it, in the
// call that brings picture B or in one that only asks to flush. Picture C collects the flush.
TEST(EncoderKeepingAPictureBack, EncodesItAsSubmitted) {
  for (const bool then_picture : {true, false}) {
    SCOPED_TRACE(then_picture ? "then a picture" : "then a flush");
    fake = FakeEncoder{};
    CHardwareVideoEncoder encoder;
    ASSERT_EQ(encoder.Create(30, 1000, kWidth, kHeight), MFX_ERR_NONE);
    Bytes output;
    const auto encode = [&](const std::uint8_t* picture, std::size_t size) {
      const std::int32_t result = encoder.EncodeFrame(picture, static_cast<std::int32_t>(size));
      const std::uint8_t* data = nullptr;
      std::int32_t length = 0;
      if (result == 1 && encoder.GetEncodedFrame(&data, &length) == 0 && data != nullptr) {
        output.insert(output.end(), data, data + length);
      }
      return result;
    };
    const Bytes a = Picture(1), b = Picture(2), c = Picture(3);

    auto block = std::make_unique<std::uint8_t[]>(kPictureSize);
    std::memcpy(block.get(), a.data(), kPictureSize);
    fake.keep_back = true;
    EXPECT_EQ(encode(block.get(), kPictureSize), 0);
    ASSERT_NE(fake.held, nullptr);
    std::memset(block.get(), 0xAB, kPictureSize);
    block.reset();

    fake.keep_back = false;
    if (then_picture) {
      EXPECT_EQ(encode(b.data(), b.size()), 1);
    } else {
      EXPECT_EQ(encode(nullptr, 0), 0);
    }
    EXPECT_EQ(fake.held, nullptr);
    EXPECT_EQ(encode(c.data(), c.size()), 1);
    EXPECT_EQ(fake.last_luma, c.data());  // a picture taken at once is still read in place

    std::vector<Bytes> expected = {a, b, c};
    if (!then_picture) expected.erase(expected.begin() + 1);
    Bytes concatenated;
    for (const Bytes& picture : expected) concatenated.insert(concatenated.end(), picture.begin(), picture.end());
    EXPECT_EQ(output, concatenated);
  }
}

}  // namespace
}  // namespace moraine::fell
