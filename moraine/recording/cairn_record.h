#pragma once

// The 16-byte record header of a Cairn recording and the two times derived from it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>

namespace moraine {

inline constexpr std::size_t kCairnHeaderSize = 16;

// Kinds of record, bits 0-3 of header byte 0. Every other value is read and skipped.
enum class RecordKind : std::uint8_t {
  kVideoFrame = 1,
  kVideoFrameAlt = 2,
  kInfo = 4,
  kParameterSet = 5,
  kAudioFrame = 6,
};

struct CairnRecordHeader {
  std::uint8_t kind = 0;          // 0-15
  std::uint32_t length = 0;       // payload bytes, 24-bit
  std::uint16_t milliseconds = 0;
  std::uint32_t seconds = 0;      // since 1970-01-01 UTC
  std::int8_t zone = 0;           // quarter hours from UTC
};

// Decodes a header from its 16 bytes (little-endian fields; unread bytes ignored).
CairnRecordHeader DecodeCairnHeader(const std::uint8_t* bytes);

// Encodes a header into 16 bytes; bytes the format does not read are zero.
std::array<std::uint8_t, kCairnHeaderSize> EncodeCairnHeader(const CairnRecordHeader& header);

bool IsVideoFrameKind(std::uint8_t kind);
// Kinds 1, 2, 5 and 6 stamp the record time; info records inherit the latest one.
bool TakesRecordTime(std::uint8_t kind);

// seconds × 1000 + milliseconds, wrapping modulo 2^32.
std::uint32_t RecordTime(const CairnRecordHeader& header);

// seconds + 900 × zone (32-bit wrap), broken down with UTC rules.
std::tm WallClockTime(const CairnRecordHeader& header);

}  // namespace moraine
