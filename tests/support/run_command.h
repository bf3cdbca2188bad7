#pragma once

// Runs programs from tests: our own tools from the build folder and ffprobe/ffmpeg as real players.

#include <string>
#include <vector>

namespace moraine::testing {

struct CommandResult {
  int exit_status = -1;  // the program's exit status; -1 when it did not exit normally
  std::string standard_output;
  std::string standard_error;
};

// Runs `arguments[0]` (looked up on PATH when it has no slash) with the rest as its arguments,
// without a shell, and collects both output streams.
CommandResult RunCommand(const std::vector<std::string>& arguments);

// Path of a program or module built into the build's bin folder, e.g. BuiltFile("cairn").
std::string BuiltFile(const std::string& name);

// Path of a file in tests/testdata.
std::string TestDataFile(const std::string& name);

}  // namespace moraine::testing
