#pragma once

// The MP4 side of a conversion: the writer of the current output file with its H.264 video
// track and AAC audio track, and the audio staging that outlives each file. The conversion owns
// one Mp4Output for the whole run.

#include <array>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <map>
#include <memory>
#include <string>

#include "moraine/mp4/aac_encoder.h"
#include "moraine/mp4/file_write_target.h"
#include "moraine/mp4/h264_track_feeder.h"
#include "moraine/mp4/mp4_writer.h"

namespace moraine {

// Duration (90 kHz ticks) of each audio record, by its sequence number; filled by the main loop,
// emptied as the decoded audio of each record is encoded.
using AudioDurationMap = std::map<std::int64_t, std::uint64_t>;

inline constexpr std::uint32_t kMp4TimeScale = 90000;
// The kind of decoder callback that carries decoded PCM.
inline constexpr int kDecodedAudioKind = 4;

// The H.264 video track of an output file: 90 kHz time scale; the picture size is a placeholder
// until the feeder has seen the first SPS.
Mp4TrackInfo VideoTrackInfo();

struct Mp4Output {
  static constexpr std::int32_t kAudioStagingBytes = 4096;

  // Base of the final file names, as given on the command line (may include a folder).
  std::string output_base_name;

  // State of the current output file, from open_output to finish_output.
  std::unique_ptr<FileWriteTarget> target;
  Mp4WriterPtr writer;
  int video_track = -1;
  std::unique_ptr<H264TrackFeeder> feeder;
  int audio_track = -1;
  std::unique_ptr<AacEncoder> aac_encoder;

  // Audio state kept across output files: 16-bit mono PCM waiting for a whole encoder frame,
  // and the duration (90 kHz ticks) of the audio records gathered since the last frame went to
  // the encoder.
  std::array<std::uint8_t, kAudioStagingBytes> audio_staging{};
  std::int32_t audio_staged_bytes = 0;
  std::int64_t pending_audio_duration = 0;
  // Durations of the frames inside the encoder, oldest first: the encoder hands each frame's
  // access unit back one frame later, and the unit takes that frame's duration.
  std::deque<std::int64_t> encoder_frame_durations;
};

// Starts the MP4 writer on `file` (which stays the caller's) with its video track (track 0) and
// the H.264 feeder. 0 on success, -1 when the file is missing or an output is already open,
// -2 when the writer or its track cannot be created.
int open_output(Mp4Output& output, std::FILE* file);

// Opens a fresh AAC encoder at `sample_rate` Hz (8000 or 16000) and adds the audio track.
void setup_audio_track(Mp4Output& output, int sample_rate);

// The audio decoder's output: decoded PCM (kind 4, non-empty) goes to encode_audio; everything
// else is ignored.
void on_decoded_audio(Mp4Output& output, AudioDurationMap& durations, const std::uint8_t* data,
                      int byte_count, std::int64_t sequence, int kind);

// Stages a chunk of 16-bit mono PCM, adds the duration of its audio record (taken out of
// `durations`) to the pending duration, hands every whole frame to the encoder with the duration
// gathered for it, and writes each access unit that comes back as a sync sample of the audio
// track. 0, or -1 after printing "error: aac encode fail" or "error: MP4E_put_sample failed" (the
// rest of the chunk is then dropped; its duration goes to the next sample).
int encode_audio(Mp4Output& output, AudioDurationMap& durations, const std::uint8_t* data,
                 int byte_count, std::int64_t sequence);

// End of the conversion's audio: encodes whatever is staged and what the encoder still holds into
// the current file, then closes the encoder. The encoder gives back one access unit more than it
// was given frames (its start-up delay); that last unit lasts one frame (1024 samples).
void close_audio_encoder(Mp4Output& output);

// Completes the current file: the encoder's held-back audio is written and the encoder closed
// (staged PCM stays for the next file), the index goes behind the media data and the writer and
// feeder are released. 0, or the index writing's failure (also printed on standard error).
int finish_output(Mp4Output& output);

}  // namespace moraine
