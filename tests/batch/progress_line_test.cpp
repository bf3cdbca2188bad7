#include "moraine/driver/progress_line.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace moraine {
namespace {

using testing::BuiltFile;

TEST(ProgressLine, FormatsEachStageOfAConversion) {
  const std::pair<ProgressSnapshot, const char*> cases[] = {
      {{0, 1000, 0, 0, 0}, "0% read | 0 pictures | 0:00 converted | -- real time | --:-- left"},
      {{250, 1000, 100, 4000, 2000}, "25% read | 100 pictures | 0:04 converted | 2.0x real time | 0:06 left"},
      {{1200, 1000, 93075, 3723000, 100}, "100% read | 93075 pictures | 1:02:03 converted | 37230.0x real time | 0:00 left"},
      // A time left beyond any integer is capped rather than converted out of range.
      {{1, 1ULL << 62, 0, 0, 1ULL << 40}, "0% read | 0 pictures | 0:00 converted | 0.0x real time | 277777:46:40 left"},
  };
  for (const auto& [snapshot, expected] : cases) EXPECT_EQ(FormatProgress(snapshot), expected);
}

class ProgressConversion : public ::testing::Test {
 protected:
  void SetUp() override {
    // About 190 records at 10 ms each: long enough for several rewrites of the line.
    setenv("MORAINE_RECORD_PAUSE_MS", "10", 1);
    ASSERT_EQ(testing::RunCommand({BuiltFile("cairn"), "synth", recording_, "--size", "320x240", "--duration", "2"})
                  .exit_status, 0);
  }
  void TearDown() override { unsetenv("MORAINE_RECORD_PAUSE_MS"); }

  // All that Moraine writes to its terminal, with MORAINE_PROGRESS set to `progress` (unset: null).
  std::string ConvertOnTerminal(const char* progress) {
    int terminal = -1;
    const pid_t child = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (child == 0) {
      if (progress != nullptr) setenv("MORAINE_PROGRESS", progress, 1); else unsetenv("MORAINE_PROGRESS");
      execl(BuiltFile("Moraine").c_str(), "Moraine", recording_.c_str(), temp_.File("t_").c_str(), nullptr);
      _exit(127);
    }
    std::string output;
    char chunk[4096];
    for (ssize_t got; (got = read(terminal, chunk, sizeof chunk)) > 0;) output.append(chunk, got);
    close(terminal);
    waitpid(child, nullptr, 0);
    return output;
  }

  testing::TempDir temp_;
  const std::string recording_ = temp_.File("progress.cairn");
};

TEST_F(ProgressConversion, TerminalShowsTheLineAtMostFourTimesASecondAndClearsIt) {
  const auto start = std::chrono::steady_clock::now();
  const std::string output = ConvertOnTerminal(nullptr);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::size_t rewrites = 0;
  for (std::size_t at = 0; (at = output.find("% read |", at)) != std::string::npos; ++at) ++rewrites;
  EXPECT_GE(rewrites, 2u) << output;
  EXPECT_LE(rewrites, static_cast<std::size_t>(seconds * 4) + 1) << seconds;
  // Cleared after its last rewrite, before the success line.
  const std::size_t cleared = output.rfind("\r\x1b[K");
  EXPECT_GT(cleared, output.rfind("% read |"));
  EXPECT_LT(cleared, output.find("CAIRN to mp4 conversion succesful"));
}

TEST_F(ProgressConversion, TurnedOffOrPipedShowsNothing) {
  const std::string off = ConvertOnTerminal("0");
  EXPECT_EQ(off.find("% read"), std::string::npos) << off;
  EXPECT_NE(off.find("succesful"), std::string::npos) << off;
  // Standard error into a pipe, and the pipe's reader's output is what came through.
  const testing::CommandResult piped = testing::RunCommand(
      {"sh", "-c", "\"$0\" \"$1\" \"$2\" 2>&1 >/dev/null | cat", BuiltFile("Moraine"), recording_, temp_.File("p_")});
  EXPECT_EQ(piped.standard_output, "");
}

}  // namespace
}  // namespace moraine
