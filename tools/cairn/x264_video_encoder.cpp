#include "tools/cairn/x264_video_encoder.h"

#include <cstdint>
#include <x264.h>

namespace moraine::cairn {
namespace {

constexpr int kNalSlice = 1;
constexpr int kNalIdrSlice = 5;
constexpr int kNalSps = 7;
constexpr int kNalPps = 8;

// Sorts the NAL units of one encoder call into parameter sets and slices; SEI and the like are
// not part of a recorder's picture records.
EncodedPicture Collect(const x264_nal_t* nals, int nal_count, const x264_picture_t& picture_out) {
  EncodedPicture encoded;
  encoded.frame_index = picture_out.i_pts;
  encoded.keyframe = picture_out.b_keyframe != 0;
  for (int i = 0; i < nal_count; ++i) {
    const x264_nal_t& nal = nals[i];
    NalUnit unit = WithoutStartCode(nal.p_payload, static_cast<std::size_t>(nal.i_payload));
    if (nal.i_type == kNalSps || nal.i_type == kNalPps) {
      encoded.parameter_sets.push_back(std::move(unit));
    } else if (nal.i_type == kNalSlice || nal.i_type == kNalIdrSlice) {
      encoded.slices.push_back(std::move(unit));
    }
  }
  return encoded;
}

}  // namespace

void X264VideoEncoder::Closer::operator()(x264_t* encoder) const { x264_encoder_close(encoder); }

X264VideoEncoder::X264VideoEncoder(std::unique_ptr<x264_t, Closer> encoder) : encoder_(std::move(encoder)) {}

std::unique_ptr<X264VideoEncoder> X264VideoEncoder::Open(const VideoEncoderSettings& settings, std::string& error) {
  x264_param_t param;
  if (x264_param_default_preset(&param, "veryfast", "zerolatency") < 0) {
    error = "x264 rejects its preset";
    return nullptr;
  }
  // One thread and no sliced threads: the output then depends on the input alone.
  param.i_threads = 1;
  param.i_lookahead_threads = 1;
  param.b_sliced_threads = 0;
  param.b_deterministic = 1;
  param.i_log_level = X264_LOG_ERROR;
  param.i_width = settings.width;
  param.i_height = settings.height;
  param.i_csp = X264_CSP_I420;
  param.i_fps_num = static_cast<std::uint32_t>(settings.frame_rate);
  param.i_fps_den = 1;
  param.i_timebase_num = 1;
  param.i_timebase_den = static_cast<std::uint32_t>(settings.frame_rate);
  param.b_vfr_input = 0;
  // IDR pictures exactly at the interval, each with its parameter sets, in byte-stream form.
  param.i_keyint_max = settings.keyframe_interval;
  param.i_keyint_min = settings.keyframe_interval;
  param.i_scenecut_threshold = 0;
  param.b_open_gop = 0;
  param.i_bframe = 0;
  param.b_repeat_headers = 1;
  param.b_annexb = 1;
  param.rc.i_rc_method = X264_RC_CRF;
  param.rc.f_rf_constant = static_cast<float>(settings.quality);
  if (x264_param_apply_profile(&param, "high") < 0) {
    error = "x264 rejects the high profile";
    return nullptr;
  }
  std::unique_ptr<x264_t, Closer> encoder(x264_encoder_open(&param));
  if (!encoder) {
    error = "x264 cannot open an encoder for these settings";
    return nullptr;
  }
  return std::unique_ptr<X264VideoEncoder>(new X264VideoEncoder(std::move(encoder)));
}

std::vector<EncodedPicture> X264VideoEncoder::Encode(const YuvPicture& picture, std::int64_t frame_index) {
  x264_picture_t picture_in;
  x264_picture_init(&picture_in);
  picture_in.img.i_csp = X264_CSP_I420;
  picture_in.img.i_plane = 3;
  // x264 only reads the planes; its structure just lacks const.
  picture_in.img.plane[0] = const_cast<std::uint8_t*>(picture.luma.data());
  picture_in.img.plane[1] = const_cast<std::uint8_t*>(picture.chroma_u.data());
  picture_in.img.plane[2] = const_cast<std::uint8_t*>(picture.chroma_v.data());
  picture_in.img.i_stride[0] = picture.width;
  picture_in.img.i_stride[1] = picture.width / 2;
  picture_in.img.i_stride[2] = picture.width / 2;
  picture_in.i_pts = frame_index;

  std::vector<EncodedPicture> pictures;
  x264_nal_t* nals = nullptr;
  int nal_count = 0;
  x264_picture_t picture_out;
  if (x264_encoder_encode(encoder_.get(), &nals, &nal_count, &picture_in, &picture_out) > 0) {
    pictures.push_back(Collect(nals, nal_count, picture_out));
  }
  return pictures;
}

std::vector<EncodedPicture> X264VideoEncoder::Flush() {
  std::vector<EncodedPicture> pictures;
  while (x264_encoder_delayed_frames(encoder_.get()) > 0) {
    x264_nal_t* nals = nullptr;
    int nal_count = 0;
    x264_picture_t picture_out;
    const int bytes = x264_encoder_encode(encoder_.get(), &nals, &nal_count, nullptr, &picture_out);
    if (bytes < 0) break;
    if (bytes > 0) pictures.push_back(Collect(nals, nal_count, picture_out));
  }
  return pictures;
}

}  // namespace moraine::cairn
