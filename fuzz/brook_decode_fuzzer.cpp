// Arbitrary bytes as compressed audio frames through the audio decoder module's decode operation.
// Input: byte 0 chooses the codec selector, byte 1 the rate value, byte 2 the output sample rate;
// then frames, each a 16-bit little-endian length followed by that many bytes (the last one takes
// what is left).

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "brook/audio_decoder.h"

namespace {

constexpr std::int32_t kSelectors[] = {3, 4, 5, 6, 9, 10, 11, 12, 0, 7};
constexpr std::int32_t kRateValues[] = {16000, 24000, 32000, 40000, 64000, 8000};
constexpr std::int32_t kOutputRates[] = {0, 8000, 16000, 44100};

std::uint8_t* Allocate(std::int32_t size) { return static_cast<std::uint8_t*>(std::malloc(size > 0 ? size : 1)); }

void Release(std::uint8_t* buffer) { std::free(buffer); }

void CheckOutput(void*, const std::uint8_t* data, std::int32_t length, std::int32_t sample_rate,
                 std::int32_t channel_count, std::int32_t bits_per_sample, std::int64_t, std::int64_t,
                 std::int32_t kind) {
  if (kind != kBrookOutputKindPcm || length <= 0 || length % 2 != 0 || sample_rate <= 0 || channel_count != 1 ||
      bits_per_sample != 16) {
    std::abort();
  }
  // Reads every byte, so that the sanitizer sees a bad span.
  volatile std::uint8_t sum = 0;
  for (std::int32_t i = 0; i < length; ++i) sum = static_cast<std::uint8_t>(sum + data[i]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  BrookDecoder* decoder = CreateDecoder(0);
  if (decoder == nullptr) return 0;
  const BrookDecoderOperations& operations = *decoder->operations;
  std::recursive_mutex audio_lock;

  decoder->codec_selector = kSelectors[data[0] % std::size(kSelectors)];
  operations.set_rate(decoder, kRateValues[data[1] % std::size(kRateValues)]);
  operations.set_allocator(decoder, Allocate, Release);
  operations.set_lock(decoder, &audio_lock);
  operations.set_output_callback(decoder, CheckOutput, nullptr, 0);
  operations.set_output_sample_rate(decoder, kOutputRates[data[2] % std::size(kOutputRates)]);

  std::size_t offset = 3;
  std::int64_t sequence = 0;
  while (size - offset >= 2) {
    const std::size_t wanted = data[offset] | (static_cast<std::size_t>(data[offset + 1]) << 8);
    offset += 2;
    const std::size_t length = wanted <= size - offset ? wanted : size - offset;
    std::uint8_t* frame = Allocate(static_cast<std::int32_t>(length));
    if (length > 0) std::memcpy(frame, data + offset, length);
    operations.decode(decoder, frame, static_cast<std::int32_t>(length), sequence++);
    offset += length;
  }
  operations.finish(decoder);
  DestroyDecoder(decoder);
  return 0;
}
