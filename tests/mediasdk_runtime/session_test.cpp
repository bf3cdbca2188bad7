// Sessions of the runtime: choosing the implementation, versions, handles and the status values
// of the session functions; and the private symbol version that keeps the runtime apart from the
// system dispatcher in one process.

#include <dlfcn.h>
#include <mfx/mfxplugin.h>
#include <mfx/mfxvideo.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "mediasdk_runtime/gpu_detection.h"

namespace moraine::mediasdk {
namespace {

constexpr mfxPluginUID kHevcHardwareDecoder = {
    {0x33, 0xa6, 0x1c, 0x0b, 0x4c, 0x27, 0x45, 0x4c, 0xa8, 0xd8, 0x5d, 0xde, 0x75, 0x7c, 0x6f, 0x8e}};

class MediaSdkSession : public ::testing::Test {
 protected:
  void SetUp() override { unsetenv("MORAINE_MEDIASDK_TEST_HARDWARE"); }
  void TearDown() override {
    for (mfxSession session : open_) MFXClose(session);
  }
  mfxSession Open(mfxIMPL implementation) {
    mfxVersion version{{7, 1}};
    mfxSession session = nullptr;
    EXPECT_EQ(MFXInit(implementation, &version, &session), MFX_ERR_NONE);
    open_.push_back(session);
    return session;
  }
  std::vector<mfxSession> open_;
};

TEST_F(MediaSdkSession, AutomaticChoicesOpenSoftwareSessionsWithoutIntelGraphics) {
  if (!FindIntelRenderNodes().empty()) GTEST_SKIP() << "this machine has Intel graphics";
  const mfxIMPL implementations[] = {MFX_IMPL_AUTO, MFX_IMPL_AUTO_ANY, MFX_IMPL_SOFTWARE,
                                     MFX_IMPL_AUTO_ANY | MFX_IMPL_VIA_ANY};
  for (const mfxIMPL implementation : implementations) {
    mfxSession session = Open(implementation);
    mfxIMPL actual = MFX_IMPL_AUTO;
    EXPECT_EQ(MFXQueryIMPL(session, &actual), MFX_ERR_NONE);
    EXPECT_EQ(actual, MFX_IMPL_SOFTWARE);
    mfxVersion version{};
    EXPECT_EQ(MFXQueryVersion(session, &version), MFX_ERR_NONE);
    EXPECT_EQ(version.Major, 1);
    EXPECT_EQ(version.Minor, 35);
  }
  // The availability probe of the decoder and encoder modules answers "no" truthfully.
  mfxVersion version{{7, 1}};
  mfxSession session = nullptr;
  EXPECT_EQ(MFXInit(MFX_IMPL_HARDWARE_ANY, &version, &session), MFX_ERR_UNSUPPORTED);
  EXPECT_EQ(session, nullptr);
  EXPECT_EQ(MFXInit(MFX_IMPL_HARDWARE, nullptr, &session), MFX_ERR_UNSUPPORTED);
}

TEST_F(MediaSdkSession, InitRefusals) {
  mfxSession session = nullptr;
  mfxVersion too_new{{36, 1}};
  EXPECT_EQ(MFXInit(MFX_IMPL_SOFTWARE, &too_new, &session), MFX_ERR_UNSUPPORTED);
  mfxVersion major_two{{0, 2}};
  EXPECT_EQ(MFXInit(MFX_IMPL_SOFTWARE, &major_two, &session), MFX_ERR_UNSUPPORTED);
  EXPECT_EQ(MFXInit(MFX_IMPL_RUNTIME, nullptr, &session), MFX_ERR_UNSUPPORTED);
  EXPECT_EQ(MFXInit(MFX_IMPL_SOFTWARE | MFX_IMPL_AUDIO, nullptr, &session), MFX_ERR_UNSUPPORTED);
  EXPECT_EQ(MFXInit(MFX_IMPL_SOFTWARE, nullptr, nullptr), MFX_ERR_NULL_PTR);
  mfxInitParam par{};
  par.Implementation = MFX_IMPL_SOFTWARE;
  par.ExternalThreads = 1;
  ASSERT_EQ(MFXInitEx(par, &session), MFX_ERR_NONE);
  EXPECT_EQ(MFXDoWork(session), MFX_ERR_NONE);
  EXPECT_EQ(MFXClose(session), MFX_ERR_NONE);
}

// Handles that are null, closed or never issued are recognised, never dereferenced.
TEST_F(MediaSdkSession, UnknownHandles) {
  mfxVersion version{{7, 1}};
  mfxSession session = nullptr;
  ASSERT_EQ(MFXInit(MFX_IMPL_SOFTWARE, &version, &session), MFX_ERR_NONE);
  EXPECT_EQ(MFXClose(session), MFX_ERR_NONE);
  EXPECT_EQ(MFXClose(session), MFX_ERR_INVALID_HANDLE);
  EXPECT_EQ(MFXClose(nullptr), MFX_ERR_INVALID_HANDLE);
  int not_a_session = 0;
  mfxIMPL implementation = 0;
  EXPECT_EQ(MFXQueryIMPL(reinterpret_cast<mfxSession>(&not_a_session), &implementation),
            MFX_ERR_INVALID_HANDLE);
  EXPECT_EQ(MFXVideoDECODE_Close(session), MFX_ERR_INVALID_HANDLE);
  EXPECT_EQ(MFXVideoCORE_SyncOperation(session, nullptr, 0), MFX_ERR_INVALID_HANDLE);
}

TEST_F(MediaSdkSession, NullOutputPointers) {
  mfxSession session = Open(MFX_IMPL_SOFTWARE);
  EXPECT_EQ(MFXQueryIMPL(session, nullptr), MFX_ERR_NULL_PTR);
  EXPECT_EQ(MFXQueryVersion(session, nullptr), MFX_ERR_NULL_PTR);
  EXPECT_EQ(MFXGetPriority(session, nullptr), MFX_ERR_NULL_PTR);
  EXPECT_EQ(MFXVideoDECODE_DecodeHeader(session, nullptr, nullptr), MFX_ERR_NULL_PTR);
  EXPECT_EQ(MFXVideoDECODE_Init(session, nullptr), MFX_ERR_NULL_PTR);
  EXPECT_EQ(MFXVideoENCODE_QueryIOSurf(session, nullptr, nullptr), MFX_ERR_NULL_PTR);
  EXPECT_EQ(MFXVideoUSER_Load(session, nullptr, 1), MFX_ERR_NULL_PTR);
}

TEST_F(MediaSdkSession, JoinDisjoinAndClone) {
  mfxSession parent = Open(MFX_IMPL_SOFTWARE);
  mfxSession child = Open(MFX_IMPL_SOFTWARE);
  EXPECT_EQ(MFXDisjoinSession(child), MFX_ERR_UNDEFINED_BEHAVIOR);
  EXPECT_EQ(MFXJoinSession(parent, child), MFX_ERR_NONE);
  EXPECT_EQ(MFXJoinSession(parent, child), MFX_ERR_UNDEFINED_BEHAVIOR);
  EXPECT_EQ(MFXJoinSession(parent, parent), MFX_ERR_UNDEFINED_BEHAVIOR);
  EXPECT_EQ(MFXClose(parent), MFX_ERR_UNDEFINED_BEHAVIOR);  // it still has a child
  EXPECT_EQ(MFXDisjoinSession(child), MFX_ERR_NONE);
  mfxSession clone = nullptr;
  ASSERT_EQ(MFXCloneSession(parent, &clone), MFX_ERR_NONE);
  mfxIMPL implementation = 0;
  EXPECT_EQ(MFXQueryIMPL(clone, &implementation), MFX_ERR_NONE);
  EXPECT_EQ(implementation, MFX_IMPL_SOFTWARE);
  EXPECT_EQ(MFXClose(clone), MFX_ERR_NONE);  // closing a joined child disjoins it
  EXPECT_EQ(MFXClose(parent), MFX_ERR_NONE);
  open_.erase(open_.begin());
}

TEST_F(MediaSdkSession, PriorityHandlesPlatformAndPlugins) {
  mfxSession session = Open(MFX_IMPL_SOFTWARE);
  mfxPriority priority = MFX_PRIORITY_LOW;
  EXPECT_EQ(MFXGetPriority(session, &priority), MFX_ERR_NONE);
  EXPECT_EQ(priority, MFX_PRIORITY_NORMAL);
  EXPECT_EQ(MFXSetPriority(session, MFX_PRIORITY_HIGH), MFX_ERR_NONE);

  int display = 0;
  mfxHDL handle = nullptr;
  EXPECT_EQ(MFXVideoCORE_GetHandle(session, MFX_HANDLE_VA_DISPLAY, &handle), MFX_ERR_NOT_FOUND);
  EXPECT_EQ(MFXVideoCORE_SetHandle(session, MFX_HANDLE_VA_DISPLAY, nullptr), MFX_ERR_NULL_PTR);
  EXPECT_EQ(MFXVideoCORE_SetHandle(session, MFX_HANDLE_VA_DISPLAY, &display), MFX_ERR_NONE);
  EXPECT_EQ(MFXVideoCORE_SetHandle(session, MFX_HANDLE_VA_DISPLAY, &display),
            MFX_ERR_UNDEFINED_BEHAVIOR);
  EXPECT_EQ(MFXVideoCORE_GetHandle(session, MFX_HANDLE_VA_DISPLAY, &handle), MFX_ERR_NONE);
  EXPECT_EQ(handle, &display);

  mfxPlatform platform{};
  EXPECT_EQ(MFXVideoCORE_QueryPlatform(session, &platform), MFX_ERR_UNSUPPORTED);

  // The decoder module loads the HEVC decoder plug-in before decoding HEVC.
  EXPECT_EQ(MFXVideoUSER_Load(session, &kHevcHardwareDecoder, 1), MFX_ERR_NONE);
  EXPECT_EQ(MFXVideoUSER_Load(session, &kHevcHardwareDecoder, 1), MFX_ERR_UNDEFINED_BEHAVIOR);
  const mfxPluginUID unknown{};
  EXPECT_EQ(MFXVideoUSER_Load(session, &unknown, 1), MFX_ERR_NOT_FOUND);
  EXPECT_EQ(MFXVideoUSER_UnLoad(session, &kHevcHardwareDecoder), MFX_ERR_NONE);
  EXPECT_EQ(MFXVideoUSER_UnLoad(session, &kHevcHardwareDecoder), MFX_ERR_NOT_FOUND);
}

// libavcodec loads the system dispatcher into every process that decodes; its functions and ours
// stay apart, each bound to its own symbol version.
TEST(MediaSdkSymbolVersion, SystemDispatcherAndRuntimeStayApart) {
  void* system = dlopen("libmfx.so.1", RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(system, nullptr) << dlerror();
  void* system_init = dlsym(system, "MFXInit");
  ASSERT_NE(system_init, nullptr);
  EXPECT_NE(system_init, reinterpret_cast<void*>(&MFXInit));
  EXPECT_EQ(dlvsym(RTLD_DEFAULT, "MFXInit", "MORAINE_MEDIASDK_1.0"), reinterpret_cast<void*>(&MFXInit));
  EXPECT_EQ(dlvsym(RTLD_DEFAULT, "MFXInit", "LIBMFX_1.0"), system_init);

  // The system dispatcher finds no runtime here; ours opens a session in the same process.
  mfxSession system_session = nullptr;
  const auto init = reinterpret_cast<decltype(&MFXInit)>(system_init);
  EXPECT_LT(init(MFX_IMPL_SOFTWARE, nullptr, &system_session), MFX_ERR_NONE);
  mfxSession ours = nullptr;
  ASSERT_EQ(MFXInit(MFX_IMPL_SOFTWARE, nullptr, &ours), MFX_ERR_NONE);
  EXPECT_EQ(MFXClose(ours), MFX_ERR_NONE);
  dlclose(system);
}

}  // namespace
}  // namespace moraine::mediasdk
