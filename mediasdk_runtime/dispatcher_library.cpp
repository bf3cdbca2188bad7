#include "mediasdk_runtime/dispatcher_library.h"

#include <dlfcn.h>

#include <map>
#include <memory>
#include <mutex>

namespace moraine::mediasdk {
namespace {

template <typename Function>
bool Resolve(void* library, const char* name, const char* version, Function& function) {
  function = reinterpret_cast<Function>(dlvsym(library, name, version));
  return function != nullptr;
}

std::unique_ptr<DispatcherFunctions> ResolveAll(void* library) {
  auto f = std::make_unique<DispatcherFunctions>();
  const char* v10 = "LIBMFX_1.0";
  const bool complete =
      Resolve(library, "MFXInitEx", "LIBMFX_1.14", f->InitEx) &&
      Resolve(library, "MFXClose", v10, f->Close) &&
      Resolve(library, "MFXQueryIMPL", v10, f->QueryIMPL) &&
      Resolve(library, "MFXQueryVersion", v10, f->QueryVersion) &&
      Resolve(library, "MFXJoinSession", v10, f->JoinSession) &&
      Resolve(library, "MFXDisjoinSession", v10, f->DisjoinSession) &&
      Resolve(library, "MFXCloneSession", v10, f->CloneSession) &&
      Resolve(library, "MFXSetPriority", v10, f->SetPriority) &&
      Resolve(library, "MFXGetPriority", v10, f->GetPriority) &&
      Resolve(library, "MFXDoWork", "LIBMFX_1.14", f->DoWork) &&
      Resolve(library, "MFXVideoCORE_SetBufferAllocator", v10, f->SetBufferAllocator) &&
      Resolve(library, "MFXVideoCORE_SetFrameAllocator", v10, f->SetFrameAllocator) &&
      Resolve(library, "MFXVideoCORE_SetHandle", v10, f->SetHandle) &&
      Resolve(library, "MFXVideoCORE_GetHandle", v10, f->GetHandle) &&
      Resolve(library, "MFXVideoCORE_QueryPlatform", "LIBMFX_1.19", f->QueryPlatform) &&
      Resolve(library, "MFXVideoCORE_SyncOperation", v10, f->SyncOperation) &&
      Resolve(library, "MFXVideoDECODE_Query", v10, f->DecodeQuery) &&
      Resolve(library, "MFXVideoDECODE_DecodeHeader", v10, f->DecodeHeader) &&
      Resolve(library, "MFXVideoDECODE_QueryIOSurf", v10, f->DecodeQueryIOSurf) &&
      Resolve(library, "MFXVideoDECODE_Init", v10, f->DecodeInit) &&
      Resolve(library, "MFXVideoDECODE_Reset", v10, f->DecodeReset) &&
      Resolve(library, "MFXVideoDECODE_Close", v10, f->DecodeClose) &&
      Resolve(library, "MFXVideoDECODE_GetVideoParam", v10, f->DecodeGetVideoParam) &&
      Resolve(library, "MFXVideoDECODE_GetDecodeStat", v10, f->DecodeGetStat) &&
      Resolve(library, "MFXVideoDECODE_GetPayload", v10, f->DecodeGetPayload) &&
      Resolve(library, "MFXVideoDECODE_SetSkipMode", v10, f->DecodeSetSkipMode) &&
      Resolve(library, "MFXVideoDECODE_DecodeFrameAsync", v10, f->DecodeFrameAsync) &&
      Resolve(library, "MFXVideoENCODE_Query", v10, f->EncodeQuery) &&
      Resolve(library, "MFXVideoENCODE_QueryIOSurf", v10, f->EncodeQueryIOSurf) &&
      Resolve(library, "MFXVideoENCODE_Init", v10, f->EncodeInit) &&
      Resolve(library, "MFXVideoENCODE_Reset", v10, f->EncodeReset) &&
      Resolve(library, "MFXVideoENCODE_Close", v10, f->EncodeClose) &&
      Resolve(library, "MFXVideoENCODE_GetVideoParam", v10, f->EncodeGetVideoParam) &&
      Resolve(library, "MFXVideoENCODE_GetEncodeStat", v10, f->EncodeGetStat) &&
      Resolve(library, "MFXVideoENCODE_EncodeFrameAsync", v10, f->EncodeFrameAsync) &&
      Resolve(library, "MFXVideoUSER_Load", "LIBMFX_1.8", f->UserLoad) &&
      Resolve(library, "MFXVideoUSER_UnLoad", "LIBMFX_1.8", f->UserUnload);
  return complete ? std::move(f) : nullptr;
}

}  // namespace

const DispatcherFunctions* LoadDispatcher(const std::string& path) {
  static std::mutex lock;
  // Loaded libraries are never closed: sessions and sync points may refer into them until exit.
  static std::map<std::string, std::unique_ptr<DispatcherFunctions>> loaded;
  const std::lock_guard guard(lock);
  if (const auto found = loaded.find(path); found != loaded.end()) return found->second.get();
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return nullptr;
  std::unique_ptr<DispatcherFunctions> functions = ResolveAll(library);
  if (!functions) {
    dlclose(library);
    return nullptr;
  }
  return loaded.emplace(path, std::move(functions)).first->second.get();
}

}  // namespace moraine::mediasdk
