#pragma once

// The one conversion object of a run: it owns the state that lives as long as the conversion.

#include <cstdint>
#include <string>

#include "moraine/driver/conversion_state.h"
#include "moraine/pipeline/media_modules.h"

namespace moraine {

class RecordLoop;

// Files of the run-time modules; names without a folder are looked for beside the program first.
struct ConverterModuleFiles {
  MediaModuleFiles media;
  std::string anonymizer = platform::ModuleFileName("Anonymizer");
};

class Converter {
 public:
  explicit Converter(std::string input_path, ConverterModuleFiles module_files = {});
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  static constexpr std::int32_t kSucceeded = 0;
  static constexpr std::int32_t kNotStarted = -1;
  static constexpr std::int32_t kFailed = -2;

  // Converts the recording at the input path into MP4 files named after `output_base_name` (which
  // may carry a folder). Returns kSucceeded when at least one MP4 file was finished under its final
  // name and nothing failed; kNotStarted when the input, the first output file or a required module
  // could not be opened; kFailed when an error cut the conversion short or no file came of it. Every
  // failure, and the reason why no file came of a recording, goes to standard error. Pauses after
  // every record as MORAINE_RECORD_PAUSE_MS says.
  std::int32_t run(const std::string& output_base_name);

  const std::string& input_path() const { return input_path_; }
  // True once a video or parameter-set record carried the privacy marker; never cleared.
  bool privacy_marked() const { return state_.privacy_marked; }

 private:
  // Walks the records and finishes the output; exceptions stop here, reported.
  std::int32_t Convert(RecordLoop& loop);

  std::string input_path_;
  ConverterModuleFiles module_files_;
  ConversionState state_;
};

}  // namespace moraine
