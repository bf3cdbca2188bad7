#pragma once

// A session that decodes with libavcodec and encodes with libx264 on the CPU. Every operation
// finishes within its call; a sync point only records which surface stays locked until the caller
// synchronises it.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "mediasdk_runtime/session.h"
#include "mediasdk_runtime/software_decoder.h"
#include "mediasdk_runtime/software_encoder.h"

namespace moraine::mediasdk {

class SoftwareSession final : public Session {
 public:
  explicit SoftwareSession(bool external_threading) : external_threading_(external_threading) {}

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
  enum class Component { kDecoder, kEncoder };
  struct Task {
    mfxFrameSurface1* locked_surface = nullptr;  // unlocked by SyncOperation
    Component component = Component::kDecoder;
  };

  mfxSyncPoint AddTask(mfxFrameSurface1* locked_surface, Component component);
  void DropTasks(Component component);

  std::mutex mutex_;  // guards everything below
  const bool external_threading_;
  mfxPriority priority_ = MFX_PRIORITY_NORMAL;
  std::map<mfxHandleType, mfxHDL> handles_;
  std::vector<mfxPluginUID> plugins_;
  std::unique_ptr<SoftwareDecoder> decoder_;
  std::unique_ptr<SoftwareEncoder> encoder_;
  std::unordered_map<uintptr_t, Task> tasks_;
  uintptr_t next_task_ = 1;

  // Joining; guarded by one lock shared by all software sessions.
  SoftwareSession* parent_ = nullptr;
  int children_ = 0;
};

}  // namespace moraine::mediasdk
