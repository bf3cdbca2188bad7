#include "moraine/recording/codec_table.h"

#include <array>
#include <cstdlib>

namespace moraine {

std::int32_t ParseCodecNumber(const std::uint8_t* text) {
  // atoi needs a terminated string; the record's four bytes are not one.
  std::array<char, kCodecNumberTextSize + 1> terminated{};
  for (std::size_t i = 0; i < kCodecNumberTextSize; ++i) terminated[i] = static_cast<char>(text[i]);
  // Four characters cannot overflow an int, so atoi is well defined here.
  return std::atoi(terminated.data());
}

CodecSettings LookUpCodec(std::int32_t codec_number) {
  constexpr bool kH264 = false;
  constexpr bool kHevc = true;
  switch (codec_number) {
    case 0:
    case 1:
      return {10, 32000, 8000, kH264};
    case 5:
      return {4, 16000, 8000, kH264};
    case 6:
      return {4, 24000, 8000, kH264};
    case 7:
      return {4, 32000, 8000, kH264};
    case 8:
      return {4, 40000, 8000, kH264};
    case 9:
      return {4, 64000, 8000, kH264};
    case 10:
      return {5, 32000, 8000, kH264};
    case 16:
    case 36:
      return {6, 64000, 8000, kH264};
    case 17:
      return {12, 64000, 8000, kH264};
    case 22:
    case 23:
      return {9, 64000, 8000, kH264};
    case 24:
    case 27:
    case 37:
    case 38:
      return {11, 64000, 8000, kH264};
    case 26:
      return {10, 16000, 8000, kH264};
    case 28:
      return {4, 32000, 16000, kHevc};
    case 29:
      return {3, 32000, 16000, kHevc};
    case 30:
      return {4, 16000, 8000, kHevc};
    case 31:
      return {4, 24000, 8000, kHevc};
    case 32:
      return {4, 32000, 8000, kHevc};
    case 33:
      return {4, 40000, 8000, kHevc};
    case 34:
      return {4, 64000, 8000, kHevc};
    case 35:
      return {5, 64000, 8000, kHevc};
    default:
      return {3, 32000, 16000, kH264};
  }
}

}  // namespace moraine
