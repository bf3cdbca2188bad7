// Remuxes an H.264 byte stream (Annex B) into an MP4 file through the track feeder and the MP4
// writer, the way the conversion writes its video: mp4_remux_bench <in.h264> <out.mp4>.
// Reads the input in pieces, so memory stays flat apart from the writer's index.

#include <cstdio>
#include <cstring>
#include <optional>
#include <span>
#include <vector>

#include "bitstream/nal_units.h"
#include "moraine/mp4/file_write_target.h"
#include "moraine/mp4/h264_track_feeder.h"
#include "moraine/mp4/mp4_output.h"
#include "moraine/mp4/mp4_writer.h"

namespace {

constexpr std::size_t kReadSize = 8 << 20;
constexpr std::uint32_t kPictureDuration = 3600;  // 25 pictures a second at 90 kHz

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

bool IsPassedOn(int nal_type) { return nal_type == 1 || nal_type == 5 || nal_type == 7 || nal_type == 8; }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: mp4_remux_bench <in.h264> <out.mp4>\n");
    return 2;
  }
  std::unique_ptr<std::FILE, FileCloser> input(std::fopen(argv[1], "rb"));
  std::unique_ptr<std::FILE, FileCloser> output(std::fopen(argv[2], "wb"));
  if (!input || !output) {
    std::fprintf(stderr, "cannot open the files\n");
    return 1;
  }
  moraine::FileWriteTarget target(output.get());
  moraine::Mp4WriterPtr writer = moraine::MP4E_create(&target);
  const int track = moraine::MP4E_new_track(writer.get(), moraine::VideoTrackInfo());
  moraine::H264TrackFeeder feeder(writer.get(), track);

  std::vector<std::uint8_t> buffer;
  std::size_t filled = 0;
  bool at_end = false;
  long long failures = 0;
  while (!at_end || filled > 0) {
    if (!at_end) {
      if (buffer.size() < filled + kReadSize) buffer.resize(filled + kReadSize);
      const std::size_t got = std::fread(buffer.data() + filled, 1, kReadSize, input.get());
      filled += got;
      at_end = got < kReadSize;
    }
    // Hand on every unit known to be complete: followed by a start code, or the input's end.
    std::size_t from = 0;
    std::size_t keep_from = filled;
    const std::span<const std::uint8_t> stream(buffer.data(), filled);
    while (const std::optional<moraine::NalUnit> unit = moraine::NextNalUnit(stream, from)) {
      const std::size_t unit_end = unit->payload_offset + unit->size;
      const std::size_t start = unit->payload_offset - 3;
      if (unit_end == filled && !at_end) {
        keep_from = start;
        break;
      }
      const std::span<const std::uint8_t> payload = moraine::PayloadWithoutTrailingZeros(stream, *unit);
      if (!payload.empty() && IsPassedOn(payload[0] & 0x1F)) {
        const int type = payload[0] & 0x1F;
        const std::size_t end = unit->payload_offset + payload.size();
        if (moraine::h264_write_nal(feeder, buffer.data() + start, end - start,
                                    type >= 7 ? 0 : kPictureDuration) != 0) {
          ++failures;
        }
      }
      from = unit_end;
    }
    if (at_end) keep_from = filled;
    std::memmove(buffer.data(), buffer.data() + keep_from, filled - keep_from);
    filled -= keep_from;
    if (at_end) break;
  }
  const long long samples = moraine::MP4E_sample_count(writer.get(), track);
  const int status = moraine::MP4E_finish(std::move(writer));
  std::printf("samples %lld, failed units %lld, finish status %d\n", samples, failures, status);
  return status == 0 && failures == 0 ? 0 : 1;
}
