#include "moraine/mp4/mp4_output.h"

#include <cerrno>
#include <span>

namespace moraine {

namespace {

constexpr std::uint32_t kDefaultPictureWidth = 352;
constexpr std::uint32_t kDefaultPictureHeight = 288;

// The audio track counts time in samples: players take the skipped encoder delay of its edit list
// as a number of samples, whatever the track's time scale.
Mp4TrackInfo AudioTrackInfo(int sample_rate, std::uint32_t skipped_samples) {
  Mp4TrackInfo info;
  info.object_type = kMp4ObjectTypeAac;
  info.kind = kMp4AudioTrack;
  info.time_scale = static_cast<std::uint32_t>(sample_rate);
  info.width_or_channels = 1;
  info.sample_rate = static_cast<std::uint32_t>(sample_rate);
  info.skipped_ticks = skipped_samples;
  return info;
}

// The audio track of the current file, where the audio stage writes its access units.
class AudioTrackSink final : public AacUnitSink {
 public:
  explicit AudioTrackSink(const Mp4Output& output) : output_(output) {}

  bool WriteUnit(std::span<const std::uint8_t> unit, std::uint32_t duration) override {
    const int status = MP4E_put_sample(output_.writer.get(), output_.audio_track, unit.data(),
                                       static_cast<std::uint32_t>(unit.size()), duration, kMp4SyncSample);
    if (status == kMp4Ok) return true;
    // A failed write of the file is reported once, with the file's name, by its owner.
    if (output_write_error(output_) == 0) std::fputs("error: MP4E_put_sample failed\n", stderr);
    return false;
  }

 private:
  const Mp4Output& output_;
};

// What belongs to the current file besides its writer.
void ReleaseFileState(Mp4Output& output) {
  output.feeder.reset();
  if (output.target) output.closed_file_write_error = output.target->error();
  output.target.reset();
  output.video_track = -1;
  output.audio_track = -1;
}

}  // namespace

Mp4TrackInfo VideoTrackInfo() {
  Mp4TrackInfo info;
  info.object_type = kMp4ObjectTypeH264;
  info.kind = kMp4VideoTrack;
  info.time_scale = kMp4TimeScale;
  info.width_or_channels = kDefaultPictureWidth;  // replaced by the size its SPS gives
  info.height = kDefaultPictureHeight;
  return info;
}

int open_output(Mp4Output& output, std::FILE* file) {
  if (file == nullptr || output.writer) return kMp4BadArgument;
  output.closed_file_write_error = 0;
  auto target = std::make_unique<FileWriteTarget>(file);
  Mp4WriterPtr writer = MP4E_create(target.get());
  const int video_track = writer ? MP4E_new_track(writer.get(), VideoTrackInfo()) : kMp4OutOfMemory;
  if (video_track < 0) {
    // Without a failed write it was memory that ran out.
    output.closed_file_write_error = target->error() != 0 ? target->error() : ENOMEM;
    return kMp4OutOfMemory;
  }
  output.feeder = std::make_unique<H264TrackFeeder>(writer.get(), video_track);
  output.video_track = video_track;
  output.audio_track = -1;
  output.target = std::move(target);
  output.writer = std::move(writer);
  return kMp4Ok;
}

void setup_audio_track(Mp4Output& output, int sample_rate) {
  const bool encoder_open = output.audio.Start(sample_rate);
  output.audio_track = MP4E_new_track(output.writer.get(), AudioTrackInfo(sample_rate, output.audio.delay_samples()));
  if (output.audio_track >= 0 && encoder_open) {
    const auto& config = output.audio.audio_specific_config();
    MP4E_set_decoder_config(output.writer.get(), output.audio_track, config.data(),
                            static_cast<int>(config.size()));
  }
}

void on_decoded_audio(Mp4Output& output, AudioDurationMap& durations, const std::uint8_t* data,
                      int byte_count, std::int64_t sequence, int kind) {
  if (kind != kDecodedAudioKind || byte_count == 0) return;
  encode_audio(output, durations, data, byte_count, sequence);
}

int encode_audio(Mp4Output& output, AudioDurationMap& durations, const std::uint8_t* data,
                 int byte_count, std::int64_t sequence) {
  AudioTrackSink track(output);
  return output.audio.Encode(durations, data, byte_count, sequence, track);
}

void close_audio_encoder(Mp4Output& output) {
  AudioTrackSink track(output);
  output.audio.Finish(track);
}

void discard_output(Mp4Output& output) {
  output.audio.Discard();
  output.writer.reset();
  ReleaseFileState(output);
}

int finish_output(Mp4Output& output) {
  if (output.writer) close_audio_encoder(output);
  int status = kMp4Ok;
  if (output.writer) status = MP4E_finish(std::move(output.writer));
  ReleaseFileState(output);
  if (status != kMp4Ok && output.closed_file_write_error == 0) {
    output.closed_file_write_error = status == kMp4OutOfMemory ? ENOMEM : EIO;
  }
  return status;
}

int output_write_error(const Mp4Output& output) {
  return output.target ? output.target->error() : output.closed_file_write_error;
}

}  // namespace moraine
