#include "moraine/driver/converter.h"

#include <cstdio>
#include <exception>
#include <memory>
#include <utility>

#include "moraine/driver/record_loop.h"
#include "moraine/driver/record_pause.h"

namespace moraine {
namespace {

// Allocates nothing: it may run because memory ran out.
void ReportException(const char* what) {
  std::fprintf(stderr, "error: the conversion stopped: %s\n", what);
}

}  // namespace

Converter::Converter(std::string input_path, ConverterModuleFiles module_files)
    : input_path_(std::move(input_path)), module_files_(std::move(module_files)) {}

std::int32_t Converter::run(const std::string& output_base_name) {
  // Privacy step: the Anonymizer binding, kept across runs while its object exists.
  state_.object_pixelator.Bind(module_files_.anonymizer);

  std::int32_t status = kNotStarted;
  if (std::unique_ptr<RecordLoop> loop =
          RecordLoop::Start(input_path_, output_base_name, module_files_.media, state_)) {
    status = Convert(*loop);
  }
  state_.object_pixelator.Release();
  return status;
}

std::int32_t Converter::Convert(RecordLoop& loop) {
  bool thrown = false;
  try {
    loop.Run(RecordPauseMilliseconds());
    loop.Finish();
  } catch (const std::exception& exception) {
    ReportException(exception.what());
    thrown = true;
  } catch (...) {
    ReportException("an unknown exception");
    thrown = true;
  }
  if (thrown) {
    // What the loop holds is still closed, and the file it was writing keeps its working name.
    loop.MarkFailed();
    try {
      loop.Finish();
    } catch (...) {
      ReportException("an exception while finishing");
    }
    return kFailed;
  }
  const ConversionOutcome outcome = loop.Outcome();
  if (outcome.succeeded()) return kSucceeded;
  if (!outcome.failed && outcome.finished_files == 0) std::fputs(NoOutputReason(outcome.findings).c_str(), stderr);
  return kFailed;
}

}  // namespace moraine
