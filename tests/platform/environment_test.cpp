#include "platform/environment.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>

#include "platform/clock.h"

namespace moraine::platform {
namespace {

TEST(EnvironmentTest, UserProfileIsHome) {
  setenv("HOME", "/home/someone", 1);
  EXPECT_EQ(UserProfileDirectory(), "/home/someone");
}

TEST(EnvironmentTest, HomeDriveIsTheRootUnlessSet) {
  unsetenv("HOMEDRIVE");
  EXPECT_EQ(HomeDriveDirectory(), "/");
  setenv("HOMEDRIVE", "/tmp/drive", 1);
  EXPECT_EQ(HomeDriveDirectory(), "/tmp/drive");
  unsetenv("HOMEDRIVE");
}

TEST(EnvironmentTest, TrailingSeparatorAddedOnlyWhereMissing) {
  EXPECT_EQ(WithTrailingSeparator("/home/someone"), "/home/someone/");
  EXPECT_EQ(WithTrailingSeparator("/"), "/");
  EXPECT_EQ(WithTrailingSeparator(""), "");
}

TEST(ClockTest, SleepAdvancesTheTickCounter) {
  const auto before = TickCountMilliseconds();
  SleepMilliseconds(20);
  EXPECT_GE(TickCountMilliseconds() - before, 20u);
}

}  // namespace
}  // namespace moraine::platform
