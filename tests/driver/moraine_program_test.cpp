#include <gtest/gtest.h>

#include "tests/driver/recording_builder.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace moraine {
namespace {

using testing::BuiltFile;
using testing::RunCommand;

constexpr char kBanner[] = "CAIRN to mp4 conversion\n";
constexpr char kSyntax[] = "Syntax:\nMoraine <cairnfile> <outputbasename>\n";
constexpr char kSuccess[] = "CAIRN to mp4 conversion succesful\n";

TEST(MoraineProgram, WrongArgumentCountPrintsTheSyntax) {
  const std::vector<std::vector<std::string>> argument_lists = {{}, {"in.cairn"}, {"in.cairn", "base", "extra"}};
  for (const auto& arguments : argument_lists) {
    std::vector<std::string> command = {BuiltFile("Moraine")};
    command.insert(command.end(), arguments.begin(), arguments.end());
    const testing::CommandResult result = RunCommand(command);
    EXPECT_EQ(result.exit_status, 0) << arguments.size();
    EXPECT_EQ(result.standard_output, std::string(kBanner) + kSyntax) << arguments.size();
  }
}

TEST(MoraineProgram, MissingInputPrintsTheBannerOnly) {
  testing::TempDir temp;
  const testing::CommandResult result = RunCommand({BuiltFile("Moraine"), temp.File("missing.cairn"), "base"});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.standard_output, kBanner);
}

TEST(MoraineProgram, SmallRecordingEndsWithTheSuccessLine) {
  testing::TempDir temp;
  testing::RecordingBuilder recording;
  recording.Add(4, 0, {'c', '0', '0', '0', '1'})
      .Add(5, 0, testing::VideoPayload(0x67))
      .Add(5, 0, testing::VideoPayload(0x68))
      .Add(1, 0, testing::VideoPayload(0x65))
      .Add(6, 20, {1, 2, 3, 4})
      .Add(1, 40, testing::VideoPayload(0x41));
  const std::string input = recording.WriteTo(temp.File("small.cairn"));
  const testing::CommandResult result = RunCommand({BuiltFile("Moraine"), input, temp.File("base")});
  EXPECT_EQ(result.exit_status, 0);
  EXPECT_EQ(result.standard_output, std::string(kBanner) + kSuccess);
}

}  // namespace
}  // namespace moraine
