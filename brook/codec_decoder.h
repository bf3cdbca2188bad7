#pragma once

// One libavcodec audio decoder with its packet and frame, owned for the decoder's whole life.

#include <cstdint>
#include <memory>
#include <span>

#include "brook/codec_selection.h"

extern "C" {
#include <libavcodec/avcodec.h>
}

namespace brook {

class CodecDecoder {
 public:
  enum class ReceiveStatus { kFrame, kNone, kFailed };

  // Opens the decoder of `choice`; null when libavcodec lacks it or refuses the set-up.
  static std::unique_ptr<CodecDecoder> Open(const CodecChoice& choice);

  // Hands one compressed frame to the decoder (it keeps its own copy); the decoded frames carry
  // `tag` as their pts. Returns false when the decoder rejects the frame.
  bool Send(std::span<const std::uint8_t> frame, std::int64_t tag);
  // Tells the decoder that no frame follows, so that Receive gives out what it still holds.
  void SendEnd();
  // Takes the next decoded frame into frame(); kNone when no frame is ready, kFailed when
  // decoding the frames sent so far failed (the decoder goes on with the next one sent).
  ReceiveStatus Receive();
  // The frame of the latest Receive that returned kFrame; the decoder owns it.
  const AVFrame& frame() const { return *frame_; }

 private:
  struct ContextDeleter {
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
  };
  struct PacketDeleter {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
  };
  struct FrameDeleter {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
  };

  CodecDecoder(std::unique_ptr<AVCodecContext, ContextDeleter> context,
               std::unique_ptr<AVPacket, PacketDeleter> packet, std::unique_ptr<AVFrame, FrameDeleter> frame);

  std::unique_ptr<AVCodecContext, ContextDeleter> context_;
  std::unique_ptr<AVPacket, PacketDeleter> packet_;
  std::unique_ptr<AVFrame, FrameDeleter> frame_;
};

}  // namespace brook
