// Logging set-up of the decoder module: where the configuration comes from and what the default
// writes. Each case runs tarn_log_probe in a fresh process with HOME and HOMEDRIVE pointed at
// temporary folders.

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <string>

#include "tests/mediacommon/media_test_support.h"
#include "tests/support/run_command.h"
#include "tests/support/temp_dir.h"

namespace moraine::testing {
namespace {

class TarnLoggingTest : public ::testing::Test {
 protected:
  TarnLoggingTest() { std::filesystem::create_directory(drive_); }

  void RunProbe(const std::string& message) {
    const CommandResult result = RunCommand({"env", "HOME=" + home_.path().string(), "HOMEDRIVE=" + drive_.string(),
                                             BuiltFile("tarn_log_probe"), message});
    ASSERT_EQ(result.exit_status, 0) << result.standard_error;
  }

  void WritePropertyFile(const std::filesystem::path& directory, const std::string& log_file,
                         const std::string& appender_class = "log4cplus::FileAppender") {
    const std::string text = "log4cplus.rootLogger=DEBUG, A\n"
                             "log4cplus.appender.A=" + appender_class + "\n"
                             "log4cplus.appender.A.File=" + log_file + "\n"
                             "log4cplus.appender.A.layout=log4cplus::SimpleLayout\n";
    WriteFileBytes((directory / "scree.properties").string(), Bytes(text.begin(), text.end()));
  }

  std::string HomeFile(const std::string& name) const { return home_.File(name); }

  TempDir home_;
  std::filesystem::path drive_ = home_.path() / "drive";
};

TEST_F(TarnLoggingTest, DefaultWritesOnlyErrorsToKitewingLogInTheProfileFolder) {
  RunProbe("first run");
  const std::string log = ReadFileBytes(HomeFile("Kitewing.log"));
  EXPECT_NE(log.find("first run"), std::string::npos);
  EXPECT_EQ(log.find("debug first run"), std::string::npos);
  // TTCC layout: date as month-day-year time,milliseconds, thread, level, logger name, message.
  const std::regex first_line(R"(^\d\d-\d\d-\d\d \d\d:\d\d:\d\d,\d\d\d \[\d+\] ERROR tarn <> - first run\n)");
  EXPECT_TRUE(std::regex_search(log, first_line)) << log;
}

TEST_F(TarnLoggingTest, DefaultLogIsEmptiedByTheNextProcess) {
  RunProbe("first run");
  RunProbe("second run");
  const std::string log = ReadFileBytes(HomeFile("Kitewing.log"));
  EXPECT_EQ(log.find("first run"), std::string::npos);
  EXPECT_NE(log.find("second run"), std::string::npos);
}

TEST_F(TarnLoggingTest, LongMessageIsCutTo255Characters) {
  RunProbe("short");
  const std::string log = ReadFileBytes(HomeFile("Kitewing.log"));
  EXPECT_NE(log.find(std::string(255, 'x') + "\n"), std::string::npos);
  EXPECT_EQ(log.find(std::string(256, 'x')), std::string::npos);
}

TEST_F(TarnLoggingTest, PropertyFileInTheProfileFolderWinsOverTheDrive) {
  WritePropertyFile(home_.path(), HomeFile("profile.log"));
  WritePropertyFile(drive_, HomeFile("drive.log"));
  RunProbe("configured");
  const std::string log = ReadFileBytes(HomeFile("profile.log"));
  EXPECT_NE(log.find("DEBUG - debug configured"), std::string::npos) << log;
  EXPECT_FALSE(std::filesystem::exists(HomeFile("drive.log")));
  EXPECT_FALSE(std::filesystem::exists(HomeFile("Kitewing.log")));
}

TEST_F(TarnLoggingTest, PropertyFileOnTheDriveIsTheSecondPlace) {
  WritePropertyFile(drive_, HomeFile("drive.log"));
  RunProbe("from the drive");
  EXPECT_NE(ReadFileBytes(HomeFile("drive.log")).find("debug from the drive"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(HomeFile("Kitewing.log")));
}

TEST_F(TarnLoggingTest, PropertyFileThatCannotBeAppliedFallsBackToTheDefault) {
  WritePropertyFile(home_.path(), HomeFile("profile.log"), "log4cplus::NoSuchAppender");
  WritePropertyFile(drive_, HomeFile("drive.log"));
  RunProbe("fallback");
  EXPECT_NE(ReadFileBytes(HomeFile("Kitewing.log")).find("fallback"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(HomeFile("drive.log")));
}

}  // namespace
}  // namespace moraine::testing
