#pragma once

// The one interface of the audio decoder module (libBrook.so), shared by the module and by the
// program that loads it at run time.
//
// CreateDecoder hands out a plain C structure: a pointer to a table of operations, directly followed
// by the 32-bit audio codec selector, which the caller writes itself. Every operation takes the
// object as its first argument; the table's layout is fixed below position by position, so nothing
// relies on a C++ compiler's virtual-table layout.
//
// The caller configures an object in this order: write codec_selector, set_rate, set_allocator,
// set_lock, set_output_callback. It then calls decode once per compressed audio frame, finish once
// at the end, and DestroyDecoder. Decode works synchronously: the decoded sound comes back through
// the output callback before decode returns. The operations of one object must not be called from
// several threads at once; the audio lock only guards the callback against other users of the lock.
//
// The selector table, the output format and the module's choices are described in brook/README.md.

#include <cstddef>
#include <cstdint>
#include <mutex>

#define BROOK_EXPORT __attribute__((visibility("default")))

extern "C" {

struct BrookDecoder;

// The kind argument of the output callback for decoded sound; no other kind is produced.
inline constexpr std::int32_t kBrookOutputKindPcm = 4;

// Called with decoded sound, while the module holds the audio lock (when one was set).
//   context:          the pointer given to set_output_callback.
//   data, length:     `length` bytes of signed 16-bit native-endian mono samples; the memory is
//                     the module's and is valid only during the call.
//   sample_rate:      samples per second of `data`.
//   channel_count:    always 1.
//   bits_per_sample:  always 16.
//   sample_position:  number of samples delivered by this object before this chunk.
//   tag:              the sequence number of the decode call whose frame produced the samples.
//   kind:             kBrookOutputKindPcm.
using BrookOutputCallback = void (*)(void* context, const std::uint8_t* data, std::int32_t length,
                                     std::int32_t sample_rate, std::int32_t channel_count,
                                     std::int32_t bits_per_sample, std::int64_t sample_position,
                                     std::int64_t tag, std::int32_t kind);

// The caller's allocator pair: allocate returns a buffer of `size` bytes; release gives one back
// and ignores a null buffer. Buffers handed to decode come from allocate.
using BrookAllocateFunction = std::uint8_t* (*)(std::int32_t size);
using BrookReleaseFunction = void (*)(std::uint8_t* buffer);

// The table of operations, in positions 0 to 9.
struct BrookDecoderOperations {
  // 0: version of this interface (kBrookInterfaceVersion).
  std::int32_t (*get_interface_version)(BrookDecoder* decoder);
  // 1: number of frames that were rejected as corrupt and produced no sound.
  std::int64_t (*get_rejected_frame_count)(BrookDecoder* decoder);
  // 2: number of samples delivered through the output callback so far.
  std::int64_t (*get_delivered_sample_count)(BrookDecoder* decoder);
  // 3: the audio rate value that goes with the codec selector (bit rate of the coded audio).
  //    The first call, after the selector was written, configures the object; the codec opens
  //    at the next decode, reading selector and rate value then. Calls after that open change
  //    nothing.
  void (*set_rate)(BrookDecoder* decoder, std::int32_t rate_value);
  // 4: delivers what the codec still holds, then turns every later decode into a mere release.
  void (*finish)(BrookDecoder* decoder);
  // 5: sample rate of the delivered sound; 0 (the default) keeps the codec's own rate. Values
  //    below 0 or above 384000 are ignored.
  void (*set_output_sample_rate)(BrookDecoder* decoder, std::int32_t sample_rate);
  // 6: decodes one compressed frame. The buffer belongs to the module from this call on and goes
  //    back through the release function, whatever happens to the frame. Sound produced by it is
  //    tagged with sequence_number.
  void (*decode)(BrookDecoder* decoder, std::uint8_t* buffer, std::int32_t length,
                 std::int64_t sequence_number);
  // 7: where decoded sound goes; `reserved` is 0. Without a callback, sound is dropped.
  void (*set_output_callback)(BrookDecoder* decoder, BrookOutputCallback callback, void* context,
                              std::int32_t reserved);
  // 8: the audio lock, held during every output callback. It must outlive the object, or be
  //    replaced first; null means no lock. A recursive mutex, so a callback may take it again.
  void (*set_lock)(BrookDecoder* decoder, std::recursive_mutex* audio_lock);
  // 9: the caller's allocator pair (see BrookAllocateFunction). Buffers that decode received before
  //    this call are kept and released through `release` now. A null release function is ignored.
  //    A decoder destroyed without ever having received a release function gives its kept buffers
  //    back with std::free.
  void (*set_allocator)(BrookDecoder* decoder, BrookAllocateFunction allocate,
                        BrookReleaseFunction release);
};

// The object that CreateDecoder returns. Only these two fields are the caller's business; the
// module keeps more behind them.
struct BrookDecoder {
  const BrookDecoderOperations* operations;
  std::int32_t codec_selector;  // 0 until the caller writes it
};

inline constexpr std::int32_t kBrookInterfaceVersion = 1;

// Exported entry points, looked up by these names.
inline constexpr char kBrookCreateDecoderName[] = "CreateDecoder";
inline constexpr char kBrookDestroyDecoderName[] = "DestroyDecoder";

// Returns a new, unconfigured decoder object (`reserved` is 0), or null when memory runs out.
BROOK_EXPORT BrookDecoder* CreateDecoder(std::int32_t reserved);
// Destroys an object made by CreateDecoder, without delivering anything; null is ignored.
BROOK_EXPORT void DestroyDecoder(BrookDecoder* decoder);

using BrookCreateDecoderFunction = BrookDecoder* (*)(std::int32_t reserved);
using BrookDestroyDecoderFunction = void (*)(BrookDecoder* decoder);

}  // extern "C"

static_assert(offsetof(BrookDecoder, operations) == 0);
static_assert(offsetof(BrookDecoder, codec_selector) == sizeof(void*));
static_assert(offsetof(BrookDecoderOperations, set_rate) == 3 * sizeof(void*));
static_assert(offsetof(BrookDecoderOperations, finish) == 4 * sizeof(void*));
static_assert(offsetof(BrookDecoderOperations, decode) == 6 * sizeof(void*));
static_assert(offsetof(BrookDecoderOperations, set_output_callback) == 7 * sizeof(void*));
static_assert(offsetof(BrookDecoderOperations, set_lock) == 8 * sizeof(void*));
static_assert(offsetof(BrookDecoderOperations, set_allocator) == 9 * sizeof(void*));
static_assert(sizeof(BrookDecoderOperations) == 10 * sizeof(void*));
