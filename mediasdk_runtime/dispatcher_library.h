#pragma once

// The system's Media SDK dispatcher (libmfx.so.1), loaded at run time so that hardware sessions
// can be forwarded to it. Its functions are looked up by their LIBMFX_1.x symbol versions, which
// never resolve to this runtime's own exports.

#include <mfx/mfxvideo.h>
#include <mfx/mfxplugin.h>

#include <string>

namespace moraine::mediasdk {

struct DispatcherFunctions {
  decltype(&MFXInitEx) InitEx = nullptr;
  decltype(&MFXClose) Close = nullptr;
  decltype(&MFXQueryIMPL) QueryIMPL = nullptr;
  decltype(&MFXQueryVersion) QueryVersion = nullptr;
  decltype(&MFXJoinSession) JoinSession = nullptr;
  decltype(&MFXDisjoinSession) DisjoinSession = nullptr;
  decltype(&MFXCloneSession) CloneSession = nullptr;
  decltype(&MFXSetPriority) SetPriority = nullptr;
  decltype(&MFXGetPriority) GetPriority = nullptr;
  decltype(&MFXDoWork) DoWork = nullptr;
  decltype(&MFXVideoCORE_SetBufferAllocator) SetBufferAllocator = nullptr;
  decltype(&MFXVideoCORE_SetFrameAllocator) SetFrameAllocator = nullptr;
  decltype(&MFXVideoCORE_SetHandle) SetHandle = nullptr;
  decltype(&MFXVideoCORE_GetHandle) GetHandle = nullptr;
  decltype(&MFXVideoCORE_QueryPlatform) QueryPlatform = nullptr;
  decltype(&MFXVideoCORE_SyncOperation) SyncOperation = nullptr;
  decltype(&MFXVideoDECODE_Query) DecodeQuery = nullptr;
  decltype(&MFXVideoDECODE_DecodeHeader) DecodeHeader = nullptr;
  decltype(&MFXVideoDECODE_QueryIOSurf) DecodeQueryIOSurf = nullptr;
  decltype(&MFXVideoDECODE_Init) DecodeInit = nullptr;
  decltype(&MFXVideoDECODE_Reset) DecodeReset = nullptr;
  decltype(&MFXVideoDECODE_Close) DecodeClose = nullptr;
  decltype(&MFXVideoDECODE_GetVideoParam) DecodeGetVideoParam = nullptr;
  decltype(&MFXVideoDECODE_GetDecodeStat) DecodeGetStat = nullptr;
  decltype(&MFXVideoDECODE_GetPayload) DecodeGetPayload = nullptr;
  decltype(&MFXVideoDECODE_SetSkipMode) DecodeSetSkipMode = nullptr;
  decltype(&MFXVideoDECODE_DecodeFrameAsync) DecodeFrameAsync = nullptr;
  decltype(&MFXVideoENCODE_Query) EncodeQuery = nullptr;
  decltype(&MFXVideoENCODE_QueryIOSurf) EncodeQueryIOSurf = nullptr;
  decltype(&MFXVideoENCODE_Init) EncodeInit = nullptr;
  decltype(&MFXVideoENCODE_Reset) EncodeReset = nullptr;
  decltype(&MFXVideoENCODE_Close) EncodeClose = nullptr;
  decltype(&MFXVideoENCODE_GetVideoParam) EncodeGetVideoParam = nullptr;
  decltype(&MFXVideoENCODE_GetEncodeStat) EncodeGetStat = nullptr;
  decltype(&MFXVideoENCODE_EncodeFrameAsync) EncodeFrameAsync = nullptr;
  decltype(&MFXVideoUSER_Load) UserLoad = nullptr;
  decltype(&MFXVideoUSER_UnLoad) UserUnload = nullptr;
};

// The functions of the dispatcher at `path` (a file name such as "libmfx.so.1" or a path). The
// library is loaded on first use and stays loaded for the life of the process. Null when it
// cannot be loaded or lacks any of the functions.
const DispatcherFunctions* LoadDispatcher(const std::string& path);

}  // namespace moraine::mediasdk
