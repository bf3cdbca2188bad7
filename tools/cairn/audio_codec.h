#pragma once

// The audio codecs a codec descriptor's audio codec selector can name.

#include <optional>
#include <string_view>

namespace moraine::cairn {

enum class AudioCodec { kG711MuLaw, kG711ALaw, kG726, kAacLc, kG722 };

// The codec of a selector; nullopt for a selector the codec table never yields.
std::optional<AudioCodec> AudioCodecOfSelector(int selector);

// Short human-readable name, e.g. "G.711 mu-law".
std::string_view AudioCodecName(AudioCodec codec);

}  // namespace moraine::cairn
