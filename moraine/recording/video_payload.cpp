#include "moraine/recording/video_payload.h"

namespace moraine {
namespace {

constexpr std::size_t kMarkerOffset = 3;
constexpr std::uint8_t kPrivacyMarker = 0x11;
constexpr std::uint8_t kStartCodeEnd = 0x01;
constexpr std::size_t kNalHeaderOffset = 4;

}  // namespace

bool RemovePrivacyMarker(std::uint8_t* payload, std::size_t size) {
  if (size <= kMarkerOffset || payload[kMarkerOffset] != kPrivacyMarker) return false;
  payload[kMarkerOffset] = kStartCodeEnd;
  return true;
}

std::optional<std::uint8_t> NalUnitType(const std::uint8_t* payload, std::size_t size, bool hevc) {
  if (size <= kNalHeaderOffset) return std::nullopt;
  const std::uint8_t header = payload[kNalHeaderOffset];
  return hevc ? static_cast<std::uint8_t>((header >> 1) & 0x3F) : static_cast<std::uint8_t>(header & 0x1F);
}

}  // namespace moraine
