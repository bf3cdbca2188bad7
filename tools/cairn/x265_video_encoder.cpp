#include "tools/cairn/x265_video_encoder.h"

#include <cstdint>
#include <x265.h>

namespace moraine::cairn {
namespace {

constexpr std::uint32_t kLastSliceType = 31;  // types 0-31 are coded slices
constexpr std::uint32_t kNalVps = 32;
constexpr std::uint32_t kNalSps = 33;
constexpr std::uint32_t kNalPps = 34;

}  // namespace

void X265VideoEncoder::ParamFree::operator()(x265_param* param) const { x265_param_free(param); }
void X265VideoEncoder::Closer::operator()(x265_encoder* encoder) const { x265_encoder_close(encoder); }

X265VideoEncoder::X265VideoEncoder(std::unique_ptr<x265_param, ParamFree> param,
                                   std::unique_ptr<x265_encoder, Closer> encoder)
    : param_(std::move(param)), encoder_(std::move(encoder)) {}

std::unique_ptr<X265VideoEncoder> X265VideoEncoder::Open(const VideoEncoderSettings& settings, std::string& error) {
  std::unique_ptr<x265_param, ParamFree> param(x265_param_alloc());
  if (!param || x265_param_default_preset(param.get(), "ultrafast", "zerolatency") < 0) {
    error = "x265 rejects its preset";
    return nullptr;
  }
  // No thread pool and one frame thread: the output then depends on the input alone.
  param->frameNumThreads = 1;
  param->numaPools = "none";
  param->bEnableWavefront = 0;
  param->lookaheadThreads = 0;
  param->logLevel = X265_LOG_ERROR;
  param->bEmitInfoSEI = 0;
  param->sourceWidth = settings.width;
  param->sourceHeight = settings.height;
  param->internalCsp = X265_CSP_I420;
  param->fpsNum = static_cast<std::uint32_t>(settings.frame_rate);
  param->fpsDenom = 1;
  // IDR pictures exactly at the interval, each with its parameter sets, in byte-stream form.
  param->keyframeMax = settings.keyframe_interval;
  param->keyframeMin = settings.keyframe_interval;
  param->scenecutThreshold = 0;
  param->bOpenGOP = 0;
  param->bframes = 0;
  param->bRepeatHeaders = 1;
  param->bAnnexB = 1;
  param->rc.rateControlMode = X265_RC_CRF;
  param->rc.rfConstant = settings.quality;
  if (x265_param_apply_profile(param.get(), "main") < 0) {
    error = "x265 rejects the main profile";
    return nullptr;
  }
  std::unique_ptr<x265_encoder, Closer> encoder(x265_encoder_open(param.get()));
  if (!encoder) {
    error = "x265 cannot open an encoder for these settings";
    return nullptr;
  }
  return std::unique_ptr<X265VideoEncoder>(new X265VideoEncoder(std::move(param), std::move(encoder)));
}

std::vector<EncodedPicture> X265VideoEncoder::EncodeOrDrain(const YuvPicture* picture, std::int64_t frame_index) {
  x265_picture picture_in;
  x265_picture* input = nullptr;
  if (picture) {
    x265_picture_init(param_.get(), &picture_in);
    // x265 only reads the planes; its structure just lacks const.
    picture_in.planes[0] = const_cast<std::uint8_t*>(picture->luma.data());
    picture_in.planes[1] = const_cast<std::uint8_t*>(picture->chroma_u.data());
    picture_in.planes[2] = const_cast<std::uint8_t*>(picture->chroma_v.data());
    picture_in.stride[0] = picture->width;
    picture_in.stride[1] = picture->width / 2;
    picture_in.stride[2] = picture->width / 2;
    picture_in.bitDepth = 8;
    picture_in.colorSpace = X265_CSP_I420;
    picture_in.pts = frame_index;
    input = &picture_in;
  }
  x265_picture picture_out;
  x265_picture_init(param_.get(), &picture_out);

  std::vector<EncodedPicture> pictures;
  x265_nal* nals = nullptr;
  std::uint32_t nal_count = 0;
  if (x265_encoder_encode(encoder_.get(), &nals, &nal_count, input, &picture_out) > 0) {
    EncodedPicture encoded;
    encoded.frame_index = picture_out.pts;
    encoded.keyframe = picture_out.sliceType == X265_TYPE_IDR;
    for (std::uint32_t i = 0; i < nal_count; ++i) {
      NalUnit unit = WithoutStartCode(nals[i].payload, nals[i].sizeBytes);
      if (nals[i].type == kNalVps || nals[i].type == kNalSps || nals[i].type == kNalPps) {
        encoded.parameter_sets.push_back(std::move(unit));
      } else if (nals[i].type <= kLastSliceType) {
        encoded.slices.push_back(std::move(unit));
      }
    }
    pictures.push_back(std::move(encoded));
  }
  return pictures;
}

std::vector<EncodedPicture> X265VideoEncoder::Encode(const YuvPicture& picture, std::int64_t frame_index) {
  return EncodeOrDrain(&picture, frame_index);
}

std::vector<EncodedPicture> X265VideoEncoder::Flush() {
  std::vector<EncodedPicture> pictures;
  for (;;) {
    std::vector<EncodedPicture> drained = EncodeOrDrain(nullptr, 0);
    if (drained.empty()) break;
    for (EncodedPicture& picture : drained) pictures.push_back(std::move(picture));
  }
  return pictures;
}

}  // namespace moraine::cairn
