#pragma once

// The state of a conversion that outlives single records and output files; the Converter owns it
// and the record loop of each run works on it. The privacy step's share of it is the base, so the
// privacy library works on that share alone.

#include "moraine/mp4/mp4_output.h"
#include "moraine/overlay/overlay.h"
#include "moraine/privacy/privacy_state.h"
#include "moraine/recording/info_record.h"

namespace moraine {

struct ConversionState : PrivacyState {
  // The current output file's writer and tracks, and the audio waiting for the AAC encoder.
  Mp4Output mp4;
  // Duration of each audio record by its sequence number (from 1), until its sound is encoded.
  AudioDurationMap audio_durations;
  // The latest privacy switches record; both off until one arrives.
  PrivacySwitches privacy_switches;
  // What the recorder's analytics reported, kept across output files and drawn onto every picture.
  Overlay overlay;
};

}  // namespace moraine
