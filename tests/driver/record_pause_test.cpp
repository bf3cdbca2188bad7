#include "moraine/driver/record_pause.h"

#include <gtest/gtest.h>

namespace moraine {
namespace {

TEST(RecordPause, TakesWholeMillisecondsAndFallsBackToTheDefault) {
  EXPECT_EQ(ParseRecordPause(nullptr), kDefaultRecordPauseMilliseconds);
  EXPECT_EQ(ParseRecordPause("0"), 0u);
  EXPECT_EQ(ParseRecordPause("10000"), 10000u);
  for (const char* bad : {"", "10001", "-1", "5ms", " 5", "1.5"}) {
    EXPECT_EQ(ParseRecordPause(bad), kDefaultRecordPauseMilliseconds) << bad;
  }
}

}  // namespace
}  // namespace moraine
