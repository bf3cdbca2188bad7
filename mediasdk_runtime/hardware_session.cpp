#include "mediasdk_runtime/hardware_session.h"

namespace moraine::mediasdk {

mfxStatus HardwareSession::Prepare(const DispatcherFunctions& dispatcher, const VaDisplay& display,
                                   mfxSession inner) {
  const mfxStatus status = dispatcher.SetHandle(inner, MFX_HANDLE_VA_DISPLAY, display.display());
  if (status < MFX_ERR_NONE) return status;
  mfxVideoParam trial{};
  trial.mfx.CodecId = MFX_CODEC_AVC;
  return dispatcher.DecodeQuery(inner, nullptr, &trial) < MFX_ERR_NONE ? MFX_ERR_UNSUPPORTED
                                                                       : MFX_ERR_NONE;
}

mfxStatus HardwareSession::Open(const DispatcherFunctions& dispatcher,
                                std::shared_ptr<VaDisplay> display, const mfxInitParam& par,
                                std::shared_ptr<Session>& session) {
  mfxSession inner = nullptr;
  if (const mfxStatus status = dispatcher.InitEx(par, &inner); status != MFX_ERR_NONE) {
    return status;
  }
  if (const mfxStatus status = Prepare(dispatcher, *display, inner); status != MFX_ERR_NONE) {
    dispatcher.Close(inner);
    return status;
  }
  session.reset(new HardwareSession(dispatcher, std::move(display), inner));
  return MFX_ERR_NONE;
}

HardwareSession::~HardwareSession() {
  if (inner_ != nullptr) dispatcher_.Close(inner_);
}

mfxStatus HardwareSession::Close() {
  const mfxStatus status = dispatcher_.Close(inner_);
  if (status == MFX_ERR_NONE) inner_ = nullptr;
  return status;
}

mfxStatus HardwareSession::QueryImplementation(mfxIMPL& implementation) {
  return dispatcher_.QueryIMPL(inner_, &implementation);
}
mfxStatus HardwareSession::QueryVersion(mfxVersion& version) {
  return dispatcher_.QueryVersion(inner_, &version);
}

mfxStatus HardwareSession::Join(Session& child_session) {
  auto* child = dynamic_cast<HardwareSession*>(&child_session);
  if (child == nullptr) return MFX_ERR_UNSUPPORTED;
  return dispatcher_.JoinSession(inner_, child->inner_);
}

mfxStatus HardwareSession::Disjoin() { return dispatcher_.DisjoinSession(inner_); }

mfxStatus HardwareSession::Clone(std::shared_ptr<Session>& clone) {
  mfxSession inner = nullptr;
  if (const mfxStatus status = dispatcher_.CloneSession(inner_, &inner); status != MFX_ERR_NONE) {
    return status;
  }
  // A clone inherits no device handle.
  if (const mfxStatus status = Prepare(dispatcher_, *display_, inner); status != MFX_ERR_NONE) {
    dispatcher_.DisjoinSession(inner);
    dispatcher_.Close(inner);
    return status;
  }
  clone.reset(new HardwareSession(dispatcher_, display_, inner));
  return MFX_ERR_NONE;
}

mfxStatus HardwareSession::SetPriority(mfxPriority priority) {
  return dispatcher_.SetPriority(inner_, priority);
}
mfxStatus HardwareSession::GetPriority(mfxPriority& priority) {
  return dispatcher_.GetPriority(inner_, &priority);
}
mfxStatus HardwareSession::DoWork() { return dispatcher_.DoWork(inner_); }

mfxStatus HardwareSession::SetBufferAllocator(mfxBufferAllocator* allocator) {
  return dispatcher_.SetBufferAllocator(inner_, allocator);
}
mfxStatus HardwareSession::SetFrameAllocator(mfxFrameAllocator* allocator) {
  return dispatcher_.SetFrameAllocator(inner_, allocator);
}
mfxStatus HardwareSession::SetHandle(mfxHandleType type, mfxHDL handle) {
  return dispatcher_.SetHandle(inner_, type, handle);
}
mfxStatus HardwareSession::GetHandle(mfxHandleType type, mfxHDL& handle) {
  return dispatcher_.GetHandle(inner_, type, &handle);
}
mfxStatus HardwareSession::QueryPlatform(mfxPlatform& platform) {
  return dispatcher_.QueryPlatform(inner_, &platform);
}
mfxStatus HardwareSession::SyncOperation(mfxSyncPoint sync_point, mfxU32 wait_ms) {
  return dispatcher_.SyncOperation(inner_, sync_point, wait_ms);
}

mfxStatus HardwareSession::DecodeQuery(mfxVideoParam* in, mfxVideoParam& out) {
  return dispatcher_.DecodeQuery(inner_, in, &out);
}
mfxStatus HardwareSession::DecodeHeader(mfxBitstream& bitstream, mfxVideoParam& par) {
  return dispatcher_.DecodeHeader(inner_, &bitstream, &par);
}
mfxStatus HardwareSession::DecodeQueryIOSurf(mfxVideoParam& par, mfxFrameAllocRequest& request) {
  return dispatcher_.DecodeQueryIOSurf(inner_, &par, &request);
}
mfxStatus HardwareSession::DecodeInit(mfxVideoParam& par) {
  return dispatcher_.DecodeInit(inner_, &par);
}
mfxStatus HardwareSession::DecodeReset(mfxVideoParam& par) {
  return dispatcher_.DecodeReset(inner_, &par);
}
mfxStatus HardwareSession::DecodeClose() { return dispatcher_.DecodeClose(inner_); }
mfxStatus HardwareSession::DecodeGetVideoParam(mfxVideoParam& par) {
  return dispatcher_.DecodeGetVideoParam(inner_, &par);
}
mfxStatus HardwareSession::DecodeGetStat(mfxDecodeStat& statistics) {
  return dispatcher_.DecodeGetStat(inner_, &statistics);
}
mfxStatus HardwareSession::DecodeGetPayload(mfxU64& timestamp, mfxPayload& payload) {
  return dispatcher_.DecodeGetPayload(inner_, &timestamp, &payload);
}
mfxStatus HardwareSession::DecodeSetSkipMode(mfxSkipMode mode) {
  return dispatcher_.DecodeSetSkipMode(inner_, mode);
}
mfxStatus HardwareSession::DecodeFrameAsync(mfxBitstream* bitstream, mfxFrameSurface1& work,
                                            mfxFrameSurface1*& out, mfxSyncPoint& sync_point) {
  return dispatcher_.DecodeFrameAsync(inner_, bitstream, &work, &out, &sync_point);
}

mfxStatus HardwareSession::EncodeQuery(mfxVideoParam* in, mfxVideoParam& out) {
  return dispatcher_.EncodeQuery(inner_, in, &out);
}
mfxStatus HardwareSession::EncodeQueryIOSurf(mfxVideoParam& par, mfxFrameAllocRequest& request) {
  return dispatcher_.EncodeQueryIOSurf(inner_, &par, &request);
}
mfxStatus HardwareSession::EncodeInit(mfxVideoParam& par) {
  return dispatcher_.EncodeInit(inner_, &par);
}
mfxStatus HardwareSession::EncodeReset(mfxVideoParam& par) {
  return dispatcher_.EncodeReset(inner_, &par);
}
mfxStatus HardwareSession::EncodeClose() { return dispatcher_.EncodeClose(inner_); }
mfxStatus HardwareSession::EncodeGetVideoParam(mfxVideoParam& par) {
  return dispatcher_.EncodeGetVideoParam(inner_, &par);
}
mfxStatus HardwareSession::EncodeGetStat(mfxEncodeStat& statistics) {
  return dispatcher_.EncodeGetStat(inner_, &statistics);
}
mfxStatus HardwareSession::EncodeFrameAsync(mfxEncodeCtrl* control, mfxFrameSurface1* surface,
                                            mfxBitstream& bitstream, mfxSyncPoint& sync_point) {
  return dispatcher_.EncodeFrameAsync(inner_, control, surface, &bitstream, &sync_point);
}

mfxStatus HardwareSession::LoadPlugin(const mfxPluginUID& uid, mfxU32 version) {
  return dispatcher_.UserLoad(inner_, &uid, version);
}
mfxStatus HardwareSession::UnloadPlugin(const mfxPluginUID& uid) {
  return dispatcher_.UserUnload(inner_, &uid);
}

}  // namespace moraine::mediasdk
