// The C functions of the Media SDK API that this runtime exports. Each one checks the session
// handle and the pointers the API requires, then hands the call to the session; no exception
// leaves this file.

#include <mfx/mfxplugin.h>
#include <mfx/mfxvideo.h>

#include <exception>
#include <new>

#include "mediasdk_runtime/implementation_selection.h"
#include "mediasdk_runtime/session_registry.h"

namespace {

using moraine::mediasdk::Session;
using moraine::mediasdk::SessionRegistry;

template <typename Call>
mfxStatus Guarded(Call call) {
  try {
    return call();
  } catch (const std::bad_alloc&) {
    return MFX_ERR_MEMORY_ALLOC;
  } catch (...) {
    return MFX_ERR_UNKNOWN;
  }
}

template <typename Call>
mfxStatus WithSession(mfxSession handle, Call call) {
  return Guarded([&]() -> mfxStatus {
    const std::shared_ptr<Session> session = SessionRegistry::Instance().Find(handle);
    if (!session) return MFX_ERR_INVALID_HANDLE;
    return call(*session);
  });
}

template <typename... Pointers>
bool AnyNull(const Pointers*... pointers) {
  return ((pointers == nullptr) || ...);
}

mfxStatus OpenAndRegister(const mfxInitParam& par, mfxSession* session) {
  if (session == nullptr) return MFX_ERR_NULL_PTR;
  *session = nullptr;
  return Guarded([&]() -> mfxStatus {
    if ((par.Implementation & MFX_IMPL_AUDIO) != 0) return MFX_ERR_UNSUPPORTED;
    std::shared_ptr<Session> opened;
    const mfxStatus status = moraine::mediasdk::OpenSession(par, opened);
    if (status != MFX_ERR_NONE) return status;
    *session = SessionRegistry::Instance().Add(std::move(opened));
    return MFX_ERR_NONE;
  });
}

}  // namespace

extern "C" {

mfxStatus MFXInit(mfxIMPL impl, mfxVersion* ver, mfxSession* session) {
  mfxInitParam par{};
  par.Implementation = impl;
  if (ver != nullptr) par.Version = *ver;
  return OpenAndRegister(par, session);
}

mfxStatus MFXInitEx(mfxInitParam par, mfxSession* session) { return OpenAndRegister(par, session); }

mfxStatus MFXClose(mfxSession session) {
  return WithSession(session, [session](Session& s) {
    const mfxStatus status = s.Close();
    if (status == MFX_ERR_NONE) SessionRegistry::Instance().Remove(session);
    return status;
  });
}

mfxStatus MFXQueryIMPL(mfxSession session, mfxIMPL* impl) {
  return WithSession(session, [=](Session& s) {
    return impl == nullptr ? MFX_ERR_NULL_PTR : s.QueryImplementation(*impl);
  });
}

mfxStatus MFXQueryVersion(mfxSession session, mfxVersion* version) {
  return WithSession(session, [=](Session& s) {
    return version == nullptr ? MFX_ERR_NULL_PTR : s.QueryVersion(*version);
  });
}

mfxStatus MFXJoinSession(mfxSession session, mfxSession child) {
  return WithSession(session, [=](Session& s) {
    const std::shared_ptr<Session> child_session = SessionRegistry::Instance().Find(child);
    return child_session ? s.Join(*child_session) : MFX_ERR_INVALID_HANDLE;
  });
}

mfxStatus MFXDisjoinSession(mfxSession session) {
  return WithSession(session, [](Session& s) { return s.Disjoin(); });
}

mfxStatus MFXCloneSession(mfxSession session, mfxSession* clone) {
  return WithSession(session, [=](Session& s) {
    if (clone == nullptr) return MFX_ERR_NULL_PTR;
    std::shared_ptr<Session> cloned;
    const mfxStatus status = s.Clone(cloned);
    if (status == MFX_ERR_NONE) *clone = SessionRegistry::Instance().Add(std::move(cloned));
    return status;
  });
}

mfxStatus MFXSetPriority(mfxSession session, mfxPriority priority) {
  return WithSession(session, [=](Session& s) { return s.SetPriority(priority); });
}

mfxStatus MFXGetPriority(mfxSession session, mfxPriority* priority) {
  return WithSession(session, [=](Session& s) {
    return priority == nullptr ? MFX_ERR_NULL_PTR : s.GetPriority(*priority);
  });
}

mfxStatus MFXDoWork(mfxSession session) {
  return WithSession(session, [](Session& s) { return s.DoWork(); });
}

mfxStatus MFXVideoCORE_SetBufferAllocator(mfxSession session, mfxBufferAllocator* allocator) {
  return WithSession(session, [=](Session& s) { return s.SetBufferAllocator(allocator); });
}

mfxStatus MFXVideoCORE_SetFrameAllocator(mfxSession session, mfxFrameAllocator* allocator) {
  return WithSession(session, [=](Session& s) { return s.SetFrameAllocator(allocator); });
}

mfxStatus MFXVideoCORE_SetHandle(mfxSession session, mfxHandleType type, mfxHDL hdl) {
  return WithSession(session, [=](Session& s) { return s.SetHandle(type, hdl); });
}

mfxStatus MFXVideoCORE_GetHandle(mfxSession session, mfxHandleType type, mfxHDL* hdl) {
  return WithSession(session, [=](Session& s) {
    return hdl == nullptr ? MFX_ERR_NULL_PTR : s.GetHandle(type, *hdl);
  });
}

mfxStatus MFXVideoCORE_QueryPlatform(mfxSession session, mfxPlatform* platform) {
  return WithSession(session, [=](Session& s) {
    return platform == nullptr ? MFX_ERR_NULL_PTR : s.QueryPlatform(*platform);
  });
}

mfxStatus MFXVideoCORE_SyncOperation(mfxSession session, mfxSyncPoint syncp, mfxU32 wait) {
  return WithSession(session, [=](Session& s) {
    return syncp == nullptr ? MFX_ERR_NULL_PTR : s.SyncOperation(syncp, wait);
  });
}

mfxStatus MFXVideoDECODE_Query(mfxSession session, mfxVideoParam* in, mfxVideoParam* out) {
  return WithSession(session, [=](Session& s) {
    return out == nullptr ? MFX_ERR_NULL_PTR : s.DecodeQuery(in, *out);
  });
}

mfxStatus MFXVideoDECODE_DecodeHeader(mfxSession session, mfxBitstream* bs, mfxVideoParam* par) {
  return WithSession(session, [=](Session& s) {
    return AnyNull(bs, par) ? MFX_ERR_NULL_PTR : s.DecodeHeader(*bs, *par);
  });
}

mfxStatus MFXVideoDECODE_QueryIOSurf(mfxSession session, mfxVideoParam* par,
                                     mfxFrameAllocRequest* request) {
  return WithSession(session, [=](Session& s) {
    return AnyNull(par, request) ? MFX_ERR_NULL_PTR : s.DecodeQueryIOSurf(*par, *request);
  });
}

mfxStatus MFXVideoDECODE_Init(mfxSession session, mfxVideoParam* par) {
  return WithSession(session, [=](Session& s) {
    return par == nullptr ? MFX_ERR_NULL_PTR : s.DecodeInit(*par);
  });
}

mfxStatus MFXVideoDECODE_Reset(mfxSession session, mfxVideoParam* par) {
  return WithSession(session, [=](Session& s) {
    return par == nullptr ? MFX_ERR_NULL_PTR : s.DecodeReset(*par);
  });
}

mfxStatus MFXVideoDECODE_Close(mfxSession session) {
  return WithSession(session, [](Session& s) { return s.DecodeClose(); });
}

mfxStatus MFXVideoDECODE_GetVideoParam(mfxSession session, mfxVideoParam* par) {
  return WithSession(session, [=](Session& s) {
    return par == nullptr ? MFX_ERR_NULL_PTR : s.DecodeGetVideoParam(*par);
  });
}

mfxStatus MFXVideoDECODE_GetDecodeStat(mfxSession session, mfxDecodeStat* stat) {
  return WithSession(session, [=](Session& s) {
    return stat == nullptr ? MFX_ERR_NULL_PTR : s.DecodeGetStat(*stat);
  });
}

mfxStatus MFXVideoDECODE_GetPayload(mfxSession session, mfxU64* ts, mfxPayload* payload) {
  return WithSession(session, [=](Session& s) {
    return AnyNull(ts, payload) ? MFX_ERR_NULL_PTR : s.DecodeGetPayload(*ts, *payload);
  });
}

mfxStatus MFXVideoDECODE_SetSkipMode(mfxSession session, mfxSkipMode mode) {
  return WithSession(session, [=](Session& s) { return s.DecodeSetSkipMode(mode); });
}

mfxStatus MFXVideoDECODE_DecodeFrameAsync(mfxSession session, mfxBitstream* bs,
                                          mfxFrameSurface1* surface_work,
                                          mfxFrameSurface1** surface_out, mfxSyncPoint* syncp) {
  return WithSession(session, [=](Session& s) {
    if (AnyNull(surface_work, surface_out, syncp)) return MFX_ERR_NULL_PTR;
    return s.DecodeFrameAsync(bs, *surface_work, *surface_out, *syncp);
  });
}

mfxStatus MFXVideoENCODE_Query(mfxSession session, mfxVideoParam* in, mfxVideoParam* out) {
  return WithSession(session, [=](Session& s) {
    return out == nullptr ? MFX_ERR_NULL_PTR : s.EncodeQuery(in, *out);
  });
}

mfxStatus MFXVideoENCODE_QueryIOSurf(mfxSession session, mfxVideoParam* par,
                                     mfxFrameAllocRequest* request) {
  return WithSession(session, [=](Session& s) {
    return AnyNull(par, request) ? MFX_ERR_NULL_PTR : s.EncodeQueryIOSurf(*par, *request);
  });
}

mfxStatus MFXVideoENCODE_Init(mfxSession session, mfxVideoParam* par) {
  return WithSession(session, [=](Session& s) {
    return par == nullptr ? MFX_ERR_NULL_PTR : s.EncodeInit(*par);
  });
}

mfxStatus MFXVideoENCODE_Reset(mfxSession session, mfxVideoParam* par) {
  return WithSession(session, [=](Session& s) {
    return par == nullptr ? MFX_ERR_NULL_PTR : s.EncodeReset(*par);
  });
}

mfxStatus MFXVideoENCODE_Close(mfxSession session) {
  return WithSession(session, [](Session& s) { return s.EncodeClose(); });
}

mfxStatus MFXVideoENCODE_GetVideoParam(mfxSession session, mfxVideoParam* par) {
  return WithSession(session, [=](Session& s) {
    return par == nullptr ? MFX_ERR_NULL_PTR : s.EncodeGetVideoParam(*par);
  });
}

mfxStatus MFXVideoENCODE_GetEncodeStat(mfxSession session, mfxEncodeStat* stat) {
  return WithSession(session, [=](Session& s) {
    return stat == nullptr ? MFX_ERR_NULL_PTR : s.EncodeGetStat(*stat);
  });
}

mfxStatus MFXVideoENCODE_EncodeFrameAsync(mfxSession session, mfxEncodeCtrl* ctrl,
                                          mfxFrameSurface1* surface, mfxBitstream* bs,
                                          mfxSyncPoint* syncp) {
  return WithSession(session, [=](Session& s) {
    if (AnyNull(bs, syncp)) return MFX_ERR_NULL_PTR;
    return s.EncodeFrameAsync(ctrl, surface, *bs, *syncp);
  });
}

mfxStatus MFXVideoUSER_Load(mfxSession session, const mfxPluginUID* uid, mfxU32 version) {
  return WithSession(session, [=](Session& s) {
    return uid == nullptr ? MFX_ERR_NULL_PTR : s.LoadPlugin(*uid, version);
  });
}

mfxStatus MFXVideoUSER_UnLoad(mfxSession session, const mfxPluginUID* uid) {
  return WithSession(session, [=](Session& s) {
    return uid == nullptr ? MFX_ERR_NULL_PTR : s.UnloadPlugin(*uid);
  });
}

}  // extern "C"
