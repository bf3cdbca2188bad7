#include "moraine/driver/video_encoder_stage.h"

#include <utility>

namespace moraine {

VideoEncoderStage::VideoEncoderStage(VideoPipeline& pipeline, Writer writer)
    : pipeline_(pipeline), writer_(std::move(writer)), thread_([this] { Work(); }) {}

VideoEncoderStage::~VideoEncoderStage() {
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !job_.has_value(); });
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void VideoEncoderStage::Submit(DecodedPicture picture, std::uint64_t duration) {
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !job_.has_value(); });
    job_.emplace(Job{std::move(picture), duration});
  }
  changed_.notify_all();
}

void VideoEncoderStage::Wait() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !job_.has_value(); });
}

void VideoEncoderStage::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || job_.has_value(); });
    if (!job_) return;  // stopping with nothing left to do
    lock.unlock();
    // The job stays in place until written, so that Submit and Wait see the stage as busy.
    writer_(pipeline_.Encode(&job_->picture), job_->duration);
    lock.lock();
    job_.reset();  // releases the picture's block
    changed_.notify_all();
  }
}

}  // namespace moraine
