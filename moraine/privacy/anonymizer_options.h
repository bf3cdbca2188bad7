#pragma once

// The anonymizer option step: what the record loop does when the picture size is set or changes
// and after every pixelation pass, so that the privacy path finds its work image and the module
// its options for the current level, algorithm and picture size.

#include <cstdint>

#include "moraine/privacy/anonymizer_interface.h"
#include "moraine/privacy/privacy_state.h"

namespace moraine {

struct PictureSize {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
};

// Pixelation is active from now on exactly when `level` is not 0. For a privacy-marked stream:
// when `new_size` differs from `old_size` the work image is made for `new_size` (a size it cannot
// take leaves none, and the privacy path then tries again); with an anonymizer object, the module
// gets the options of AnonymizerOptions for the stored algorithm.
void RunAnonymizerOptionStep(PrivacyState& state, std::int32_t level, PictureSize new_size,
                             PictureSize old_size);

// Pixelated masking with blocks of (width + height) / level pixels, where a level above 100 (as
// an unsigned number, so negative ones too) counts as 100 and 0 as 1.
AnonymizationParameters AnonymizerOptions(std::int32_t level, std::int32_t algorithm, PictureSize size);

}  // namespace moraine
