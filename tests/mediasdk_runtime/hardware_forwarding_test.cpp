// Hardware sessions against a fake dispatcher and libva (fake_dispatcher.cpp): the runtime opens a
// VA display, hands it to the dispatcher session, confirms with a trial query and forwards calls.

#include <dlfcn.h>
#include <mfx/mfxplugin.h>
#include <mfx/mfxvideo.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/support/run_command.h"

namespace moraine::mediasdk {
namespace {

class MediaSdkHardwareForwarding : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string fake = moraine::testing::BuiltFile("libmediasdk_fake_dispatcher.so");
    fake_ = dlopen(fake.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(fake_, nullptr) << dlerror();
    log_ = reinterpret_cast<const char* (*)()>(dlsym(fake_, "FakeDispatcherLog"));
    reinterpret_cast<void (*)()>(dlsym(fake_, "FakeDispatcherClearLog"))();
    setenv("MORAINE_MEDIASDK_TEST_HARDWARE", fake.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("MORAINE_MEDIASDK_TEST_HARDWARE");
    unsetenv("FAKE_DISPATCHER_FAIL_QUERY");
    dlclose(fake_);
  }
  std::string Log() const { return log_(); }

  void* fake_ = nullptr;
  const char* (*log_)() = nullptr;
};

TEST_F(MediaSdkHardwareForwarding, HardwareSessionForwardsCalls) {
  mfxVersion version{{7, 1}};
  mfxSession session = nullptr;
  ASSERT_EQ(MFXInit(MFX_IMPL_HARDWARE_ANY, &version, &session), MFX_ERR_NONE);
  EXPECT_EQ(Log(), "vaGetDisplayDRM;vaInitialize;InitEx(0x4);SetHandle(display);DecodeQuery(AVC);");
  mfxIMPL implementation = 0;
  EXPECT_EQ(MFXQueryIMPL(session, &implementation), MFX_ERR_NONE);
  EXPECT_EQ(implementation, MFX_IMPL_HARDWARE | MFX_IMPL_VIA_VAAPI);

  mfxFrameSurface1 surface{};
  mfxFrameSurface1* out = nullptr;
  mfxSyncPoint sync = nullptr;
  EXPECT_EQ(MFXVideoDECODE_DecodeFrameAsync(session, nullptr, &surface, &out, &sync),
            MFX_ERR_MORE_DATA);
  EXPECT_EQ(out, &surface);
  const mfxPluginUID uid{};
  EXPECT_EQ(MFXVideoUSER_Load(session, &uid, 1), MFX_ERR_NONE);
  mfxVideoParam par{};
  EXPECT_EQ(MFXVideoENCODE_Init(session, &par), MFX_ERR_NONE);
  EXPECT_EQ(MFXClose(session), MFX_ERR_NONE);
  // The display outlives the dispatcher session that uses it.
  EXPECT_TRUE(Log().ends_with(";QueryIMPL;DecodeFrameAsync;UserLoad;EncodeInit;Close;vaTerminate;"))
      << Log();
}

TEST_F(MediaSdkHardwareForwarding, AutomaticChoicePrefersHardware) {
  mfxSession session = nullptr;
  ASSERT_EQ(MFXInit(MFX_IMPL_AUTO_ANY | MFX_IMPL_VIA_VAAPI, nullptr, &session), MFX_ERR_NONE);
  EXPECT_NE(Log().find("InitEx(0x404)"), std::string::npos) << Log();
  mfxSession clone = nullptr;
  ASSERT_EQ(MFXCloneSession(session, &clone), MFX_ERR_NONE);
  EXPECT_TRUE(Log().ends_with(";CloneSession;SetHandle(display);DecodeQuery(AVC);")) << Log();
  EXPECT_EQ(MFXClose(clone), MFX_ERR_NONE);
  EXPECT_EQ(MFXClose(session), MFX_ERR_NONE);
}

// A device that fails the trial query is closed again; automatic choices fall back to software,
// hardware requests fail.
TEST_F(MediaSdkHardwareForwarding, FailedTrialFallsBackOrFails) {
  setenv("FAKE_DISPATCHER_FAIL_QUERY", "1", 1);
  mfxSession session = nullptr;
  EXPECT_EQ(MFXInit(MFX_IMPL_HARDWARE_ANY, nullptr, &session), MFX_ERR_UNSUPPORTED);
  EXPECT_TRUE(Log().ends_with("DecodeQuery(AVC);Close;vaTerminate;")) << Log();
  ASSERT_EQ(MFXInit(MFX_IMPL_AUTO_ANY, nullptr, &session), MFX_ERR_NONE);
  mfxIMPL implementation = 0;
  EXPECT_EQ(MFXQueryIMPL(session, &implementation), MFX_ERR_NONE);
  EXPECT_EQ(implementation, MFX_IMPL_SOFTWARE);
  EXPECT_EQ(MFXClose(session), MFX_ERR_NONE);
  EXPECT_EQ(MFXInit(MFX_IMPL_HARDWARE2, nullptr, &session), MFX_ERR_UNSUPPORTED);  // one device
}

}  // namespace
}  // namespace moraine::mediasdk
