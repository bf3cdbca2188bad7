#include "brook/codec_decoder.h"

#include <cstring>
#include <limits>
#include <utility>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
}

namespace brook {
namespace {

// Corrupt frames are expected in recordings and counted by the module; libavcodec's complaints
// about them are moved from the error level down to the verbose level.
constexpr int kDecoderLogLevelOffset = AV_LOG_VERBOSE - AV_LOG_ERROR;

}  // namespace

std::unique_ptr<CodecDecoder> CodecDecoder::Open(const CodecChoice& choice) {
  const AVCodec* codec = avcodec_find_decoder(choice.codec_id);
  if (codec == nullptr) return nullptr;
  std::unique_ptr<AVCodecContext, ContextDeleter> context(avcodec_alloc_context3(codec));
  std::unique_ptr<AVPacket, PacketDeleter> packet(av_packet_alloc());
  std::unique_ptr<AVFrame, FrameDeleter> frame(av_frame_alloc());
  if (!context || !packet || !frame) return nullptr;

  context->log_level_offset = kDecoderLogLevelOffset;
  if (choice.sample_rate != 0) {
    context->sample_rate = choice.sample_rate;
    av_channel_layout_default(&context->ch_layout, 1);
  }
  context->bits_per_coded_sample = choice.bits_per_coded_sample;
  if (avcodec_open2(context.get(), codec, nullptr) < 0) return nullptr;
  return std::unique_ptr<CodecDecoder>(new CodecDecoder(std::move(context), std::move(packet), std::move(frame)));
}

CodecDecoder::CodecDecoder(std::unique_ptr<AVCodecContext, ContextDeleter> context,
                           std::unique_ptr<AVPacket, PacketDeleter> packet,
                           std::unique_ptr<AVFrame, FrameDeleter> frame)
    : context_(std::move(context)), packet_(std::move(packet)), frame_(std::move(frame)) {}

bool CodecDecoder::Send(std::span<const std::uint8_t> frame, std::int64_t tag) {
  if (frame.empty() || frame.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) return false;
  // A copy of our own carries the zeroed padding that libavcodec's bit readers may touch.
  if (av_new_packet(packet_.get(), static_cast<int>(frame.size())) < 0) return false;
  std::memcpy(packet_->data, frame.data(), frame.size());
  packet_->pts = tag;
  const int result = avcodec_send_packet(context_.get(), packet_.get());
  av_packet_unref(packet_.get());
  return result >= 0;
}

void CodecDecoder::SendEnd() { avcodec_send_packet(context_.get(), nullptr); }

CodecDecoder::ReceiveStatus CodecDecoder::Receive() {
  const int result = avcodec_receive_frame(context_.get(), frame_.get());
  if (result == 0) return ReceiveStatus::kFrame;
  if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return ReceiveStatus::kNone;
  return ReceiveStatus::kFailed;
}

}  // namespace brook
