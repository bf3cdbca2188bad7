// Analytic records stored and drawn into pictures, as the record loop drives the overlay: records
// are stored as they arrive, and each picture is composed and the store expired after it.
//
// Input: frame width and height (2 bytes each, big-endian), then items, each a kind byte and a
// 4-byte big-endian record time, then by the kind's low two bits:
//   0: a one-letter record, its length (1 byte) and payload;
//   1: a structured block, its length (2 bytes) and payload; with bit 0x80 of the kind the
//      payload's own total-length field is set to that length first;
//   2, 3: a picture composed; with bit 0x40 of the kind a new frame size (4 bytes) first.
// A length running past the end takes what is left. One more picture is composed after the last item.
//
// Every picture lies in a heap block of exactly the size the overlay draws into, so that a write
// past it is caught. Checks that a picture is left alone while nothing is stored to draw, that a
// second overlay fed the same items draws the same pictures, and that a block one byte too long
// or too short passes untouched.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <utility>
#include <vector>

#include "moraine/overlay/overlay.h"

namespace {

constexpr std::int32_t kMaxWidth = 720;  // the widest reference size is 704
constexpr std::int32_t kMaxHeight = 480;
constexpr int kMaxPictures = 16;  // keeps an input of many short compose items fast
constexpr std::uint8_t kBackground = 0x80;
constexpr std::uint8_t kItemMask = 0x03;
constexpr std::uint8_t kPatchLengthField = 0x80;
constexpr std::uint8_t kNewFrameSize = 0x40;
constexpr std::size_t kBlockLengthOffset = 3;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

class Input {
 public:
  explicit Input(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

  bool Empty() const { return position_ >= bytes_.size(); }

  // Missing bytes read as zero: a cut-off input still makes a whole item.
  std::uint32_t Read(std::size_t count) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < count; ++i) {
      value = value << 8 | (position_ < bytes_.size() ? bytes_[position_] : 0);
      ++position_;
    }
    return value;
  }

  std::span<const std::uint8_t> Take(std::size_t wanted) {
    const std::size_t start = std::min(position_, bytes_.size());
    const std::size_t length = std::min(wanted, bytes_.size() - start);
    position_ = start + length;
    return bytes_.subspan(start, length);
  }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t position_ = 0;
};

// The byte count ComposeFrame accepts for a width × height picture: luma, then the chroma rows of
// the even part of the width.
std::size_t PictureBytes(std::int32_t width, std::int32_t height) {
  return static_cast<std::size_t>(width) * height + static_cast<std::size_t>(width & ~1) * (height / 2);
}

// Every byte the background; compared as one block, since a byte loop under the coverage
// instrumentation costs more than all the drawing.
bool Untouched(const std::vector<std::uint8_t>& picture) {
  return picture.empty() ||
         (picture.front() == kBackground && std::memcmp(picture.data(), picture.data() + 1, picture.size() - 1) == 0);
}

bool NothingToDraw(moraine::Overlay& overlay) {
  const moraine::AnalyticTables& tables = overlay.tables();
  return tables.motion().empty() && tables.loitering().empty() && tables.perimeter().empty() && tables.fire().empty() &&
         overlay.metadata().GetDrawingObjects({}).empty();
}

struct Frame {
  std::int32_t width = 0;
  std::int32_t height = 0;
};

Frame ReadFrame(Input& input) {
  const auto width = static_cast<std::int32_t>(1 + input.Read(2) % kMaxWidth);
  const auto height = static_cast<std::int32_t>(1 + input.Read(2) % kMaxHeight);
  return {width, height};
}

// The block is allocated again only when its size changes, always to exactly that size: fresh
// pages for every big picture would cost more than the drawing.
void Refill(std::vector<std::uint8_t>& picture, std::size_t length) {
  if (picture.size() != length) picture = std::vector<std::uint8_t>(length);
  std::fill(picture.begin(), picture.end(), kBackground);
}

void Compose(moraine::Overlay& overlay, Frame frame, std::uint32_t time, std::vector<std::uint8_t>& picture) {
  Refill(picture, PictureBytes(frame.width, frame.height));
  const bool empty = NothingToDraw(overlay);
  overlay.ComposeFrame(picture.data(), picture.size(), frame.width, frame.height, time);
  overlay.Expire(time);
  if (empty) Check(Untouched(picture));
}

void CheckWrongLengthsPassUntouched(moraine::Overlay& overlay, Frame frame, std::uint32_t time) {
  const std::size_t exact = PictureBytes(frame.width, frame.height);
  static std::vector<std::uint8_t> shorter;
  static std::vector<std::uint8_t> longer;
  for (auto [picture, length] : {std::pair{&shorter, exact - 1}, std::pair{&longer, exact + 1}}) {
    if (length == 0) continue;
    Refill(*picture, length);
    overlay.ComposeFrame(picture->data(), picture->size(), frame.width, frame.height, time);
    Check(Untouched(*picture));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input input({data, size});
  Frame frame = ReadFrame(input);
  // Two overlays in step: the second one's pictures must match the first's.
  moraine::Overlay overlay;
  moraine::Overlay twin;
  // A record time of 0 reads the clock, which may move between the two.
  bool clock_read = false;
  std::uint32_t time = 0;
  int pictures = 0;
  static std::vector<std::uint8_t> picture;
  static std::vector<std::uint8_t> twin_picture;
  const auto compose = [&] {
    clock_read = clock_read || time == 0;
    Compose(overlay, frame, time, picture);
    Compose(twin, frame, time, twin_picture);
    if (!clock_read) Check(picture == twin_picture);
    ++pictures;
  };

  while (!input.Empty()) {
    const auto kind = static_cast<std::uint8_t>(input.Read(1));
    time = input.Read(4);
    switch (kind & kItemMask) {
      case 0: {
        const std::span<const std::uint8_t> payload = input.Take(input.Read(1));
        overlay.StoreOneLetterRecord(payload.data(), payload.size(), time);
        twin.StoreOneLetterRecord(payload.data(), payload.size(), time);
        break;
      }
      case 1: {
        const std::span<const std::uint8_t> taken = input.Take(input.Read(2));
        std::vector<std::uint8_t> payload(taken.begin(), taken.end());
        if ((kind & kPatchLengthField) != 0 && payload.size() >= kBlockLengthOffset + 2) {
          payload[kBlockLengthOffset] = static_cast<std::uint8_t>(payload.size() >> 8);
          payload[kBlockLengthOffset + 1] = static_cast<std::uint8_t>(payload.size());
        }
        overlay.StoreStructuredBlock(payload.data(), payload.size(), time);
        twin.StoreStructuredBlock(payload.data(), payload.size(), time);
        break;
      }
      default:
        if ((kind & kNewFrameSize) != 0) frame = ReadFrame(input);
        if (pictures < kMaxPictures) compose();
        break;
    }
  }
  compose();
  CheckWrongLengthsPassUntouched(overlay, frame, time);
  return 0;
}
