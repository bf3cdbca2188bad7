#include "moraine/recording/cairn_record.h"

namespace moraine {
namespace {

// Wall-clock times beyond 2038 must still break down correctly.
static_assert(sizeof(std::time_t) >= 8, "a 64-bit time_t is needed for far dates");

std::uint32_t ReadLittleEndian32(const std::uint8_t* bytes) {
  return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
         static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

void WriteLittleEndian(std::uint8_t* bytes, std::uint32_t value, int width) {
  for (int i = 0; i < width; ++i) bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

constexpr std::size_t kKindOffset = 0;
constexpr std::size_t kLengthOffset = 2;
constexpr std::size_t kMillisecondsOffset = 5;
constexpr std::size_t kSecondsOffset = 7;
constexpr std::size_t kZoneOffset = 15;
constexpr std::uint32_t kSecondsPerZoneStep = 900;

}  // namespace

CairnRecordHeader DecodeCairnHeader(const std::uint8_t* bytes) {
  CairnRecordHeader header;
  header.kind = bytes[kKindOffset] & 0x0F;
  header.length = bytes[kLengthOffset] | bytes[kLengthOffset + 1] << 8 | bytes[kLengthOffset + 2] << 16;
  header.milliseconds = static_cast<std::uint16_t>(bytes[kMillisecondsOffset] | bytes[kMillisecondsOffset + 1] << 8);
  header.seconds = ReadLittleEndian32(bytes + kSecondsOffset);
  header.zone = static_cast<std::int8_t>(bytes[kZoneOffset]);
  return header;
}

std::array<std::uint8_t, kCairnHeaderSize> EncodeCairnHeader(const CairnRecordHeader& header) {
  std::array<std::uint8_t, kCairnHeaderSize> bytes{};
  bytes[kKindOffset] = header.kind & 0x0F;
  WriteLittleEndian(bytes.data() + kLengthOffset, header.length & 0xFFFFFF, 3);
  WriteLittleEndian(bytes.data() + kMillisecondsOffset, header.milliseconds, 2);
  WriteLittleEndian(bytes.data() + kSecondsOffset, header.seconds, 4);
  bytes[kZoneOffset] = static_cast<std::uint8_t>(header.zone);
  return bytes;
}

bool IsVideoFrameKind(std::uint8_t kind) {
  return kind == static_cast<std::uint8_t>(RecordKind::kVideoFrame) ||
         kind == static_cast<std::uint8_t>(RecordKind::kVideoFrameAlt);
}

bool TakesRecordTime(std::uint8_t kind) {
  return IsVideoFrameKind(kind) || kind == static_cast<std::uint8_t>(RecordKind::kParameterSet) ||
         kind == static_cast<std::uint8_t>(RecordKind::kAudioFrame);
}

std::uint32_t RecordTime(const CairnRecordHeader& header) {
  return header.seconds * 1000u + header.milliseconds;
}

std::tm WallClockTime(const CairnRecordHeader& header) {
  // The zone is signed, the sum wraps like the recorder's own 32-bit arithmetic.
  const std::uint32_t zone_offset = static_cast<std::uint32_t>(static_cast<std::int32_t>(header.zone) *
                                                               static_cast<std::int32_t>(kSecondsPerZoneStep));
  const std::uint32_t local_seconds = header.seconds + zone_offset;
  const std::time_t time = static_cast<std::time_t>(local_seconds);
  std::tm broken_down{};
  gmtime_r(&time, &broken_down);
  return broken_down;
}

}  // namespace moraine
