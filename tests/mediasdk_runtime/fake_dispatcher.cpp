// A stand-in for the system's Media SDK dispatcher and for libva, loaded by the runtime in the
// hardware forwarding tests (MORAINE_MEDIASDK_TEST_HARDWARE). It exports the dispatcher's
// functions under their LIBMFX_1.x versions and records every call in a log. With
// FAKE_DISPATCHER_FAIL_QUERY set, decoder queries fail, as on a device that cannot decode.

#include <mfx/mfxplugin.h>
#include <mfx/mfxvideo.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

int session_object = 0;
int display_object = 0;

std::string& Log() {
  static std::string log;
  return log;
}

mfxStatus Record(const std::string& call) {
  Log() += call + ";";
  return MFX_ERR_NONE;
}

bool IsOurSession(mfxSession session) { return session == reinterpret_cast<mfxSession>(&session_object); }

}  // namespace

extern "C" {

const char* FakeDispatcherLog() { return Log().c_str(); }
void FakeDispatcherClearLog() { Log().clear(); }

void* vaGetDisplayDRM(int) {
  Record("vaGetDisplayDRM");
  return &display_object;
}
int vaInitialize(void* display, int* major, int* minor) {
  Record(display == &display_object ? "vaInitialize" : "vaInitialize(wrong display)");
  *major = 1;
  *minor = 17;
  return 0;
}
int vaTerminate(void*) { return Record("vaTerminate"); }

mfxStatus MFXInitEx(mfxInitParam par, mfxSession* session) {
  char text[64];
  std::snprintf(text, sizeof text, "InitEx(0x%x)", static_cast<unsigned>(par.Implementation));
  *session = reinterpret_cast<mfxSession>(&session_object);
  return Record(text);
}
mfxStatus MFXClose(mfxSession session) { return IsOurSession(session) ? Record("Close") : MFX_ERR_INVALID_HANDLE; }
mfxStatus MFXQueryIMPL(mfxSession, mfxIMPL* impl) {
  *impl = MFX_IMPL_HARDWARE | MFX_IMPL_VIA_VAAPI;
  return Record("QueryIMPL");
}
mfxStatus MFXQueryVersion(mfxSession, mfxVersion* version) {
  version->Major = 1;
  version->Minor = 35;
  return Record("QueryVersion");
}
mfxStatus MFXJoinSession(mfxSession, mfxSession) { return Record("JoinSession"); }
mfxStatus MFXDisjoinSession(mfxSession) { return Record("DisjoinSession"); }
mfxStatus MFXCloneSession(mfxSession, mfxSession* clone) {
  *clone = reinterpret_cast<mfxSession>(&session_object);
  return Record("CloneSession");
}
mfxStatus MFXSetPriority(mfxSession, mfxPriority) { return Record("SetPriority"); }
mfxStatus MFXGetPriority(mfxSession, mfxPriority*) { return Record("GetPriority"); }
mfxStatus MFXDoWork(mfxSession) { return Record("DoWork"); }
mfxStatus MFXVideoCORE_SetBufferAllocator(mfxSession, mfxBufferAllocator*) { return Record("SetBufferAllocator"); }
mfxStatus MFXVideoCORE_SetFrameAllocator(mfxSession, mfxFrameAllocator*) { return Record("SetFrameAllocator"); }
mfxStatus MFXVideoCORE_SetHandle(mfxSession session, mfxHandleType type, mfxHDL handle) {
  const bool display = type == MFX_HANDLE_VA_DISPLAY && handle == &display_object;
  return Record(IsOurSession(session) && display ? "SetHandle(display)" : "SetHandle(other)");
}
mfxStatus MFXVideoCORE_GetHandle(mfxSession, mfxHandleType, mfxHDL*) { return Record("GetHandle"); }
mfxStatus MFXVideoCORE_QueryPlatform(mfxSession, mfxPlatform*) { return Record("QueryPlatform"); }
mfxStatus MFXVideoCORE_SyncOperation(mfxSession, mfxSyncPoint, mfxU32) { return Record("SyncOperation"); }
mfxStatus MFXVideoDECODE_Query(mfxSession, mfxVideoParam*, mfxVideoParam* out) {
  Record(out->mfx.CodecId == MFX_CODEC_AVC ? "DecodeQuery(AVC)" : "DecodeQuery");
  return std::getenv("FAKE_DISPATCHER_FAIL_QUERY") != nullptr ? MFX_ERR_UNSUPPORTED : MFX_ERR_NONE;
}
mfxStatus MFXVideoDECODE_DecodeHeader(mfxSession, mfxBitstream*, mfxVideoParam*) { return Record("DecodeHeader"); }
mfxStatus MFXVideoDECODE_QueryIOSurf(mfxSession, mfxVideoParam*, mfxFrameAllocRequest*) { return Record("DecodeQueryIOSurf"); }
mfxStatus MFXVideoDECODE_Init(mfxSession, mfxVideoParam*) { return Record("DecodeInit"); }
mfxStatus MFXVideoDECODE_Reset(mfxSession, mfxVideoParam*) { return Record("DecodeReset"); }
mfxStatus MFXVideoDECODE_Close(mfxSession) { return Record("DecodeClose"); }
mfxStatus MFXVideoDECODE_GetVideoParam(mfxSession, mfxVideoParam*) { return Record("DecodeGetVideoParam"); }
mfxStatus MFXVideoDECODE_GetDecodeStat(mfxSession, mfxDecodeStat*) { return Record("GetDecodeStat"); }
mfxStatus MFXVideoDECODE_GetPayload(mfxSession, mfxU64*, mfxPayload*) { return Record("GetPayload"); }
mfxStatus MFXVideoDECODE_SetSkipMode(mfxSession, mfxSkipMode) { return Record("SetSkipMode"); }
mfxStatus MFXVideoDECODE_DecodeFrameAsync(mfxSession, mfxBitstream*, mfxFrameSurface1* work,
                                          mfxFrameSurface1** out, mfxSyncPoint*) {
  *out = work;
  Record("DecodeFrameAsync");
  return MFX_ERR_MORE_DATA;
}
mfxStatus MFXVideoENCODE_Query(mfxSession, mfxVideoParam*, mfxVideoParam*) { return Record("EncodeQuery"); }
mfxStatus MFXVideoENCODE_QueryIOSurf(mfxSession, mfxVideoParam*, mfxFrameAllocRequest*) { return Record("EncodeQueryIOSurf"); }
mfxStatus MFXVideoENCODE_Init(mfxSession, mfxVideoParam*) { return Record("EncodeInit"); }
mfxStatus MFXVideoENCODE_Reset(mfxSession, mfxVideoParam*) { return Record("EncodeReset"); }
mfxStatus MFXVideoENCODE_Close(mfxSession) { return Record("EncodeClose"); }
mfxStatus MFXVideoENCODE_GetVideoParam(mfxSession, mfxVideoParam*) { return Record("EncodeGetVideoParam"); }
mfxStatus MFXVideoENCODE_GetEncodeStat(mfxSession, mfxEncodeStat*) { return Record("GetEncodeStat"); }
mfxStatus MFXVideoENCODE_EncodeFrameAsync(mfxSession, mfxEncodeCtrl*, mfxFrameSurface1*, mfxBitstream*,
                                          mfxSyncPoint*) {
  return Record("EncodeFrameAsync");
}
mfxStatus MFXVideoUSER_Load(mfxSession, const mfxPluginUID*, mfxU32) { return Record("UserLoad"); }
mfxStatus MFXVideoUSER_UnLoad(mfxSession, const mfxPluginUID*) { return Record("UserUnload"); }

}  // extern "C"
