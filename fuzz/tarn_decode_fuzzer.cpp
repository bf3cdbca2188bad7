// Feeds arbitrary access units to a decoder that was created with valid parameter sets.
//
// Input: one byte choosing the codec (even: H.264, odd: HEVC), then access units, each behind a
// two-byte big-endian length; a length running past the end takes what is left. After every access
// unit the picture, if any, is fetched and released.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "tarn/tarn_exports.h"

namespace {

// Parameter sets of a 64 × 64 stream, made with
//   ffmpeg -f lavfi -i testsrc2=size=64x64:rate=25 -frames:v 3 -pix_fmt yuv420p -c:v libx264 -bf 0 -f h264
const std::uint8_t kH264ParameterSets[] = {
    0x00, 0x00, 0x00, 0x01, 0x67, 0x64, 0x00, 0x0a, 0xac, 0xb2, 0x08, 0x4d, 0x80, 0x88, 0x00, 0x00, 0x03, 0x00, 0x08,
    0x00, 0x00, 0x03, 0x01, 0x90, 0x78, 0x91, 0x32, 0x40, 0x00, 0x00, 0x00, 0x01, 0x68, 0xeb, 0xc3, 0xcb, 0x22, 0xc0};

// The same with -c:v libx265 -x265-params bframes=0 -f hevc.
const std::uint8_t kHevcParameterSets[] = {
    0x00, 0x00, 0x00, 0x01, 0x40, 0x01, 0x0c, 0x01, 0xff, 0xff, 0x01, 0x60, 0x00, 0x00, 0x03, 0x00, 0x90, 0x00,
    0x00, 0x03, 0x00, 0x00, 0x03, 0x00, 0x1e, 0x92, 0x80, 0x90, 0x00, 0x00, 0x00, 0x01, 0x42, 0x01, 0x01, 0x01,
    0x60, 0x00, 0x00, 0x03, 0x00, 0x90, 0x00, 0x00, 0x03, 0x00, 0x00, 0x03, 0x00, 0x1e, 0xa0, 0x20, 0x81, 0x05,
    0x96, 0x4a, 0x92, 0x4c, 0xaf, 0x01, 0x68, 0x08, 0x00, 0x00, 0x03, 0x00, 0x08, 0x00, 0x00, 0x03, 0x00, 0xc8,
    0x40, 0x00, 0x00, 0x00, 0x01, 0x44, 0x01, 0xc1, 0x72, 0xb4, 0x22, 0x40};

constexpr std::int32_t kHandle = 0;

void FetchPicture() {
  std::uint8_t* picture = nullptr;
  std::int32_t size = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  if (TarnGetDecodedVideoFrame(kHandle, &picture, &size, &width, &height) != 0 || picture == nullptr) return;
  const std::unique_ptr<std::uint8_t[]> owned(picture);
  // Touch the last byte so that a block shorter than its reported size shows up.
  volatile std::uint8_t last = owned[static_cast<std::size_t>(size) - 1];
  (void)last;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const bool hevc = (data[0] & 1) != 0;
  const bool created = hevc ? TarnCreate(kHandle, 13, 64, 64, kHevcParameterSets, sizeof kHevcParameterSets)
                            : TarnCreate(kHandle, 1, 64, 64, kH264ParameterSets, sizeof kH264ParameterSets);
  if (!created) __builtin_trap();  // the parameter sets are valid: a refusal is a fault of its own

  std::size_t position = 1;
  while (position + 2 <= size) {
    std::size_t length = (static_cast<std::size_t>(data[position]) << 8) | data[position + 1];
    position += 2;
    if (length > size - position) length = size - position;
    TarnDecodeVideoFrame(kHandle, 0, data + position, static_cast<std::int32_t>(length));
    FetchPicture();
    position += length;
  }
  TarnClose(kHandle);
  return 0;
}
