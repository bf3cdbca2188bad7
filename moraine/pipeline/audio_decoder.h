#pragma once

// The conversion's audio decoder: one object of the Brook module, created once per run, fed one
// compressed audio frame per audio record and destroyed at the end of the run.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "moraine/pipeline/media_modules.h"
#include "moraine/recording/codec_table.h"
#include "platform/critical_section.h"

namespace moraine {

class AudioDecoder {
 public:
  // CreateDecoder(0) of the bound module; nullptr when the module gives no object. The module must
  // stay loaded while the result exists.
  static std::unique_ptr<AudioDecoder> Create(const BrookEntryPoints& entry_points);

  // Destroys the object through DestroyDecoder when the module offers it.
  ~AudioDecoder();
  AudioDecoder(const AudioDecoder&) = delete;
  AudioDecoder& operator=(const AudioDecoder&) = delete;

  // Writes the codec selector and hands over the rate value, the output sample rate (the codec
  // table's, whatever the coded audio says), the program's allocator, the audio lock (which must
  // outlive this object) and the output callback with its context, in that order.
  void Configure(const CodecSettings& codec, platform::CriticalSection& audio_lock, BrookOutputCallback callback,
                 void* context);

  // Copies one compressed frame into a buffer of the program's allocator and passes it, with its
  // sequence number, to the decoder, which owns the buffer from then on.
  void Decode(const std::uint8_t* frame, std::size_t size, std::int64_t sequence);

  // Delivers what the decoder still holds through the callback.
  void Finish();

 private:
  AudioDecoder(BrookDecoder* decoder, BrookDestroyDecoderFunction destroy);

  BrookDecoder* decoder_;
  BrookDestroyDecoderFunction destroy_;
};

}  // namespace moraine
