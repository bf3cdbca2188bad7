// cairn: makes synthetic recordings and lists the records of a recording.

#include <iostream>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "tools/cairn/recording_dump.h"
#include "tools/cairn/recording_synthesizer.h"
#include "tools/cairn/synth_options.h"

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitFailure = 1;

const char kUsage[] =
    "Usage:\n"
    "  cairn synth OUT [options]   write a synthetic recording (cairn synth --help)\n"
    "  cairn dump FILE [--json]    list the records of a recording\n";

int RunDump(const std::vector<std::string>& arguments) {
  std::string path;
  moraine::cairn::DumpFormat format = moraine::cairn::DumpFormat::kText;
  for (const std::string& argument : arguments) {
    if (argument == "--json") {
      format = moraine::cairn::DumpFormat::kJson;
    } else if (path.empty() && argument.rfind("--", 0) != 0) {
      path = argument;
    } else {
      std::cerr << "cairn dump: unexpected argument " << argument << "\n" << kUsage;
      return kExitUsage;
    }
  }
  if (path.empty()) {
    std::cerr << kUsage;
    return kExitUsage;
  }
  std::string error;
  if (!moraine::cairn::DumpRecording(path, format, std::cout, error)) {
    std::cerr << "cairn dump: " << error << '\n';
    return kExitFailure;
  }
  return 0;
}

int RunSynth(const std::vector<std::string>& arguments) {
  moraine::cairn::SynthOptions options;
  std::string error;
  switch (moraine::cairn::ParseSynthOptions(arguments, options, error)) {
    case moraine::cairn::ParseOutcome::kHelp:
      std::cout << moraine::cairn::SynthHelpText();
      return 0;
    case moraine::cairn::ParseOutcome::kError:
      std::cerr << "cairn synth: " << error << "\n(cairn synth --help lists the options)\n";
      return kExitUsage;
    case moraine::cairn::ParseOutcome::kRun:
      break;
  }
  // Encoder chatter (rate clamping notes and the like) is not for the user of this tool.
  av_log_set_level(AV_LOG_ERROR);
  const auto report = moraine::cairn::SynthesizeRecording(options, error);
  if (!report) {
    std::cerr << "cairn synth: " << error << '\n';
    return kExitFailure;
  }
  std::cout << "wrote " << options.output_path << ": " << report->pictures << " pictures, "
            << report->parameter_sets << " parameter sets, " << report->audio_frames << " audio frames, "
            << report->info_records << " info records, " << report->bytes << " bytes\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  if (arguments.empty()) {
    std::cerr << kUsage;
    return kExitUsage;
  }
  if (arguments[0] == "--help" || arguments[0] == "-h") {
    std::cout << kUsage;
    return 0;
  }
  const std::vector<std::string> rest(arguments.begin() + 1, arguments.end());
  if (arguments[0] == "dump") return RunDump(rest);
  if (arguments[0] == "synth") return RunSynth(rest);
  std::cerr << "cairn: unknown command " << arguments[0] << '\n' << kUsage;
  return kExitUsage;
}
