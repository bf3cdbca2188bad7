#include "tools/cairn/audio_codec.h"

namespace moraine::cairn {

std::optional<AudioCodec> AudioCodecOfSelector(int selector) {
  switch (selector) {
    case 5: case 6: case 12: return AudioCodec::kG711MuLaw;
    case 9: case 11: return AudioCodec::kG711ALaw;
    case 10: return AudioCodec::kG726;
    case 4: return AudioCodec::kAacLc;
    case 3: return AudioCodec::kG722;
    default: return std::nullopt;
  }
}

std::string_view AudioCodecName(AudioCodec codec) {
  switch (codec) {
    case AudioCodec::kG711MuLaw: return "G.711 mu-law";
    case AudioCodec::kG711ALaw: return "G.711 A-law";
    case AudioCodec::kG726: return "G.726";
    case AudioCodec::kAacLc: return "AAC-LC";
    case AudioCodec::kG722: return "G.722";
  }
  return "unknown";
}

}  // namespace moraine::cairn
