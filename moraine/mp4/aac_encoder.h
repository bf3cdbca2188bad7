#pragma once

// AAC-LC encoder for 16-bit mono PCM: raw access units (no ADTS framing), one per 1024 input
// samples, and the 2-byte AudioSpecificConfig that describes them.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

namespace moraine {

class AacEncoder {
 public:
  static constexpr int kFrameSamples = 1024;
  static constexpr int kBitRate = 64000;

  // A mono encoder at `sample_rate` Hz; nullptr when the encoder cannot be opened.
  static std::unique_ptr<AacEncoder> Open(int sample_rate);
  ~AacEncoder();
  AacEncoder(const AacEncoder&) = delete;
  AacEncoder& operator=(const AacEncoder&) = delete;

  // Hands `count` samples (16-bit little-endian, `count` * 2 bytes) to the encoder as one frame:
  // exactly kFrameSamples, or fewer for the very last frame. False when the encoder refuses them.
  bool SendFrame(const std::uint8_t* pcm, int count);
  // Signals the end of the audio: the samples the encoder still holds come out as packets.
  bool SendEnd();
  // Takes the next finished access unit into `packet`: 1 when there was one, 0 when the encoder
  // needs more input or is drained, -1 on an encoder failure.
  int ReceivePacket(std::vector<std::uint8_t>& packet);

  int sample_rate() const;
  // Samples of start-up delay (priming) that the first access units decode to before the input
  // begins: one frame for this encoder.
  int delay_samples() const;
  // AudioSpecificConfig: object type, sampling frequency index, channel configuration.
  const std::array<std::uint8_t, 2>& audio_specific_config() const { return config_; }

 private:
  AacEncoder() = default;

  struct ContextDeleter {
    void operator()(AVCodecContext* context) const;
  };
  struct FrameDeleter {
    void operator()(AVFrame* frame) const;
  };
  struct PacketDeleter {
    void operator()(AVPacket* packet) const;
  };

  std::unique_ptr<AVCodecContext, ContextDeleter> context_;
  std::unique_ptr<AVFrame, FrameDeleter> frame_;
  std::unique_ptr<AVPacket, PacketDeleter> packet_;
  std::array<std::uint8_t, 2> config_{};
};

}  // namespace moraine
