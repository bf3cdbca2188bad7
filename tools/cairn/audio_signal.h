#pragma once

// The sound of a synthetic recording: a tone or noise, 16-bit mono.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace moraine::cairn {

enum class AudioSignal { kTone, kNoise };

// `sample_count` samples at `sample_rate`; the noise (and the tone's pitch) follow the seed.
std::vector<std::int16_t> SynthesizeAudio(AudioSignal signal, int sample_rate, std::size_t sample_count,
                                          std::uint32_t seed);

}  // namespace moraine::cairn
