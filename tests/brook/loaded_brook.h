#pragma once

// The built audio decoder module, loaded with dlopen the way the program loads it, with a test
// allocator that counts the buffers coming back and a callback that records what comes out.

#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "brook/audio_decoder.h"
#include "tests/brook/test_tone.h"

namespace brook::testing {

class LoadedBrook {
 public:
  LoadedBrook();
  ~LoadedBrook();
  LoadedBrook(const LoadedBrook&) = delete;
  LoadedBrook& operator=(const LoadedBrook&) = delete;

  // Empty when the module and both entry points were found; dlerror's text otherwise.
  const std::string& error() const { return error_; }

  struct Destroyer {
    BrookDestroyDecoderFunction destroy = nullptr;
    void operator()(BrookDecoder* decoder) const { destroy(decoder); }
  };
  using Decoder = std::unique_ptr<BrookDecoder, Destroyer>;
  Decoder Create() const;

 private:
  void* module_ = nullptr;
  BrookCreateDecoderFunction create_ = nullptr;
  BrookDestroyDecoderFunction destroy_ = nullptr;
  std::string error_;
};

// The allocator pair handed to the module. Buffers come from malloc and are tracked until released.
namespace test_allocator {
struct Counts {
  std::set<std::uint8_t*> outstanding;
  int allocated = 0;
  int released = 0;
  int unexpected_releases = 0;  // of buffers that were not outstanding: double or foreign releases
};
const Counts& counts();
void Reset();
std::uint8_t* Allocate(std::int32_t size);
void Release(std::uint8_t* buffer);
// A tracked buffer holding a copy of `bytes` (at least one byte is allocated).
std::uint8_t* Copy(const Bytes& bytes);
}  // namespace test_allocator

struct OutputChunk {
  std::int64_t tag = 0;
  std::int32_t kind = 0;
  std::int32_t sample_rate = 0;
  std::int32_t channel_count = 0;
  std::int32_t bits_per_sample = 0;
  std::int64_t sample_position = 0;
  std::vector<std::int16_t> samples;
  bool lock_held = false;  // another thread could not take the probed lock during the call
};

struct OutputRecorder {
  static void Callback(void* context, const std::uint8_t* data, std::int32_t length, std::int32_t sample_rate,
                       std::int32_t channel_count, std::int32_t bits_per_sample, std::int64_t sample_position,
                       std::int64_t tag, std::int32_t kind);
  std::vector<std::int16_t> AllSamples() const;

  std::recursive_mutex* lock_to_probe = nullptr;
  std::vector<OutputChunk> chunks;
};

// Reads the operation at `position` of the object's table, as a program that knows only positions.
template <typename Function>
Function OperationAt(BrookDecoder* decoder, int position) {
  Function function = nullptr;
  const auto* table = reinterpret_cast<const unsigned char*>(decoder->operations);
  std::memcpy(&function, table + position * sizeof(Function), sizeof(Function));
  return function;
}

// Configures `decoder` the way the program does, through the raw object layout: the selector
// written at offset 8, then the operations at positions 3, 9, 8 and 7.
void ConfigureAsProgram(BrookDecoder* decoder, std::int32_t selector, std::int32_t rate_value,
                        OutputRecorder* recorder, std::recursive_mutex* audio_lock);
// Copies `record` into a tracked buffer and hands it to the decode operation at position 6.
void DecodeRecord(BrookDecoder* decoder, const Bytes& record, std::int64_t sequence_number);
// Calls the finish operation at position 4.
void FinishAsProgram(BrookDecoder* decoder);

}  // namespace brook::testing
