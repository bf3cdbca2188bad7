#pragma once

// A session forwarded to the system's Media SDK dispatcher, which drives Intel graphics hardware.
// Every call passes through unchanged, with the dispatcher's own session handle.

#include <memory>

#include "mediasdk_runtime/dispatcher_library.h"
#include "mediasdk_runtime/session.h"
#include "mediasdk_runtime/va_display.h"

namespace moraine::mediasdk {

class HardwareSession final : public Session {
 public:
  // Opens a dispatcher session with `par` (a hardware implementation), gives it `display` as its
  // VA display and confirms with a trial decoder query that hardware decoding is there. The
  // dispatcher's failure status, or MFX_ERR_UNSUPPORTED when the trial fails.
  static mfxStatus Open(const DispatcherFunctions& dispatcher, std::shared_ptr<VaDisplay> display,
                        const mfxInitParam& par, std::shared_ptr<Session>& session);
  ~HardwareSession() override;

  mfxStatus Close() override;
  mfxStatus QueryImplementation(mfxIMPL& implementation) override;
  mfxStatus QueryVersion(mfxVersion& version) override;
  mfxStatus Join(Session& child) override;
  mfxStatus Disjoin() override;
  mfxStatus Clone(std::shared_ptr<Session>& clone) override;
  mfxStatus SetPriority(mfxPriority priority) override;
  mfxStatus GetPriority(mfxPriority& priority) override;
  mfxStatus DoWork() override;

  mfxStatus SetBufferAllocator(mfxBufferAllocator* allocator) override;
  mfxStatus SetFrameAllocator(mfxFrameAllocator* allocator) override;
  mfxStatus SetHandle(mfxHandleType type, mfxHDL handle) override;
  mfxStatus GetHandle(mfxHandleType type, mfxHDL& handle) override;
  mfxStatus QueryPlatform(mfxPlatform& platform) override;
  mfxStatus SyncOperation(mfxSyncPoint sync_point, mfxU32 wait_ms) override;

  mfxStatus DecodeQuery(mfxVideoParam* in, mfxVideoParam& out) override;
  mfxStatus DecodeHeader(mfxBitstream& bitstream, mfxVideoParam& par) override;
  mfxStatus DecodeQueryIOSurf(mfxVideoParam& par, mfxFrameAllocRequest& request) override;
  mfxStatus DecodeInit(mfxVideoParam& par) override;
  mfxStatus DecodeReset(mfxVideoParam& par) override;
  mfxStatus DecodeClose() override;
  mfxStatus DecodeGetVideoParam(mfxVideoParam& par) override;
  mfxStatus DecodeGetStat(mfxDecodeStat& statistics) override;
  mfxStatus DecodeGetPayload(mfxU64& timestamp, mfxPayload& payload) override;
  mfxStatus DecodeSetSkipMode(mfxSkipMode mode) override;
  mfxStatus DecodeFrameAsync(mfxBitstream* bitstream, mfxFrameSurface1& work,
                             mfxFrameSurface1*& out, mfxSyncPoint& sync_point) override;

  mfxStatus EncodeQuery(mfxVideoParam* in, mfxVideoParam& out) override;
  mfxStatus EncodeQueryIOSurf(mfxVideoParam& par, mfxFrameAllocRequest& request) override;
  mfxStatus EncodeInit(mfxVideoParam& par) override;
  mfxStatus EncodeReset(mfxVideoParam& par) override;
  mfxStatus EncodeClose() override;
  mfxStatus EncodeGetVideoParam(mfxVideoParam& par) override;
  mfxStatus EncodeGetStat(mfxEncodeStat& statistics) override;
  mfxStatus EncodeFrameAsync(mfxEncodeCtrl* control, mfxFrameSurface1* surface,
                             mfxBitstream& bitstream, mfxSyncPoint& sync_point) override;

  mfxStatus LoadPlugin(const mfxPluginUID& uid, mfxU32 version) override;
  mfxStatus UnloadPlugin(const mfxPluginUID& uid) override;

 private:
  HardwareSession(const DispatcherFunctions& dispatcher, std::shared_ptr<VaDisplay> display,
                  mfxSession inner)
      : dispatcher_(dispatcher), display_(std::move(display)), inner_(inner) {}

  // Gives a fresh dispatcher session our display and checks that it can decode.
  static mfxStatus Prepare(const DispatcherFunctions& dispatcher, const VaDisplay& display,
                           mfxSession inner);

  const DispatcherFunctions& dispatcher_;
  std::shared_ptr<VaDisplay> display_;  // must outlive the dispatcher session
  mfxSession inner_;                    // null once closed
};

}  // namespace moraine::mediasdk
