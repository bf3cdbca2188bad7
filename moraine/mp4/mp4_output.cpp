#include "moraine/mp4/mp4_output.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace moraine {

namespace {

constexpr std::int32_t kFrameBytes = AacEncoder::kFrameSamples * 2;
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

void ReportEncodeFailure() { std::fputs("error: aac encode fail\n", stderr); }

// A record duration of the main loop (90 kHz ticks) in samples of the audio track. Record times
// count milliseconds, so at 8000 and 16000 Hz the result is exact.
std::int64_t AudioTrackTicks(const AacEncoder& encoder, std::int64_t ticks) {
  return ticks * encoder.sample_rate() / kMp4TimeScale;
}

// Writes every access unit the encoder has finished, each as one sync sample with the duration
// of the frame it plays. 0 or -1 (reported).
int WriteFinishedPackets(Mp4Output& output) {
  std::vector<std::uint8_t> packet;
  for (;;) {
    const int received = output.aac_encoder->ReceivePacket(packet);
    if (received == 0) return 0;
    if (received < 0) {
      ReportEncodeFailure();
      return -1;
    }
    std::int64_t duration = AacEncoder::kFrameSamples;
    if (!output.encoder_frame_durations.empty()) {
      duration = output.encoder_frame_durations.front();
      output.encoder_frame_durations.pop_front();
    }
    const int status = MP4E_put_sample(output.writer.get(), output.audio_track, packet.data(),
                                       static_cast<std::uint32_t>(packet.size()),
                                       static_cast<std::uint32_t>(duration), kMp4SyncSample);
    if (status != kMp4Ok) {
      // A failed write of the file is reported once, with the file's name, by its owner.
      if (output_write_error(output) == 0) std::fputs("error: MP4E_put_sample failed\n", stderr);
      output.staged_durations.Carry(duration);  // the next sample carries it
      return -1;
    }
  }
}

// Hands the first `samples` staged samples to the encoder as one frame, with their share of the
// records' time. A frame whose records lasted nothing takes its playing time: a sample of
// duration 0 would share its time stamp with the next.
bool SendStagedFrame(Mp4Output& output, int samples) {
  if (!output.aac_encoder->SendFrame(output.audio_staging.data(), samples)) {
    ReportEncodeFailure();
    return false;
  }
  const std::int64_t duration = output.staged_durations.Take(samples);
  output.encoder_frame_durations.push_back(duration > 0 ? duration : samples);
  return true;
}

// The staged sound cannot be encoded: it is dropped, and its time goes to the next sample.
void DropStagedAudio(Mp4Output& output) {
  output.audio_staged_bytes = 0;
  output.staged_durations.DropStaged();
}

// The current file's audio ends: the encoder goes, and nothing staged or owed is kept.
void ForgetAudio(Mp4Output& output) {
  output.aac_encoder.reset();
  output.audio_staged_bytes = 0;
  output.staged_durations.Clear();
  output.encoder_frame_durations.clear();
}

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
  output.aac_encoder = AacEncoder::Open(sample_rate);
  output.encoder_frame_durations.clear();
  std::uint32_t delay = 0;
  if (output.aac_encoder) {
    // The first access unit plays the encoder's priming, which the edit list skips.
    delay = static_cast<std::uint32_t>(output.aac_encoder->delay_samples());
    if (delay != 0) output.encoder_frame_durations.push_back(delay);
  } else {
    std::fprintf(stderr, "error: cannot open the AAC encoder at %d Hz\n", sample_rate);
  }
  output.audio_track = MP4E_new_track(output.writer.get(), AudioTrackInfo(sample_rate, delay));
  if (output.audio_track >= 0 && output.aac_encoder) {
    const auto& config = output.aac_encoder->audio_specific_config();
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
  if (data == nullptr || byte_count < 0) return -1;
  if (byte_count % 2 != 0) {
    // Staged whole, the half sample would shift every later sample by one byte into noise.
    if (!output.odd_chunk_reported) {
      std::fputs("warning: the audio decoder delivered an odd number of bytes; the odd byte is dropped\n", stderr);
      output.odd_chunk_reported = true;
    }
    --byte_count;
  }
  std::optional<std::int64_t> duration;
  // The time of earlier records whose sound never came back goes to this one.
  if (const std::optional<std::uint64_t> ticks = TakeAudioDuration(durations, sequence)) {
    // A record that is not followed by a later one (the last, or one before a clock step) lasts
    // as long as its sound plays.
    if (*ticks > 0 && output.aac_encoder) {
      duration = AudioTrackTicks(*output.aac_encoder, static_cast<std::int64_t>(*ticks));
    }
  }
  if (!output.aac_encoder) {
    ReportEncodeFailure();
    return -1;
  }
  output.staged_durations.Add(sequence, byte_count / 2, duration);

  // The chunk goes through the staging buffer in pieces, so no chunk is too large for it.
  std::int32_t taken = 0;
  while (taken < byte_count) {
    const std::int32_t room = Mp4Output::kAudioStagingBytes - output.audio_staged_bytes;
    const std::int32_t piece = std::min(room, byte_count - taken);
    std::memcpy(output.audio_staging.data() + output.audio_staged_bytes, data + taken,
                static_cast<std::size_t>(piece));
    output.audio_staged_bytes += piece;
    taken += piece;

    while (output.audio_staged_bytes >= kFrameBytes) {
      if (!SendStagedFrame(output, AacEncoder::kFrameSamples)) {
        DropStagedAudio(output);  // the rest of the chunk goes with it
        return -1;
      }
      output.audio_staged_bytes -= kFrameBytes;
      std::memmove(output.audio_staging.data(), output.audio_staging.data() + kFrameBytes,
                   static_cast<std::size_t>(output.audio_staged_bytes));
      if (WriteFinishedPackets(output) != 0) {
        DropStagedAudio(output);
        return -1;
      }
    }
  }
  return 0;
}

void close_audio_encoder(Mp4Output& output) {
  if (output.aac_encoder) {
    const std::int32_t samples = output.audio_staged_bytes / 2;
    // A short last frame keeps the sound of this file in this file.
    if (samples > 0 && SendStagedFrame(output, samples)) WriteFinishedPackets(output);
    if (output.aac_encoder->SendEnd()) {
      WriteFinishedPackets(output);
    } else {
      ReportEncodeFailure();
    }
  }
  ForgetAudio(output);
}

void discard_output(Mp4Output& output) {
  ForgetAudio(output);
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
