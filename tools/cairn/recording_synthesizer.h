#pragma once

// Makes a whole synthetic recording from its options: pictures of the scene encoded as video
// records (parameter sets before every IDR picture), audio records, the codec descriptor and the
// analytic and privacy info records, in time order.

#include <optional>
#include <string>
#include <vector>

#include "tools/cairn/recording_writer.h"
#include "tools/cairn/synth_options.h"

namespace moraine::cairn {

struct SynthesisReport {
  std::size_t pictures = 0;
  std::size_t parameter_sets = 0;
  std::size_t audio_frames = 0;
  std::size_t info_records = 0;
  std::size_t bytes = 0;
};

// The records of the recording, before ordering and faults; nullopt and a message in `error`
// when an encoder fails.
std::optional<std::vector<PendingRecord>> BuildRecords(const SynthOptions& options, std::string& error);

// Builds the records, orders them, applies the requested faults and writes the file.
std::optional<SynthesisReport> SynthesizeRecording(const SynthOptions& options, std::string& error);

}  // namespace moraine::cairn
