#include "tests/support/run_command.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <stdexcept>

#include "tests/support/temp_dir.h"

extern char** environ;

namespace moraine::testing {
namespace {

std::string ReadWholeFile(const std::string& path) {
  std::string text;
  if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
    char chunk[65536];
    std::size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, got);
    std::fclose(file);
  }
  return text;
}

}  // namespace

CommandResult RunCommand(const std::vector<std::string>& arguments) {
  if (arguments.empty()) throw std::invalid_argument("RunCommand needs a program");
  // Output goes through files rather than pipes so that a chatty program can never block on a
  // full pipe while we wait for it.
  TempDir scratch;
  const std::string out_path = scratch.File("stdout");
  const std::string err_path = scratch.File("stderr");

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);

  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  pid_t pid = 0;
  const int spawn_error = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);

  CommandResult result;
  if (spawn_error != 0) {
    result.standard_error = "cannot start " + arguments[0];
    return result;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
  result.standard_output = ReadWholeFile(out_path);
  result.standard_error = ReadWholeFile(err_path);
  return result;
}

std::string BuiltFile(const std::string& name) { return std::string(MORAINE_BIN_DIR) + "/" + name; }

std::string TestDataFile(const std::string& name) { return std::string(MORAINE_TESTDATA_DIR) + "/" + name; }

}  // namespace moraine::testing
