// What the modules ask of the SDK, observed by standing in for SDK functions: this program exports
// its own MFXInit, MFXVideoENCODE_Init and MFXVideoENCODE_EncodeFrameAsync, which the modules bind to
// ahead of the runtime's; each notes its call and passes it on to the runtime the modules loaded.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <mfx/mfxvideo.h>

#include <atomic>

#include "tests/mediacommon/media_test_support.h"

namespace {

std::atomic<int> hardware_session_openings{0};
mfxFrameInfo last_encoder_frame{};
std::atomic<int> picture_submissions{0};
// When set, the next picture submission answers "more data" without reaching the runtime.
std::atomic<bool> hold_next_picture{false};

void* RuntimeFunction(const char* name) {
  static void* const runtime = dlopen("libmediasdk_runtime.so", RTLD_NOW | RTLD_NOLOAD);
  return runtime != nullptr ? dlsym(runtime, name) : nullptr;
}

}  // namespace

extern "C" mfxStatus MFXInit(mfxIMPL implementation, mfxVersion* version, mfxSession* session) {
  static const auto runtime_init = reinterpret_cast<decltype(&MFXInit)>(RuntimeFunction("MFXInit"));
  if (runtime_init == nullptr) return MFX_ERR_UNSUPPORTED;
  if (implementation == MFX_IMPL_HARDWARE_ANY) ++hardware_session_openings;
  return runtime_init(implementation, version, session);
}

extern "C" mfxStatus MFXVideoENCODE_Init(mfxSession session, mfxVideoParam* parameters) {
  static const auto runtime_init =
      reinterpret_cast<decltype(&MFXVideoENCODE_Init)>(RuntimeFunction("MFXVideoENCODE_Init"));
  if (runtime_init == nullptr) return MFX_ERR_UNSUPPORTED;
  last_encoder_frame = parameters->mfx.FrameInfo;
  return runtime_init(session, parameters);
}

extern "C" mfxStatus MFXVideoENCODE_EncodeFrameAsync(mfxSession session, mfxEncodeCtrl* control,
                                                     mfxFrameSurface1* surface, mfxBitstream* bitstream,
                                                     mfxSyncPoint* sync_point) {
  static const auto runtime_encode = reinterpret_cast<decltype(&MFXVideoENCODE_EncodeFrameAsync)>(
      RuntimeFunction("MFXVideoENCODE_EncodeFrameAsync"));
  if (runtime_encode == nullptr) return MFX_ERR_UNSUPPORTED;
  if (surface != nullptr) {
    ++picture_submissions;
    if (hold_next_picture.exchange(false)) return MFX_ERR_MORE_DATA;
  }
  return runtime_encode(session, control, surface, bitstream, sync_point);
}

namespace moraine::testing {
namespace {

TEST(ModuleSdkCallsTest, EachModuleProbesTheHardwareOnce) {
  TarnModule tarn;
  FellModule fell;
  const std::int32_t tarn_answer = tarn.available();
  EXPECT_EQ(hardware_session_openings, 1);
  EXPECT_EQ(tarn.available(), tarn_answer);
  EXPECT_EQ(hardware_session_openings, 1);

  const std::int32_t fell_answer = fell.available();
  EXPECT_EQ(fell.available(), fell_answer);
  EXPECT_EQ(hardware_session_openings, 2);
  EXPECT_EQ(tarn_answer, fell_answer);
}

TEST(ModuleSdkCallsTest, EncoderFrameIsRoundedTo16AndTheCropKeepsThePictureSize) {
  FellModule fell;
  ASSERT_EQ(fell.create(0, 25, 10000, 1920, 1080), 1);
  EXPECT_EQ(last_encoder_frame.Width, 1920);
  EXPECT_EQ(last_encoder_frame.Height, 1088);
  EXPECT_EQ(last_encoder_frame.CropW, 1920);
  EXPECT_EQ(last_encoder_frame.CropH, 1080);

  ASSERT_EQ(fell.create(0, 25, 10000, 1280, 720), 1);
  EXPECT_EQ(last_encoder_frame.Width, 1280);
  EXPECT_EQ(last_encoder_frame.Height, 720);

  ASSERT_EQ(fell.create(0, 25, 10000, 200, 120), 1);
  EXPECT_EQ(last_encoder_frame.Width, 208);
  EXPECT_EQ(last_encoder_frame.Height, 128);
  EXPECT_EQ(last_encoder_frame.CropW, 200);
  EXPECT_EQ(last_encoder_frame.CropH, 120);
  fell.close(0);
}

TEST(ModuleSdkCallsTest, PictureTheEncoderHoldsBackIsNotSubmittedTwice) {
  FellModule fell;
  ASSERT_EQ(fell.create(0, 25, 1000, 64, 48), 1);
  const Bytes picture = SyntheticPicture(64, 48, 0);
  picture_submissions = 0;
  hold_next_picture = true;
  EXPECT_EQ(fell.encode(0, 0, picture.data(), static_cast<std::int32_t>(picture.size())), 0);
  EXPECT_EQ(picture_submissions, 1);
  EXPECT_EQ(fell.encode(0, 0, picture.data(), static_cast<std::int32_t>(picture.size())), 1);
  EXPECT_EQ(picture_submissions, 2);
  fell.close(0);
}

}  // namespace
}  // namespace moraine::testing
