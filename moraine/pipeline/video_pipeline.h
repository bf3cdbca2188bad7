#pragma once

// The video path of a conversion through the modules: decoder Tarn turns access units into NV12
// pictures, encoder Fell turns the pictures into H.264 access units. Both run as instance 0.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "moraine/pipeline/media_modules.h"

namespace moraine {

// A picture handed over by the decoder: NV12 without row padding. The block was allocated by the
// module with new[] in the C++ runtime it shares with the program, so delete[] releases it.
struct DecodedPicture {
  std::unique_ptr<std::uint8_t[]> bytes;
  std::int32_t size = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
};

class VideoPipeline {
 public:
  // The entry points must stay valid while the pipeline is used.
  VideoPipeline(const TarnEntryPoints& tarn, const FellEntryPoints& fell);

  // Creates decoder and encoder for width × height pictures: TarnCreate with `decoder_header` (the
  // parameter sets in byte-stream form) and codec 13 (HEVC) or 1 (H.264), FellCreate at 25 pictures
  // a second and 10000 kbit/s, then feeds each of `parameter_sets` to the decoder. The modules'
  // results are not examined: a decoder that did not start only yields no pictures.
  void Start(bool hevc, std::int32_t width, std::int32_t height, std::span<const std::uint8_t> decoder_header,
             const std::vector<std::span<const std::uint8_t>>& parameter_sets);

  // Hands one access unit to the decoder; `counter` is passed on and not used by the module.
  void Decode(std::uint32_t counter, std::span<const std::uint8_t> access_unit);

  // The picture the decoder has ready, or nullopt.
  std::optional<DecodedPicture> TakePicture();

  // Encodes `picture` (nullopt for a mere collection of held-back output) and returns the H.264
  // access unit that came out, empty when none. The bytes belong to the encoder and stay valid
  // until the next Encode or Close.
  std::span<const std::uint8_t> Encode(const DecodedPicture* picture);

  // TarnClose and FellClose; a later Start begins afresh.
  void Close();

 private:
  TarnEntryPoints tarn_;
  FellEntryPoints fell_;
};

}  // namespace moraine
