#include "moraine/pipeline/video_encoder_stage.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <utility>

namespace moraine {
namespace {

// Allocates nothing: it may run because memory ran out.
void ReportFailure(const char* what) {
  std::fprintf(stderr, "error: encoding a picture failed (%s); the conversion stops\n", what);
}

}  // namespace

VideoEncoderStage::VideoEncoderStage(VideoPipeline& pipeline, Writer writer, std::size_t depth)
    : pipeline_(pipeline), writer_(std::move(writer)), depth_(std::max<std::size_t>(depth, 1)), thread_([this] {
        Work();
      }) {}

VideoEncoderStage::~VideoEncoderStage() {
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return jobs_.empty(); });
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void VideoEncoderStage::Submit(DecodedPicture picture, std::uint64_t duration) {
  if (failed_) return;  // the conversion is stopping; the picture's block goes with it
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return jobs_.size() < depth_; });
    jobs_.push_back(Job{std::move(picture), duration});
  }
  changed_.notify_all();
}

void VideoEncoderStage::Wait() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return jobs_.empty(); });
}

void VideoEncoderStage::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
    if (jobs_.empty()) return;  // stopping with nothing left to do
    // Submit only appends, so the front job stays where it is while the lock is open.
    Job& job = jobs_.front();
    lock.unlock();
    EncodeJob(job);
    lock.lock();
    jobs_.pop_front();  // releases the picture's block
    changed_.notify_all();
  }
}

void VideoEncoderStage::EncodeJob(Job& job) {
  if (failed_) return;
  try {
    writer_(pipeline_.Encode(&job.picture), job.duration);
    return;
  } catch (const std::exception& exception) {
    ReportFailure(exception.what());  // inside the handler: what() dies with the exception
  } catch (...) {
    ReportFailure("an unknown exception");
  }
  failed_ = true;
}

}  // namespace moraine
