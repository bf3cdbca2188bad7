#include "tools/cairn/audio_signal.h"

#include <cmath>
#include <numbers>
#include <random>

namespace moraine::cairn {

std::vector<std::int16_t> SynthesizeAudio(AudioSignal signal, int sample_rate, std::size_t sample_count,
                                          std::uint32_t seed) {
  std::vector<std::int16_t> samples(sample_count);
  std::mt19937 generator(seed);
  if (signal == AudioSignal::kNoise) {
    // Raw generator output keeps the noise identical across standard libraries.
    for (std::int16_t& sample : samples) {
      sample = static_cast<std::int16_t>(static_cast<std::int32_t>(generator() >> 16) - 32768) / 4;
    }
    return samples;
  }
  // A tone between 300 and 800 Hz that swells once a second, like a distant siren.
  const double frequency = 300 + static_cast<double>(generator() % 500);
  for (std::size_t i = 0; i < sample_count; ++i) {
    const double seconds = static_cast<double>(i) / sample_rate;
    const double envelope = 0.55 + 0.45 * std::sin(2 * std::numbers::pi * seconds);
    samples[i] = static_cast<std::int16_t>(std::lround(9000 * envelope * std::sin(2 * std::numbers::pi * frequency * seconds)));
  }
  return samples;
}

}  // namespace moraine::cairn
