#include "moraine/driver/video_encoder_stage.h"

#include <gtest/gtest.h>

#include <atomic>
#include <new>
#include <string>

namespace moraine {
namespace {

// An encoder that turns every picture into the same access unit at once.
constexpr std::uint8_t kAccessUnit[] = {0, 0, 0, 1, 0x65, 0x88};
std::int32_t Encode(std::int32_t, std::int32_t, const std::uint8_t*, std::int32_t) { return 1; }
std::int32_t TakeEncoded(std::int32_t, const std::uint8_t** data, std::int32_t* size) {
  *data = kAccessUnit;
  *size = sizeof kAccessUnit;
  return 0;
}

// An exception on the stage's thread would end the process with the file unnamed and unexplained.
TEST(VideoEncoderStage, AnExceptionWhileWritingStopsTheStageWithAMessage) {
  const struct {
    int failing_call;  // 0: none
    void (*fail)();
    std::string message;
  } cases[] = {
      {0, nullptr, ""},
      {2, [] { throw std::bad_alloc(); }, "error: encoding a picture failed (std::bad_alloc); the conversion stops\n"},
      {1, [] { throw 7; }, "error: encoding a picture failed (an unknown exception); the conversion stops\n"},
  };
  VideoPipeline pipeline(TarnEntryPoints{}, FellEntryPoints{nullptr, Encode, TakeEncoded, nullptr});
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    std::atomic<int> calls = 0;
    ::testing::internal::CaptureStderr();
    {
      VideoEncoderStage stage(pipeline, [&](std::span<const std::uint8_t> access_unit, std::uint64_t duration) {
        if (++calls == c.failing_call) c.fail();
        EXPECT_EQ(access_unit.size(), sizeof kAccessUnit);
        EXPECT_EQ(duration, 3600u);
      });
      // Pictures submitted after the failure are dropped rather than left waiting.
      for (int i = 0; i < 5; ++i) {
        DecodedPicture picture{std::make_unique<std::uint8_t[]>(24), 24, 4, 4};
        stage.Submit(std::move(picture), 3600);
      }
      stage.Wait();
      EXPECT_EQ(stage.failed(), c.failing_call != 0);
    }
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.message);
    EXPECT_EQ(calls, c.failing_call == 0 ? 5 : c.failing_call);
  }
}

}  // namespace
}  // namespace moraine
