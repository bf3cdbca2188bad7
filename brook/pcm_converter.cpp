#include "brook/pcm_converter.h"

extern "C" {
#include <libavutil/samplefmt.h>
}

namespace brook {
namespace {

bool IsMono16Bit(const AVFrame& frame) {
  const auto format = static_cast<AVSampleFormat>(frame.format);
  return frame.ch_layout.nb_channels == 1 && (format == AV_SAMPLE_FMT_S16 || format == AV_SAMPLE_FMT_S16P);
}

}  // namespace

PcmConverter::PcmConverter() = default;

PcmConverter::~PcmConverter() { av_channel_layout_uninit(&input_layout_); }

std::span<const std::int16_t> PcmConverter::Convert(const AVFrame& frame, int output_rate) {
  if (frame.nb_samples <= 0 || frame.sample_rate <= 0 || output_rate <= 0) return {};
  if (IsMono16Bit(frame) && frame.sample_rate == output_rate) {
    return {reinterpret_cast<const std::int16_t*>(frame.data[0]), static_cast<std::size_t>(frame.nb_samples)};
  }
  if (!Prepare(frame, output_rate)) return {};
  return Run(const_cast<const std::uint8_t**>(frame.extended_data), frame.nb_samples);
}

std::span<const std::int16_t> PcmConverter::Drain() {
  if (!resampler_) return {};
  return Run(nullptr, 0);
}

bool PcmConverter::Prepare(const AVFrame& frame, int output_rate) {
  if (resampler_ && input_format_ == frame.format && input_rate_ == frame.sample_rate &&
      output_rate_ == output_rate && av_channel_layout_compare(&input_layout_, &frame.ch_layout) == 0) {
    return true;
  }
  resampler_.reset();
  av_channel_layout_uninit(&input_layout_);

  AVChannelLayout input_layout{};
  if (frame.ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
    // The downmix needs to know which channel is which; take the usual meaning of the count.
    av_channel_layout_default(&input_layout, frame.ch_layout.nb_channels);
  } else if (av_channel_layout_copy(&input_layout, &frame.ch_layout) < 0) {
    return false;
  }
  AVChannelLayout output_layout{};
  av_channel_layout_default(&output_layout, 1);

  SwrContext* resampler = nullptr;
  const int result = swr_alloc_set_opts2(&resampler, &output_layout, AV_SAMPLE_FMT_S16, output_rate, &input_layout,
                                         static_cast<AVSampleFormat>(frame.format), frame.sample_rate, 0, nullptr);
  std::unique_ptr<SwrContext, ResamplerDeleter> owned(resampler);
  av_channel_layout_uninit(&output_layout);
  av_channel_layout_uninit(&input_layout);
  if (result < 0 || !owned || swr_init(owned.get()) < 0) return false;
  // The frame's own layout is the key for reuse, as it was before any default was filled in.
  if (av_channel_layout_copy(&input_layout_, &frame.ch_layout) < 0) return false;
  resampler_ = std::move(owned);
  input_format_ = frame.format;
  input_rate_ = frame.sample_rate;
  output_rate_ = output_rate;
  return true;
}

std::span<const std::int16_t> PcmConverter::Run(const std::uint8_t** input, int input_samples) {
  const int capacity = swr_get_out_samples(resampler_.get(), input_samples);
  if (capacity <= 0) return {};
  samples_.resize(static_cast<std::size_t>(capacity));
  std::uint8_t* output[] = {reinterpret_cast<std::uint8_t*>(samples_.data())};
  const int converted = swr_convert(resampler_.get(), output, capacity, input, input_samples);
  if (converted <= 0) return {};
  return {samples_.data(), static_cast<std::size_t>(converted)};
}

}  // namespace brook
