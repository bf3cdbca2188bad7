#include "mediacommon/status_report.h"

#include <gtest/gtest.h>

#include "tests/mediacommon/media_test_support.h"

namespace moraine::mediacommon {
namespace {

TEST(StatusReportTest, NoErrorNamesNoSourcePosition) {
  EXPECT_EQ(StatusReportText(0, "decoder.cpp", 12), "\n No error.\n");
}

TEST(StatusReportTest, ErrorCodesOfTheTableNameTheFailingCheck) {
  EXPECT_EQ(StatusReportText(-1, "a.cpp", 7), "\n Unknown error: a.cpp 7\n");
  EXPECT_EQ(StatusReportText(-2, "a.cpp", 7), "\n Null pointer.  Check filename/path + permissions? a.cpp 7\n");
  EXPECT_EQ(StatusReportText(-4, "a.cpp", 7), "\n Could not allocate memory. a.cpp 7\n");
  EXPECT_EQ(StatusReportText(-10, "a.cpp", 7), "\n More input data expected. a.cpp 7\n");
  EXPECT_EQ(StatusReportText(-17, "a.cpp", 7), "\n Device operation failure. a.cpp 7\n");
  EXPECT_EQ(StatusReportText(-20, "a.cpp", 7), "\n Invalid audio parameters. a.cpp 7\n");
}

TEST(StatusReportTest, WarningsAndUnknownCodesGetTheGenericLine) {
  EXPECT_EQ(StatusReportText(4, "b.cpp", 99), "\nError code 4,\tb.cpp\t99\n\n");
  EXPECT_EQ(StatusReportText(-21, "b.cpp", 99), "\nError code -21,\tb.cpp\t99\n\n");
  EXPECT_EQ(StatusReportText(-2147483647 - 1, "b.cpp", 1), "\nError code -2147483648,\tb.cpp\t1\n\n");
}

TEST(StatusReportTest, PrintsToStandardOutputAndCountsTheCharacters) {
  testing::CapturedOutput captured;
  const int printed = PrintStatusReport(-5, "c.cpp", 3);
  captured.Stop();
  EXPECT_EQ(captured.Out(), "\n Insufficient IO buffers. c.cpp 3\n");
  EXPECT_EQ(printed, static_cast<int>(captured.Out().size()));
}

}  // namespace
}  // namespace moraine::mediacommon
