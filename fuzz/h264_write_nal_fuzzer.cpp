// Feeds arbitrary bytes, cut into NAL units at their start codes, through the H.264 ingestion
// into an in-memory MP4 file, then finishes the file.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "bitstream/nal_units.h"
#include "moraine/mp4/h264_track_feeder.h"
#include "moraine/mp4/memory_write_target.h"
#include "moraine/mp4/mp4_output.h"
#include "moraine/mp4/mp4_writer.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  moraine::MemoryWriteTarget target;
  moraine::Mp4WriterPtr writer = moraine::MP4E_create(&target);
  const int track = moraine::MP4E_new_track(writer.get(), moraine::VideoTrackInfo());
  {
    moraine::H264TrackFeeder feeder(writer.get(), track);
    // Each unit goes in on its own with its start code, as the conversion passes them; the
    // duration varies with the input so that time-to-sample runs form.
    const std::span<const std::uint8_t> input(data, size);
    std::size_t from = 0;
    while (const std::optional<moraine::NalUnit> unit = moraine::NextNalUnit(input, from)) {
      const std::size_t start = unit->payload_offset - 3;
      const std::span<const std::uint8_t> payload = moraine::PayloadWithoutTrailingZeros(input, *unit);
      const std::uint32_t duration = payload.empty() ? 0 : payload.back() * 100u;
      moraine::h264_write_nal(feeder, data + start, unit->payload_offset + payload.size() - start, duration);
      from = unit->payload_offset + unit->size;
    }
    // And the whole input at once, as one buffer of several units.
    moraine::h264_write_nal(feeder, data, size, 3600);
  }
  moraine::MP4E_finish(std::move(writer));
  return 0;
}
