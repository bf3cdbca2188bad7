#include "tools/cairn/audio_encoder.h"

#include <algorithm>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
}

namespace moraine::cairn {
namespace {

struct CodecContextFree {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct FrameFree {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFree {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextFree>;
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;

const char* EncoderName(AudioCodec codec) {
  switch (codec) {
    case AudioCodec::kG711MuLaw: return "pcm_mulaw";
    case AudioCodec::kG711ALaw: return "pcm_alaw";
    case AudioCodec::kG726: return "g726";
    case AudioCodec::kAacLc: return "aac";
    case AudioCodec::kG722: return "g722";
  }
  return "";
}

std::string AvErrorText(int status) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(status, text, sizeof text);
  return text;
}

// Moves every packet the encoder has ready into `packets`; false on an encoder failure.
bool DrainPackets(AVCodecContext* context, AVPacket* packet, std::vector<AudioPacket>& packets, std::string& error) {
  for (;;) {
    const int status = avcodec_receive_packet(context, packet);
    if (status == AVERROR(EAGAIN) || status == AVERROR_EOF) return true;
    if (status < 0) {
      error = "audio encoder failed: " + AvErrorText(status);
      return false;
    }
    packets.emplace_back(packet->data, packet->data + packet->size);
    av_packet_unref(packet);
  }
}

// Copies samples into the frame, converting to the encoder's format; the rest is silence.
void FillFrame(AVFrame* frame, std::span<const std::int16_t> samples) {
  const std::size_t count = std::min(samples.size(), static_cast<std::size_t>(frame->nb_samples));
  if (frame->format == AV_SAMPLE_FMT_FLTP) {
    float* out = reinterpret_cast<float*>(frame->data[0]);
    std::fill(out, out + frame->nb_samples, 0.0f);
    for (std::size_t i = 0; i < count; ++i) out[i] = static_cast<float>(samples[i]) / 32768.0f;
  } else {
    std::int16_t* out = reinterpret_cast<std::int16_t*>(frame->data[0]);
    std::fill(out, out + frame->nb_samples, std::int16_t{0});
    std::copy_n(samples.begin(), count, out);
  }
}

}  // namespace

std::optional<std::vector<AudioPacket>> EncodeAudio(AudioCodec codec, int sample_rate, int rate_value,
                                                    std::span<const std::int16_t> samples, std::string& error) {
  const AVCodec* encoder = avcodec_find_encoder_by_name(EncoderName(codec));
  if (!encoder) {
    error = std::string("libavcodec has no encoder ") + EncoderName(codec);
    return std::nullopt;
  }
  CodecContextPtr context(avcodec_alloc_context3(encoder));
  if (!context) {
    error = "out of memory";
    return std::nullopt;
  }
  // Only 16-bit integer and planar float input are produced here; every encoder used takes one.
  const AVSampleFormat format = codec == AudioCodec::kAacLc ? AV_SAMPLE_FMT_FLTP : AV_SAMPLE_FMT_S16;
  context->sample_fmt = format;
  context->sample_rate = sample_rate;
  av_channel_layout_default(&context->ch_layout, 1);
  context->time_base = AVRational{1, sample_rate};
  context->flags |= AV_CODEC_FLAG_BITEXACT;
  if (codec == AudioCodec::kAacLc || codec == AudioCodec::kG726) context->bit_rate = rate_value;
  if (const int status = avcodec_open2(context.get(), encoder, nullptr); status < 0) {
    error = std::string("cannot open audio encoder ") + EncoderName(codec) + ": " + AvErrorText(status);
    return std::nullopt;
  }
  // Sample-stream codecs take frames of any size; 20 ms is what recorders use.
  const int frame_size = context->frame_size > 0 ? context->frame_size : sample_rate / 50;

  FramePtr frame(av_frame_alloc());
  PacketPtr packet(av_packet_alloc());
  if (!frame || !packet) {
    error = "out of memory";
    return std::nullopt;
  }
  std::vector<AudioPacket> packets;
  for (std::size_t position = 0; position < samples.size(); position += static_cast<std::size_t>(frame_size)) {
    // A fresh buffer per frame: the encoder may still hold a reference to the previous one.
    av_frame_unref(frame.get());
    frame->format = format;
    frame->nb_samples = frame_size;
    frame->sample_rate = sample_rate;
    frame->pts = static_cast<std::int64_t>(position);
    if (av_channel_layout_copy(&frame->ch_layout, &context->ch_layout) < 0 || av_frame_get_buffer(frame.get(), 0) < 0) {
      error = "out of memory";
      return std::nullopt;
    }
    FillFrame(frame.get(), samples.subspan(position));
    if (const int status = avcodec_send_frame(context.get(), frame.get()); status < 0) {
      error = "audio encoder refused a frame: " + AvErrorText(status);
      return std::nullopt;
    }
    if (!DrainPackets(context.get(), packet.get(), packets, error)) return std::nullopt;
  }
  if (const int status = avcodec_send_frame(context.get(), nullptr); status < 0) {
    error = "audio encoder cannot flush: " + AvErrorText(status);
    return std::nullopt;
  }
  if (!DrainPackets(context.get(), packet.get(), packets, error)) return std::nullopt;
  return packets;
}

}  // namespace moraine::cairn
