#pragma once

// A Media SDK session as the exported functions see it: every call on a session handle lands on
// one of these, either a software session or one forwarded to the system's hardware runtime. The
// exported functions have checked the handle and the pointers the Media SDK requires non-null.

#include <mfx/mfxvideo.h>
#include <mfx/mfxplugin.h>

#include <memory>

namespace moraine::mediasdk {

class Session {
 public:
  virtual ~Session() = default;

  virtual mfxStatus Close() = 0;  // releases everything; the session is not used afterwards
  virtual mfxStatus QueryImplementation(mfxIMPL& implementation) = 0;
  virtual mfxStatus QueryVersion(mfxVersion& version) = 0;
  // `child` is another open session; sessions of different kinds cannot be joined.
  virtual mfxStatus Join(Session& child) = 0;
  virtual mfxStatus Disjoin() = 0;
  // A new session of the same implementation and version, joined to this one.
  virtual mfxStatus Clone(std::shared_ptr<Session>& clone) = 0;
  virtual mfxStatus SetPriority(mfxPriority priority) = 0;
  virtual mfxStatus GetPriority(mfxPriority& priority) = 0;
  virtual mfxStatus DoWork() = 0;

  virtual mfxStatus SetBufferAllocator(mfxBufferAllocator* allocator) = 0;
  virtual mfxStatus SetFrameAllocator(mfxFrameAllocator* allocator) = 0;
  virtual mfxStatus SetHandle(mfxHandleType type, mfxHDL handle) = 0;
  virtual mfxStatus GetHandle(mfxHandleType type, mfxHDL& handle) = 0;
  virtual mfxStatus QueryPlatform(mfxPlatform& platform) = 0;
  virtual mfxStatus SyncOperation(mfxSyncPoint sync_point, mfxU32 wait_ms) = 0;

  virtual mfxStatus DecodeQuery(mfxVideoParam* in, mfxVideoParam& out) = 0;
  virtual mfxStatus DecodeHeader(mfxBitstream& bitstream, mfxVideoParam& par) = 0;
  virtual mfxStatus DecodeQueryIOSurf(mfxVideoParam& par, mfxFrameAllocRequest& request) = 0;
  virtual mfxStatus DecodeInit(mfxVideoParam& par) = 0;
  virtual mfxStatus DecodeReset(mfxVideoParam& par) = 0;
  virtual mfxStatus DecodeClose() = 0;
  virtual mfxStatus DecodeGetVideoParam(mfxVideoParam& par) = 0;
  virtual mfxStatus DecodeGetStat(mfxDecodeStat& statistics) = 0;
  virtual mfxStatus DecodeGetPayload(mfxU64& timestamp, mfxPayload& payload) = 0;
  virtual mfxStatus DecodeSetSkipMode(mfxSkipMode mode) = 0;
  // `bitstream` may be null (no new input).
  virtual mfxStatus DecodeFrameAsync(mfxBitstream* bitstream, mfxFrameSurface1& work,
                                     mfxFrameSurface1*& out, mfxSyncPoint& sync_point) = 0;

  virtual mfxStatus EncodeQuery(mfxVideoParam* in, mfxVideoParam& out) = 0;
  virtual mfxStatus EncodeQueryIOSurf(mfxVideoParam& par, mfxFrameAllocRequest& request) = 0;
  virtual mfxStatus EncodeInit(mfxVideoParam& par) = 0;
  virtual mfxStatus EncodeReset(mfxVideoParam& par) = 0;
  virtual mfxStatus EncodeClose() = 0;
  virtual mfxStatus EncodeGetVideoParam(mfxVideoParam& par) = 0;
  virtual mfxStatus EncodeGetStat(mfxEncodeStat& statistics) = 0;
  // `control` and `surface` may be null (no control; no new picture).
  virtual mfxStatus EncodeFrameAsync(mfxEncodeCtrl* control, mfxFrameSurface1* surface,
                                     mfxBitstream& bitstream, mfxSyncPoint& sync_point) = 0;

  virtual mfxStatus LoadPlugin(const mfxPluginUID& uid, mfxU32 version) = 0;
  virtual mfxStatus UnloadPlugin(const mfxPluginUID& uid) = 0;
};

}  // namespace moraine::mediasdk
