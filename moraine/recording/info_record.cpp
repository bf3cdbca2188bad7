#include "moraine/recording/info_record.h"

#include "moraine/recording/codec_table.h"

namespace moraine {
namespace {

constexpr std::size_t kCodecDescriptorSize = 1 + kCodecNumberTextSize;
constexpr std::size_t kPrivacySwitchesSize = 3;

}  // namespace

InfoRecordType ClassifyInfoRecord(const std::uint8_t* payload, std::size_t size, bool codec_pending) {
  if (size == 0) return InfoRecordType::kNone;
  const std::uint8_t first = payload[0];
  if (size == kCodecDescriptorSize && first == 'c' && codec_pending) return InfoRecordType::kCodecDescriptor;
  if (size == kPrivacySwitchesSize && first == 'B') return InfoRecordType::kPrivacySwitches;
  if (first == 'G') return InfoRecordType::kStructuredMetadata;
  if (OneLetterForm(payload, size) != 0) return InfoRecordType::kOneLetterMetadata;
  return InfoRecordType::kNone;
}

char OneLetterForm(const std::uint8_t* payload, std::size_t size) {
  if (size == 0) return 0;
  // ASCII upper case only; the locale must not decide what a recording means.
  const std::uint8_t letter = (payload[0] >= 'a' && payload[0] <= 'z') ? payload[0] - ('a' - 'A') : payload[0];
  switch (letter) {
    case 'C':
    case 'F':
    case 'L':
    case 'M':
    case 'P':
      return static_cast<char>(letter);
    default:
      return 0;
  }
}

PrivacySwitches ReadPrivacySwitches(const std::uint8_t* payload, std::size_t size) {
  if (size < kPrivacySwitchesSize) return {};
  return {payload[1] == 1, payload[2] == 1};
}

}  // namespace moraine
