#include "mediasdk_runtime/software_session.h"

#include <algorithm>
#include <cstring>

#include "mediasdk_runtime/decode_parameters.h"
#include "mediasdk_runtime/encode_parameters.h"

namespace moraine::mediasdk {
namespace {

// The API version this runtime implements.
constexpr mfxVersion kRuntimeVersion = {{MFX_VERSION_MINOR, MFX_VERSION_MAJOR}};

std::mutex& JoinLock() {
  static std::mutex lock;
  return lock;
}

// The HEVC decoder plug-ins (hardware and software); HEVC decoding is built in, so loading either
// only records it.
bool IsHevcDecoderPlugin(const mfxPluginUID& uid) {
  static constexpr mfxU8 kHardware[16] = {0x33, 0xa6, 0x1c, 0x0b, 0x4c, 0x27, 0x45, 0x4c,
                                          0xa8, 0xd8, 0x5d, 0xde, 0x75, 0x7c, 0x6f, 0x8e};
  static constexpr mfxU8 kSoftware[16] = {0x15, 0xdd, 0x93, 0x68, 0x25, 0xad, 0x47, 0x5e,
                                          0xa3, 0x4e, 0x35, 0xf3, 0xf5, 0x42, 0x17, 0xa6};
  return std::memcmp(uid.Data, kHardware, 16) == 0 || std::memcmp(uid.Data, kSoftware, 16) == 0;
}

bool SameUid(const mfxPluginUID& a, const mfxPluginUID& b) {
  return std::memcmp(a.Data, b.Data, sizeof(a.Data)) == 0;
}

bool BitstreamIsConsistent(const mfxBitstream& bitstream) {
  return bitstream.DataOffset <= bitstream.MaxLength &&
         bitstream.DataLength <= bitstream.MaxLength - bitstream.DataOffset;
}

// The caller's extension buffers survive a copy of our parameters into its record.
void CopyParametersKeepingExtensions(const mfxVideoParam& ours, mfxVideoParam& theirs) {
  const mfxU16 ext_count = theirs.NumExtParam;
  mfxExtBuffer** const ext = theirs.ExtParam;
  theirs = ours;
  theirs.NumExtParam = ext_count;
  theirs.ExtParam = ext;
}

}  // namespace

mfxStatus SoftwareSession::Close() {
  {
    const std::lock_guard join_lock(JoinLock());
    if (children_ > 0) return MFX_ERR_UNDEFINED_BEHAVIOR;
    if (parent_ != nullptr) {
      --parent_->children_;
      parent_ = nullptr;
    }
  }
  const std::lock_guard lock(mutex_);
  decoder_.reset();
  encoder_.reset();
  tasks_.clear();
  return MFX_ERR_NONE;
}

mfxStatus SoftwareSession::QueryImplementation(mfxIMPL& implementation) {
  implementation = MFX_IMPL_SOFTWARE;
  return MFX_ERR_NONE;
}

mfxStatus SoftwareSession::QueryVersion(mfxVersion& version) {
  version = kRuntimeVersion;
  return MFX_ERR_NONE;
}

mfxStatus SoftwareSession::Join(Session& child_session) {
  auto* child = dynamic_cast<SoftwareSession*>(&child_session);
  if (child == nullptr) return MFX_ERR_UNSUPPORTED;
  const std::lock_guard join_lock(JoinLock());
  if (child == this || child->parent_ != nullptr || child->children_ > 0 || parent_ != nullptr) {
    return MFX_ERR_UNDEFINED_BEHAVIOR;
  }
  child->parent_ = this;
  ++children_;
  return MFX_ERR_NONE;
}

mfxStatus SoftwareSession::Disjoin() {
  const std::lock_guard join_lock(JoinLock());
  if (parent_ == nullptr) return MFX_ERR_UNDEFINED_BEHAVIOR;
  --parent_->children_;
  parent_ = nullptr;
  return MFX_ERR_NONE;
}

mfxStatus SoftwareSession::Clone(std::shared_ptr<Session>& clone) {
  auto copy = std::make_shared<SoftwareSession>(external_threading_);
  if (const mfxStatus status = Join(*copy); status != MFX_ERR_NONE) return status;
  clone = std::move(copy);
  return MFX_ERR_NONE;
}

mfxStatus SoftwareSession::SetPriority(mfxPriority priority) {
  if (priority < MFX_PRIORITY_LOW || priority > MFX_PRIORITY_HIGH) return MFX_ERR_UNSUPPORTED;
  const std::lock_guard lock(mutex_);
  priority_ = priority;
  return MFX_ERR_NONE;
}

mfxStatus SoftwareSession::GetPriority(mfxPriority& priority) {
  const std::lock_guard lock(mutex_);
  priority = priority_;
  return MFX_ERR_NONE;
}

mfxStatus SoftwareSession::DoWork() {
  // Work runs inside each call, so a session with external threading never has any waiting.
  return external_threading_ ? MFX_ERR_NONE : MFX_ERR_UNSUPPORTED;
}

mfxStatus SoftwareSession::SetBufferAllocator(mfxBufferAllocator*) {
  // Nothing here allocates through the caller: surfaces and bitstreams are the caller's memory.
  return MFX_ERR_NONE;
}

mfxStatus SoftwareSession::SetFrameAllocator(mfxFrameAllocator*) {
  // Only system-memory surfaces are used, and those belong to the caller.
  return MFX_ERR_NONE;
}

mfxStatus SoftwareSession::SetHandle(mfxHandleType type, mfxHDL handle) {
  if (handle == nullptr) return MFX_ERR_NULL_PTR;
  const std::lock_guard lock(mutex_);
  if (!handles_.emplace(type, handle).second) return MFX_ERR_UNDEFINED_BEHAVIOR;
  return MFX_ERR_NONE;
}

mfxStatus SoftwareSession::GetHandle(mfxHandleType type, mfxHDL& handle) {
  const std::lock_guard lock(mutex_);
  const auto found = handles_.find(type);
  if (found == handles_.end()) return MFX_ERR_NOT_FOUND;
  handle = found->second;
  return MFX_ERR_NONE;
}

mfxStatus SoftwareSession::QueryPlatform(mfxPlatform& platform) {
  platform = mfxPlatform{};
  platform.CodeName = MFX_PLATFORM_UNKNOWN;
  platform.MediaAdapterType = MFX_MEDIA_UNKNOWN;
  return MFX_ERR_UNSUPPORTED;  // no graphics device behind a software session
}

mfxSyncPoint SoftwareSession::AddTask(mfxFrameSurface1* locked_surface, Component component) {
  const uintptr_t id = next_task_++;
  tasks_.emplace(id, Task{locked_surface, component});
  return reinterpret_cast<mfxSyncPoint>(id);
}

void SoftwareSession::DropTasks(Component component) {
  std::erase_if(tasks_, [component](const auto& entry) { return entry.second.component == component; });
}

mfxStatus SoftwareSession::SyncOperation(mfxSyncPoint sync_point, mfxU32) {
  const std::lock_guard lock(mutex_);
  const auto task = tasks_.find(reinterpret_cast<uintptr_t>(sync_point));
  if (task == tasks_.end()) return MFX_ERR_NOT_FOUND;
  mfxFrameSurface1* surface = task->second.locked_surface;
  if (surface != nullptr && surface->Data.Locked > 0) --surface->Data.Locked;
  tasks_.erase(task);
  return MFX_ERR_NONE;
}

mfxStatus SoftwareSession::DecodeQuery(mfxVideoParam* in, mfxVideoParam& out) {
  return QueryDecodeParameters(in, out);
}

mfxStatus SoftwareSession::DecodeHeader(mfxBitstream& bitstream, mfxVideoParam& par) {
  if (bitstream.Data == nullptr) return MFX_ERR_NULL_PTR;
  if (!BitstreamIsConsistent(bitstream)) return MFX_ERR_UNDEFINED_BEHAVIOR;
  return ReadStreamHeader(bitstream, par);
}

mfxStatus SoftwareSession::DecodeQueryIOSurf(mfxVideoParam& par, mfxFrameAllocRequest& request) {
  return QueryDecodeSurfaces(par, request);
}

mfxStatus SoftwareSession::DecodeInit(mfxVideoParam& par) {
  const std::lock_guard lock(mutex_);
  if (decoder_) return MFX_ERR_UNDEFINED_BEHAVIOR;
  if (const mfxStatus status = CheckDecodeInitParameters(par); status != MFX_ERR_NONE) {
    return status;
  }
  decoder_ = SoftwareDecoder::Open(par);
  return decoder_ ? MFX_ERR_NONE : MFX_ERR_UNSUPPORTED;
}

mfxStatus SoftwareSession::DecodeReset(mfxVideoParam& par) {
  const std::lock_guard lock(mutex_);
  if (!decoder_) return MFX_ERR_NOT_INITIALIZED;
  if (const mfxStatus status = CheckDecodeInitParameters(par); status != MFX_ERR_NONE) {
    return status;
  }
  return decoder_->Reset(par);
}

mfxStatus SoftwareSession::DecodeClose() {
  const std::lock_guard lock(mutex_);
  if (!decoder_) return MFX_ERR_NOT_INITIALIZED;
  decoder_.reset();
  // Surfaces of unsynchronised pictures may be gone with the decoder; they are not touched.
  DropTasks(Component::kDecoder);
  return MFX_ERR_NONE;
}

mfxStatus SoftwareSession::DecodeGetVideoParam(mfxVideoParam& par) {
  const std::lock_guard lock(mutex_);
  if (!decoder_) return MFX_ERR_NOT_INITIALIZED;
  CopyParametersKeepingExtensions(decoder_->parameters(), par);
  return MFX_ERR_NONE;
}

mfxStatus SoftwareSession::DecodeGetStat(mfxDecodeStat& statistics) {
  const std::lock_guard lock(mutex_);
  if (!decoder_) return MFX_ERR_NOT_INITIALIZED;
  statistics = decoder_->statistics();
  return MFX_ERR_NONE;
}

mfxStatus SoftwareSession::DecodeGetPayload(mfxU64& timestamp, mfxPayload& payload) {
  const std::lock_guard lock(mutex_);
  if (!decoder_) return MFX_ERR_NOT_INITIALIZED;
  // User data is not collected from the stream, so there is never a payload to hand out.
  timestamp = 0;
  payload.NumBit = 0;
  payload.Type = 0;
  return MFX_ERR_NONE;
}

mfxStatus SoftwareSession::DecodeSetSkipMode(mfxSkipMode mode) {
  const std::lock_guard lock(mutex_);
  if (!decoder_) return MFX_ERR_NOT_INITIALIZED;
  return decoder_->SetSkipMode(mode);
}

mfxStatus SoftwareSession::DecodeFrameAsync(mfxBitstream* bitstream, mfxFrameSurface1& work,
                                            mfxFrameSurface1*& out, mfxSyncPoint& sync_point) {
  out = nullptr;
  sync_point = nullptr;
  const std::lock_guard lock(mutex_);
  if (!decoder_) return MFX_ERR_NOT_INITIALIZED;
  if (bitstream != nullptr) {
    if (bitstream->Data == nullptr && bitstream->DataLength != 0) return MFX_ERR_NULL_PTR;
    if (!BitstreamIsConsistent(*bitstream)) return MFX_ERR_UNDEFINED_BEHAVIOR;
  }
  if (work.Data.Locked != 0) return MFX_ERR_MORE_SURFACE;
  const mfxStatus status = decoder_->DecodeFrame(bitstream, work);
  if (status != MFX_ERR_NONE) return status;
  ++work.Data.Locked;
  out = &work;
  sync_point = AddTask(&work, Component::kDecoder);
  return MFX_ERR_NONE;
}

mfxStatus SoftwareSession::EncodeQuery(mfxVideoParam* in, mfxVideoParam& out) {
  return QueryEncodeParameters(in, out);
}

mfxStatus SoftwareSession::EncodeQueryIOSurf(mfxVideoParam& par, mfxFrameAllocRequest& request) {
  return QueryEncodeSurfaces(par, request);
}

mfxStatus SoftwareSession::EncodeInit(mfxVideoParam& par) {
  const std::lock_guard lock(mutex_);
  if (encoder_) return MFX_ERR_UNDEFINED_BEHAVIOR;
  mfxVideoParam completed = par;
  const mfxStatus status = CompleteEncodeParameters(completed);
  if (status < MFX_ERR_NONE) return status;
  encoder_ = SoftwareEncoder::Open(completed);
  return encoder_ ? status : MFX_ERR_INVALID_VIDEO_PARAM;
}

mfxStatus SoftwareSession::EncodeReset(mfxVideoParam& par) {
  const std::lock_guard lock(mutex_);
  if (!encoder_) return MFX_ERR_NOT_INITIALIZED;
  mfxVideoParam completed = par;
  const mfxStatus status = CompleteEncodeParameters(completed);
  if (status < MFX_ERR_NONE) return status;
  const mfxFrameInfo& current = encoder_->parameters().mfx.FrameInfo;
  if (completed.mfx.FrameInfo.Width > current.Width ||
      completed.mfx.FrameInfo.Height > current.Height) {
    return MFX_ERR_INCOMPATIBLE_VIDEO_PARAM;
  }
  std::unique_ptr<SoftwareEncoder> reopened = SoftwareEncoder::Open(completed);
  if (!reopened) return MFX_ERR_INVALID_VIDEO_PARAM;
  encoder_ = std::move(reopened);
  return status;
}

mfxStatus SoftwareSession::EncodeClose() {
  const std::lock_guard lock(mutex_);
  if (!encoder_) return MFX_ERR_NOT_INITIALIZED;
  encoder_.reset();
  DropTasks(Component::kEncoder);
  return MFX_ERR_NONE;
}

mfxStatus SoftwareSession::EncodeGetVideoParam(mfxVideoParam& par) {
  const std::lock_guard lock(mutex_);
  if (!encoder_) return MFX_ERR_NOT_INITIALIZED;
  CopyParametersKeepingExtensions(encoder_->parameters(), par);
  return MFX_ERR_NONE;
}

mfxStatus SoftwareSession::EncodeGetStat(mfxEncodeStat& statistics) {
  const std::lock_guard lock(mutex_);
  if (!encoder_) return MFX_ERR_NOT_INITIALIZED;
  statistics = encoder_->statistics();
  return MFX_ERR_NONE;
}

mfxStatus SoftwareSession::EncodeFrameAsync(mfxEncodeCtrl* control, mfxFrameSurface1* surface,
                                            mfxBitstream& bitstream, mfxSyncPoint& sync_point) {
  sync_point = nullptr;
  const std::lock_guard lock(mutex_);
  if (!encoder_) return MFX_ERR_NOT_INITIALIZED;
  if (bitstream.Data == nullptr) return MFX_ERR_NULL_PTR;
  if (!BitstreamIsConsistent(bitstream)) return MFX_ERR_UNDEFINED_BEHAVIOR;
  // Nothing is held back between pictures, so a call without a picture has nothing to hand out.
  if (surface == nullptr) return MFX_ERR_MORE_DATA;
  const mfxU32 room = bitstream.MaxLength - bitstream.DataOffset - bitstream.DataLength;
  const RateControlValues rate = RateControlOf(encoder_->parameters());
  if (room < uint64_t{rate.buffer_kb} * 1000) return MFX_ERR_NOT_ENOUGH_BUFFER;
  const mfxStatus status = encoder_->EncodeFrame(control, *surface, bitstream);
  if (status != MFX_ERR_NONE) return status;
  ++surface->Data.Locked;
  sync_point = AddTask(surface, Component::kEncoder);
  return MFX_ERR_NONE;
}

mfxStatus SoftwareSession::LoadPlugin(const mfxPluginUID& uid, mfxU32) {
  if (!IsHevcDecoderPlugin(uid)) return MFX_ERR_NOT_FOUND;
  const std::lock_guard lock(mutex_);
  if (std::any_of(plugins_.begin(), plugins_.end(),
                  [&uid](const mfxPluginUID& loaded) { return SameUid(loaded, uid); })) {
    return MFX_ERR_UNDEFINED_BEHAVIOR;
  }
  plugins_.push_back(uid);
  return MFX_ERR_NONE;
}

mfxStatus SoftwareSession::UnloadPlugin(const mfxPluginUID& uid) {
  const std::lock_guard lock(mutex_);
  const auto loaded = std::find_if(plugins_.begin(), plugins_.end(),
                                   [&uid](const mfxPluginUID& p) { return SameUid(p, uid); });
  if (loaded == plugins_.end()) return MFX_ERR_NOT_FOUND;
  plugins_.erase(loaded);
  return MFX_ERR_NONE;
}

}  // namespace moraine::mediasdk
