#include <algorithm>
#include <cstdint>

#include "bitstream/sequence_parameters.h"
#include "moraine/mp4/box_builder.h"
#include "moraine/mp4/mp4_track.h"

namespace moraine {

namespace {

constexpr std::uint32_t kMovieTimeScale = 1000;
constexpr std::uint32_t kUnityMatrix[9] = {0x00010000, 0, 0, 0, 0x00010000, 0, 0, 0, 0x40000000};
// avcC can count at most 31 sequence and 255 picture parameter sets.
constexpr int kMaxAvcCSequenceParameterSets = 31;
constexpr int kMaxAvcCPictureParameterSets = 255;

// What the sample tables need to know about a track, gathered in one pass over its index.
struct SampleTableSummary {
  std::uint32_t duration = 0;        // sum of sample durations, 32-bit wrapping
  std::uint32_t time_to_sample_runs = 0;
  std::uint32_t sync_samples = 0;
  bool needs_64_bit_offsets = false;
};

SampleTableSummary Summarise(const Mp4SampleIndex& samples) {
  SampleTableSummary summary;
  const std::int64_t count = samples.count();
  std::uint32_t previous_duration = 0;
  for (std::int64_t i = 0; i < count; ++i) {
    const Mp4SampleRecord record = samples.At(i);
    summary.duration += record.duration;
    if (i == 0 || record.duration != previous_duration) ++summary.time_to_sample_runs;
    previous_duration = record.duration;
    if (record.sync != 0) ++summary.sync_samples;
  }
  if (count > 0) summary.needs_64_bit_offsets = samples.At(count - 1).offset > 0xFFFFFFFFu;
  return summary;
}

std::uint32_t MovieScaleDuration(std::uint32_t duration, std::uint32_t time_scale) {
  if (time_scale == 0) return 0;
  return static_cast<std::uint32_t>(std::uint64_t{duration} * kMovieTimeScale / time_scale);
}

// The ticks of a track that play: all of them but the skipped start.
std::uint32_t PlayingTicks(const Mp4Track& track, const SampleTableSummary& summary) {
  return summary.duration > track.info.skipped_ticks ? summary.duration - track.info.skipped_ticks : 0;
}

void Matrix(BoxBuilder& box) {
  for (std::uint32_t value : kUnityMatrix) box.U32(value);
}

// Descriptor lengths of the `esds` box: one byte up to 127; beyond, 0xFF for every 127 taken
// off while more than 127 remain, then the rest.
std::uint32_t DescriptorLengthSize(std::uint32_t length) {
  return length <= 127 ? 1 : 2 + (length - 128) / 127;
}

void DescriptorLength(BoxBuilder& box, std::uint32_t length) {
  while (length > 127) {
    box.U8(0xFF);
    length -= 127;
  }
  box.U8(length);
}

// The movie lasts as long as its longest track plays.
void MovieHeader(BoxBuilder& box, const std::vector<Mp4Track>& tracks,
                 const std::vector<SampleTableSummary>& summaries) {
  std::uint32_t duration = 0;
  for (std::size_t i = 0; i < tracks.size(); ++i) {
    duration = std::max(duration, MovieScaleDuration(PlayingTicks(tracks[i], summaries[i]), tracks[i].info.time_scale));
  }
  box.StartFullBox("mvhd", 0, 0);
  box.U32(0);  // creation time
  box.U32(0);  // modification time
  box.U32(kMovieTimeScale);
  box.U32(duration);
  box.U32(0x00010000);  // rate 1.0
  box.U16(0x0100);      // volume 1.0
  box.Zeros(2 + 8);     // reserved
  Matrix(box);
  box.Zeros(24);  // pre-defined
  box.U32(static_cast<std::uint32_t>(tracks.size() + 1));  // next track ID
  box.EndBox();
}

void TrackHeader(BoxBuilder& box, const Mp4Track& track, std::uint32_t track_id,
                 std::uint32_t playing_ticks) {
  const bool video = track.info.kind == kMp4VideoTrack;
  box.StartFullBox("tkhd", 0, 0x000007);  // enabled, in movie, in preview
  box.U32(0);                             // creation time
  box.U32(0);                             // modification time
  box.U32(track_id);
  box.U32(0);  // reserved
  box.U32(MovieScaleDuration(playing_ticks, track.info.time_scale));
  box.Zeros(8);        // reserved
  box.U16(0);          // layer
  box.U16(0);          // alternate group
  box.U16(video ? 0 : 0x0100);  // volume: full for sound, none for pictures
  box.U16(0);          // reserved
  Matrix(box);
  box.U32(video ? (track.info.width_or_channels & 0xFFFF) << 16 : 0);
  box.U32(video ? (track.info.height & 0xFFFF) << 16 : 0);
  box.EndBox();
}

// One edit that starts the presentation after the skipped ticks and plays the rest at normal
// rate; players drop the decoded samples before it (the encoder's priming).
void EditList(BoxBuilder& box, const Mp4Track& track, std::uint32_t playing_ticks) {
  box.StartBox("edts");
  box.StartFullBox("elst", 0, 0);
  box.U32(1);  // entry count
  box.U32(MovieScaleDuration(playing_ticks, track.info.time_scale));  // segment duration
  box.U32(track.info.skipped_ticks);  // media time
  box.U16(1);  // media rate, integer part
  box.U16(0);  // media rate, fraction
  box.EndBox();
  box.EndBox();
}

void MediaHeader(BoxBuilder& box, const Mp4Track& track, std::uint32_t duration) {
  const char* language = track.info.language;
  box.StartFullBox("mdhd", 0, 0);
  box.U32(0);  // creation time
  box.U32(0);  // modification time
  box.U32(track.info.time_scale);
  box.U32(duration);
  box.U16(((language[0] & 0x1F) << 10) | ((language[1] & 0x1F) << 5) | (language[2] & 0x1F));
  box.U16(0);  // pre-defined
  box.EndBox();
}

void HandlerReference(BoxBuilder& box, bool video) {
  static constexpr char kVideoName[] = "VideoHandler";
  static constexpr char kSoundName[] = "SoundHandler";
  box.StartFullBox("hdlr", 0, 0);
  box.U32(0);  // pre-defined
  box.FourCc(video ? "vide" : "soun");
  box.Zeros(12);                                          // reserved
  box.Bytes(video ? kVideoName : kSoundName, sizeof(kVideoName));  // with its NUL
  box.EndBox();
}

void DataInformation(BoxBuilder& box) {
  box.StartBox("dinf");
  box.StartFullBox("dref", 0, 0);
  box.U32(1);                          // entry count
  box.StartFullBox("url ", 0, 0x000001);  // media in this file
  box.EndBox();
  box.EndBox();
  box.EndBox();
}

void AvcSampleEntry(BoxBuilder& box, const Mp4Track& track) {
  box.StartBox("avc1");
  box.Zeros(6);  // reserved
  box.U16(1);    // data reference index
  box.U16(0);    // pre-defined
  box.U16(0);    // reserved
  box.Zeros(12);  // pre-defined
  box.U16(track.info.width_or_channels & 0xFFFF);
  box.U16(track.info.height & 0xFFFF);
  box.U32(0x00480000);  // 72 dpi
  box.U32(0x00480000);
  box.U32(0);     // reserved
  box.U16(1);     // frame count
  box.Zeros(32);  // compressor name
  box.U16(0x0018);  // depth
  box.U16(0xFFFF);  // pre-defined

  const Mp4ParameterList& sps = track.first_list;
  const Mp4ParameterList& pps = track.second_list;
  std::int32_t first_sps_length = 0;
  const std::uint8_t* first_sps = sps.FirstEntry(&first_sps_length);
  const int sps_count = std::min(sps.Count(), kMaxAvcCSequenceParameterSets);
  const int pps_count = std::min(pps.Count(), kMaxAvcCPictureParameterSets);
  box.StartBox("avcC");
  box.U8(1);  // configuration version
  box.U8(first_sps_length > 1 ? first_sps[1] : 0);  // profile_idc
  box.U8(first_sps_length > 2 ? first_sps[2] : 0);  // constraint flags
  box.U8(first_sps_length > 3 ? first_sps[3] : 0);  // level_idc
  box.U8(0xFF);                                     // 4-byte NAL unit lengths
  box.U8(0xE0 | sps_count);
  box.Bytes(sps.data(), static_cast<std::size_t>(sps.SerialisedSize(sps_count)));
  box.U8(pps_count);
  box.Bytes(pps.data(), static_cast<std::size_t>(pps.SerialisedSize(pps_count)));
  const std::uint8_t profile_idc = first_sps_length > 1 ? first_sps[1] : 0;
  if (profile_idc == 100 || profile_idc == 110 || profile_idc == 122 || profile_idc == 144) {
    // These profiles may leave 4:2:0 and 8 bits, so their configuration says which they use.
    const SequenceParameters format = ParseH264Sps(first_sps, static_cast<std::size_t>(first_sps_length));
    box.U8(0xFC | (format.chroma_format_idc & 0x03));
    box.U8(0xF8 | (format.bit_depth_luma_minus8 & 0x07));
    box.U8(0xF8 | (format.bit_depth_chroma_minus8 & 0x07));
    box.U8(0);  // numOfSequenceParameterSetExt
  }
  box.EndBox();
  box.EndBox();
}

void AacSampleEntry(BoxBuilder& box, const Mp4Track& track) {
  const std::uint32_t channels = track.info.width_or_channels;
  box.StartBox("mp4a");
  box.Zeros(6);  // reserved
  box.U16(1);    // data reference index
  box.Zeros(8);  // reserved
  box.U16(channels & 0xFFFF);
  box.U16(16);  // sample size
  box.U16(0);   // pre-defined
  box.U16(0);   // reserved
  box.U32((track.info.sample_rate & 0xFFFF) << 16);  // 16.16

  box.StartFullBox("esds", 0, 0);
  std::int32_t config_length = 0;
  const std::uint8_t* config = track.first_list.FirstEntry(&config_length);
  if (config != nullptr) {
    const auto specific_length = static_cast<std::uint32_t>(config_length);
    const std::uint32_t config_descriptor_length =
        specific_length + DescriptorLengthSize(specific_length) + 14;
    // ES ID and flags (3 bytes), the decoder config descriptor with its tag and length, and the
    // SL config descriptor (3 bytes).
    const std::uint32_t es_descriptor_length =
        config_descriptor_length + DescriptorLengthSize(config_descriptor_length) + 4 + 3;
    box.U8(0x03);  // ES descriptor
    DescriptorLength(box, es_descriptor_length);
    box.U16(0);    // ES ID
    box.U8(0);     // flags
    box.U8(0x04);  // decoder config descriptor
    DescriptorLength(box, config_descriptor_length);
    box.U8(kMp4ObjectTypeAac);
    box.U8(0x14);  // audio stream
    box.U24(channels * 768);  // buffer size
    box.U32(0);  // maximum bit rate
    box.U32(0);  // average bit rate
    box.U8(0x05);  // decoder-specific info
    DescriptorLength(box, specific_length);
    box.Bytes(config, specific_length);
    box.U8(0x06);  // SL config descriptor, which MP4 files must carry
    DescriptorLength(box, 1);
    box.U8(2);  // predefined: reserved for MP4 files
  }
  box.EndBox();
  box.EndBox();
}

void SampleTable(BoxBuilder& box, const Mp4Track& track, const SampleTableSummary& summary) {
  const Mp4SampleIndex& samples = track.samples;
  const std::int64_t count = samples.count();
  box.StartBox("stbl");

  box.StartFullBox("stsd", 0, 0);
  box.U32(1);  // entry count
  if (track.info.kind == kMp4VideoTrack) {
    AvcSampleEntry(box, track);
  } else {
    AacSampleEntry(box, track);
  }
  box.EndBox();

  box.StartFullBox("stts", 0, 0);
  box.U32(summary.time_to_sample_runs);
  for (std::int64_t run_start = 0; run_start < count;) {
    const std::uint32_t delta = samples.At(run_start).duration;
    std::int64_t run_end = run_start + 1;
    while (run_end < count && samples.At(run_end).duration == delta) ++run_end;
    box.U32(static_cast<std::uint32_t>(run_end - run_start));
    box.U32(delta);
    run_start = run_end;
  }
  box.EndBox();

  box.StartFullBox("stsc", 0, 0);
  box.U32(1);  // entry count
  box.U32(1);  // first chunk
  box.U32(1);  // samples per chunk: every sample is its own chunk
  box.U32(1);  // sample description index
  box.EndBox();

  box.StartFullBox("stsz", 0, 0);
  box.U32(0);  // sizes differ
  box.U32(static_cast<std::uint32_t>(count));
  for (std::int64_t i = 0; i < count; ++i) box.U32(static_cast<std::uint32_t>(samples.At(i).size));
  box.EndBox();

  box.StartFullBox(summary.needs_64_bit_offsets ? "co64" : "stco", 0, 0);
  box.U32(static_cast<std::uint32_t>(count));
  for (std::int64_t i = 0; i < count; ++i) {
    if (summary.needs_64_bit_offsets) {
      box.U64(samples.At(i).offset);
    } else {
      box.U32(static_cast<std::uint32_t>(samples.At(i).offset));
    }
  }
  box.EndBox();

  if (summary.sync_samples != count) {
    box.StartFullBox("stss", 0, 0);
    box.U32(summary.sync_samples);
    for (std::int64_t i = 0; i < count; ++i) {
      if (samples.At(i).sync != 0) box.U32(static_cast<std::uint32_t>(i + 1));
    }
    box.EndBox();
  }

  box.EndBox();
}

void Track(BoxBuilder& box, const Mp4Track& track, const SampleTableSummary& summary, std::uint32_t track_id) {
  const bool video = track.info.kind == kMp4VideoTrack;
  const std::uint32_t playing_ticks = PlayingTicks(track, summary);
  box.StartBox("trak");
  TrackHeader(box, track, track_id, playing_ticks);
  if (track.info.skipped_ticks != 0) EditList(box, track, playing_ticks);
  box.StartBox("mdia");
  MediaHeader(box, track, summary.duration);
  HandlerReference(box, video);
  box.StartBox("minf");
  if (video) {
    box.StartFullBox("vmhd", 0, 0x000001);
    box.U16(0);    // graphics mode
    box.Zeros(6);  // opcolor
    box.EndBox();
  } else {
    box.StartFullBox("smhd", 0, 0);
    box.U16(0);  // balance
    box.U16(0);  // reserved
    box.EndBox();
  }
  DataInformation(box);
  SampleTable(box, track, summary);
  box.EndBox();  // minf
  box.EndBox();  // mdia
  box.EndBox();  // trak
}

}  // namespace

std::int64_t MovieBoxSizeEstimate(const std::vector<Mp4Track>& tracks) {
  std::int64_t size = 256;
  for (const Mp4Track& track : tracks) {
    size += std::int64_t{track.samples.bytes()} * 32 / 24 + track.first_list.size() +
            track.second_list.size() + 512;
  }
  return size;
}

void BuildMovieBox(const std::vector<Mp4Track>& tracks, BoxBuilder& builder) {
  std::vector<SampleTableSummary> summaries;
  summaries.reserve(tracks.size());
  for (const Mp4Track& track : tracks) summaries.push_back(Summarise(track.samples));
  builder.StartBox("moov");
  MovieHeader(builder, tracks, summaries);
  for (std::size_t i = 0; i < tracks.size(); ++i) {
    // A track without samples gets no `trak`, but its ID stays taken.
    if (tracks[i].samples.count() > 0) Track(builder, tracks[i], summaries[i], static_cast<std::uint32_t>(i + 1));
  }
  builder.EndBox();
}

}  // namespace moraine
