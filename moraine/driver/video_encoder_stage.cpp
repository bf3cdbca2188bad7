#include "moraine/driver/video_encoder_stage.h"

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
  if (failed_) return;  // the conversion is stopping; the picture's block goes with it
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
    EncodeJob();
    lock.lock();
    job_.reset();  // releases the picture's block
    changed_.notify_all();
  }
}

void VideoEncoderStage::EncodeJob() {
  if (failed_) return;
  try {
    writer_(pipeline_.Encode(&job_->picture), job_->duration);
    return;
  } catch (const std::exception& exception) {
    ReportFailure(exception.what());  // inside the handler: what() dies with the exception
  } catch (...) {
    ReportFailure("an unknown exception");
  }
  failed_ = true;
}

}  // namespace moraine
