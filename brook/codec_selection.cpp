#include "brook/codec_selection.h"

#include <array>

namespace brook {
namespace {

constexpr int kTelephoneRate = 8000;
constexpr int kWidebandRate = 16000;
constexpr int kG726MinBitsPerCode = 2;
constexpr int kG726MaxBitsPerCode = 5;

struct SelectorRow {
  std::int32_t selector;
  CodecChoice choice;
};

constexpr std::array kSelectorTable{
    SelectorRow{3, {AV_CODEC_ID_ADPCM_G722, kWidebandRate, 0}},
    SelectorRow{4, {AV_CODEC_ID_AAC, 0, 0}},
    SelectorRow{5, {AV_CODEC_ID_PCM_MULAW, kTelephoneRate, 0}},
    SelectorRow{6, {AV_CODEC_ID_PCM_MULAW, kTelephoneRate, 0}},
    SelectorRow{9, {AV_CODEC_ID_PCM_ALAW, kTelephoneRate, 0}},
    SelectorRow{10, {AV_CODEC_ID_ADPCM_G726, kTelephoneRate, 0}},
    SelectorRow{11, {AV_CODEC_ID_PCM_ALAW, kTelephoneRate, 0}},
    SelectorRow{12, {AV_CODEC_ID_PCM_MULAW, kTelephoneRate, 0}},
};

}  // namespace

std::optional<CodecChoice> SelectCodec(std::int32_t codec_selector, std::int32_t rate_value) {
  for (const SelectorRow& row : kSelectorTable) {
    if (row.selector != codec_selector) continue;
    CodecChoice choice = row.choice;
    if (choice.codec_id == AV_CODEC_ID_ADPCM_G726) {
      // The rate value is the bit rate; at 8000 code words a second it gives the code word size.
      const std::int32_t bits_per_code = rate_value / kTelephoneRate;
      if (bits_per_code < kG726MinBitsPerCode || bits_per_code > kG726MaxBitsPerCode) return std::nullopt;
      choice.bits_per_coded_sample = bits_per_code;
    }
    return choice;
  }
  return std::nullopt;
}

}  // namespace brook
