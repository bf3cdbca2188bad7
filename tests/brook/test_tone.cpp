#include "tests/brook/test_tone.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <stdexcept>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
}

namespace brook::testing {
namespace {

struct ContextDeleter {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameDeleter {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketDeleter {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};

// The encoders' closing statistics are not wanted in test output.
constexpr int kQuietLogLevelOffset = AV_LOG_VERBOSE - AV_LOG_INFO;

// Frame size for encoders that take any number of samples per call.
constexpr int kVariableFrameSize = 160;

void Check(bool condition, const char* what) {
  if (!condition) throw std::runtime_error(what);
}

void TakePackets(AVCodecContext* context, AVPacket* packet, std::vector<Bytes>& packets) {
  while (avcodec_receive_packet(context, packet) == 0) {
    packets.emplace_back(packet->data, packet->data + packet->size);
    av_packet_unref(packet);
  }
}

void FillTone(AVFrame* frame, const ToneCoding& coding, int first_sample) {
  for (int i = 0; i < frame->nb_samples; ++i) {
    const double phase = 2.0 * std::numbers::pi * coding.frequency * (first_sample + i) / coding.sample_rate;
    const double value = coding.amplitude * std::sin(phase);
    if (frame->format == AV_SAMPLE_FMT_FLTP) {
      reinterpret_cast<float*>(frame->data[0])[i] = static_cast<float>(value / 32768.0);
    } else {
      reinterpret_cast<std::int16_t*>(frame->data[0])[i] = static_cast<std::int16_t>(std::lround(value));
    }
  }
}

}  // namespace

std::vector<Bytes> EncodeTone(const ToneCoding& coding) {
  const AVCodec* codec = avcodec_find_encoder(coding.codec_id);
  Check(codec != nullptr, "no encoder");
  std::unique_ptr<AVCodecContext, ContextDeleter> context(avcodec_alloc_context3(codec));
  context->sample_rate = coding.sample_rate;
  av_channel_layout_default(&context->ch_layout, 1);
  context->sample_fmt = codec->sample_fmts[0];
  context->bit_rate = coding.bit_rate;
  context->log_level_offset = kQuietLogLevelOffset;
  Check(avcodec_open2(context.get(), codec, nullptr) == 0, "encoder refused the set-up");

  std::unique_ptr<AVFrame, FrameDeleter> frame(av_frame_alloc());
  std::unique_ptr<AVPacket, PacketDeleter> packet(av_packet_alloc());
  const int frame_size = context->frame_size > 0 ? context->frame_size : kVariableFrameSize;
  std::vector<Bytes> packets;
  for (int first = 0; first < coding.sample_count; first += frame_size) {
    frame->nb_samples = std::min(frame_size, coding.sample_count - first);
    frame->format = context->sample_fmt;
    frame->sample_rate = context->sample_rate;
    av_channel_layout_default(&frame->ch_layout, 1);
    Check(av_frame_get_buffer(frame.get(), 0) == 0, "no frame buffer");
    FillTone(frame.get(), coding, first);
    frame->pts = first;
    Check(avcodec_send_frame(context.get(), frame.get()) == 0, "encoder refused a frame");
    av_frame_unref(frame.get());
    TakePackets(context.get(), packet.get(), packets);
  }
  avcodec_send_frame(context.get(), nullptr);
  TakePackets(context.get(), packet.get(), packets);
  return packets;
}

std::vector<Bytes> CutIntoRecords(const std::vector<Bytes>& packets, std::size_t record_size) {
  Bytes stream;
  for (const Bytes& packet : packets) stream.insert(stream.end(), packet.begin(), packet.end());
  std::vector<Bytes> records;
  for (std::size_t offset = 0; offset < stream.size(); offset += record_size) {
    const std::size_t end = std::min(stream.size(), offset + record_size);
    records.emplace_back(stream.begin() + static_cast<std::ptrdiff_t>(offset),
                         stream.begin() + static_cast<std::ptrdiff_t>(end));
  }
  return records;
}

std::vector<Bytes> WithAdtsHeaders(const std::vector<Bytes>& packets, int sample_rate) {
  const int frequency_index = sample_rate == 8000 ? 11 : sample_rate == 16000 ? 8 : -1;
  Check(frequency_index >= 0, "no ADTS index for this rate");
  std::vector<Bytes> frames;
  for (const Bytes& packet : packets) {
    const std::size_t length = packet.size() + 7;
    Bytes frame = {
        0xFF,                                    // syncword (8 of 12 bits)
        0xF1,                                    // syncword, MPEG-4, layer 0, protection_absent 1
        static_cast<std::uint8_t>((1 << 6) |     // profile: AAC-LC (object type 2, minus 1)
                                  (frequency_index << 2) |  // sampling_frequency_index
                                  0),            // private bit, channel_configuration high bit
        static_cast<std::uint8_t>((1 << 6) |     // channel_configuration: 1 (mono)
                                  ((length >> 11) & 0x03)),  // frame_length bits 12-11
        static_cast<std::uint8_t>((length >> 3) & 0xFF),     // frame_length bits 10-3
        static_cast<std::uint8_t>(((length & 0x07) << 5) | 0x1F),  // frame_length bits 2-0, fullness
        0xFC,                                    // buffer fullness 0x7FF, one raw data block
    };
    frame.insert(frame.end(), packet.begin(), packet.end());
    frames.push_back(std::move(frame));
  }
  return frames;
}

double ToneAmplitude(std::span<const std::int16_t> samples, int sample_rate, double frequency) {
  if (samples.empty()) return 0.0;
  double in_phase = 0.0;
  double quadrature = 0.0;
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const double phase = 2.0 * std::numbers::pi * frequency * static_cast<double>(i) / sample_rate;
    in_phase += samples[i] * std::sin(phase);
    quadrature += samples[i] * std::cos(phase);
  }
  return 2.0 * std::hypot(in_phase, quadrature) / static_cast<double>(samples.size());
}

double TonePurity(std::span<const std::int16_t> samples, int sample_rate, double frequency) {
  if (samples.empty()) return 0.0;
  double power = 0.0;
  for (const std::int16_t sample : samples) power += static_cast<double>(sample) * sample;
  power /= static_cast<double>(samples.size());
  if (power == 0.0) return 0.0;
  const double amplitude = ToneAmplitude(samples, sample_rate, frequency);
  return amplitude * amplitude / 2.0 / power;
}

}  // namespace brook::testing
