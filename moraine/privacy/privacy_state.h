#pragma once

// What the privacy step keeps across the pictures and output files of a conversion: whether the
// stream is privacy-marked, what the pixelation pass asked for, the Anonymizer binding and the work
// image, and what could not be masked.

#include <cstdint>

#include "moraine/overlay/object_pixelation.h"
#include "moraine/privacy/object_pixelator.h"
#include "moraine/privacy/work_image.h"

namespace moraine {

struct PrivacyState {
  // Set once a video or parameter-set record carried the privacy marker; never cleared.
  bool privacy_marked = false;
  // The binding of the optional Anonymizer module.
  ObjectPixelator object_pixelator;
  // Anonymizer algorithm and pixelation level, as the pixelation pass last set them.
  PixelationSettings pixelation;
  // Set by the anonymizer option step: the privacy path runs on privacy-marked pictures.
  bool pixelation_active = false;
  // The privacy path's 24-bit image, reused from picture to picture of one size.
  WorkImage work_image;
  // Privacy-marked pictures that could not be masked as the recording asks and were covered whole
  // instead; the first of them is reported.
  std::uint64_t privacy_fail_closed_pictures = 0;
  // The built-in mosaic standing in for a missing Anonymizer module is reported once.
  bool mosaic_fallback_reported = false;
};

}  // namespace moraine
