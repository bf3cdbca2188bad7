#pragma once

// Classification of the payload of an info record (kind 4); the first matching rule wins.

#include <cstddef>
#include <cstdint>

namespace moraine {

enum class InfoRecordType {
  kCodecDescriptor,     // "c" + four bytes of codec number, honoured once per recording
  kPrivacySwitches,     // "B" + two switch bytes
  kStructuredMetadata,  // "G" + an analytic metadata block, any length
  kOneLetterMetadata,   // 'C', 'F', 'L', 'M' or 'P' in either case + its fields
  kNone,                // anything else: carries nothing the converter uses
};

// `codec_pending` is true while no codec descriptor has been honoured; a later descriptor is read
// like any other one-letter record (as 'C').
InfoRecordType ClassifyInfoRecord(const std::uint8_t* payload, std::size_t size, bool codec_pending);

// The form letter of a one-letter record in upper case ('C', 'F', 'L', 'M', 'P'); 0 for any
// other first byte or an empty payload.
char OneLetterForm(const std::uint8_t* payload, std::size_t size);

struct PrivacySwitches {
  bool one = false;
  bool two = false;
};

// Reads the two switches of a privacy-switches record; each is on exactly when its byte is 1.
PrivacySwitches ReadPrivacySwitches(const std::uint8_t* payload, std::size_t size);

}  // namespace moraine
