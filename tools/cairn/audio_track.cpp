#include "tools/cairn/audio_track.h"

#include <algorithm>

#include "moraine/recording/codec_table.h"
#include "tools/cairn/adts_header.h"
#include "tools/cairn/audio_encoder.h"

namespace moraine::cairn {
namespace {

constexpr int kAacFrameSamples = 1024;

// Coded bits per input sample of the sample-stream codecs.
int BitsPerSample(AudioCodec codec, int rate_value, int sample_rate) {
  switch (codec) {
    case AudioCodec::kG726: return std::clamp(rate_value / sample_rate, 2, 5);
    case AudioCodec::kG722: return 4;  // 8 bits for every two 16 kHz samples
    default: return 8;
  }
}

// A continuous stream cut into equal frames: the codec's state runs on across frame boundaries,
// as it does in a recorder.
std::vector<AudioFrame> CutStream(const std::vector<AudioPacket>& packets, int frame_samples, std::size_t frame_bytes,
                                  std::size_t frame_count) {
  std::vector<std::uint8_t> stream;
  for (const AudioPacket& packet : packets) stream.insert(stream.end(), packet.begin(), packet.end());
  std::vector<AudioFrame> frames;
  for (std::size_t i = 0; i < frame_count && (i + 1) * frame_bytes <= stream.size(); ++i) {
    const auto begin = stream.begin() + static_cast<std::ptrdiff_t>(i * frame_bytes);
    frames.push_back({static_cast<std::int64_t>(i) * frame_samples,
                      std::vector<std::uint8_t>(begin, begin + static_cast<std::ptrdiff_t>(frame_bytes))});
  }
  return frames;
}

std::optional<std::vector<AudioFrame>> WrapAdts(const std::vector<AudioPacket>& packets, int sample_rate,
                                                std::size_t frame_count, std::string& error) {
  std::vector<AudioFrame> frames;
  for (std::size_t i = 0; i < frame_count && i < packets.size(); ++i) {
    const auto header = MakeAdtsHeader(sample_rate, packets[i].size());
    if (!header) {
      error = "AAC frame does not fit an ADTS header";
      return std::nullopt;
    }
    AudioFrame frame{static_cast<std::int64_t>(i) * kAacFrameSamples, {header->begin(), header->end()}};
    frame.payload.insert(frame.payload.end(), packets[i].begin(), packets[i].end());
    frames.push_back(std::move(frame));
  }
  return frames;
}

}  // namespace

std::optional<AudioTrack> MakeAudioTrack(const AudioTrackSettings& settings, std::string& error) {
  const CodecSettings choice = LookUpCodec(settings.codec_number);
  const std::optional<AudioCodec> codec = AudioCodecOfSelector(choice.audio_codec_selector);
  if (!codec) {
    error = "codec number " + std::to_string(settings.codec_number) + " selects no known audio codec";
    return std::nullopt;
  }
  AudioTrack track;
  track.codec = *codec;
  track.sample_rate = choice.audio_sample_rate;
  if (*codec == AudioCodec::kAacLc && settings.aac_rate != 0) track.sample_rate = settings.aac_rate;
  const std::int64_t sample_count = std::max<std::int64_t>(0, settings.duration_ms) * track.sample_rate / 1000;
  std::vector<std::int16_t> samples =
      SynthesizeAudio(settings.signal, track.sample_rate, static_cast<std::size_t>(sample_count), settings.seed);
  const auto silent = static_cast<std::size_t>(
      std::clamp<std::int64_t>(settings.onset_ms * track.sample_rate / 1000, 0, sample_count));
  std::fill_n(samples.begin(), silent, std::int16_t{0});
  const auto packets = EncodeAudio(*codec, track.sample_rate, choice.audio_rate_value, samples, error);
  if (!packets) return std::nullopt;

  if (*codec == AudioCodec::kAacLc) {
    auto frames = WrapAdts(*packets, track.sample_rate, static_cast<std::size_t>(sample_count / kAacFrameSamples), error);
    if (!frames) return std::nullopt;
    track.frames = std::move(*frames);
  } else {
    const int frame_samples = static_cast<int>(std::int64_t{track.sample_rate} * settings.record_ms / 1000);
    const std::size_t frame_bytes = static_cast<std::size_t>(
        frame_samples * BitsPerSample(*codec, choice.audio_rate_value, track.sample_rate) / 8);
    track.frames = CutStream(*packets, frame_samples, frame_bytes, static_cast<std::size_t>(sample_count / frame_samples));
  }
  return track;
}

}  // namespace moraine::cairn
