#include "moraine/mp4/mp4_writer.h"

#include <array>
#include <limits>
#include <new>
#include <vector>

#include "moraine/mp4/box_builder.h"
#include "moraine/mp4/mp4_track.h"

namespace moraine {

struct Mp4Writer {
  std::vector<Mp4Track> tracks;
  std::uint64_t write_position = 0;  // where the next sample goes
  WriteTarget* target = nullptr;
};

namespace {

// The fixed file-type box: major brand mp42, minor version 0, compatible mp42 and isom.
constexpr std::array<std::uint8_t, 24> kFileTypeBox = {
    0x00, 0x00, 0x00, 0x18,  // size 24
    'f',  't',  'y',  'p',   //
    'm',  'p',  '4',  '2',   // major brand
    0x00, 0x00, 0x00, 0x00,  // minor version
    'm',  'p',  '4',  '2',   // compatible brands
    'i',  's',  'o',  'm',
};
constexpr std::uint64_t kMediaHeaderPosition = 24;
constexpr std::uint64_t kFirstSamplePosition = 40;
// Media data up to this size (counted from position 24) fits a free box plus a 32-bit `mdat`.
constexpr std::uint64_t kLargestShortMediaData = 0xFFFFFFFE;

Mp4Track* FindTrack(Mp4Writer* writer, int track) {
  if (writer == nullptr || track < 0 || static_cast<std::size_t>(track) >= writer->tracks.size()) {
    return nullptr;
  }
  return &writer->tracks[static_cast<std::size_t>(track)];
}

// The 16 bytes at position 24 once the end E of the media data is known.
int WriteMediaDataHeader(Mp4Writer& writer) {
  const std::uint64_t end = writer.write_position;
  BoxBuilder header(16);
  if (end - kMediaHeaderPosition <= kLargestShortMediaData) {
    header.U32(8);
    header.FourCc("free");
    header.U32(static_cast<std::uint32_t>(end - 32));
    header.FourCc("mdat");
  } else {
    header.U32(1);
    header.FourCc("mdat");
    header.U64(end - kMediaHeaderPosition);
  }
  if (!header.ok()) return kMp4OutOfMemory;
  return writer.target->WriteAt(kMediaHeaderPosition, header.data(), header.size());
}

int WriteIndex(Mp4Writer& writer) {
  const std::int64_t estimate = MovieBoxSizeEstimate(writer.tracks);
  if (estimate > std::numeric_limits<std::int32_t>::max()) return kMp4OutOfMemory;
  BoxBuilder movie(static_cast<std::int32_t>(estimate));
  if (!movie.ok()) return kMp4OutOfMemory;
  if (const int status = WriteMediaDataHeader(writer); status != 0) return status;
  BuildMovieBox(writer.tracks, movie);
  if (!movie.ok()) return kMp4OutOfMemory;
  const int status = writer.target->WriteAt(writer.write_position, movie.data(), movie.size());
  if (status == 0) writer.write_position += movie.size();
  return status;
}

}  // namespace

void Mp4WriterDeleter::operator()(Mp4Writer* writer) const { delete writer; }

Mp4WriterPtr MP4E_create(WriteTarget* target) {
  if (target == nullptr) return nullptr;
  Mp4WriterPtr writer(new (std::nothrow) Mp4Writer);
  if (!writer) return nullptr;
  writer->target = target;
  writer->tracks.reserve(2);
  if (target->WriteAt(0, kFileTypeBox.data(), kFileTypeBox.size()) != 0) return nullptr;
  // Until the index is written, position 24 holds a copy of the ftyp header: a box of 24 bytes
  // that readers skip.
  if (target->WriteAt(kMediaHeaderPosition, kFileTypeBox.data(), 8) != 0) return nullptr;
  writer->write_position = kFirstSamplePosition;
  return writer;
}

int MP4E_new_track(Mp4Writer* writer, const Mp4TrackInfo& info) {
  if (writer == nullptr) return kMp4BadArgument;
  Mp4Track track;
  track.info = info;
  if (!track.samples.Init()) return kMp4OutOfMemory;
  writer->tracks.push_back(std::move(track));
  return static_cast<int>(writer->tracks.size() - 1);
}

int MP4E_set_decoder_config(Mp4Writer* writer, int track, const std::uint8_t* bytes, int length) {
  Mp4Track* target = FindTrack(writer, track);
  if (target == nullptr) return kMp4BadArgument;
  return target->first_list.Add(bytes, length);
}

int MP4E_add_sps(Mp4Writer* writer, int track, const std::uint8_t* bytes, int length) {
  return MP4E_set_decoder_config(writer, track, bytes, length);
}

int MP4E_add_pps(Mp4Writer* writer, int track, const std::uint8_t* bytes, int length) {
  Mp4Track* target = FindTrack(writer, track);
  if (target == nullptr) return kMp4BadArgument;
  return target->second_list.Add(bytes, length);
}

int MP4E_set_video_size(Mp4Writer* writer, int track, std::uint32_t width, std::uint32_t height) {
  Mp4Track* target = FindTrack(writer, track);
  if (target == nullptr || target->info.kind != kMp4VideoTrack) return kMp4BadArgument;
  target->info.width_or_channels = width;
  target->info.height = height;
  return kMp4Ok;
}

int MP4E_put_sample(Mp4Writer* writer, int track, const std::uint8_t* data, std::uint32_t size,
                    std::uint32_t duration, int kind) {
  Mp4Track* target = FindTrack(writer, track);
  if (target == nullptr || data == nullptr) return kMp4BadArgument;
  Mp4SampleIndex& samples = target->samples;
  if (kind == kMp4PlainSample || kind == kMp4SyncSample) {
    Mp4SampleRecord record;
    record.size = size;
    record.offset = writer->write_position;
    record.duration = duration != 0 ? duration : target->info.default_duration;
    record.sync = kind == kMp4SyncSample ? 1 : 0;
    if (!samples.Append(record)) return kMp4OutOfMemory;
  } else if (kind == kMp4Continuation) {
    if (samples.count() == 0) return kMp4OutOfMemory;
    Mp4SampleRecord last = samples.At(samples.count() - 1);
    last.size += size;
    samples.Replace(samples.count() - 1, last);
  } else {
    return kMp4BadArgument;
  }

  const int status = writer->target->WriteAt(writer->write_position, data, size);
  if (status != 0) {
    // The next sample goes to the same position, so this one must leave no trace in the index.
    if (kind == kMp4Continuation) {
      Mp4SampleRecord last = samples.At(samples.count() - 1);
      last.size -= size;
      samples.Replace(samples.count() - 1, last);
    } else {
      samples.RemoveLast();
    }
    return status;
  }
  writer->write_position += size;
  return kMp4Ok;
}

std::int64_t MP4E_sample_count(const Mp4Writer* writer, int track) {
  if (writer == nullptr || track < 0 || static_cast<std::size_t>(track) >= writer->tracks.size()) {
    return 0;
  }
  return writer->tracks[static_cast<std::size_t>(track)].samples.count();
}

int MP4E_finish(Mp4WriterPtr writer) {
  if (!writer) return kMp4BadArgument;
  return WriteIndex(*writer);
}

}  // namespace moraine
