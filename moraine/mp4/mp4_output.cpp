#include "moraine/mp4/mp4_output.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace moraine {

namespace {

constexpr std::int32_t kFrameBytes = AacEncoder::kFrameSamples * 2;
constexpr std::uint32_t kDefaultPictureWidth = 352;
constexpr std::uint32_t kDefaultPictureHeight = 288;

Mp4TrackInfo AudioTrackInfo(int sample_rate) {
  Mp4TrackInfo info;
  info.object_type = kMp4ObjectTypeAac;
  info.kind = kMp4AudioTrack;
  info.time_scale = kMp4TimeScale;
  info.width_or_channels = 1;
  info.sample_rate = static_cast<std::uint32_t>(sample_rate);
  return info;
}

void ReportEncodeFailure() { std::fputs("error: aac encode fail\n", stdout); }

// How long `samples` samples play, in 90 kHz ticks.
std::int64_t PlayingTime(const AacEncoder& encoder, int samples) {
  return std::int64_t{samples} * kMp4TimeScale / encoder.sample_rate();
}

// Writes every access unit the encoder has finished, each as one sync sample with the duration
// of the frame it came from. 0 or -1 (reported).
int WriteFinishedPackets(Mp4Output& output) {
  std::vector<std::uint8_t> packet;
  for (;;) {
    const int received = output.aac_encoder->ReceivePacket(packet);
    if (received == 0) return 0;
    if (received < 0) {
      ReportEncodeFailure();
      return -1;
    }
    std::int64_t duration = PlayingTime(*output.aac_encoder, AacEncoder::kFrameSamples);
    if (!output.encoder_frame_durations.empty()) {
      duration = output.encoder_frame_durations.front();
      output.encoder_frame_durations.pop_front();
    }
    const int status = MP4E_put_sample(output.writer.get(), output.audio_track, packet.data(),
                                       static_cast<std::uint32_t>(packet.size()),
                                       static_cast<std::uint32_t>(duration), kMp4SyncSample);
    if (status != kMp4Ok) {
      std::fputs("error: MP4E_put_sample failed\n", stdout);
      output.pending_audio_duration += duration;  // the next sample carries it
      return -1;
    }
  }
}

// Hands `samples` staged samples to the encoder as one frame, with the duration gathered so far.
// A frame that gathered none (a short last frame whose records' durations went to the frame
// before it, or records without a duration) takes its playing time: a sample of duration 0
// would share its time stamp with the next.
bool SendStagedFrame(Mp4Output& output, int samples) {
  if (!output.aac_encoder->SendFrame(output.audio_staging.data(), samples)) {
    ReportEncodeFailure();
    return false;
  }
  const std::int64_t gathered = output.pending_audio_duration;
  output.encoder_frame_durations.push_back(
      gathered != 0 ? gathered : PlayingTime(*output.aac_encoder, samples));
  output.pending_audio_duration = 0;
  return true;
}

// Ends the encoder's stream: its held-back samples become the last packets of the current file.
void DrainAndCloseEncoder(Mp4Output& output) {
  if (!output.aac_encoder) return;
  if (output.aac_encoder->SendEnd()) {
    WriteFinishedPackets(output);
  } else {
    ReportEncodeFailure();
  }
  // Durations of frames that never came back go to the next sample written.
  for (const std::int64_t duration : output.encoder_frame_durations) {
    output.pending_audio_duration += duration;
  }
  output.encoder_frame_durations.clear();
  output.aac_encoder.reset();
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
  auto target = std::make_unique<FileWriteTarget>(file);
  Mp4WriterPtr writer = MP4E_create(target.get());
  if (!writer) return kMp4OutOfMemory;
  const int video_track = MP4E_new_track(writer.get(), VideoTrackInfo());
  if (video_track < 0) return video_track;
  output.feeder = std::make_unique<H264TrackFeeder>(writer.get(), video_track);
  output.video_track = video_track;
  output.audio_track = -1;
  output.target = std::move(target);
  output.writer = std::move(writer);
  return kMp4Ok;
}

void setup_audio_track(Mp4Output& output, int sample_rate) {
  output.aac_encoder = AacEncoder::Open(sample_rate);
  if (!output.aac_encoder) {
    std::fprintf(stderr, "error: cannot open the AAC encoder at %d Hz\n", sample_rate);
  }
  output.audio_track = MP4E_new_track(output.writer.get(), AudioTrackInfo(sample_rate));
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
  if (const auto entry = durations.find(sequence); entry != durations.end()) {
    output.pending_audio_duration += static_cast<std::int64_t>(entry->second);
    durations.erase(entry);
  }
  if (!output.aac_encoder) {
    ReportEncodeFailure();
    return -1;
  }

  // The chunk goes through the staging buffer in pieces, so no chunk is too large for it.
  const std::int32_t staged_before_chunk = output.audio_staged_bytes;
  bool chunk_reached_encoder = false;
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
        // Nothing of this frame was encoded: drop the chunk, keep what was staged before it if
        // none of the chunk has reached the encoder yet.
        output.audio_staged_bytes = chunk_reached_encoder ? 0 : staged_before_chunk;
        return -1;
      }
      chunk_reached_encoder = true;
      output.audio_staged_bytes -= kFrameBytes;
      std::memmove(output.audio_staging.data(), output.audio_staging.data() + kFrameBytes,
                   static_cast<std::size_t>(output.audio_staged_bytes));
      if (WriteFinishedPackets(output) != 0) {
        output.audio_staged_bytes = 0;  // the rest of the chunk is dropped
        return -1;
      }
    }
  }
  return 0;
}

void close_audio_encoder(Mp4Output& output) {
  if (!output.aac_encoder) return;
  const std::int32_t samples = output.audio_staged_bytes / 2;
  if (samples > 0) {
    // A short last frame; an odd byte left over is half a sample and carries no sound.
    if (SendStagedFrame(output, samples)) WriteFinishedPackets(output);
  }
  output.audio_staged_bytes = 0;
  DrainAndCloseEncoder(output);
}

int finish_output(Mp4Output& output) {
  if (output.writer) DrainAndCloseEncoder(output);
  int status = kMp4Ok;
  if (output.writer) {
    status = MP4E_finish(std::move(output.writer));
    if (status != kMp4Ok) std::fputs("error: cannot write the MP4 index\n", stderr);
  }
  output.feeder.reset();
  output.target.reset();
  output.video_track = -1;
  output.audio_track = -1;
  return status;
}

}  // namespace moraine
