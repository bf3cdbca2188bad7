#pragma once

// The MP4 side of a conversion: the writer of the current output file with its H.264 video
// track and AAC audio track, and the audio waiting for the encoder. The conversion owns one
// Mp4Output for the whole run.

#include <cstdint>
#include <cstdio>
#include <memory>

#include "moraine/mp4/aac_audio_stage.h"
#include "moraine/mp4/audio_duration_map.h"
#include "moraine/mp4/file_write_target.h"
#include "moraine/mp4/h264_track_feeder.h"
#include "moraine/mp4/mp4_time_scale.h"
#include "moraine/mp4/mp4_writer.h"

namespace moraine {

// The kind of decoder callback that carries decoded PCM.
inline constexpr int kDecodedAudioKind = 4;

// The H.264 video track of an output file: 90 kHz time scale; the picture size is a placeholder
// until the feeder has seen the first SPS.
Mp4TrackInfo VideoTrackInfo();

struct Mp4Output {
  // State of the current output file, from open_output to finish_output.
  std::unique_ptr<FileWriteTarget> target;
  // How writing the file that is no longer written ended (see output_write_error).
  int closed_file_write_error = 0;
  Mp4WriterPtr writer;
  int video_track = -1;
  std::unique_ptr<H264TrackFeeder> feeder;
  int audio_track = -1;
  // The current file's sound on its way to the audio track.
  AacAudioStage audio;
};

// Starts the MP4 writer on `file` (which stays the caller's) with its video track (track 0) and
// the H.264 feeder. 0 on success, -1 when the file is missing or an output is already open,
// -2 when the writer or its track cannot be created (output_write_error then says why).
int open_output(Mp4Output& output, std::FILE* file);

// The errno value of the first write to the current file that failed (ENOMEM when the writer or the
// index could not be built), 0 while everything was written. Once a write failed the file is cut
// short and nothing more goes into it. After finish_output, or a failed open_output, it tells how
// that file ended, until the next open_output. May be read from any thread.
int output_write_error(const Mp4Output& output);

// Opens a fresh AAC encoder at `sample_rate` Hz (8000 or 16000) and adds the audio track, with
// an edit list that skips the encoder's start-up delay.
void setup_audio_track(Mp4Output& output, int sample_rate);

// The audio decoder's output: decoded PCM (kind 4, non-empty) goes to encode_audio; everything
// else is ignored.
void on_decoded_audio(Mp4Output& output, AudioDurationMap& durations, const std::uint8_t* data,
                      int byte_count, std::int64_t sequence, int kind);

// Stages a chunk of 16-bit mono PCM of audio record `sequence` and writes each access unit the
// encoder finishes as a sync sample of the audio track (see AacAudioStage::Encode). 0, or -1 after
// printing "error: aac encode fail" or "error: MP4E_put_sample failed" on standard error (the
// staged sound is then dropped; its time goes to the next sample). A failed write of the file is
// not printed here: it cuts the file short (output_write_error), and the file's owner reports it.
int encode_audio(Mp4Output& output, AudioDurationMap& durations, const std::uint8_t* data,
                 int byte_count, std::int64_t sequence);

// Ends the current file's audio: whatever is staged goes to the encoder as a short last frame,
// everything the encoder still holds is written, and the encoder is closed. Nothing is left for
// the next file.
void close_audio_encoder(Mp4Output& output);

// Drops the current file's writer, feeder, encoder and staged audio without writing anything
// more; the file keeps what was already written. For an output that is to be opened again on the
// same file before it holds any sample.
void discard_output(Mp4Output& output);

// Completes the current file: its audio is finished as close_audio_encoder does, the index goes
// behind the media data and the writer and feeder are released. 0, or the index writing's
// failure; output_write_error then says why, and the file's owner reports it.
int finish_output(Mp4Output& output);

}  // namespace moraine
