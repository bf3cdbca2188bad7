#include "tests/brook/loaded_brook.h"

#include <dlfcn.h>

#include <cstdlib>
#include <cstring>
#include <thread>

#include "tests/support/run_command.h"

namespace brook::testing {
namespace {

constexpr std::size_t kSelectorOffset = 8;

test_allocator::Counts& MutableCounts() {
  static test_allocator::Counts counts;
  return counts;
}

}  // namespace

LoadedBrook::LoadedBrook() {
  module_ = dlopen(moraine::testing::BuiltFile("libBrook.so").c_str(), RTLD_NOW | RTLD_LOCAL);
  if (module_ == nullptr) {
    error_ = dlerror();
    return;
  }
  create_ = reinterpret_cast<BrookCreateDecoderFunction>(dlsym(module_, kBrookCreateDecoderName));
  destroy_ = reinterpret_cast<BrookDestroyDecoderFunction>(dlsym(module_, kBrookDestroyDecoderName));
  if (create_ == nullptr || destroy_ == nullptr) error_ = "an entry point is missing";
}

LoadedBrook::~LoadedBrook() {
  if (module_ != nullptr) dlclose(module_);
}

LoadedBrook::Decoder LoadedBrook::Create() const { return Decoder(create_(0), Destroyer{destroy_}); }

namespace test_allocator {

const Counts& counts() { return MutableCounts(); }

void Reset() { MutableCounts() = Counts{}; }

std::uint8_t* Allocate(std::int32_t size) {
  auto* buffer = static_cast<std::uint8_t*>(std::malloc(size > 0 ? static_cast<std::size_t>(size) : 1));
  MutableCounts().outstanding.insert(buffer);
  ++MutableCounts().allocated;
  return buffer;
}

void Release(std::uint8_t* buffer) {
  if (buffer == nullptr) return;
  if (MutableCounts().outstanding.erase(buffer) == 0) {
    ++MutableCounts().unexpected_releases;
    return;
  }
  ++MutableCounts().released;
  std::free(buffer);
}

std::uint8_t* Copy(const Bytes& bytes) {
  std::uint8_t* buffer = Allocate(static_cast<std::int32_t>(bytes.size()));
  if (!bytes.empty()) std::memcpy(buffer, bytes.data(), bytes.size());
  return buffer;
}

}  // namespace test_allocator

void OutputRecorder::Callback(void* context, const std::uint8_t* data, std::int32_t length, std::int32_t sample_rate,
                              std::int32_t channel_count, std::int32_t bits_per_sample, std::int64_t sample_position,
                              std::int64_t tag, std::int32_t kind) {
  auto* recorder = static_cast<OutputRecorder*>(context);
  OutputChunk chunk{tag, kind, sample_rate, channel_count, bits_per_sample, sample_position, {}, false};
  chunk.samples.resize(static_cast<std::size_t>(length) / sizeof(std::int16_t));
  std::memcpy(chunk.samples.data(), data, chunk.samples.size() * sizeof(std::int16_t));
  if (recorder->lock_to_probe != nullptr) {
    std::thread probe([&] {
      chunk.lock_held = !recorder->lock_to_probe->try_lock();
      if (!chunk.lock_held) recorder->lock_to_probe->unlock();
    });
    probe.join();
  }
  recorder->chunks.push_back(std::move(chunk));
}

std::vector<std::int16_t> OutputRecorder::AllSamples() const {
  std::vector<std::int16_t> all;
  for (const OutputChunk& chunk : chunks) all.insert(all.end(), chunk.samples.begin(), chunk.samples.end());
  return all;
}

void ConfigureAsProgram(BrookDecoder* decoder, std::int32_t selector, std::int32_t rate_value,
                        OutputRecorder* recorder, std::recursive_mutex* audio_lock) {
  std::memcpy(reinterpret_cast<unsigned char*>(decoder) + kSelectorOffset, &selector, sizeof(selector));
  OperationAt<void (*)(BrookDecoder*, std::int32_t)>(decoder, 3)(decoder, rate_value);
  OperationAt<void (*)(BrookDecoder*, BrookAllocateFunction, BrookReleaseFunction)>(decoder, 9)(
      decoder, test_allocator::Allocate, test_allocator::Release);
  OperationAt<void (*)(BrookDecoder*, std::recursive_mutex*)>(decoder, 8)(decoder, audio_lock);
  OperationAt<void (*)(BrookDecoder*, BrookOutputCallback, void*, std::int32_t)>(decoder, 7)(
      decoder, OutputRecorder::Callback, recorder, 0);
}

void DecodeRecord(BrookDecoder* decoder, const Bytes& record, std::int64_t sequence_number) {
  OperationAt<void (*)(BrookDecoder*, std::uint8_t*, std::int32_t, std::int64_t)>(decoder, 6)(
      decoder, test_allocator::Copy(record), static_cast<std::int32_t>(record.size()), sequence_number);
}

void FinishAsProgram(BrookDecoder* decoder) { OperationAt<void (*)(BrookDecoder*)>(decoder, 4)(decoder); }

}  // namespace brook::testing
