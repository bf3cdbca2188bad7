#include "tests/mp4/x264_test_stream.h"

#include <x264.h>

#include <stdexcept>

namespace moraine::testing {

std::vector<AccessUnit> EncodeX264Stream(const X264StreamOptions& options) {
  x264_param_t param;
  if (x264_param_default_preset(&param, "ultrafast", "zerolatency") < 0) {
    throw std::runtime_error("x264 preset");
  }
  param.i_threads = 1;
  param.i_width = options.width;
  param.i_height = options.height;
  param.i_csp = X264_CSP_I420;
  param.i_fps_num = 25;
  param.i_fps_den = 1;
  param.i_keyint_max = options.keyframe_interval;
  param.i_keyint_min = options.keyframe_interval;
  param.i_slice_count = options.slices;
  param.i_frame_reference = options.reference_frames;
  param.b_repeat_headers = 1;
  param.b_annexb = 1;
  param.i_log_level = X264_LOG_NONE;
  param.rc.i_rc_method = X264_RC_CQP;
  param.rc.i_qp_constant = options.qp;
  if (x264_param_apply_profile(&param, options.profile) < 0) throw std::runtime_error("profile");

  x264_t* encoder = x264_encoder_open(&param);
  if (encoder == nullptr) throw std::runtime_error("x264_encoder_open");
  x264_picture_t picture;
  x264_picture_alloc(&picture, X264_CSP_I420, options.width, options.height);

  std::vector<AccessUnit> stream;
  auto collect = [&stream](x264_nal_t* nals, int count) {
    AccessUnit unit;
    for (int i = 0; i < count; ++i) {
      unit.nal_units.emplace_back(nals[i].p_payload, nals[i].p_payload + nals[i].i_payload);
    }
    if (!unit.nal_units.empty()) stream.push_back(std::move(unit));
  };
  x264_picture_t encoded;
  x264_nal_t* nals = nullptr;
  int nal_count = 0;
  for (int frame = 0; frame < options.frames; ++frame) {
    // A diagonal gradient that moves, with a pseudo-random speckle so pictures carry detail.
    std::uint32_t noise = 12345u + static_cast<std::uint32_t>(frame);
    for (int y = 0; y < options.height; ++y) {
      for (int x = 0; x < options.width; ++x) {
        noise = noise * 1103515245u + 12345u;
        picture.img.plane[0][y * picture.img.i_stride[0] + x] =
            static_cast<std::uint8_t>(x * 3 + y * 2 + frame * 4 + ((noise >> 16) & 0x1F));
      }
    }
    for (int plane = 1; plane < 3; ++plane) {
      for (int y = 0; y < options.height / 2; ++y) {
        for (int x = 0; x < options.width / 2; ++x) {
          picture.img.plane[plane][y * picture.img.i_stride[plane] + x] =
              static_cast<std::uint8_t>(128 + plane * 10 + x - y + frame);
        }
      }
    }
    picture.i_pts = frame;
    if (x264_encoder_encode(encoder, &nals, &nal_count, &picture, &encoded) < 0) {
      throw std::runtime_error("x264_encoder_encode");
    }
    collect(nals, nal_count);
  }
  while (x264_encoder_delayed_frames(encoder) > 0) {
    if (x264_encoder_encode(encoder, &nals, &nal_count, nullptr, &encoded) < 0) break;
    collect(nals, nal_count);
  }
  x264_picture_clean(&picture);
  x264_encoder_close(encoder);
  return stream;
}

std::size_t PayloadStart(const std::vector<std::uint8_t>& unit) {
  std::size_t zeros = 0;
  while (zeros < unit.size() && unit[zeros] == 0) ++zeros;
  return zeros + 1;  // past the 0x01
}

int NalType(const std::vector<std::uint8_t>& unit) {
  const std::size_t start = PayloadStart(unit);
  return start < unit.size() ? unit[start] & 0x1F : -1;
}

}  // namespace moraine::testing
