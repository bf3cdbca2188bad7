#pragma once

// MP4 writer: samples go to the target the moment they are put; a compact index (24 bytes a
// sample) stays in memory and becomes the `moov` box behind the media data when the writer is
// finished.

#include <cstdint>
#include <memory>

#include "moraine/mp4/write_target.h"

namespace moraine {

// Status values of the writer's operations; any other nonzero value is a failed write, passed on
// unchanged from the write target.
inline constexpr int kMp4Ok = 0;
inline constexpr int kMp4BadArgument = -1;  // also malformed H.264 input
inline constexpr int kMp4OutOfMemory = -2;

inline constexpr std::uint32_t kMp4ObjectTypeH264 = 0x21;
inline constexpr std::uint32_t kMp4ObjectTypeAac = 0x40;
inline constexpr std::uint32_t kMp4AudioTrack = 0;
inline constexpr std::uint32_t kMp4VideoTrack = 1;

// How MP4E_put_sample treats its bytes.
inline constexpr int kMp4PlainSample = 0;
inline constexpr int kMp4SyncSample = 1;     // random-access sample
inline constexpr int kMp4Continuation = 2;   // more bytes of the track's previous sample

struct Mp4TrackInfo {
  std::uint32_t object_type = 0;        // kMp4ObjectTypeH264 or kMp4ObjectTypeAac
  char language[4] = {'u', 'n', 'd', 0};
  std::uint32_t kind = 0;               // kMp4AudioTrack or kMp4VideoTrack
  std::uint32_t time_scale = 0;         // ticks per second of the durations
  std::uint32_t default_duration = 0;   // for samples put with duration 0
  std::uint32_t width_or_channels = 0;  // picture width (video) or channel count (audio)
  std::uint32_t height = 0;             // video only
  std::uint32_t sample_rate = 0;        // audio only: sampling rate in Hz, for the `mp4a` entry
  // Leading ticks of the media that never play (an encoder's start-up delay). When not 0 the track
  // gets an edit list that starts playing there, and its presentation is that much shorter.
  std::uint32_t skipped_ticks = 0;
};

struct Mp4Writer;
struct Mp4WriterDeleter {
  void operator()(Mp4Writer* writer) const;
};
// Dropping a writer without MP4E_finish frees it without writing an index.
using Mp4WriterPtr = std::unique_ptr<Mp4Writer, Mp4WriterDeleter>;

// Writes the `ftyp` box and the media-data placeholder through `target` (which must outlive the
// writer). Null when a write or an allocation fails.
Mp4WriterPtr MP4E_create(WriteTarget* target);

// Adds a track described by a copy of `info`. Returns its number (0, 1, ...; the track ID in the
// file is number + 1) or kMp4OutOfMemory.
int MP4E_new_track(Mp4Writer* writer, const Mp4TrackInfo& info);

// Adds `bytes` as an entry of the track's decoder configuration (audio) or sequence-parameter-set
// list (video); an entry already present is not added again. 0, -1 or -2.
int MP4E_set_decoder_config(Mp4Writer* writer, int track, const std::uint8_t* bytes, int length);
// Same for the video track's sequence and picture parameter sets (the `avcC` lists).
int MP4E_add_sps(Mp4Writer* writer, int track, const std::uint8_t* bytes, int length);
int MP4E_add_pps(Mp4Writer* writer, int track, const std::uint8_t* bytes, int length);

// Replaces the picture size that a video track declares in `tkhd` and `avc1`. 0 or -1.
int MP4E_set_video_size(Mp4Writer* writer, int track, std::uint32_t width, std::uint32_t height);

// Writes `size` bytes as a sample (kind 0 or 1) or appends them to the track's last sample
// (kind 2). A duration of 0 takes the track's default. Returns 0, -1 (bad argument), -2 (out of
// memory, or a continuation without an earlier sample) or the target's failure code; after a
// failure the index is as it was before the call, so it always matches the data in the file.
int MP4E_put_sample(Mp4Writer* writer, int track, const std::uint8_t* data, std::uint32_t size,
                    std::uint32_t duration, int kind);

// Number of samples a track holds (0 for an unknown track).
std::int64_t MP4E_sample_count(const Mp4Writer* writer, int track);

// Writes the media-data header and the `moov` box, then frees the writer whatever happened.
// Returns 0, -2 when the index could not be built, or the target's failure code.
int MP4E_finish(Mp4WriterPtr writer);

}  // namespace moraine
