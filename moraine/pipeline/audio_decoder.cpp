#include "moraine/pipeline/audio_decoder.h"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace moraine {
namespace {

// The allocator pair handed to the decoder. It is the C heap, the one the module falls back to for
// buffers it received before it was given an allocator (frames that precede the codec descriptor).
std::uint8_t* AllocateAudioBuffer(std::int32_t size) {
  if (size < 0) return nullptr;
  return static_cast<std::uint8_t*>(std::malloc(size > 0 ? static_cast<std::size_t>(size) : 1));
}

void ReleaseAudioBuffer(std::uint8_t* buffer) { std::free(buffer); }

}  // namespace

std::unique_ptr<AudioDecoder> AudioDecoder::Create(const BrookEntryPoints& entry_points) {
  BrookDecoder* decoder = entry_points.create_decoder(0);
  if (decoder == nullptr) return nullptr;
  return std::unique_ptr<AudioDecoder>(new AudioDecoder(decoder, entry_points.destroy_decoder));
}

AudioDecoder::AudioDecoder(BrookDecoder* decoder, BrookDestroyDecoderFunction destroy)
    : decoder_(decoder), destroy_(destroy) {}

AudioDecoder::~AudioDecoder() {
  if (destroy_ != nullptr) destroy_(decoder_);
}

void AudioDecoder::Configure(const CodecSettings& codec, platform::CriticalSection& audio_lock,
                             BrookOutputCallback callback, void* context) {
  decoder_->codec_selector = codec.audio_codec_selector;
  decoder_->operations->set_rate(decoder_, codec.audio_rate_value);
  // AAC carries its own rate, which need not be the one the codec table promises and the audio
  // track declares; the module resamples to the table's.
  decoder_->operations->set_output_sample_rate(decoder_, codec.audio_sample_rate);
  decoder_->operations->set_allocator(decoder_, AllocateAudioBuffer, ReleaseAudioBuffer);
  decoder_->operations->set_lock(decoder_, &audio_lock);
  decoder_->operations->set_output_callback(decoder_, callback, context, 0);
}

void AudioDecoder::Decode(const std::uint8_t* frame, std::size_t size, std::int64_t sequence) {
  // Record payloads are at most 24 bits long; anything larger cannot come from a recording.
  if (size > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) return;
  const auto length = static_cast<std::int32_t>(size);
  std::uint8_t* buffer = AllocateAudioBuffer(length);
  if (buffer == nullptr) return;
  std::memcpy(buffer, frame, size);
  decoder_->operations->decode(decoder_, buffer, length, sequence);
}

void AudioDecoder::Finish() { decoder_->operations->finish(decoder_); }

}  // namespace moraine
