#pragma once

// Encodes decoded pictures on a thread of its own, so that the record loop reads and decodes ahead
// while the encoder works. Pictures wait in a short queue and are encoded and written in the order
// they were handed over. With one picture waiting besides the one being encoded, the record loop
// decodes the next picture while the encoder's own serial work (between its parallel slices) runs,
// rather than only while the slices run and compete with it for the cores.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <deque>
#include <span>
#include <thread>

#include "moraine/pipeline/video_pipeline.h"

namespace moraine {

class VideoEncoderStage {
 public:
  // Receives each encoded access unit (valid during the call) with the picture's sample duration;
  // runs on the stage's thread.
  using Writer = std::function<void(std::span<const std::uint8_t> access_unit, std::uint64_t duration)>;

  // Pictures in the stage at most: the one being encoded and those waiting for it.
  static constexpr std::size_t kDefaultDepth = 2;

  // Starts the thread. `pipeline` must outlive the stage.
  VideoEncoderStage(VideoPipeline& pipeline, Writer writer, std::size_t depth = kDefaultDepth);
  // Finishes the pictures in the stage and stops the thread.
  ~VideoEncoderStage();
  VideoEncoderStage(const VideoEncoderStage&) = delete;
  VideoEncoderStage& operator=(const VideoEncoderStage&) = delete;

  // Waits until the stage has room, then takes `picture` over for encoding; its samples get
  // `duration` (90 kHz ticks). After a failure the picture is dropped at once.
  void Submit(DecodedPicture picture, std::uint64_t duration);

  // Returns once the picture handed over last is encoded and written; the encoder is then free for
  // the caller's own use until the next Submit.
  void Wait();

  // True once encoding or writing a picture threw (std::bad_alloc and the like). The exception is
  // reported on standard error and stops the stage; the caller is expected to stop the conversion.
  bool failed() const { return failed_.load(); }

 private:
  struct Job {
    DecodedPicture picture;
    std::uint64_t duration = 0;
  };

  void Work();
  // Encodes and writes `job`, catching whatever it throws: an exception that left the thread would
  // end the process with the output unfinished and unexplained.
  void EncodeJob(Job& job);

  VideoPipeline& pipeline_;
  Writer writer_;
  std::mutex mutex_;
  std::condition_variable changed_;
  const std::size_t depth_;
  // Oldest first; the front job stays until written, so that Submit and Wait count it.
  std::deque<Job> jobs_;
  bool stopping_ = false;
  std::atomic<bool> failed_{false};
  std::thread thread_;  // last: starts once everything above exists
};

}  // namespace moraine
