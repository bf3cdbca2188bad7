#pragma once

// The state of a conversion that outlives single records and output files; the Converter owns it
// and the record loop of each run works on it.

#include <cstdint>

#include "moraine/mp4/mp4_output.h"
#include "moraine/overlay/object_pixelation.h"
#include "moraine/overlay/overlay.h"
#include "moraine/privacy/object_pixelator.h"
#include "moraine/privacy/work_image.h"
#include "moraine/recording/info_record.h"

namespace moraine {

struct ConversionState {
  // The current output file's writer and tracks, and the audio waiting for the AAC encoder.
  Mp4Output mp4;
  // Duration of each audio record by its sequence number (from 1), until its sound is encoded.
  AudioDurationMap audio_durations;
  // Set once a video or parameter-set record carried the privacy marker; never cleared.
  bool privacy_marked = false;
  // The binding of the optional Anonymizer module.
  ObjectPixelator object_pixelator;
  // The latest privacy switches record; both off until one arrives.
  PrivacySwitches privacy_switches;
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
  // What the recorder's analytics reported, kept across output files and drawn onto every picture.
  Overlay overlay;
};

}  // namespace moraine
