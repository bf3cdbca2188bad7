#include "moraine/mp4/aac_encoder.h"

#include <algorithm>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
}

namespace moraine {

namespace {

// The encoder allows at most 6144 bits per channel and frame; asking for more only draws a
// warning before it clamps, so the clamp is done here (48000 bit/s at 8000 Hz).
std::int64_t UsableBitRate(int sample_rate) {
  const std::int64_t limit = std::int64_t{6144} * sample_rate / AacEncoder::kFrameSamples;
  return std::min<std::int64_t>(AacEncoder::kBitRate, limit);
}

}  // namespace

void AacEncoder::ContextDeleter::operator()(AVCodecContext* context) const {
  avcodec_free_context(&context);
}
void AacEncoder::FrameDeleter::operator()(AVFrame* frame) const { av_frame_free(&frame); }
void AacEncoder::PacketDeleter::operator()(AVPacket* packet) const { av_packet_free(&packet); }

AacEncoder::~AacEncoder() = default;

std::unique_ptr<AacEncoder> AacEncoder::Open(int sample_rate) {
  if (sample_rate <= 0) return nullptr;
  // The library's log is process-wide; keep its per-encoder statistics (printed at close) off
  // the console, warnings and errors still show.
  if (av_log_get_level() > AV_LOG_WARNING) av_log_set_level(AV_LOG_WARNING);
  const AVCodec* codec = avcodec_find_encoder_by_name("aac");
  if (codec == nullptr) return nullptr;
  std::unique_ptr<AacEncoder> encoder(new AacEncoder);
  encoder->context_.reset(avcodec_alloc_context3(codec));
  encoder->frame_.reset(av_frame_alloc());
  encoder->packet_.reset(av_packet_alloc());
  AVCodecContext* context = encoder->context_.get();
  if (context == nullptr || !encoder->frame_ || !encoder->packet_) return nullptr;

  context->sample_fmt = AV_SAMPLE_FMT_FLTP;
  context->sample_rate = sample_rate;
  context->bit_rate = UsableBitRate(sample_rate);
  context->profile = FF_PROFILE_AAC_LOW;
  av_channel_layout_default(&context->ch_layout, 1);
  context->time_base = AVRational{1, sample_rate};
  if (avcodec_open2(context, codec, nullptr) < 0) return nullptr;
  if (context->extradata == nullptr || context->extradata_size < 2) return nullptr;
  // Any bytes after the first two only repeat the configuration for older decoders.
  encoder->config_ = {context->extradata[0], context->extradata[1]};
  return encoder;
}

bool AacEncoder::SendFrame(const std::uint8_t* pcm, int count) {
  if (count <= 0 || count > kFrameSamples) return false;
  AVFrame* frame = frame_.get();
  av_frame_unref(frame);
  frame->format = AV_SAMPLE_FMT_FLTP;
  frame->sample_rate = context_->sample_rate;
  frame->nb_samples = count;
  if (av_channel_layout_copy(&frame->ch_layout, &context_->ch_layout) < 0) return false;
  if (av_frame_get_buffer(frame, 0) < 0) return false;
  auto* samples = reinterpret_cast<float*>(frame->data[0]);
  for (int i = 0; i < count; ++i) {
    const auto value = static_cast<std::int16_t>(pcm[2 * i] | (pcm[2 * i + 1] << 8));
    samples[i] = static_cast<float>(value) / 32768.0f;
  }
  return avcodec_send_frame(context_.get(), frame) >= 0;
}

int AacEncoder::sample_rate() const { return context_->sample_rate; }

int AacEncoder::delay_samples() const { return context_->initial_padding; }

bool AacEncoder::SendEnd() { return avcodec_send_frame(context_.get(), nullptr) >= 0; }

int AacEncoder::ReceivePacket(std::vector<std::uint8_t>& packet) {
  const int result = avcodec_receive_packet(context_.get(), packet_.get());
  if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return 0;
  if (result < 0) return -1;
  packet.assign(packet_->data, packet_->data + packet_->size);
  av_packet_unref(packet_.get());
  return 1;
}

}  // namespace moraine
