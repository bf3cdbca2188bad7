#include "moraine/pipeline/video_encoder_stage.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>
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

DecodedPicture SmallPicture() { return {std::make_unique<std::uint8_t[]>(24), 24, 4, 4}; }

// The record loop may run one picture ahead of the encoder; every picture still reaches the file,
// in order, also when the stage is destroyed with pictures waiting.
TEST(VideoEncoderStage, TakesAPictureAheadAndWritesAllInOrderUntilShutdown) {
  VideoPipeline pipeline(TarnEntryPoints{}, FellEntryPoints{nullptr, Encode, TakeEncoded, nullptr});
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<bool> release_sent = false;
  std::vector<std::uint64_t> written;
  {
    VideoEncoderStage stage(pipeline, [&](std::span<const std::uint8_t>, std::uint64_t duration) {
      released.wait();
      written.push_back(duration);
    });
    stage.Submit(SmallPicture(), 1);
    // Without room for a waiting picture this Submit would block until the release below.
    std::thread releaser([&] {
      std::this_thread::sleep_for(std::chrono::seconds(2));
      release_sent = true;
      release.set_value();
    });
    stage.Submit(SmallPicture(), 2);
    EXPECT_FALSE(release_sent) << "the second picture waited for the first to be written";
    for (std::uint64_t duration = 3; duration <= 6; ++duration) stage.Submit(SmallPicture(), duration);
    releaser.join();
  }
  EXPECT_EQ(written, (std::vector<std::uint64_t>{1, 2, 3, 4, 5, 6}));
}

}  // namespace
}  // namespace moraine
