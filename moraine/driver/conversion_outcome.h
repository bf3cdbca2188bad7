#pragma once

// What became of a conversion: the MP4 files it finished, whether an error cut it short, and what
// the recording held, so that a run that yields no file can say why.

#include <cstdint>
#include <string>

namespace moraine {

// What the walk over the records found.
struct RecordingFindings {
  std::uint64_t records = 0;     // records with a payload that the reader delivered
  bool output_started = false;   // a codec descriptor (or the first parameter sets) opened an output
  bool video_started = false;    // parameter sets gave a picture size
  std::int64_t audio_records = 0;
};

struct ConversionOutcome {
  int finished_files = 0;  // complete MP4 files under their final names
  bool failed = false;     // an error, reported when it happened, cut the conversion short
  RecordingFindings findings;

  // The conversion succeeded: at least one file was finished and nothing failed.
  bool succeeded() const { return finished_files > 0 && !failed; }
};

// The line for standard error (with its newline) when a run that did not fail finished no file:
// no record could be read, or what the records lacked.
std::string NoOutputReason(const RecordingFindings& findings);

}  // namespace moraine
