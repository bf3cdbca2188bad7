#include "platform/debug_output.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/mediacommon/media_test_support.h"

namespace moraine::platform {
namespace {

TEST(DebugOutputTest, HookReceivesTheTexts) {
  std::string collected;
  SetDebugOutputHook([&](std::string_view text) { collected += text; });
  OutputDebugText("ERROR CHECK RESULT\n");
  OutputDebugText("second\n");
  SetDebugOutputHook(nullptr);
  EXPECT_EQ(collected, "ERROR CHECK RESULT\nsecond\n");
}

TEST(DebugOutputTest, SilentUnlessEnabledThenOnStandardError) {
  unsetenv("MORAINE_DEBUG_OUTPUT");
  testing::CapturedOutput silent;
  OutputDebugText("hidden\n");
  silent.Stop();
  EXPECT_EQ(silent.Err(), "");

  setenv("MORAINE_DEBUG_OUTPUT", "1", 1);
  testing::CapturedOutput enabled;
  OutputDebugText("shown\n");
  enabled.Stop();
  unsetenv("MORAINE_DEBUG_OUTPUT");
  EXPECT_EQ(enabled.Err(), "shown\n");
  EXPECT_EQ(enabled.Out(), "");
}

}  // namespace
}  // namespace moraine::platform
