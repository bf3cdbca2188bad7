#include "moraine/driver/converter.h"

#include <memory>
#include <utility>

#include "moraine/driver/record_loop.h"
#include "moraine/driver/record_pause.h"

namespace moraine {

Converter::Converter(std::string input_path, ConverterModuleFiles module_files)
    : input_path_(std::move(input_path)), module_files_(std::move(module_files)) {}

std::int32_t Converter::run(const std::string& output_base_name) {
  output_base_name_ = output_base_name;
  state_.mp4.output_base_name = output_base_name;
  // Privacy step: the Anonymizer binding, kept across runs while its object exists.
  state_.object_pixelator.Bind(module_files_.anonymizer);

  std::int32_t status = -1;
  if (std::unique_ptr<RecordLoop> loop =
          RecordLoop::Start(input_path_, output_base_name, module_files_.media, state_)) {
    loop->Run(RecordPauseMilliseconds());
    loop->Finish();
    status = 0;
  }
  state_.object_pixelator.Release();
  return status;
}

}  // namespace moraine
